// Writes the bundled sample model: a small robot whose surfaces are listed out
// of alphabetical order and whose shaders live in folders, as real ones do.
#include "tests/Md3Builder.h"

#include <cmath>
#include <cstdio>

namespace {

// A closed fan of triangles around a centre: a round island in the layout.
Md3SurfaceDesc Disc(const std::string& name, const std::string& shader, float cx, float cy,
                    float radius, int segments) {
    Md3SurfaceDesc s;
    s.name = name;
    s.shaders.push_back({shader, 0});
    s.uv.push_back({cx, cy});
    for (int i = 0; i < segments; ++i) {
        const float a = 6.2831853f * float(i) / float(segments);
        s.uv.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a)});
    }
    for (int i = 0; i < segments; ++i)
        s.triangles.push_back({0, 1 + i, 1 + (i + 1) % segments});
    return s;
}

// Appends an nx x ny grid of quads covering [x0, x1] x [y0, y1].
void AddPanel(Md3SurfaceDesc& s, float x0, float y0, float x1, float y1, int nx, int ny) {
    const int32_t base = int32_t(s.uv.size());
    for (int y = 0; y <= ny; ++y)
        for (int x = 0; x <= nx; ++x)
            s.uv.push_back(
                {x0 + (x1 - x0) * float(x) / float(nx), y0 + (y1 - y0) * float(y) / float(ny)});
    for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x) {
            const int32_t i = base + y * (nx + 1) + x;
            s.triangles.push_back({i, i + 1, i + nx + 1});
            s.triangles.push_back({i + 1, i + nx + 2, i + nx + 1});
        }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample_md3 OUT.md3\n");
        return 2;
    }
    Md3ModelDesc model;
    model.name = "models/players/gridbot/gridbot.md3";

    Md3SurfaceDesc torso;
    torso.name = "u_torso";
    torso.shaders.push_back({"models/players/gridbot/torso.tga", 0});
    AddPanel(torso, 0.05f, 0.05f, 0.60f, 0.55f, 4, 3); // chest
    AddPanel(torso, 0.65f, 0.05f, 0.95f, 0.55f, 2, 3); // back
    AddPanel(torso, 0.05f, 0.62f, 0.45f, 0.95f, 3, 2); // arms
    model.surfaces.push_back(torso);

    model.surfaces.push_back(
        Disc("h_head", "models/players/gridbot/head.tga", 0.5f, 0.5f, 0.45f, 16));

    Md3SurfaceDesc legs;
    legs.name = "l_legs";
    legs.shaders.push_back({"models/players/gridbot/legs.tga", 0});
    legs.shadersAfterLists = true;
    AddPanel(legs, 0.10f, 0.05f, 0.40f, 0.95f, 2, 6);
    AddPanel(legs, 0.60f, 0.05f, 0.90f, 0.95f, 2, 6);
    model.surfaces.push_back(legs);

    Md3SurfaceDesc antenna;
    antenna.name = "a_antenna";
    antenna.shaders.push_back({"models/players/gridbot/antenna.tga", 0});
    antenna.uv = {{0.25f, 0.75f}, {0.75f, 0.75f}, {0.5f, 0.25f}};
    antenna.triangles = {{0, 1, 2}};
    model.surfaces.push_back(antenna);

    // Shoulder pads share the torso's texture. Their exporter stored the layout
    // one tile down (v in [1, 2]), and the right pad is the left one mirrored
    // onto the same texels: a wrapped layout and an overlap to see.
    Md3SurfaceDesc shoulders;
    shoulders.name = "s_shoulders";
    shoulders.shaders.push_back({"models/players/gridbot/torso.tga", 0});
    AddPanel(shoulders, 0.52f, 1.64f, 0.92f, 1.94f, 3, 2);
    AddPanel(shoulders, 0.92f, 1.64f, 0.52f, 1.94f, 3, 2);
    model.surfaces.push_back(shoulders);

    if (!WriteBytesToFile(argv[1], BuildMd3(model).bytes)) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
