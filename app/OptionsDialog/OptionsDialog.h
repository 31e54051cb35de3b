#pragma once
// The template options panel: every option of the template engine, a live
// preview of the template, Reset to the classic template, OK and Cancel.
#include "app/OptionsDialog/TemplateOptions.h"
#include "bake/Bake.h"
#include "platform/LaidOutDialog.h"
#include "render/TemplateImage.h"

#include <QImage>

#include <atomic>
#include <memory>
#include <utility>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QThreadPool;

class OptionsDialog : public LaidOutDialog {
    Q_OBJECT

  public:
    // selected: the surface of the textures' model whose template is
    // previewed (-1: none).
    OptionsDialog(const TemplateOptions& options, ModelTextures& textures, int selected,
                  QWidget* parent = nullptr);

    const TemplateOptions& options() const { return m_options; }
    // As if the painter had set every control to these options.
    void SetOptions(const TemplateOptions& options);
    void OnReset();
    ~OptionsDialog() override;
    // The live preview as last drawn.
    const QImage& previewImage() const { return m_preview; }
    // The preview's bake is under way (its layers show when it ends).
    bool previewBaking() const { return bool(m_bakeCancel); }
    QWidget* Control(const char* name) const;
    // OK: the options are kept.
    void accept() override;
    // Cancel: and the model's texture coordinates are those it had.
    void reject() override;

  protected:
    void Setup() override;

  private:
    void BuildControls();
    void ReadControls();  // controls -> m_options, then the preview
    void WriteControls(); // m_options -> controls
    void DrawPreview();
    // The size boxes show the size the template gets: the texture's, greyed,
    // when it is chosen and found.
    void ShowSizeBoxes();
    bool SizeFromTexture() const;
    int PresetIndex() const; // the size list's entry for the options
    void PickColour(QPushButton* button, Rgba& colour);
    // The baked layers chosen, over the preview's template; a bake of every
    // layer at the preview's size starts when the layout or size changed.
    TemplateImage WithPreviewBake(const TemplateStyle& style,
                                  const std::vector<const Surface*>& surfaces,
                                  const StyledTemplate& styled);

    TemplateOptions m_options;
    ModelTextures& m_textures;
    int m_selected;
    QImage m_preview;
    bool m_writing = false;
    QSpinBox *m_width = nullptr, *m_height = nullptr, *m_uvSet = nullptr;
    int m_initialUvSet = 0;
    QComboBox *m_sizes = nullptr, *m_wrap = nullptr, *m_surfaces = nullptr;
    QPushButton *m_lineColour = nullptr, *m_backgroundColour = nullptr, *m_fillColour = nullptr,
                *m_overlapColour = nullptr, *m_seamsColour = nullptr, *m_flippedColour = nullptr;
    QDoubleSpinBox* m_lineWidth = nullptr;
    QCheckBox *m_antialias = nullptr, *m_transparent = nullptr, *m_fill = nullptr,
              *m_overlaps = nullptr, *m_colourBySurface = nullptr, *m_underlay = nullptr,
              *m_seams = nullptr, *m_flipped = nullptr, *m_outlineIslands = nullptr,
              *m_islands = nullptr;
    QDoubleSpinBox* m_underlayOpacity = nullptr;
    QLabel* m_previewLabel = nullptr;
    std::vector<std::pair<BakeLayer, QCheckBox*>> m_bakeBoxes;
    QSpinBox* m_bakeRays = nullptr;
    // The preview's bake: of which layout, at which size; its layers; the
    // one under way.
    struct PreviewBakeKey {
        std::vector<const Surface*> surfaces;
        WrapMode wrap = WrapMode::Repeat;
        int width = 0, height = 0;
        bool operator==(const PreviewBakeKey&) const = default;
    };
    PreviewBakeKey m_bakedFor, m_bakingFor;
    std::shared_ptr<const std::vector<LayerImage>> m_baked;
    std::shared_ptr<std::atomic<bool>> m_bakeCancel;
    QThreadPool* m_baker = nullptr;
    Rgba m_backgroundPick{255, 255, 255, 255}, m_fillPick{64, 128, 255, 64};
    Rgba m_seamsPick = kDefaultSeamColour, m_flippedPick = kDefaultFlippedColour;
};
