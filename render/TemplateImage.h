#pragma once
// The template as a picture, drawn from a TemplateStyle. Plain templates keep
// the exact 1-pixel line rule; styled ones are drawn with Cairo.
#include "render/LayoutDrawing.h"
#include "render/TemplateStyle.h"

#include <cstdint>
#include <string>
#include <vector>

// Cairo's own name for its context, declared here so that users need not include cairo.h.
typedef struct _cairo cairo_t; // NOLINT(bugprone-reserved-identifier)

struct TemplateImage {
    int width = 0, height = 0;
    // Row-major, top row first: premultiplied 0xAARRGGBB (Cairo's and Qt's
    // ARGB32_Premultiplied layout).
    std::vector<uint32_t> pixels;
    bool opaque = true; // every pixel has full alpha

    uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// A stored pixel in straight (not premultiplied) colour, 0xAARRGGBB, as
// files keep it: each channel c * 255 / alpha, rounded.
uint32_t StraightPixel(uint32_t premultiplied);

// The surfaces' template at the style's size (clamped to 1..8192). Empty
// (zero size) when the memory for it cannot be had.
TemplateImage DrawTemplateImage(const TemplateStyle& style,
                                const std::vector<const Surface*>& records);

// Draws the template onto any Cairo target (an image, a PDF page, the
// preview): (u, v) lands on mapping, and nothing is drawn outside clip.
// vector: the target is a vector page (overlaps as filled faces, lines as
// paths); otherwise a pixel grid whose size is given.
struct DrawTarget {
    LayoutMapping mapping;
    int width, height; // the area in target units; also the clip
    bool vector;
};
void DrawTemplate(cairo_t* cr, const TemplateStyle& style,
                  const std::vector<const Surface*>& records, const DrawTarget& target);

// What a template is made of, bottom first; a layered file keeps each apart.
// Baked: shading drawn from the model's geometry (named by LayerImage::name).
enum class TemplateLayer { Texture, Baked, Islands, Fill, Overlaps, Flipped, Lines, Seams };
const char* LayerName(TemplateLayer layer); // "texture", "islands", ...
// The layers the style asks for, bottom first; the lines always.
std::vector<TemplateLayer> LayersOf(const TemplateStyle& style);

struct LayerImage {
    TemplateLayer layer;
    TemplateImage image; // the layer alone on transparent pixels
    double opacity;      // the texture's underlay opacity; 1 for the others
    // As shown to the painter: LayerName(layer) when empty, else the name
    // (valid UTF-8): "lines: " and the run's name when the lines are split
    // by run (cleaned, see CleanRunName), a sheet's page label.
    std::string name = {};
    // Where the image's top left corner lies on the merged picture; a layer
    // may be smaller than the picture (a sheet's page).
    int x = 0, y = 0;
    bool multiply = false; // multiplies what lies under it rather than covering it
    bool visible = true;   // shown when the file opens, and in the merged picture
};
// With named runs in the style (see SplitsRuns), the lines are one layer
// per run, in run order.
struct LayeredTemplate {
    std::vector<LayerImage> layers; // bottom first
    TemplateImage merged;           // the template as a flat picture would show it
};
// Every layer the style asks for, and the merged template; merged is empty
// (zero size) when the memory cannot be had.
LayeredTemplate DrawLayeredTemplate(const TemplateStyle& style,
                                    const std::vector<const Surface*>& records);

// Puts layers of the template's size into it just above the texture (at the
// bottom when there is none), in the order given, and draws the merged
// picture again from the background and every visible layer, multiplying
// where a layer multiplies.
void InsertLayersAboveTexture(LayeredTemplate& layered, std::vector<LayerImage> layers,
                              const TemplateStyle& style);
