#pragma once
// The export dialog: template width and height, then Save, Copy or Cancel.
#include "model/Outcome.h"
#include "platform/Dialog.h"

#include <QString>

int SizeFromIndex(int position);

class CExportDlg : public CDialog {
  public:
    explicit CExportDlg(QWidget* parent = nullptr);

    int m_widthIndex = -1;  // first row: 0..3 for 32, 64, 128, 256; -1 none
    int m_heightIndex = -1; // second row

    bool WriteEpsTemplate(int width, int height, const QString& path);
    bool WriteBmpTemplate(int width, int height, const QString& path, int bitsPerPixel);
    void CopyLayoutToClipboard();
    // The Save action.
    void OnOK() override;

  protected:
    bool OnInitDialog() override;
    // A writer's failure, shown in a message box owned by this dialog.
    bool ShowOutcome(const Outcome& outcome);
    void DoDataExchange(DataExchange& exchange) override;
    void OnCommand(int id, int notification) override;
};
