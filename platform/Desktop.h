#pragma once
// What the program asks of the desktop: message boxes, file dialogs, the
// clipboard and moving a window. Tests replace the interactive parts.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

class QWidget;

// Names are bytes from files: valid UTF-8 shows as such, anything else as
// Latin-1, which covers the letters of older tools' names.
QString TextOfBytes(const std::string& bytes);

// The application's name: the executable's file name without its extension.
QString ApplicationName();

enum class MessageIcon { None, Stop };

struct MessageBoxCall {
    QWidget* owner;
    QString caption, text, detail;
    MessageIcon icon;
};

// Modal, OK only, captioned with the application's name.
void ShowMessageBox(QWidget* owner, const QString& text, const QString& detail = {},
                    MessageIcon icon = MessageIcon::None);
// The resource table's failure text with a stop icon.
void ShowResourceFailure(QWidget* owner);
void SetMessageBoxHook(std::function<void(const MessageBoxCall&)> hook);

struct FileDialogSettings {
    bool open = true;
    QString defaultSuffix; // added to a name typed without one; "*": the selected type's
    QString initialName;
    bool confirmOverwrite = true; // saving over a file asks first
    QStringList filters;          // Qt's form: "EPS file (*.eps)"
    QString selectedFilter;       // the one shown first (empty: the first)
    bool folder = false;          // a folder is chosen, not a file
};

struct FileDialogResult {
    bool accepted = false;
    QString path;      // full path
    QString extension; // after the last '.', empty when none
};

FileDialogResult RunFileDialog(QWidget* owner, const FileDialogSettings& settings);
void SetFileDialogHook(std::function<FileDialogResult(const FileDialogSettings&)> hook);

// The extension a filter's pattern gives: "EPS file (*.eps)" -> "eps"; empty
// for a pattern with wildcards in its extension.
QString ExtensionOfFilter(const QString& filter);
// A glob that matches letters in either case: "*.MD3" -> "*.[mM][dD]3".
QString CaseInsensitiveGlob(const QString& glob);
// Completes a chosen path: a name without an extension gets defaultSuffix.
FileDialogResult DescribeChosenFile(const QString& path, const QString& defaultSuffix);

bool SetClipboardImage(const QImage& image);

// Where a window asked for at `wanted` goes in a screen's free area
// (`available`: the screen less its panels): no larger than the area, and
// moved in so that all of it shows.
QRect FitInside(const QRect& wanted, const QRect& available);
// The free area of the screen a place lies on (or nearest to, else the
// primary screen's), in the window system's logical pixels.
QRect AvailableAround(const QRect& place);
// Puts a top-level window at `wanted`, fitted into the screen it lands on.
// A window of fixed size keeps its size and is only moved in.
void PlaceOnScreen(QWidget* window, const QRect& wanted);

// Moves a window with the mouse while the left button is held: the window
// manager's own move where it offers one, else by following the pointer.
class WindowMover {
  public:
    void Begin(QWidget* window, QPoint globalPress);
    void Follow(QPoint globalPointer);
    void End() { m_window = nullptr; }
    bool following() const { return m_window != nullptr; }

  private:
    QWidget* m_window = nullptr;
    QPoint m_offset;
};
