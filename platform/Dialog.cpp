#include "platform/Dialog.h"

#include "platform/Resources.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

namespace {

// A push button with no face of its own: a click area over a picture. It
// shows hover, press and keyboard focus on its dial (the ring), in the
// palette's highlight colour, and draws nothing else.
class ClickArea : public QAbstractButton {
  public:
    ClickArea(QWidget* parent, QRect ring) : QAbstractButton(parent), m_ring(ring) {
        setAttribute(Qt::WA_Hover);
        setFocusPolicy(Qt::StrongFocus);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        const bool hover = underMouse(), down = isDown(), focus = hasFocus();
        if (!hover && !down && !focus)
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRect ring = m_ring.isEmpty() ? rect().adjusted(1, 1, -2, -2)
                                            : m_ring.translated(-pos()).adjusted(1, 1, -1, -1);
        const bool round = !m_ring.isEmpty();
        auto shape = [&](QPainter& painter, const QRect& r) {
            if (round)
                painter.drawEllipse(r);
            else
                painter.drawRoundedRect(r, 3, 3);
        };
        if (hover || down) {
            p.setPen(Qt::NoPen);
            p.setBrush(down ? QColor(0, 0, 0, 90) : QColor(255, 255, 255, 40));
            shape(p, ring);
        }
        if (focus) {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(palette().color(QPalette::Highlight), 2.5));
            shape(p, ring);
        }
    }
    void enterEvent(QEnterEvent* event) override {
        update();
        QAbstractButton::enterEvent(event);
    }
    void leaveEvent(QEvent* event) override {
        update();
        QAbstractButton::leaveEvent(event);
    }

  private:
    QRect m_ring;
};

// An empty frame around a drawing area; the dialog itself paints inside it.
class FrameBox : public QWidget {
  public:
    using QWidget::QWidget;
};

} // namespace

CDialog::CDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), m_template(dialogTemplate) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(m_template.size);
}

void CDialog::CreateControls() {
    if (m_created)
        return;
    m_created = true;
    QButtonGroup* group = nullptr;
    std::vector<QWidget*> created;
    for (const ControlTemplate& c : m_template.controls) {
        QWidget* widget = nullptr;
        switch (c.kind) {
        case ControlKind::Button: {
            auto* button = new QPushButton(QString::fromUtf8(c.caption), this);
            button->setAutoDefault(false);
            const int id = c.id;
            connect(button, &QAbstractButton::clicked, this,
                    [this, id] { OnCommand(id, BN_CLICKED); });
            widget = button;
            break;
        }
        case ControlKind::Text: {
            auto* text = new QLabel(QString::fromUtf8(c.caption), this);
            text->setAttribute(Qt::WA_TransparentForMouseEvents);
            widget = text;
            break;
        }
        case ControlKind::PushButton: {
            auto* button = new ClickArea(this, c.ring);
            if (!c.ring.isEmpty()) {
                QRegion shape(c.ring.translated(-c.rect.topLeft()), QRegion::Ellipse);
                if (!c.label.isEmpty())
                    shape += QRegion(c.label.translated(-c.rect.topLeft()));
                button->setMask(shape);
            }
            button->setText(QString::fromUtf8(c.caption));
            const int id = c.id;
            connect(button, &QAbstractButton::clicked, this,
                    [this, id] { OnCommand(id, BN_CLICKED); });
            widget = button;
            break;
        }
        case ControlKind::RadioButton: {
            auto* button = new QPushButton(QString::fromUtf8(c.caption), this);
            button->setCheckable(true);
            button->setAutoDefault(false);
            if ((c.style & ControlStyle::kStartsGroup) || !group) {
                group = new QButtonGroup(this);
                group->setExclusive(true);
            }
            group->addButton(button);
            const int id = c.id;
            connect(button, &QAbstractButton::clicked, this,
                    [this, id] { OnCommand(id, BN_CLICKED); });
            widget = button;
            break;
        }
        case ControlKind::ListBox: {
            auto* list = new QListWidget(this);
            list->setFrameShape(QFrame::NoFrame);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->setVerticalScrollBarPolicy((c.style & ControlStyle::kVerticalScroll)
                                                 ? Qt::ScrollBarAsNeeded
                                                 : Qt::ScrollBarAlwaysOff);
            list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            if (c.style & ControlStyle::kNotify) {
                const int id = c.id;
                connect(list, &QListWidget::itemSelectionChanged, this,
                        [this, id] { OnCommand(id, LBN_SELCHANGE); });
            }
            widget = list;
            break;
        }
        case ControlKind::GroupBox:
            widget = new FrameBox(this);
            widget->setAttribute(Qt::WA_TransparentForMouseEvents);
            break;
        case ControlKind::Picture: {
            auto* picture = new QLabel(this);
            const QImage image = LoadBitmap(c.bitmap);
            picture->setPixmap(QPixmap::fromImage(image));
            picture->setAttribute(Qt::WA_TransparentForMouseEvents);
            picture->setGeometry(QRect(c.rect.topLeft(), image.size()));
            widget = picture;
            break;
        }
        }
        if (c.kind != ControlKind::Picture)
            widget->setGeometry(c.rect);
        widget->setEnabled(!(c.style & ControlStyle::kDisabled));
        if (c.id >= 0)
            m_controls.insert(c.id, widget);
        created.push_back(widget);
    }
    // Template order is stacking order, first on top; a picture that covers the
    // whole dialog is its background and lies under everything.
    for (auto it = created.rbegin(); it != created.rend(); ++it)
        (*it)->raise();
    for (size_t i = 0; i < created.size(); ++i)
        if (m_template.controls[i].kind == ControlKind::Picture &&
            created[i]->geometry().contains(QRect(QPoint(0, 0), m_template.size)))
            created[i]->lower();
}

bool CDialog::Create() {
    CreateControls();
    return OnInitDialog();
}

int CDialog::DoModal() {
    Create();
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CDialog::EndDialog(int result) {
    m_ending = true;
    done(result == IDOK ? QDialog::Accepted : QDialog::Rejected);
    m_ending = false;
}

bool CDialog::UpdateData(bool saveAndValidate) {
    DataExchange exchange(*this, saveAndValidate);
    DoDataExchange(exchange);
    return true;
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::DoDataExchange(DataExchange&) {}

void CDialog::OnOK() {
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::OnCommand(int id, int notification) {
    if (notification != BN_CLICKED)
        return;
    if (id == IDOK)
        OnOK();
    else if (id == IDCANCEL)
        OnCancel();
}

void CDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A focused button is pressed, as the classic dialog manager does;
        // otherwise Enter means OK.
        if (auto* button = qobject_cast<QAbstractButton*>(focusWidget());
            button && button->isEnabled())
            button->click();
        else
            OnOK();
        break;
    case Qt::Key_Escape:
        OnCancel();
        break;
    default:
        QDialog::keyPressEvent(event);
    }
}

void CDialog::closeEvent(QCloseEvent* event) {
    // A close request is a Cancel; OnCancel decides whether the dialog ends.
    if (m_ending) {
        event->accept();
        return;
    }
    event->ignore();
    OnClose();
}

void CDialog::reject() {
    OnCancel();
}

void DataExchange::Radio(int firstId, int& position) {
    auto* first = qobject_cast<QAbstractButton*>(m_dialog.GetDlgItem(firstId));
    if (!first || !first->group())
        return;
    const QList<QAbstractButton*> buttons = first->group()->buttons();
    if (m_save) {
        position = -1;
        for (int i = 0; i < buttons.size(); ++i)
            if (buttons[i]->isChecked())
                position = i;
        return;
    }
    for (int i = 0; i < buttons.size(); ++i)
        if (i == position)
            buttons[i]->setChecked(true);
    if (position < 0 || position >= buttons.size()) {
        // An exclusive group cannot be cleared one button at a time.
        first->group()->setExclusive(false);
        for (QAbstractButton* b : buttons)
            b->setChecked(false);
        first->group()->setExclusive(true);
    }
}
