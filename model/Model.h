#pragma once
// A loaded model as a value that belongs to no file format: what every
// reader returns, and what the window and the command line each own. Its
// surfaces hold their names, texture names, texture coordinates and
// triangles, and the model's first frame (or bind pose); every frame and the
// tags are reached through its geometry. What only one format has stays in a
// side record (MD3's header fields, for the dump).
#include "model/Animation.h"

#include <array>
#include <cstdint>

#include <memory>
#include <span>
#include <string>
#include <vector>

// What MD3 itself allows; the other readers hold the limits below.
inline constexpr int kMaxSurfaces = 255;
inline constexpr int kMaxVertices = 4096;
inline constexpr int kMaxTriangles = 8192;
inline constexpr int kNameSize = 64;
// What no real model reaches: a reader refuses more, saying so.
// A sculpt or a scan exported whole: a few million in one mesh.
inline constexpr int64_t kMaxMeshVertices = int64_t(4) << 20;
inline constexpr int64_t kMaxMeshTriangles = int64_t(4) << 20;
inline constexpr int64_t kMaxModelVertices = int64_t(16) << 20;
inline constexpr int kMaxModelSurfaces = 4096;
inline constexpr int kMaxModelFrames = 1 << 16;

struct Triangle {
    int32_t a = 0, b = 0, c = 0; // vertex indices into the surface's vertices
};

using Point3 = std::array<float, 3>;

// One surface's vertices in one frame: positions in the game's units and unit
// normals, one per vertex; both empty when the file holds none.
struct SurfacePose {
    std::vector<Point3> positions, normals;
};

// A tag in one frame: a named place other models attach to.
struct TagPose {
    std::string name;
    Point3 origin{0, 0, 0};
    std::array<Point3, 3> axes{Point3{1, 0, 0}, Point3{0, 1, 0}, Point3{0, 0, 1}};
};

// Every frame's (or pose's) vertices and tags, read when asked for: a format
// may keep them in the file's bytes and decode one frame at a time.
class ModelGeometry {
  public:
    virtual ~ModelGeometry() = default;
    // The frames it holds (0 when none).
    virtual int FrameCount() const = 0;
    // Surface `surface`'s vertices in `frame`, clamped to the frames held;
    // empty when there are none.
    virtual SurfacePose Pose(size_t surface, int frame) const = 0;
    // The tags of `frame`, clamped likewise.
    virtual std::vector<TagPose> Tags(int /*frame*/) const { return {}; }
    // The vertices `blend` of the way from `frame` to `next`, where the
    // format's engine goes between frames otherwise than by lerping the
    // vertices (a skeleton's joints are blended); empty: lerp the two poses.
    virtual SurfacePose PoseBetween(size_t /*surface*/, int /*frame*/, int /*next*/,
                                    float /*blend*/) const {
        return {};
    }
};

// Geometry held decoded, for formats read whole: poses[frame][surface].
class StoredGeometry : public ModelGeometry {
  public:
    std::vector<std::vector<SurfacePose>> poses;
    std::vector<std::vector<TagPose>> tags; // per frame; empty when it has none

    int FrameCount() const override { return int(poses.size()); }
    SurfacePose Pose(size_t surface, int frame) const override;
    std::vector<TagPose> Tags(int frame) const override;
};

struct UvSet {
    std::vector<double> u, v;
};

struct Surface {
    std::string name;       // as the file names it (MD3: up to its first zero, 63 bytes at most)
    std::string shaderName; // the shader, material or skin it wears; empty when none
    // Per vertex, where the painter sees it: u across the image from the left,
    // v down from the top (1 = the far edge); finite, rounded to six decimals.
    std::vector<double> u, v;
    std::vector<Triangle> triangles;
    // The first frame (or bind pose); empty when the file holds none.
    std::vector<Point3> positions, normals;
    // The picture its material names (OBJ's map_Kd, glTF's base colour): a
    // file as the model writes it, relative to the model's own file
    // ("../textures/a.png"), or the name of a picture the model holds
    // ("image 0"); empty when the format names textures by shader instead.
    std::string texture;
    // Every set of texture coordinates it holds, when it holds more than one
    // (glTF's TEXCOORD_n), set 0 first; u and v are a copy of the one in use.
    std::vector<UvSet> uvSets;
};

// A picture the model file carries: MDL's 8-bit colour indices into the
// game's palette, row by row from the top; or an image file's bytes (glTF's
// embedded PNG or JPEG), decoded as a texture file is.
inline constexpr size_t kPaletteBytes = 768; // a palette: 256 colours of red, green, blue
struct EmbeddedSkin {
    std::string name; // "skin 0", or "skin 1, picture 2 of 4" in a group; "image 0"
    int width = 0, height = 0;
    std::vector<uint8_t> indices;
    std::vector<uint8_t> encoded = {}; // an image file's bytes; then indices are empty
};

struct Md3Layout; // MD3's header fields, for the dump (model/Md3Reader.h)

struct Model {
    std::string path;   // where it was read from, as given
    std::string format; // the format table's name of it: "MD3", "MDL", ...
    std::vector<Surface> surfaces;
    std::vector<std::string> frameNames; // where the format names its frames
    // The animations the file names (IQM's), in its order; their frames are
    // the file's own, which the bind pose alone may not show.
    std::vector<Animation> animations;
    std::vector<std::string> skinNames;            // skins the file names (MD2's header), in order
    std::vector<EmbeddedSkin> skins;               // pictures the file holds (MDL, glTF)
    std::shared_ptr<const ModelGeometry> geometry; // null: no frame beyond the surfaces' own
    std::shared_ptr<const Md3Layout> md3;          // null for other formats
    // What the reader read past, each a plain sentence without its final stop
    // ("its material library "a.mtl" is not beside it"): shown, never fatal.
    std::vector<std::string> notes;

    int SurfaceCount() const { return int(surfaces.size()); }
    // True when it holds pictures of the game's palette (MDL), whose colours
    // come from the game.
    bool HoldsPaletteSkins() const;
    // Frames that can be shown: at least one.
    int FrameCount() const;
    // A surface's vertices in a frame: the geometry's, or the surface's own.
    SurfacePose Pose(size_t surface, int frame) const;
    std::vector<TagPose> Tags(int frame) const;
};

// The most sets of texture coordinates any surface holds (1 when none holds
// more).
int UvSetCount(const Model& model);
// Puts set `set` in use on every surface that has it; a surface with fewer
// sets keeps its first. False (and nothing changed) when no surface has it.
bool UseUvSet(Model& model, int set);
// The set the surfaces show: that of the first surface with several (0 when none has).
int UvSetInUse(const Model& model);

// A vertex normal from its stored latitude and longitude (256 steps a turn),
// as the game decodes it: x = cos lat sin lng, y = sin lat sin lng, z = cos lng.
std::array<double, 3> DecodeNormal(uint8_t latitude, uint8_t longitude);
// Every such normal decoded once, as floats: entry latitude * 256 + longitude.
const std::vector<Point3>& LatitudeLongitudeNormals();

// Calls visit(a, b, c) with the vertex indices of every triangle in file
// order. Readers check the corners; one outside the surface's vertices (a
// surface built by hand) is skipped, so that every drawing agrees.
template <typename Visit> void ForEachTriangle(const Surface& surface, Visit&& visit) {
    const int32_t vertices = int32_t(surface.u.size());
    auto inside = [vertices](int32_t i) { return i >= 0 && i < vertices; };
    for (size_t k = 0; k < surface.triangles.size(); ++k) {
        const Triangle t = surface.triangles[k];
        if (inside(t.a) && inside(t.b) && inside(t.c))
            visit(int(t.a), int(t.b), int(t.c));
    }
}

// The texture name shown for a surface: the shader name after its last '/'.
std::string TextureNameOf(const Surface& surface);

// Text in lower case, byte by byte (names compare without regard to case).
std::string LowerCase(std::string text);

// A texture name as the game compares it: lower case, '/' for '\\', and
// without its extension ("Models\\X\\Body.TGA" -> "models/x/body").
std::string TextureKey(std::string name);

// True when some triangle of the surface covers an area of its texture. A
// layout whose coordinates all lie on one point or one line draws nothing a
// painter can use.
bool LayoutHasArea(const Surface& surface);

// True when a texture name means the texture `wanted` as painters name it:
// any letter case, either slash, with or without its extension, as a full
// path or as its last part.
bool SameTexture(const std::string& name, const std::string& wanted);
