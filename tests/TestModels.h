#pragma once
// Helpers shared by the tests: temporary folders, loading built models, and
// records filled by hand.
#include "model/Md3Reader.h"
#include "model/SurfaceStore.h"
#include "tests/Md3Builder.h"

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

// What a load showed: the names listed on success, the reason on failure.
struct RecordingView {
    std::vector<std::string> names;
    std::vector<std::string> failures;
};

// Loads as the window's load button does.
RecordingView LoadPath(const std::string& path);
RecordingView LoadBytes(const std::vector<uint8_t>& bytes, const TempDir& dir,
                        const std::string& name = "model.md3");

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& text);

// A record outside the store, for drawing tests; heap-allocated (it is large).
struct TestRecord {
    TestRecord();
    ~TestRecord();
    SurfaceRecord& operator*() { return *record; }
    SurfaceRecord* operator->() { return record; }
    // Vertices as (u, v) pairs stored unchanged, then triangles.
    void SetVertices(const std::vector<std::array<double, 2>>& uv);
    void AddTriangle(int a, int b, int c);
    SurfaceRecord* record;
};

// One surface whose single triangle has the given corners.
Md3SurfaceDesc TriangleSurface(const std::string& name, std::array<float, 2> a,
                               std::array<float, 2> b, std::array<float, 2> c);
