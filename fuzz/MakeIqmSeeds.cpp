// Seeds for the IQM fuzzer: small files of the shapes the format's exporter
// writes, each exercising another path of the reader.
#include "tests/IqmBuilder.h"

#include <cstdio>
#include <string>

namespace {

void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const std::string dir = argv[1];
    IqmDesc two;
    two.meshes = {{"a", "skin_a", 0, 3, 0, 1}, {"b", "models/b.tga", 3, 4, 1, 2}};
    two.texCoords = {{0.1f, 0.2f},   {0.9f, 0.2f},   {0.5f, 0.8f},  {0.25f, 0.25f},
                     {0.75f, 0.25f}, {0.75f, 0.75f}, {0.25f, 0.75f}};
    for (size_t i = 0; i < two.texCoords.size(); ++i) {
        two.positions.push_back({float(i), 1, 2});
        two.normals.push_back({0, 0, 1});
    }
    two.triangles = {{0, 1, 2}, {3, 4, 5}, {3, 5, 6}};
    Write(dir + "/two-meshes.iqm", BuildIqm(two).bytes);

    IqmDesc half = two;
    half.texCoordFormat = kIqmHalf;
    half.normals.clear();
    half.anims = 1;
    half.frames = 3;
    Write(dir + "/half-with-anim.iqm", BuildIqm(half).bytes);

    IqmDesc wide = two;
    wide.texCoordFormat = kIqmDouble;
    wide.positions.clear();
    Write(dir + "/double.iqm", BuildIqm(wide).bytes);

    IqmDesc anim;
    anim.anims = 2;
    anim.frames = 5;
    Write(dir + "/animation-only.iqm", BuildIqm(anim).bytes);

    // A skeleton: two joints, a vertex on each and one shared, two frames.
    IqmDesc arm = two;
    arm.joints = {{"root", -1, {0, 0, 0, 0, 0, 0, 1, 1, 1, 1}},
                  {"elbow", 0, {1, 0, 0, 0, 0, 0, 1, 1, 1, 1}}};
    arm.framePoses = {{arm.joints[0].pose, arm.joints[1].pose},
                      {arm.joints[0].pose, {1, 0, 0, 0, 0, 0.7071f, 0.7071f, 1, 2, 1}}};
    arm.frames = 2;
    arm.anims = 1;
    for (size_t i = 0; i < arm.texCoords.size(); ++i) {
        arm.blendIndices.push_back({uint8_t(i % 2), uint8_t(1 - i % 2), 0, 0});
        arm.blendWeights.push_back(
            {uint8_t(i % 3 == 0 ? 255 : 128), uint8_t(i % 3 ? 127 : 0), 0, 0});
    }
    Write(dir + "/skeleton.iqm", BuildIqm(arm).bytes);
    return 0;
}
