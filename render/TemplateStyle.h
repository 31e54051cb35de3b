#pragma once
// What a template shows and how: one description that every output (EPS, SVG,
// PDF, PNG, BMP, the clipboard and the preview) draws from.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba&) const = default;
};

enum class WrapMode {
    Repeat, // as the game samples textures: every triangle shifted into the unit square
    Clip,   // the coordinates as stored; what lies outside the square is not drawn
};

enum class Outline {
    All,     // every edge of every face
    Islands, // only the borders of each island
};

struct TemplateStyle {
    int width = 128, height = 128;
    WrapMode wrap = WrapMode::Repeat;
    Rgba line{0, 0, 0, 255};
    double lineWidth = 1.0; // pixels for images, points for vector formats
    bool antialias = false; // images only; vector formats are always smooth
    std::optional<Rgba> background = Rgba{255, 255, 255, 255}; // none: transparent
    std::optional<Rgba> fill;                                  // faces filled when set
    bool overlaps = false; // highlight areas covered by two or more faces
    Rgba overlapColour{255, 0, 0, 128};
    bool colourBySurface = false; // each surface its own line colour
    std::optional<Rgba> seams;    // seam edges drawn over the lines in this colour
    std::optional<Rgba> flipped;  // faces laid out mirrored filled in this colour
    Outline outline = Outline::All;
    bool islands = false; // each island filled with its own opaque colour
    // The texture drawn under the layout (images and PDF), over the whole
    // template, at this opacity; none when null. Not owned.
    const struct TextureImage* underlay = nullptr;
    double underlayOpacity = 0.5;
    // Which texture file each record samples, an id per record in order:
    // faces overlap only faces that sample the same file (two textures laid
    // over one another mean nothing to a painter). Empty: all sample one.
    std::vector<int> sampled;
    // The records in runs, in order, each named ("models/x/lower.md3: legs
    // (default, red)"): a layered file draws each run's lines as a layer of
    // its own, an SVG as a group of its own, so the painter sees which model,
    // surface and skin each outline comes from. Empty: one run, unnamed.
    struct Run {
        size_t count = 0;
        std::string name;
    };
    std::vector<Run> runs;
    // Layers baked from the model's geometry (shading at the texture's
    // texels, of the template's size) that layered files put just above the
    // texture; null: none. Other formats do not take them.
    std::shared_ptr<const std::vector<struct LayerImage>> baked;

    // The look of the first templates: black 1-pixel aliased lines on white,
    // nothing else. Such templates keep their exact line rule and bytes.
    bool IsPlain() const;
};

// A run of records as drawn: records [first, first + count) and its name,
// made safe to show (see CleanRunName).
struct RecordRun {
    size_t first = 0, count = 0;
    std::string name;
};
// The style's runs laid over records records. Counts that do not add up are
// mended: a run past the records is dropped, and the last run kept takes
// every record left. Empty runs and no runs give one unnamed run of all.
std::vector<RecordRun> RunsOf(const TemplateStyle& style, size_t records);
// Whether the lines are split by run: more than one run, or one named.
bool SplitsRuns(const std::vector<RecordRun>& runs);

// A name from a model file, fit to show in any file: broken UTF-8 and
// control characters become U+FFFD, and at most kMaxRunNameBytes bytes are
// kept, cut between characters.
std::string CleanRunName(const std::string& name);
inline constexpr size_t kMaxRunNameBytes = 200;

// The texture file the record samples: its id in style.sampled, or 0 when
// the list is shorter (one file for all).
inline int SampledBy(const std::vector<int>& sampled, size_t record) {
    return record < sampled.size() ? sampled[record] : 0;
}

// The classic template at a size, its coordinates wrapped or as stored.
TemplateStyle PlainStyle(int width, int height, WrapMode wrap);

// "#RRGGBB" or "#RRGGBBAA" (the '#' may be left out); false when malformed.
bool ParseColour(const std::string& text, Rgba& colour);
std::string FormatColour(const Rgba& colour); // "#rrggbbaa"

// Line colours for --colour-by-surface: distinct hues, dark enough on white
// and light enough on black to read on both.
Rgba SurfacePaletteColour(int position);

inline constexpr double kMaxLineWidth = 64.0;
// The colours seams and flipped faces take unless one is chosen.
inline constexpr Rgba kDefaultSeamColour{0, 192, 0, 255};
inline constexpr Rgba kDefaultFlippedColour{0, 96, 255, 128};
