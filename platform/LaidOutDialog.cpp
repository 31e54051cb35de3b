#include "platform/LaidOutDialog.h"

#include <QMouseEvent>

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

LaidOutDialog::LaidOutDialog(DialogLayout layout, QWidget* parent)
    : QDialog(parent), m_layout(std::move(layout)) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(m_layout.size);
}

void LaidOutDialog::Build() {
    if (m_built)
        return;
    m_built = true;
    QButtonGroup* group = nullptr;
    std::vector<QWidget*> created;
    for (const ControlPlacement& c : m_layout.controls) {
        QWidget* widget = nullptr;
        switch (c.kind) {
        case ControlKind::Button: {
            auto* button = new QPushButton(QString::fromUtf8(c.caption), this);
            button->setAutoDefault(false);
            widget = button;
            break;
        }
        case ControlKind::Text: {
            auto* text = new QLabel(QString::fromUtf8(c.caption), this);
            text->setAttribute(Qt::WA_TransparentForMouseEvents);
            widget = text;
            break;
        }
        case ControlKind::Dial: {
            auto* button = new ClickArea(this, c.ring);
            if (!c.ring.isEmpty()) {
                QRegion shape(c.ring.translated(-c.rect.topLeft()), QRegion::Ellipse);
                if (!c.label.isEmpty())
                    shape += QRegion(c.label.translated(-c.rect.topLeft()));
                button->setMask(shape);
            }
            button->setText(QString::fromUtf8(c.caption));
            widget = button;
            break;
        }
        case ControlKind::Toggle: {
            auto* button = new QPushButton(QString::fromUtf8(c.caption), this);
            button->setCheckable(true);
            button->setAutoDefault(false);
            if ((c.style & ControlStyle::kStartsGroup) || !group) {
                group = new QButtonGroup(this);
                group->setExclusive(true);
            }
            group->addButton(button);
            widget = button;
            break;
        }
        case ControlKind::List: {
            auto* list = new QListWidget(this);
            list->setFrameShape(QFrame::NoFrame);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->setVerticalScrollBarPolicy((c.style & ControlStyle::kVerticalScroll)
                                                 ? Qt::ScrollBarAsNeeded
                                                 : Qt::ScrollBarAlwaysOff);
            list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            widget = list;
            break;
        }
        case ControlKind::Frame:
            widget = new FrameBox(this);
            widget->setAttribute(Qt::WA_TransparentForMouseEvents);
            break;
        case ControlKind::Picture: {
            auto* picture = new QLabel(this);
            const QImage image = LoadPicture(QString::fromUtf8(c.picture));
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
        if (c.name && *c.name) {
            widget->setObjectName(QString::fromUtf8(c.name));
            m_controls.insert(QString::fromUtf8(c.name), widget);
        }
        created.push_back(widget);
    }
    // Layout order is stacking order, first on top; a picture that covers the
    // whole dialog is its background and lies under everything.
    for (auto it = created.rbegin(); it != created.rend(); ++it)
        (*it)->raise();
    for (size_t i = 0; i < created.size(); ++i)
        if (m_layout.controls[i].kind == ControlKind::Picture &&
            created[i]->geometry().contains(QRect(QPoint(0, 0), m_layout.size)))
            created[i]->lower();
    Setup();
}

int LaidOutDialog::Run() {
    Build();
    return exec();
}

QAbstractButton* LaidOutDialog::button(const QString& name) const {
    return qobject_cast<QAbstractButton*>(control(name));
}

int LaidOutDialog::CheckedIn(const QString& first) const {
    QAbstractButton* start = button(first);
    if (!start || !start->group())
        return -1;
    const QList<QAbstractButton*> buttons = start->group()->buttons();
    for (int i = 0; i < buttons.size(); ++i)
        if (buttons[i]->isChecked())
            return i;
    return -1;
}

void LaidOutDialog::CheckIn(const QString& first, int position) {
    QAbstractButton* start = button(first);
    if (!start || !start->group())
        return;
    const QList<QAbstractButton*> buttons = start->group()->buttons();
    if (position >= 0 && position < buttons.size()) {
        buttons[position]->setChecked(true);
        return;
    }
    // An exclusive group cannot be cleared one button at a time.
    start->group()->setExclusive(false);
    for (QAbstractButton* b : buttons)
        b->setChecked(false);
    start->group()->setExclusive(true);
}

void LaidOutDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A focused button is pressed; otherwise Enter accepts.
        if (auto* focused = qobject_cast<QAbstractButton*>(focusWidget());
            focused && focused->isEnabled())
            focused->click();
        else
            accept();
        break;
    case Qt::Key_Escape:
        reject();
        break;
    default:
        QDialog::keyPressEvent(event);
    }
}

void LaidOutDialog::BeginDrag(QPoint globalPoint) {
    m_mover.Begin(this, globalPoint);
}

void LaidOutDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        BeginDrag(event->globalPosition().toPoint());
    QDialog::mousePressEvent(event);
}

void LaidOutDialog::mouseMoveEvent(QMouseEvent* event) {
    if (m_mover.following() && (event->buttons() & Qt::LeftButton))
        m_mover.Follow(event->globalPosition().toPoint());
    QDialog::mouseMoveEvent(event);
}

void LaidOutDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_mover.following()) {
        m_mover.End();
        Dragged();
    }
    QDialog::mouseReleaseEvent(event);
}
