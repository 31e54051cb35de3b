#include "tests/TestModels.h"

#include "export/EpsTemplate.h"
#include "export/SvgTemplate.h"
#include "model/ModelFormats.h"

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

TempDir::TempDir() {
    static std::mt19937_64 random(std::random_device{}());
    m_path = std::filesystem::temp_directory_path() /
             ("gridwright-test-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir() {
    namespace fs = std::filesystem;
    std::error_code removing;
    fs::remove_all(m_path, removing);
    if (!removing)
        return;
    // Windows removes no read-only file, and a copy of a shared (read-only)
    // file is one: made writable, everything goes.
    std::error_code walking, ignored;
    for (fs::recursive_directory_iterator it(m_path, walking), end; !walking && it != end;
         it.increment(walking))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    fs::remove_all(m_path, ignored);
}

RecordingView LoadPath(const std::string& path) {
    RecordingView view;
    Result<Model> loaded = LoadModelFile(path);
    if (!loaded.ok()) {
        view.failures.push_back(loaded.error().Message());
        return view;
    }
    view.model = std::move(loaded.value());
    for (const Surface& s : view.model.surfaces)
        view.names.push_back(s.name);
    return view;
}

RecordingView LoadBytes(const std::vector<uint8_t>& bytes, const TempDir& dir,
                        const std::string& name) {
    const std::string path = dir.File(name);
    WriteBytesToFile(path, bytes);
    return LoadPath(path);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteWholeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

void TestRecord::SetVertices(const std::vector<std::array<double, 2>>& uv) {
    surface.u.clear();
    surface.v.clear();
    for (const auto& p : uv) {
        surface.u.push_back(p[0]);
        surface.v.push_back(p[1]);
    }
}

void TestRecord::AddTriangle(int a, int b, int c) {
    surface.triangles.push_back({a, b, c});
}

void TestRecord::ClearTriangles() {
    surface.triangles.clear();
}

Md3SurfaceDesc TriangleSurface(const std::string& name, std::array<float, 2> a,
                               std::array<float, 2> b, std::array<float, 2> c) {
    Md3SurfaceDesc s;
    s.name = name;
    s.shaders.push_back({"textures/" + name + ".tga", 0});
    s.uv = {a, b, c};
    s.triangles = {{0, 1, 2}};
    return s;
}

namespace {
std::vector<const Surface*> OneOrNone(const Surface* surface) {
    return surface ? std::vector<const Surface*>{surface} : std::vector<const Surface*>{};
}
} // namespace

LayoutRaster PlainRaster(const Surface* surface, int width, int height) {
    return DrawLayoutRaster(OneOrNone(surface), width, height, WrapMode::Clip);
}

std::string PlainEps(const Surface* surface, int width, int height, const std::string& title,
                     const std::tm* localTime) {
    return BuildEpsText(OneOrNone(surface), PlainStyle(width, height, WrapMode::Clip), title,
                        localTime);
}

std::string PlainSvg(const Surface* surface, int width, int height) {
    return BuildSvgText(OneOrNone(surface), PlainStyle(width, height, WrapMode::Clip));
}
