#pragma once
// Modal dialogs built from numbered templates, in the style the program's
// windows are written in: initialisation, data exchange, OK and Cancel hooks,
// and commands routed to one handler per dialog.
#include <QDialog>
#include <QHash>
#include <QImage>
#include <QRect>
#include <vector>

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Notification codes that reach OnCommand.
inline constexpr int BN_CLICKED = 0;
inline constexpr int LBN_SELCHANGE = 1;

// PushButton: a click area over a picture, with no face of its own; Button: a
// push button with a visible face and text; Text: a line of static text.
enum class ControlKind { PushButton, RadioButton, ListBox, GroupBox, Picture, Button, Text };

namespace ControlStyle {
inline constexpr unsigned kNone = 0;
inline constexpr unsigned kStartsGroup = 1; // first radio button of a group
inline constexpr unsigned kDisabled = 2;
inline constexpr unsigned kNotify = 4; // a list box that reports its selection
inline constexpr unsigned kVerticalScroll = 8;
} // namespace ControlStyle

struct ControlTemplate {
    int id; // -1 for pictures
    ControlKind kind;
    const char* caption;
    QRect rect; // pixels in the dialog; pictures take their bitmap's size
    unsigned style;
    int bitmap; // pictures only
    // Click areas: the round dial (in dialog pixels) where hover, press and
    // focus show; empty: the whole area. With a ring, the area answers to
    // clicks on the ring and on the label rectangle only.
    QRect ring = {};
    QRect label = {};
};

struct DialogTemplate {
    QSize size;
    std::vector<ControlTemplate> controls; // first on top
};

class DataExchange;

class CDialog : public QDialog {
  public:
    CDialog(const DialogTemplate& dialogTemplate, QWidget* parent);

    // Creates the controls, initialises, and runs until EndDialog; IDOK or IDCANCEL.
    int DoModal();
    // Creates the controls and initialises, without running: for modeless use and tests.
    bool Create();
    void EndDialog(int result);
    // Moves control values into fields (true) or fields into controls (false).
    bool UpdateData(bool saveAndValidate = true);
    QWidget* GetDlgItem(int id) const { return m_controls.value(id); }

  protected:
    virtual bool OnInitDialog();
    virtual void DoDataExchange(DataExchange& exchange);
    virtual void OnOK();
    virtual void OnCancel();
    // A close request from the window system; by default a Cancel.
    virtual void OnClose() { OnCancel(); }
    virtual void OnCommand(int id, int notification);

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void CreateControls();

    DialogTemplate m_template;
    QHash<int, QWidget*> m_controls;
    bool m_created = false;
    bool m_ending = false;
};

// Binds controls to member objects and moves radio positions to and from fields.
class DataExchange {
  public:
    DataExchange(CDialog& dialog, bool saveAndValidate)
        : m_dialog(dialog), m_save(saveAndValidate) {}
    // The radio group that starts at firstId: position of the checked button,
    // -1 when none.
    void Radio(int firstId, int& position);
    QWidget* Control(int id) const { return m_dialog.GetDlgItem(id); }
    template <typename T> void Bind(int id, T& object) { object.Attach(Control(id)); }

  private:
    CDialog& m_dialog;
    bool m_save;
};
