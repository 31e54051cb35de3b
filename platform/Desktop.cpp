#include "platform/Desktop.h"

#include <QStringDecoder>

#include "platform/Resources.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

std::function<void(const MessageBoxCall&)>& MessageHook() {
    static std::function<void(const MessageBoxCall&)> hook;
    return hook;
}

std::function<FileDialogResult(const FileDialogSettings&)>& FileHook() {
    static std::function<FileDialogResult(const FileDialogSettings&)> hook;
    return hook;
}

// "*.eps" -> "eps"; patterns without a plain extension give nothing.
QString ExtensionOfPattern(const QString& pattern) {
    const int dot = pattern.lastIndexOf('.');
    const QString ext = dot < 0 ? QString() : pattern.mid(dot + 1);
    return ext.contains('*') || ext.contains('?') ? QString() : ext;
}

} // namespace

QString TextOfBytes(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return utf8.hasError() ? QString::fromLatin1(bytes.data(), qsizetype(bytes.size())) : text;
}

QString ApplicationName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void ShowMessageBox(QWidget* owner, const QString& text, const QString& detail, MessageIcon icon) {
    const MessageBoxCall call{owner, ApplicationName(), text, detail, icon};
    if (MessageHook()) {
        MessageHook()(call);
        return;
    }
    QMessageBox box(owner);
    box.setWindowTitle(call.caption);
    box.setText(text);
    box.setInformativeText(detail);
    box.setIcon(icon == MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void ShowResourceFailure(QWidget* owner) {
    ShowMessageBox(owner, CurrentResourceTable().resourceFailureText, {}, MessageIcon::Stop);
}

void SetMessageBoxHook(std::function<void(const MessageBoxCall&)> hook) {
    MessageHook() = std::move(hook);
}

QString ExtensionOfFilter(const QString& filter) {
    const int open = filter.lastIndexOf('('), close = filter.lastIndexOf(')');
    return open < 0 || close < open ? QString()
                                    : ExtensionOfPattern(filter.mid(open + 1, close - open - 1));
}

QString CaseInsensitiveGlob(const QString& glob) {
    QString out;
    for (const QChar c : glob) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            out += QStringLiteral("[%1%2]").arg(c.toLower(), c.toUpper());
        else
            out += c;
    }
    return out;
}

FileDialogResult DescribeChosenFile(const QString& chosen, const QString& defaultSuffix) {
    FileDialogResult result;
    result.accepted = true;
    result.path = chosen;
    QString name = QFileInfo(chosen).fileName();
    if (!name.contains('.') && !defaultSuffix.isEmpty() && defaultSuffix != "*") {
        result.path += '.' + defaultSuffix;
        name += '.' + defaultSuffix;
    }
    const int dot = name.lastIndexOf('.');
    result.extension = dot < 0 ? QString() : name.mid(dot + 1);
    return result;
}

FileDialogResult RunFileDialog(QWidget* owner, const FileDialogSettings& settings) {
    if (FileHook())
        return FileHook()(settings);
    QFileDialog dialog(owner);
    // Qt's own dialog behaves the same on every desktop and takes typed paths.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(settings.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    // Like the classic open dialog without "file must exist": a typed name that
    // names nothing comes back, and the reader says what is wrong with it.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !settings.confirmOverwrite);
    if (settings.folder) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    }
    dialog.setOption(QFileDialog::HideNameFilterDetails);

    QStringList names;
    QStringList extensions;
    for (const QString& filter : settings.filters) {
        // Model files come as .md3 as often as .MD3 on case-sensitive disks.
        const int open = filter.lastIndexOf('(');
        const int close = filter.lastIndexOf(')');
        const QString pattern =
            open < 0 || close < open ? QString() : filter.mid(open + 1, close - open - 1);
        names << filter.left(open < 0 ? filter.size() : open).trimmed() + " (" +
                     CaseInsensitiveGlob(pattern) + ")";
        extensions << ExtensionOfPattern(pattern);
    }
    dialog.setNameFilters(names);
    const int first = std::max<int>(0, int(settings.filters.indexOf(settings.selectedFilter)));
    if (!names.isEmpty())
        dialog.selectNameFilter(names.value(first));
    if (settings.defaultSuffix == "*") {
        // The selected file type completes a name typed without an extension.
        dialog.setDefaultSuffix(extensions.value(first));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, names, extensions](const QString& selected) {
                             dialog.setDefaultSuffix(extensions.value(names.indexOf(selected)));
                         });
    } else {
        dialog.setDefaultSuffix(settings.defaultSuffix);
    }
    if (!settings.initialName.contains('*') && !settings.initialName.contains('?'))
        dialog.selectFile(settings.initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return DescribeChosenFile(dialog.selectedFiles().first(), dialog.defaultSuffix());
}

void SetFileDialogHook(std::function<FileDialogResult(const FileDialogSettings&)> hook) {
    FileHook() = std::move(hook);
}

bool SetClipboardImage(const QImage& image) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setImage(image);
    return true;
}

QRect FitInside(const QRect& wanted, const QRect& available) {
    if (available.isEmpty())
        return wanted;
    const QSize size = wanted.size().boundedTo(available.size());
    QPoint at = wanted.topLeft();
    at.setX(std::clamp(at.x(), available.left(), available.right() + 1 - size.width()));
    at.setY(std::clamp(at.y(), available.top(), available.bottom() + 1 - size.height()));
    return {at, size};
}

QRect AvailableAround(const QRect& place) {
    QScreen* screen = QGuiApplication::screenAt(place.center());
    if (!screen)
        screen = QGuiApplication::screenAt(place.topLeft());
    if (!screen) {
        // Off every screen: the one nearest to it.
        long best = -1;
        for (QScreen* s : QGuiApplication::screens()) {
            const QPoint d = s->geometry().center() - place.center();
            const long distance = long(d.x()) * d.x() + long(d.y()) * d.y();
            if (best < 0 || distance < best) {
                best = distance;
                screen = s;
            }
        }
    }
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void PlaceOnScreen(QWidget* window, const QRect& wanted) {
    const QRect available = AvailableAround(wanted);
    // The frame the window system adds, once it is known, is fitted too.
    const QMargins frame =
        window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
    const QRect framed = wanted.marginsAdded(frame);
    QRect fitted = FitInside(framed, available).marginsRemoved(frame);
    // A window that cannot shrink (a painted face) is moved in as far as it goes.
    const QSize least = window->minimumSize().expandedTo(window->minimumSizeHint());
    if (fitted.width() < least.width() || fitted.height() < least.height()) {
        const QSize size = fitted.size().expandedTo(least);
        fitted = FitInside(QRect(framed.topLeft(), size + QSize(frame.left() + frame.right(),
                                                                frame.top() + frame.bottom())),
                           available.united(QRect(available.topLeft(), size)))
                     .marginsRemoved(frame);
    }
    window->setGeometry(fitted);
}

void WindowMover::Begin(QWidget* window, QPoint globalPress) {
    m_window = nullptr;
    if (window->windowHandle() && window->windowHandle()->startSystemMove())
        return;
    m_window = window;
    m_offset = globalPress - window->frameGeometry().topLeft();
}

void WindowMover::Follow(QPoint globalPointer) {
    if (m_window)
        m_window->move(globalPointer - m_offset);
}
