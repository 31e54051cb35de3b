#pragma once
// Shading baked into a texture's texels through the model's own geometry, as
// a head start on the paint: ambient occlusion, light from above, normals as
// colours, curvature, texel density, and the mask of texels no ray reaches.
//
// Each texel whose centre lies on a face of the layout (or within two texels
// of one, for the texels filtering reads at the islands' edges) is shaded at
// the point of the 3D surface under it: the nearest point of the nearest
// face in the layout. Texels on either side of a seam therefore shade points
// that meet on the model, and get the same value. The rest of the texture is
// padded from the islands as a painted texture is padded.
#include "bake/Occlusion.h"
#include "image/TextureImage.h"
#include "model/Error.h"
#include "model/Model.h"
#include "render/TemplateImage.h"
#include "render/TemplateStyle.h"
#include "scene/Scene.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A bake's side: beyond 4096 texels the rays alone would take minutes.
inline constexpr int kMaxBakeSide = 4096;
inline constexpr int kDefaultBakeSide = 1024; // when the texture's own size is unknown
inline constexpr int kMaxOcclusionRays = 4096;
inline constexpr int kDefaultOcclusionRays = 64;

enum class BakeLayer { Occlusion, Light, Normals, Curvature, Density, NeverSeen };

// One row per layer, in the order they stack in a layered template, the
// lowest first: how a painter names it on the command line, its title as a
// layer, and whether it multiplies what lies under it.
struct BakeLayerInfo {
    BakeLayer layer;
    const char* name;  // "ao"
    const char* title; // "Ambient occlusion"
    bool multiply;
};
const std::vector<BakeLayerInfo>& BakeLayers();
const BakeLayerInfo& InfoOf(BakeLayer layer);
// The layer of that name (as BakeLayers names them), if any.
std::optional<BakeLayer> FindBakeLayer(std::string_view name);
// "ao,light" into layers, each once, in the order given; an error naming
// the first unknown one and the names there are.
Result<std::vector<BakeLayer>> ParseBakeLayers(std::string_view list);

struct BakeRequest {
    // The model in its first frame or bind pose (a player's parts joined at
    // their tags): every face shades, and occludes, every other.
    std::vector<ScenePart> parts;
    // The surfaces wearing the texture. A record that is none of the parts'
    // surfaces has no place among them: it is left out (BakeResult::unplaced)
    // rather than shaded where it does not stand.
    std::vector<const Surface*> records;
    WrapMode wrap = WrapMode::Repeat;
    int width = 512, height = 512;
    std::vector<BakeLayer> layers;
    OcclusionOptions occlusion; // rays, seed, threads, progress, cancel
    int padBand = 16;           // texels of nearest-island padding; the rest push-pull
};

struct BakedLayer {
    BakeLayer layer = BakeLayer::Occlusion;
    TextureImage image; // the request's size, opaque (never-seen: transparent but its marks)
};

struct BakeResult {
    std::vector<BakedLayer> layers; // in the order asked
    size_t texels = 0;              // texels shaded
    size_t samples = 0;             // points shaded (a texel worn twice is shaded twice)
    size_t neverSeen = 0;           // of the texels, those no ray leaves (when AO is baked)
    // Texels per square unit of the model at its area-weighted median face,
    // the density layer's green; 0 when no face has area.
    double medianDensity = 0;
    bool cancelled = false;
    size_t unplaced = 0; // records left out: none of the parts' surfaces
};

// The layers asked for. An error when the layout covers no texel, the size
// is out of range (1 to kMaxBakeSide), or no layer is asked; cancelled
// (with no layers) when the request's cancel flag is set.
Result<BakeResult> Bake(const BakeRequest& request);

// The baked layers as layers of a layered template (PSD, ORA), in the
// table's stacking order whatever order they were asked in, each titled;
// occlusion and light multiply. The layers a painter multiplies under the
// paint, and the never-seen marks, are shown; the colour references
// (normals, curvature, density) are there but hidden, as they would cover
// the rest.
std::vector<LayerImage> BakedTemplateLayers(const BakeResult& result);

// What the bake computes per texel before it becomes pictures; exposed for
// tests and the workspace, which shows it on the model.
struct TexelSample {
    uint32_t texel = 0;     // y * width + x
    uint32_t face = 0;      // index into BakeGeometry::faces
    float b[3] = {1, 0, 0}; // barycentric weights of the face's corners
};

struct BakeFace {
    WorldTriangle corner;          // world positions
    std::array<Vec3, 3> normal;    // unit, per corner (the face's own when none are stored)
    std::array<uint32_t, 3> point; // welded corner numbers (shared by equal positions)
    std::array<double, 6> uv{};    // (u, v) per corner, as stored
};

struct BakeGeometry {
    std::vector<BakeFace> faces;  // every face of every part, then of records baked alone
    std::vector<float> curvature; // per welded point: mean signed dihedral angle (radians)
    // Per record, per triangle: its face, or -1 when the triangle is skipped
    // (all of a record that is none of the parts' surfaces).
    std::vector<std::vector<int32_t>> recordFaces;
    Bounds bounds;
};

// The scene a bake shades: the model alone, or, when it is a player's part
// and `others` hold its other parts (told by their file names: lower, upper,
// head), the player joined at its tags in the first frames. `problem` says
// why parts that are there could not be joined.
std::vector<ScenePart> BakeScene(const std::shared_ptr<const Model>& model,
                                 const std::vector<std::shared_ptr<const Model>>& others,
                                 std::string* problem = nullptr);
// The same with the parts known (lower, upper, head; `model` among them).
// The model stands in the scene whatever the join leaves out: alone when its
// part cannot be placed (no legs to stand on, no tag to hang from).
std::vector<ScenePart> BakePlayerScene(const std::shared_ptr<const Model>& model,
                                       const std::array<std::shared_ptr<const Model>, 3>& parts,
                                       std::string* problem = nullptr);

BakeGeometry GatherBakeGeometry(const std::vector<ScenePart>& parts,
                                const std::vector<const Surface*>& records);

// Every texel of a width x height grid whose centre lies within `margin`
// texels of a face of the records' layout (copies where `wrap` repeats it),
// with its point on each face it lies inside (faces laid over one another
// share it; up to 8), else on the nearest face (of equals, the first in the
// records' order). In texel order, a texel's samples together.
std::vector<TexelSample> SampleTexels(const BakeGeometry& geometry,
                                      const std::vector<const Surface*>& records, WrapMode wrap,
                                      int width, int height, double margin = 2.2);
