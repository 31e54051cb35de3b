#include "tests/TestGame.h"

#include "tests/Md3Builder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace {

namespace fs = std::filesystem;

void Put16(std::string& out, int value) {
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

// The picture: all one colour but the top-left corner.
std::vector<uint8_t> Pixels(const TestTexture& t) {
    std::vector<uint8_t> rgba;
    for (int y = 0; y < t.height; ++y)
        for (int x = 0; x < t.width; ++x) {
            const bool corner = x == 0 && y == 0;
            rgba.insert(rgba.end(), {corner ? kCornerR : t.r, corner ? kCornerG : t.g,
                                     corner ? kCornerB : t.b, 255});
        }
    return rgba;
}

// A TGA by hand, so that the row order is known: bottom-up (the usual kind)
// or top-down, plain or run-length, 24 bits a pixel.
std::string Tga(const TestTexture& t, bool topDown, bool runLength) {
    std::string out;
    out += char(0);                  // no id
    out += char(0);                  // no colour map
    out += char(runLength ? 10 : 2); // true colour, run-length or not
    out.append(5, '\0');             // colour map fields
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, t.width);
    Put16(out, t.height);
    out += char(24);
    out += char(topDown ? 0x20 : 0x00);
    const std::vector<uint8_t> rgba = Pixels(t);
    for (int row = 0; row < t.height; ++row) {
        const int y = topDown ? row : t.height - 1 - row;
        std::string line;
        for (int x = 0; x < t.width; ++x) {
            const uint8_t* p = &rgba[(size_t(y) * size_t(t.width) + size_t(x)) * 4];
            line += char(p[2]);
            line += char(p[1]);
            line += char(p[0]);
        }
        if (!runLength) {
            out += line;
            continue;
        }
        // Runs of equal pixels as run packets, others as raw packets of one.
        for (int x = 0; x < t.width;) {
            int n = 1;
            while (x + n < t.width && n < 128 &&
                   line.compare(size_t(x) * 3, 3, line, size_t(x + n) * 3, 3) == 0)
                ++n;
            if (n > 1) {
                out += char(0x80 | (n - 1));
                out += line.substr(size_t(x) * 3, 3);
            } else {
                out += char(0);
                out += line.substr(size_t(x) * 3, 3);
            }
            x += n;
        }
    }
    return out;
}

void Write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

Md3SurfaceDesc Surface(const std::string& name, const std::string& shader) {
    Md3SurfaceDesc s;
    s.name = name;
    if (!shader.empty())
        s.shaders.push_back({shader, 0});
    s.uv = {{0.25f, 0.25f}, {0.75f, 0.25f}, {0.5f, 0.75f}};
    s.triangles = {{0, 1, 2}};
    return s;
}

} // namespace

std::string WriteTestGame(const std::string& root) {
    const fs::path bot = fs::path(root) / "models" / "players" / "bot";
    fs::create_directories(bot);
    const TestTexture torso{"torso.tga", 200, 40, 40, 16, 8},
        torsoRed{"torso_red.tga", 250, 0, 0, 8, 8}, arm{"arm.jpg", 40, 200, 40, 16, 16},
        belt{"belt.tga", 40, 40, 200, 32, 4}, pack{"pack.png", 90, 90, 90, 8, 24};
    Write(bot / torso.file, Tga(torso, false, false));
    Write(bot / torsoRed.file, Tga(torsoRed, true, false));
    Write(bot / belt.file, Tga(belt, true, true));
    std::vector<uint8_t> rgba = Pixels(arm);
    stbi_write_jpg((bot / arm.file).make_preferred().string().c_str(), arm.width, arm.height, 4,
                   rgba.data(), 100);
    rgba = Pixels(pack);
    stbi_write_png((bot / pack.file).make_preferred().string().c_str(), pack.width, pack.height, 4,
                   rgba.data(), pack.width * 4);
    Write(bot / "bad.tga", "this is not a picture at all, though it is called one");
    Write(fs::path(root) / "secret.tga", Tga(torso, false, false));

    Md3ModelDesc model;
    model.surfaces = {Surface("u_torso", ""),
                      Surface("u_arm", ""),
                      Surface("u_belt", ""),
                      Surface("u_pack", ""),
                      Surface("u_gone", ""),
                      Surface("u_bad", ""),
                      Surface("u_own", "models/players/bot/belt"),
                      Surface("u_escape", "../../../../secret")};
    const std::string modelPath = (bot / "upper.md3").make_preferred().string();
    WriteBytesToFile(modelPath, BuildMd3(model).bytes);
    Write(bot / "upper_default.skin", "// the default skin\r\n"
                                      "tag_head,\r\n"
                                      "U_Torso,models/players/bot/torso.tga\r\n"
                                      "u_arm,models\\players\\bot\\arm.tga  // a .jpg on disk\r\n"
                                      "u_belt,models/players/bot/belt\r\n"
                                      "u_pack,models/players/bot/pack.tga\r\n"
                                      "u_gone,models/players/bot/gone.tga\r\n"
                                      "u_bad,models/players/bot/bad.tga\r\n");
    Write(bot / "upper_red.skin", "u_torso,models/players/bot/torso_red\n");
    return modelPath;
}

std::string PakBytes(const std::vector<std::pair<std::string, std::string>>& files) {
    auto put32 = [](std::string& bytes, size_t at, size_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + size_t(i)] = char(value >> (8 * i) & 0xFF);
    };
    std::string bytes = "PACK" + std::string(8, '\0'), directory;
    for (const auto& [name, content] : files) {
        std::string entry(64, '\0');
        entry.replace(0, std::min<size_t>(name.size(), 56), name.substr(0, 56));
        put32(entry, 56, bytes.size());
        put32(entry, 60, content.size());
        directory += entry;
        bytes += content;
    }
    put32(bytes, 4, bytes.size());
    put32(bytes, 8, directory.size());
    return bytes + directory;
}
