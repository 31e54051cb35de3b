#pragma once
// Reads an MD3 model into the surface store.
#include <string>

// The one message of the program's own, shown when a file cannot be used.
inline constexpr const char* kFailureMessage = "Hola ombre, ca chie !!!";

// What the reader needs from whoever shows the model: the window, the
// command-line tool or a test.
class ModelLoadView {
  public:
    virtual ~ModelLoadView() = default;
    virtual void AppendSurfaceName(const std::string& name) = 0;
    // The load was refused; reason says which file and what is wrong.
    virtual void ShowLoadFailure(const std::string& reason) = 0;
};

// Header pass, then ReadTexCoords and ReadTriangles. A file that cannot be
// held whole is refused and leaves the store exactly as it was.
void LoadModel(const std::string& path, ModelLoadView& view);

// The texture-coordinate and triangle passes; each reopens g_modelPath.
void ReadTexCoords();
void ReadTriangles();
