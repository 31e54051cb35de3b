#pragma once
// The export dialog: template width and height, the template options, then
// Save, Copy or Cancel. The size and options chosen are remembered.
#include "app/OptionsDialog/TemplateOptions.h"
#include "model/Error.h"
#include "platform/Dialog.h"

#include <QImage>
#include <QString>

int SizeFromIndex(int position);

class ExportDialog : public CDialog {
    Q_OBJECT

  public:
    // The template of the surface `selected` of the textures' model.
    ExportDialog(ModelTextures& textures, int selected, QWidget* parent = nullptr);

    int m_widthIndex = -1;  // first row: 0..3 for 32, 64, 128, 256; -1 none
    int m_heightIndex = -1; // second row

    bool WriteEpsTemplate(int width, int height, const QString& path);
    bool WriteBmpTemplate(int width, int height, const QString& path, int bitsPerPixel);
    // Any format the engine writes, from the file name's extension.
    bool WriteTemplate(const QString& path);
    void CopyLayoutToClipboard();
    void OnOptions();
    // The Save action.
    void OnOK() override;

    const TemplateOptions& options() const { return m_options; }
    // What the last Save or Copy did ("Saved torso.png, 512 × 512", "Copied");
    // empty when neither happened.
    const QString& confirmation() const { return m_confirmation; }
    // The template as the clipboard gets it.
    QImage TemplatePicture() const;
    // What the save dialog's name starts as: the surface's name, or the
    // texture's when several surfaces are drawn.
    QString SuggestedName() const;

  protected:
    bool OnInitDialog() override;
    // A writer's failure, shown in a message box owned by this dialog.
    bool ShowOutcome(const Status& outcome);
    void DoDataExchange(DataExchange& exchange) override;
    void OnCommand(int id, int notification) override;

  private:
    std::vector<const Surface*> Surfaces() const;
    bool WriteSized(int width, int height, const QString& path);
    void ShowSize(); // the rows and the summary line follow the options
    TemplateOptions m_options;
    ModelTextures& m_textures;
    int m_selected;
    QString m_confirmation;
};
