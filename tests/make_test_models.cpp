// Writes the models the command-line test needs into a folder: names that try
// to break a listing, and surfaces named with digits.
#include "tests/Md3Builder.h"
#include "tests/TestGame.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <zip.h>

namespace {

Md3SurfaceDesc Triangle(const std::string& name, const std::string& shader) {
    Md3SurfaceDesc s;
    s.name = name;
    s.shaders.push_back({shader, 0});
    s.uv = {{0.25f, 0.25f}, {0.75f, 0.25f}, {0.5f, 0.75f}};
    s.triangles = {{0, 1, 2}};
    return s;
}

bool Write(const std::string& path, const Md3ModelDesc& model) {
    if (WriteBytesToFile(path, BuildMd3(model).bytes))
        return true;
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// A zip archive of (name, bytes), as games ship their .pk3 files.
bool WritePak(const std::string& path,
              const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files) {
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        return false;
    for (const auto& [name, bytes] : files) {
        zip_source_t* source = zip_source_buffer(zip, bytes.data(), bytes.size(), 0);
        if (zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_RAW) < 0) {
            zip_discard(zip);
            return false;
        }
    }
    return zip_close(zip) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_test_models FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    Md3ModelDesc hostile;
    hostile.surfaces = {Triangle("tab\there\nnewline\\back\x1b[31mred\r", "a\tb\nc.tga"),
                        Triangle("caf\xC3\xA9", "models/x/\x7F.tga")};
    Md3ModelDesc digits;
    digits.surfaces = {Triangle("Alpha", "a.tga"), Triangle("1", "b.tga"), Triangle("7", "c.tga")};
    // Body and wheels share one texture; the antenna has its own.
    Md3ModelDesc shared;
    shared.surfaces = {Triangle("body", "models/x/body.tga"), Triangle("antenna", "models/x/ant"),
                       Triangle("wheels", "MODELS\\X\\Body.jpg")};
    shared.surfaces[2].uv = {{0.1f, 0.6f}, {0.4f, 0.6f}, {0.25f, 0.95f}};
    // Tags and frames only, as a weapon's hand model is.
    Md3ModelDesc hand;
    // Every corner on one point: a layout with no area.
    Md3ModelDesc point;
    point.surfaces = {Triangle("dot", "models/x/dot.tga")};
    point.surfaces[0].uv = {{0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, 0.5f}};
    // Stored below zero: the game samples u = -0.3 at 0.7.
    Md3ModelDesc negative;
    negative.surfaces = {Triangle("below", "models/x/below.tga")};
    negative.surfaces[0].uv = {{-0.3f, 0.2f}, {-0.1f, 0.2f}, {-0.2f, 0.4f}};
    const bool written =
        Write(folder + "/hand.md3", hand) && Write(folder + "/point.md3", point) &&
        Write(folder + "/negative.md3", negative) && Write(folder + "/hostile.md3", hostile) &&
        Write(folder + "/digits.md3", digits) && Write(folder + "/shared.md3", shared);
    WriteTestGame(folder + "/game");
    // A game folder with a pak and a loose model: the pak's upper.md3 is the
    // test game's, byte for byte.
    const std::string base = folder + "/paks/base";
    std::filesystem::create_directories(base + "/models/loose");
    const bool pak = WritePak(
        base + "/pak0.pk3",
        {{"models/pak/upper.md3", ReadBytes(folder + "/game/models/players/bot/upper.md3")},
         {"Models/Pak/Shared.MD3", BuildMd3(shared).bytes},
         // u_torso wears a shader, whose stage names the image.
         {"models/pak/upper_default.skin",
          Bytes("u_torso,models/pak/torso_s\nu_arm,models/pak/none\n")},
         {"scripts/pak.shader", Bytes("// comments, $lightmap first\nmodels/pak/torso_s\n{\n"
                                      "  { map $lightmap }\n  { map models/pak/torso.tga }\n}\n")},
         {"models/pak/torso.tga", ReadBytes(folder + "/game/models/players/bot/torso.tga")}});
    const bool loose = Write(base + "/models/loose/digits.md3", digits);
    return written && pak && loose ? 0 : 1;
}
