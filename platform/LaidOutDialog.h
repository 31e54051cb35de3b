#pragma once
// A dialog whose controls sit at fixed pixels over a picture, as a skinned
// window is drawn: click areas over painted dials, lists in painted wells,
// toggles and plain buttons. Controls are found by name; each window connects
// to their signals itself.
#include "platform/Desktop.h"

#include <QDialog>
#include <QHash>
#include <QRect>
#include <QString>
#include <vector>

class QAbstractButton;

// Dial: a click area over a picture, with no face of its own; Toggle: one of
// a group of exclusive push buttons; Button: a push button with a visible
// face and text; Text: a line of static text; Frame: an empty area the dialog
// paints into.
enum class ControlKind { Dial, Toggle, List, Frame, Picture, Button, Text };

namespace ControlStyle {
inline constexpr unsigned kNone = 0;
inline constexpr unsigned kStartsGroup = 1; // first toggle of a group
inline constexpr unsigned kDisabled = 2;
inline constexpr unsigned kVerticalScroll = 4;
} // namespace ControlStyle

struct ControlPlacement {
    const char* name; // empty for pictures
    ControlKind kind;
    const char* caption;
    QRect rect; // pixels in the dialog; pictures take their image's size
    unsigned style;
    const char* picture; // pictures only: the picture's resource name
    // Dials: the round part (in dialog pixels) where hover, press and focus
    // show; empty: the whole area. With a ring, the dial answers to clicks on
    // the ring and on the label rectangle only.
    QRect ring = {};
    QRect label = {};
};

struct DialogLayout {
    QSize size;
    std::vector<ControlPlacement> controls; // first on top
};

class LaidOutDialog : public QDialog {
    Q_OBJECT

  public:
    LaidOutDialog(DialogLayout layout, QWidget* parent);

    // Creates the controls (once), then Setup(). Call before showing.
    void Build();
    // Builds, then runs modally: QDialog::Accepted or QDialog::Rejected.
    int Run();
    QWidget* control(const QString& name) const { return m_controls.value(name); }
    QAbstractButton* button(const QString& name) const;
    // The position of the checked toggle in the group that starts at `first`
    // (-1: none); and checking one (-1: none).
    int CheckedIn(const QString& first) const;
    void CheckIn(const QString& first, int position);

    // Such a dialog has no title bar: a press on its face (where no control
    // is) starts dragging it, as here from a point on the screen.
    void BeginDrag(QPoint globalPoint);

  protected:
    virtual void Setup() {}
    // After the dialog was dragged somewhere.
    virtual void Dragged() {}
    // Enter presses the focused button, else accepts; Escape rejects.
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    WindowMover m_mover;
    DialogLayout m_layout;
    QHash<QString, QWidget*> m_controls;
    bool m_built = false;
};
