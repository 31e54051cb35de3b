#include "tests/TestModels.h"

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
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

RecordingView LoadPath(const std::string& path) {
    RecordingView view;
    const Outcome outcome = LoadModel(path);
    if (!outcome.ok)
        view.failures.push_back(outcome.reason);
    else
        for (int i = 0; i < LoadedSurfaceCount(); ++i)
            view.names.push_back(NameText(g_surfaces[i].name));
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

TestRecord::TestRecord() : record(new SurfaceRecord{}) {}
TestRecord::~TestRecord() {
    delete record;
}

void TestRecord::SetVertices(const std::vector<std::array<double, 2>>& uv) {
    record->vertexCount = int32_t(uv.size());
    for (size_t j = 0; j < uv.size(); ++j) {
        record->u[j] = uv[j][0];
        record->v[j] = uv[j][1];
    }
}

void TestRecord::AddTriangle(int a, int b, int c) {
    const int k = record->triangleCount++;
    record->cornerA[k] = a;
    record->cornerB[k] = b;
    record->cornerC[k] = c;
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
