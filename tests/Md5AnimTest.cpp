// Doom 3's animation files: read as the game reads them, their frames posing
// a mesh's vertices (checked against positions worked out by hand), the
// shared model's animation, and files that lie about themselves.
#include "model/Md5Reader.h"
#include "model/Skeleton.h"
#include "tests/Md5Samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

SourceBytes Source(const std::string& text, const std::string& path) {
    return {path, Bytes::Copy(reinterpret_cast<const uint8_t*>(text.data()), text.size())};
}

Result<Md5Animation> ReadAnim(const std::string& text) {
    return ReadMd5Anim(Source(text, "hand.md5anim"));
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

Model MeshWith(const std::string& mesh, std::vector<std::pair<std::string, std::string>> anims) {
    Result<Model> read = ReadMd5(Source(mesh, "arm.md5mesh"));
    EXPECT_TRUE(read.ok()) << read.error().reason;
    if (!read.ok())
        return {};
    std::vector<std::pair<std::string, Md5Animation>> parsed;
    for (const auto& [name, text] : anims) {
        Result<Md5Animation> a = ReadMd5Anim(Source(text, name + ".md5anim"));
        EXPECT_TRUE(a.ok()) << name << ": " << a.error().reason;
        if (a.ok())
            parsed.emplace_back(name, std::move(a.value()));
    }
    const Status attached = AttachMd5Animations(read.value(), std::move(parsed));
    EXPECT_TRUE(attached.ok()) << attached.error().reason;
    return std::move(read.value());
}

void ExpectPositions(const SurfacePose& pose, const std::vector<std::array<double, 3>>& want,
                     const char* when) {
    ASSERT_EQ(pose.positions.size(), want.size()) << when;
    for (size_t v = 0; v < want.size(); ++v)
        for (size_t i = 0; i < 3; ++i)
            EXPECT_NEAR(pose.positions[v][i], want[v][i], 1e-5)
                << when << ": vertex " << v << " axis " << i;
}

double Farthest(const std::vector<Point3>& a, const std::vector<Point3>& b) {
    double most = a.size() == b.size() ? 0 : INFINITY;
    for (size_t v = 0; v < std::min(a.size(), b.size()); ++v)
        most = std::max(
            most, double(std::hypot(a[v][0] - b[v][0], a[v][1] - b[v][1], a[v][2] - b[v][2])));
    return most;
}

const fs::path kBlade = fs::path(GW_MODEL_CORPUS) / "md5/blade2/packages/models/mapmodels/"
                                                    "svarog/blade2/tau0";

std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(Md5Anim, BendsTheChildAndSlerpsHalfway) {
    const Model model = MeshWith(kMd5Arm, {{"bend", kMd5Bend}});
    ASSERT_EQ(model.animations.size(), 1u);
    EXPECT_EQ(model.animations[0].name, "bend");
    EXPECT_EQ(model.animations[0].first, 0);
    EXPECT_EQ(model.animations[0].frames, 2);
    EXPECT_EQ(model.animations[0].looping, 2);
    EXPECT_EQ(model.animations[0].fps, 30);
    ASSERT_EQ(model.FrameCount(), 2);
    ExpectPositions(model.Pose(0, 0), {{1, 0, 0}, {15, 0, 0}, {10, 0, 2}, {7.5, 1, 0}}, "frame 0");
    // Frame 1: everything 3 up; the child's (5 0 0) turned to (0 -5 0).
    ExpectPositions(model.Pose(0, 1), {{1, 0, 3}, {10, -5, 3}, {10, 0, 5}, {5, -1.5, 3}},
                    "frame 1");
    // Halfway: the root 1.5 up, the child an eighth of a turn round, so
    // (5 0 0) goes to 5 (cos 45, -sin 45, 0) = (3.5355339, -3.5355339, 0):
    // still 5 from the joint, where lerping the vertices would give 3.54.
    const double h = 5 * std::sqrt(0.5);
    ExpectPositions(model.geometry->PoseBetween(0, 0, 1, 0.5),
                    {{1, 0, 1.5}, {10 + h, -h, 1.5}, {10, 0, 3.5}, {5 + h / 2, 1 - h / 2, 1.5}},
                    "halfway");
    // The normals are made from the posed faces. Vertex 0 lies on triangle
    // 0 alone: with a, b, c its corners in frame 1, (c - a) x (b - a) =
    // (9 0 2) x (9 -5 0) = (10 18 -45), of length sqrt(2449).
    const SurfacePose bent = model.Pose(0, 1);
    ASSERT_EQ(bent.normals.size(), 4u);
    const double length = std::sqrt(2449.0);
    const std::array<double, 3> face{10, 18, -45};
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(bent.normals[0][i], face[i] / length, 1e-5);
}

TEST(Md5Anim, TheMeshKeepsItsSkeletonAndItsBindPose) {
    const Result<Model> read = ReadMd5(Source(kMd5Arm, "arm.md5mesh"));
    ASSERT_TRUE(read.ok()) << read.error().reason;
    const auto* skeleton = dynamic_cast<const SkeletalGeometry*>(read.value().geometry.get());
    ASSERT_NE(skeleton, nullptr);
    EXPECT_EQ(skeleton->FrameCount(), 0);
    EXPECT_EQ(skeleton->blend, JointBlend::Rotations);
    ASSERT_EQ(skeleton->joints.size(), 2u);
    EXPECT_EQ(skeleton->joints[1].name, "child");
    EXPECT_EQ(skeleton->joints[1].parent, 0);
    EXPECT_EQ(skeleton->Flaw(), "");
    // Without frames, the model shows the surfaces' own bind pose.
    EXPECT_EQ(read.value().FrameCount(), 1);
    ExpectPositions(read.value().Pose(0, 0), {{1, 0, 0}, {15, 0, 0}, {10, 0, 2}, {7.5, 1, 0}},
                    "bind pose");
}

// Each animation's frames after the one before it; one whose joints are not
// the mesh's is left out with a note, and the rest play.
TEST(Md5Anim, AttachesAnimationsOneAfterAnotherAndLeavesOutStrangers) {
    const std::string three =
        Replace(Replace(Replace(Replace(kMd5Bend, "numFrames 2", "numFrames 3"), "( 1 1 1 )\n}",
                                "( 1 1 1 )\n  ( 0 0 0 ) ( 0 0 0 )\n}"),
                        "3 0.70710678\n}", "3 0.70710678\n}\nframe 2 {\n  6 0\n}"),
                "frameRate 30", "frameRate 15");
    const Model model = MeshWith(kMd5Arm, {{"bend", kMd5Bend},
                                           {"renamed", Replace(kMd5Bend, "\"child\"", "\"hand\"")},
                                           {"three", three}});
    ASSERT_EQ(model.animations.size(), 2u);
    EXPECT_EQ(model.animations[1].name, "three");
    EXPECT_EQ(model.animations[1].first, 2);
    EXPECT_EQ(model.animations[1].frames, 3);
    EXPECT_EQ(model.animations[1].fps, 15);
    EXPECT_EQ(model.FrameCount(), 5);
    ExpectPositions(model.Pose(0, 4), {{1, 0, 6}, {15, 0, 6}, {10, 0, 8}, {7.5, 1, 6}},
                    "the third's last frame");
    ASSERT_EQ(model.notes.size(), 1u);
    EXPECT_EQ(model.notes[0], "the animation \"renamed\" is left out: its joint 1 is \"hand\", "
                              "and the mesh's is \"child\"");

    // As the game compares them: the count, then names, then parents.
    Result<Model> mesh = ReadMd5(Source(kMd5Arm, "arm.md5mesh"));
    ASSERT_TRUE(mesh.ok());
    Md5Animation wrong = ReadAnim(kMd5Bend).value();
    std::vector<std::pair<std::string, Md5Animation>> list;
    list.emplace_back("fewer", wrong);
    list.back().second.joints.pop_back();
    list.emplace_back("orphan", wrong);
    list.back().second.joints[1].parent = -1;
    ASSERT_TRUE(AttachMd5Animations(mesh.value(), std::move(list)).ok());
    EXPECT_TRUE(mesh.value().animations.empty());
    EXPECT_EQ(mesh.value().FrameCount(), 1);
    EXPECT_EQ(mesh.value().notes,
              (std::vector<std::string>{
                  "the animation \"fewer\" is left out: it moves 1 joints, and the mesh has 2",
                  "the animation \"orphan\" is left out: its joint 1 (\"child\") hangs from "
                  "none, and the mesh's from joint 0"}));

    // Only a Doom 3 mesh has joints to move.
    Model plain;
    plain.path = "plain.md3";
    EXPECT_FALSE(AttachMd5Animations(plain, {}).ok());
}

TEST(Md5Anim, RefusesBrokenFilesByLine) {
    const std::string many(100000, ' ');
    struct Case {
        std::string text, reason;
    };
    const std::vector<Case> cases = {
        {"MD5Version 11", "line 1: it is MD5 version 11; Gridwright reads version 10"},
        {Replace(kMd5Bend, "numFrames 2", "numFrames 0"),
         "line 3: \"numFrames\" says 0 frames; an animation has at least one"},
        {Replace(kMd5Bend, "numFrames 2", "numFrames 1000"),
         "line 3: \"numFrames\" says 1000 frames, more than the 290 bytes after it can hold"},
        {Replace(kMd5Bend, "numFrames 2", "numFrames 70000"),
         "line 3: \"numFrames\" says 70000 frames; Gridwright holds at most 65536"},
        {Replace(kMd5Bend, "numJoints 2", "numJoints 99"),
         "line 4: \"numJoints\" says 99 joints, more than the 278 bytes after it can hold"},
        {Replace(Replace(kMd5Bend, "numFrames 2", "numFrames 4096"), "numJoints 2",
                 "numJoints 2048 /*" + many + "*/"),
         "line 4: 2048 joints in 4096 frames are 8388608 joint places; Gridwright holds at most "
         "4194304"},
        {Replace(kMd5Bend, "numAnimatedComponents 2", "numAnimatedComponents 400"),
         "line 6: the number of animated components is \"400\", outside 0 to 12"},
        // Counts the file is too short for, together.
        {Replace(Replace(kMd5Bend, "numFrames 2", "numFrames 5"), "numAnimatedComponents 2",
                 "numAnimatedComponents 12"),
         "line 6: 5 frames of 12 components and 2 joints take at least 272 bytes, more than "
         "the 241 bytes after it"},
        {Replace(kMd5Bend, "frameRate 30", "frameRate 0"),
         "line 5: the frame rate is \"0\", outside 1 to 1000"},
        {Replace(kMd5Bend, "\"child\" 0 32 1", "\"child\" 0 48 1"),
         "line 9: joint 1 takes 2 components from component 1, and a frame has 2"},
        {Replace(kMd5Bend, "\"child\" 0 32 1", "\"child\" 0 32 2"),
         "line 9: joint 1 takes 1 component from component 2, and a frame has 2"},
        {Replace(kMd5Bend, "\"child\" 0 32 1", "\"child\" 0 64 1"),
         "line 9: the animated parts of joint 1 is \"64\", outside 0 to 63"},
        {Replace(kMd5Bend, "\"child\" 0 32 1", "\"child\" -1 32 1"),
         "line 9: joint 1 has no parent, and only joint 0 of an animation may be a root"},
        {Replace(kMd5Bend, "\"child\" 0 32 1", "\"child\" 1 32 1"),
         "line 9: the parent of joint 1 is \"1\", outside -2147483648 to 0"},
        {Replace(kMd5Bend, "frame 1 {", "frame 2 {"),
         "line 22: frame 2 comes where frame 1 was expected; the frames are numbered in order"},
        {Replace(kMd5Bend, "3 0.70710678", "3 nan"),
         "line 23: a component of frame 1 is \"nan\", which is not a finite number"},
        {Replace(kMd5Bend, "3 0.70710678", "3 0.7 0.1"),
         "line 23: expected \"}\" to close frame 1 (as many components as "
         "\"numAnimatedComponents\" says), found \"0.1\""},
        {Replace(kMd5Bend, "  ( 10 0 0 ) ( 0 0 0 )\n", ""),
         "line 17: expected \"(\" before the position of base joint 1, found \"}\""},
        {Replace(kMd5Bend, "bounds {", "bounds"),
         "line 12: expected \"{\" after \"bounds\", found \"(\""},
        {Replace(kMd5Bend, "( 1 1 1 )\n}", "( 1 1 1 )\n  ( 0 0 0 ) 5\n}"),
         "line 14: expected \"(\" before the upper corner of the bounds of frame 2, found \"5\""},
        {Replace(kMd5Bend, "( 1 1 1 )\n}", "( 1 1 1 )\n  baseframe"),
         "line 14: expected \"(\" or the \"}\" that closes the bounds, found \"baseframe\""},
    };
    for (const Case& c : cases) {
        const Result<Md5Animation> read = ReadMd5Anim(Source(c.text, "bad.md5anim"));
        ASSERT_FALSE(read.ok()) << c.reason;
        EXPECT_EQ(read.error().path, "bad.md5anim");
        EXPECT_EQ(read.error().reason, c.reason);
    }
    EXPECT_EQ(ReadAnim("MD5Versio").error().reason,
              "it does not start with \"MD5Version\", so it is not a Doom 3 animation");
}

// Cut anywhere before its last frame closes, the file is refused, naming a
// line within what is left.
TEST(Md5Anim, RefusesTheFileCutAnywhere) {
    const std::string full = kMd5Bend;
    const size_t last = full.rfind('}');
    for (size_t cut = 10; cut <= last; ++cut) {
        const std::string part = full.substr(0, cut);
        const Result<Md5Animation> read = ReadAnim(part);
        ASSERT_FALSE(read.ok()) << "cut at " << cut;
        const std::string& reason = read.error().reason;
        ASSERT_TRUE(reason.starts_with("line ")) << reason;
        const int lines = int(std::count(part.begin(), part.end(), '\n')) + 1;
        EXPECT_LE(std::stoi(reason.substr(5)), lines) << reason;
    }
    EXPECT_TRUE(ReadAnim(full.substr(0, last + 1)).ok());
}

// The shared model: its mesh's own joints, written as a base frame relative
// to their parents (worked out by hand below), give back its bind pose; its
// own animation moves it.
TEST(Md5Anim, TheSharedBladePlaysItsAnimation) {
    const fs::path mesh = kBlade / "mapmodel.md5mesh", anim = kBlade / "mapmodel.md5anim";
    if (!fs::exists(mesh) || !fs::exists(anim))
        GTEST_SKIP() << "the shared MD5 is not here";
    const std::string meshText = Slurp(mesh);
    // The mesh's joints: "Bone" at the origin turned by (-0.707107 0 0), a
    // quarter turn about x that the game applies as y -> z; "Bone.001" at
    // (0 0 30), turned the same. Relative to Bone, then, Bone.001 is not
    // turned, and lies where Bone's quarter turn takes to (0 0 30): (0 30 0).
    const std::string bind = R"(MD5Version 10 commandline ""
numFrames 1 numJoints 2 frameRate 24 numAnimatedComponents 0
hierarchy { "Bone" -1 0 0 "Bone.001" 0 0 0 }
bounds { ( 0 0 0 ) ( 0 0 0 ) }
baseframe { ( 0 0 0 ) ( -0.707107 0 0 ) ( 0 30 0 ) ( 0 0 0 ) }
frame 0 { }
)";
    const Model atBind = MeshWith(meshText, {{"bind", bind}});
    ASSERT_EQ(atBind.FrameCount(), 1);
    ASSERT_FALSE(atBind.surfaces.empty());
    for (size_t s = 0; s < atBind.surfaces.size(); ++s) {
        const SurfacePose pose = atBind.Pose(s, 0);
        EXPECT_LT(Farthest(pose.positions, atBind.surfaces[s].positions), 1e-3) << "surface " << s;
        // The normals are made from the same faces, so they agree too.
        EXPECT_LT(Farthest(pose.normals, atBind.surfaces[s].normals), 1e-3) << "surface " << s;
    }

    const Model played = MeshWith(meshText, {{"mapmodel", Slurp(anim)}});
    ASSERT_EQ(played.animations.size(), 1u);
    EXPECT_EQ(played.animations[0].frames, 12);
    EXPECT_EQ(played.animations[0].fps, 24);
    EXPECT_EQ(played.FrameCount(), 12);
    // Bone.001 twists about its length in every frame, frame 0 a quarter
    // turn from the bind pose: the vertices it carries lie away from where
    // the mesh puts them.
    double bound = 0, moved = 0, offAxis = 0;
    for (size_t s = 0; s < played.surfaces.size(); ++s) {
        const double far = Farthest(played.Pose(s, 0).positions, played.surfaces[s].positions);
        moved = std::max(moved, far);
        const SurfacePose f0 = played.Pose(s, 0), f3 = played.Pose(s, 3);
        bound = std::max(bound, Farthest(f0.positions, f3.positions));
        // Bone.001 hangs 30 along Bone's y, which Bone's quarter turn puts
        // on the model's z: every frame turns the blade about the z axis, so
        // each vertex keeps its height and its distance from the axis.
        const std::vector<Point3>& rest = played.surfaces[s].positions;
        for (int f = 0; f < 12; ++f) {
            const SurfacePose pose = played.Pose(s, f);
            ASSERT_EQ(pose.positions.size(), rest.size());
            for (size_t v = 0; v < rest.size(); ++v) {
                const Point3& p = pose.positions[v];
                ASSERT_TRUE(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]));
                offAxis = std::max(offAxis, std::fabs(double(p[2]) - rest[v][2]));
                offAxis = std::max(offAxis, std::fabs(std::hypot(double(p[0]), double(p[1])) -
                                                      std::hypot(rest[v][0], rest[v][1])));
            }
        }
    }
    RecordProperty("off_axis", std::to_string(offAxis));
    EXPECT_LT(offAxis, 1e-2);
    RecordProperty("frame0_from_bind", std::to_string(moved));
    RecordProperty("frame0_from_frame3", std::to_string(bound));
    EXPECT_GT(moved, 1.0);
    EXPECT_GT(bound, 1.0);
}

// The fuzzer's seeds are animations the reader takes (one, laid out as
// Blender's exporter writes them, has a bounds box more than its frames,
// which is read past); the chain's joints each take other parts from their
// own first component, in the order x, y, z, then the orientation's x, y, z.
TEST(Md5Anim, TheFuzzSeedsReadAndTakeTheirPartsInOrder) {
    const fs::path seeds = fs::path(GW_SOURCE_DIR) / "fuzz/corpus/md5anim";
    int read = 0;
    for (const auto& entry : fs::directory_iterator(seeds)) {
        const Result<Md5Animation> a = ReadAnim(Slurp(entry.path()));
        EXPECT_TRUE(a.ok()) << entry.path() << ": " << a.error().reason;
        ++read;
    }
    EXPECT_GE(read, 3);
    const Result<Md5Animation> chain = ReadAnim(Slurp(seeds / "chain.md5anim"));
    ASSERT_TRUE(chain.ok()) << chain.error().reason;
    ASSERT_EQ(chain.value().frames.size(), 2u);
    const std::vector<JointTransform>& f = chain.value().frames[1];
    ASSERT_EQ(f.size(), 4u);
    auto expect = [](const JointTransform& t, const std::array<double, 3>& at,
                     const std::array<double, 3>& q, const char* joint) {
        const double w = std::sqrt(1 - (q[0] * q[0] + q[1] * q[1] + q[2] * q[2]));
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_NEAR(t.translate[i], at[i], 1e-6) << joint << " axis " << i;
            EXPECT_NEAR(t.rotate[i], -q[i], 1e-6) << joint << " axis " << i;
        }
        EXPECT_NEAR(t.rotate[3], w, 1e-6) << joint;
    };
    // "base" 9: position x, orientation x; "upper" 50: position y,
    // orientation y and z; "lower" 0: its base frame; "tip" 7: its position.
    expect(f[0], {1, 0, 0}, {0.3826834, 0, 0}, "base");
    expect(f[1], {0, 5, 0}, {0, 0.2, -0.2}, "upper");
    expect(f[2], {0, 4, 0}, {0, 0, 0.3826834}, "lower");
    expect(f[3], {1, 2.5, 0.5}, {0, 0, 0}, "tip");
    // What a frame does not replace is the base frame's.
    expect(chain.value().frames[0][1], {0, 4, 0}, {0, 0, 0}, "upper in frame 0");
}
