#pragma once
// Helpers shared by the tests: temporary folders, loading built models, and
// records filled by hand.
#include "model/Md3Reader.h"
#include "render/LayoutRaster.h"

#include "model/Model.h"
#include "tests/Md3Builder.h"
#include <ctime>

#include <filesystem>
#include <string>
#include <vector>

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string File(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

// What a load showed: the names listed and the model on success, the reason
// on failure.
struct RecordingView {
    std::vector<std::string> names;
    std::vector<std::string> failures;
    Model model; // empty on failure
};

// Loads as the window's load button does.
RecordingView LoadPath(const std::string& path);
RecordingView LoadBytes(const std::vector<uint8_t>& bytes, const TempDir& dir,
                        const std::string& name = "model.md3");

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& text);

// A surface filled by hand, for drawing tests.
struct TestRecord {
    TestRecord() : record(&surface) {}
    TestRecord(const TestRecord&) = delete;
    TestRecord& operator=(const TestRecord&) = delete;
    Surface& operator*() { return surface; }
    Surface* operator->() { return &surface; }
    // Vertices as (u, v) pairs stored unchanged, then triangles.
    void SetVertices(const std::vector<std::array<double, 2>>& uv);
    void AddTriangle(int a, int b, int c);
    // Clears the triangles.
    void ClearTriangles();
    Surface surface;
    Surface* record;
};

// One surface (or none, for null) as the first templates drew it: plain,
// its coordinates as stored.
LayoutRaster PlainRaster(const Surface* surface, int width, int height);
std::string PlainEps(const Surface* surface, int width, int height, const std::string& title,
                     const std::tm* localTime);
std::string PlainSvg(const Surface* surface, int width, int height);

// One surface whose single triangle has the given corners.
Md3SurfaceDesc TriangleSurface(const std::string& name, std::array<float, 2> a,
                               std::array<float, 2> b, std::array<float, 2> c);
