#pragma once
// The export dialog: template width and height, the template options, then
// Save, Copy or Cancel. The size and options chosen are remembered.
#include "app/OptionsDialog/TemplateBake.h"
#include "app/OptionsDialog/TemplateOptions.h"
#include "export/TemplateFile.h"
#include "model/Error.h"
#include "platform/LaidOutDialog.h"

#include <QImage>
#include <QString>

#include <optional>

int SizeFromIndex(int position);

class ExportDialog : public LaidOutDialog {
    Q_OBJECT

  public:
    // The template of the surface `selected` of the textures' model.
    ExportDialog(ModelTextures& textures, int selected, QWidget* parent = nullptr);

    // Any format the engine writes, from the file name's extension.
    bool WriteTemplate(const QString& path);
    // The save dialog's file types, one per output format.
    static QStringList FileTypes();

  public slots:
    void CopyLayoutToClipboard();
    void OnOptions();
    // Save: asks where, writes, and closes.
    void OnSave();
    // A size chosen in either row.
    void OnSizeClicked();
    // Enter (with no dial focused) saves.
    void accept() override;

  public:
    const TemplateOptions& options() const { return m_options; }
    // What the last Save or Copy did ("Saved torso.png, 512 × 512", "Copied");
    // empty when neither happened.
    const QString& confirmation() const { return m_confirmation; }
    // The template as the clipboard gets it.
    QImage TemplatePicture() const;
    // What the save dialog's name starts as: the surface's name, or the
    // texture's when several surfaces are drawn.
    QString SuggestedName() const;
    // What the window says when a file type cannot take an option of the
    // style (seams in an EPS); empty when it takes them all.
    static QString WhatTheTypeCannotTake(const TemplateStyle& style, TemplateFormat format);

  protected:
    void Setup() override;
    // Dragged by its face to wherever it is wanted: the place is kept for
    // the next time.
    void Dragged() override;
    // A writer's failure, shown in a message box owned by this dialog.
    bool ShowOutcome(const Status& outcome);

  private:
    std::vector<const Surface*> Surfaces() const;
    bool WriteSized(int width, int height, const QString& path);
    // The chosen layers baked at the styled template's size, a progress
    // dialog up while it takes long; nothing when the painter cancels.
    std::optional<Result<BakedForTemplate>> BakeWithProgress(const StyledTemplate& styled);
    QString m_bakeNote; // what the last bake left out, for the confirmation
    void ShowSize();    // the rows and the summary line follow the options
    TemplateOptions m_options;
    ModelTextures& m_textures;
    int m_selected;
    QString m_confirmation;
};
