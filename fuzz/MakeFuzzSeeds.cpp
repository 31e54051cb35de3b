// Seeds for the reader's fuzzer: small valid models of the shapes real
// exporters write.
#include "tests/Md3Builder.h"

#include <string>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const std::string dir = argv[1];
    Md3ModelDesc one;
    one.surfaces.push_back(GridSurface("grid", 2, "models/a/b.tga"));
    WriteBytesToFile(dir + "/grid.md3", BuildMd3(one).bytes);

    Md3ModelDesc two = one;
    two.surfaces[0].shadersAfterLists = true;
    Md3SurfaceDesc tri;
    tri.name = "tri";
    tri.uv = {{-0.25f, 1.5f}, {0.0078125f, 0.5f}, {1.0f, 2.0f}};
    tri.triangles = {{0, 1, 2}, {2, 7, -1}};
    two.surfaces.push_back(tri);
    WriteBytesToFile(dir + "/two.md3", BuildMd3(two).bytes);

    WriteBytesToFile(dir + "/empty.md3", BuildMd3(Md3ModelDesc{}).bytes);
    return 0;
}
