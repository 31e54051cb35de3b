// The 3D view's arithmetic, without a GPU: normals as the game decodes them,
// a player's parts joined at their tags, and the face under a camera's ray.
#include "scene/Scene.h"
#include "scene/Coarse.h"
#include "tests/Md3Builder.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void ExpectNear(const Vec3& got, const Vec3& want) {
    EXPECT_NEAR(got.x, want.x, 1e-4) << "x";
    EXPECT_NEAR(got.y, want.y, 1e-4) << "y";
    EXPECT_NEAR(got.z, want.z, 1e-4) << "z";
}

std::shared_ptr<const Model> Build(const Md3ModelDesc& desc, const TempDir& dir,
                                   const std::string& name) {
    RecordingView view = LoadBytes(BuildMd3(desc).bytes, dir, name);
    EXPECT_TRUE(view.failures.empty()) << name;
    return std::make_shared<const Model>(std::move(view.model));
}

// One surface: a single triangle with a corner at (x, 0, 0).
Md3SurfaceDesc Marker(const std::string& name, int16_t x) {
    Md3SurfaceDesc s;
    s.name = name;
    s.positions = {{int16_t(x * 64), 0, 0}, {0, 64, 0}, {0, 0, 64}};
    s.uv = {{0, 0}, {1, 0}, {0, 1}};
    s.triangles = {{0, 1, 2}};
    return s;
}

// A cube of side 2 about the origin, two triangles a side.
Md3SurfaceDesc Cube() {
    Md3SurfaceDesc s;
    s.name = "cube";
    for (int i = 0; i < 8; ++i)
        s.positions.push_back(
            {int16_t(i & 1 ? 64 : -64), int16_t(i & 2 ? 64 : -64), int16_t(i & 4 ? 64 : -64)});
    s.uv.assign(8, {0.5f, 0.5f});
    s.triangles = {{1, 3, 7}, {1, 7, 5},  // +x
                   {0, 4, 6}, {0, 6, 2},  // -x
                   {2, 6, 7}, {2, 7, 3},  // +y
                   {0, 1, 5}, {0, 5, 4},  // -y
                   {4, 5, 7}, {4, 7, 6},  // +z
                   {0, 2, 3}, {0, 3, 1}}; // -z
    return s;
}

} // namespace

TEST(SceneNormals, LatitudeAndLongitudeDecodeAsTheGameDoes) {
    auto decoded = [](uint8_t lat, uint8_t lng) {
        const std::array<double, 3> n = DecodeNormal(lat, lng);
        return Vec3{float(n[0]), float(n[1]), float(n[2])};
    };
    ExpectNear(decoded(0, 0), {0, 0, 1});
    ExpectNear(decoded(0, 64), {1, 0, 0});
    ExpectNear(decoded(64, 64), {0, 1, 0});
    ExpectNear(decoded(128, 64), {-1, 0, 0});
    ExpectNear(decoded(0, 128), {0, 0, -1});
    // Read from a file: the high byte of the stored short is the latitude.
    Md3ModelDesc desc;
    Md3SurfaceDesc s = Marker("m", 2);
    s.normals = {{64, 64}, {0, 0}, {0, 128}};
    desc.surfaces = {s};
    TempDir dir;
    const auto model = Build(desc, dir, "n.md3");
    const SurfaceFrame frame = FrameOf(*model, 0, 0);
    ASSERT_EQ(frame.normals.size(), 3u);
    ExpectNear(frame.normals[0], {0, 1, 0});
    ExpectNear(frame.normals[2], {0, 0, -1});
    ExpectNear(frame.positions[0], {2, 0, 0}); // 128 / 64
}

// Legs with tag_torso 24 units up; a torso with tag_head 16 units above it,
// turned a quarter about z; a head whose marker sits at (1, 0, 0) of its
// own: it lands at (0, 1, 40), above the torso, above the legs.
TEST(ScenePlayer, ThePartsJoinAtTagTorsoAndTagHead) {
    TempDir dir;
    Md3ModelDesc lower, upper, head;
    lower.surfaces = {Marker("l_legs", 1)};
    lower.tags = {{"tag_torso", {0, 0, 24}}};
    upper.surfaces = {Marker("u_torso", 1)};
    upper.tags = {{"tag_weapon", {9, 9, 9}},
                  {"tag_head", {0, 0, 16}, {{{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}}}}};
    head.surfaces = {Marker("h_head", 1)};
    const auto l = Build(lower, dir, "lower.md3"), u = Build(upper, dir, "upper.md3"),
               h = Build(head, dir, "head.md3");
    std::string problem;
    const std::vector<ScenePart> parts = JoinPlayer(l, u, h, 0, 0, &problem);
    ASSERT_EQ(parts.size(), 3u) << problem;
    EXPECT_TRUE(problem.empty());
    ExpectNear(WorldPositions(parts[0], 0)[0], {1, 0, 0});
    ExpectNear(WorldPositions(parts[1], 0)[0], {1, 0, 24});
    ExpectNear(WorldPositions(parts[2], 0)[0], {0, 1, 40});
    ExpectNear(WorldPositions(parts[2], 0)[2], {0, 0, 41});

    // Without tag_head the head is left out, and the reason says why.
    upper.tags.pop_back();
    const auto bare = Build(upper, dir, "bare.md3");
    problem.clear();
    EXPECT_EQ(JoinPlayer(l, bare, h, 0, 0, &problem).size(), 2u);
    EXPECT_EQ(problem, "the torso has no tag_head");
}

// Models side by side: a cube (y -1..1), a joined player whose torso hangs
// off to -y, and a cube off-centre; each begins a gap past the one before,
// never overlapping, the first where it was, a player's parts moved as one.
TEST(SceneSideBySide, EachGroupBeginsAGapPastTheOneBefore) {
    TempDir dir;
    Md3ModelDesc box, lower, upper, shifted;
    box.surfaces = {Cube()};
    lower.surfaces = {Marker("l_legs", 1)};
    lower.tags = {{"tag_torso", {0, -5, 24}}};
    upper.surfaces = {Cube()};
    Md3SurfaceDesc far = Cube();
    for (auto& p : far.positions)
        p[1] = int16_t(p[1] + 640); // y 9..11
    shifted.surfaces = {far};
    const auto cube = Build(box, dir, "box.md3"), l = Build(lower, dir, "lower.md3"),
               u = Build(upper, dir, "upper.md3"), off = Build(shifted, dir, "off.md3");
    const std::vector<ScenePart> player = JoinPlayer(l, u, nullptr, 0, 0);
    ASSERT_EQ(player.size(), 2u);
    const Bounds playerBefore = BoundsOf(player);
    const std::vector<ScenePart> all =
        SideBySide({SingleModel(cube, 0), {}, player, SingleModel(off, 0)}, 3);
    ASSERT_EQ(all.size(), 4u);
    auto bounds = [&](size_t from, size_t count) {
        return BoundsOf(
            std::vector<ScenePart>(all.begin() + long(from), all.begin() + long(from + count)));
    };
    const Bounds first = bounds(0, 1), joined = bounds(1, 2), last = bounds(3, 1);
    ExpectNear(first.low, {-1, -1, -1});
    ExpectNear(first.high, {1, 1, 1});
    EXPECT_NEAR(joined.low.y, first.high.y + 3, 1e-4);
    EXPECT_NEAR(last.low.y, joined.high.y + 3, 1e-4);
    // Moved along y only, every part by the same amount: the torso stays on the legs.
    const float moved = joined.low.y - playerBefore.low.y;
    ExpectNear(joined.high, playerBefore.high + Vec3{0, moved, 0});
    ExpectNear(WorldPositions(all[2], 0)[0] - WorldPositions(all[1], 0)[0],
               WorldPositions(player[1], 0)[0] - WorldPositions(player[0], 0)[0]);
    EXPECT_NEAR(last.high.y - last.low.y, 2, 1e-4);
    // Nothing to place: nothing, and a lone group stays put.
    EXPECT_TRUE(SideBySide({}, 3).empty());
    ExpectNear(BoundsOf(SideBySide({SingleModel(off, 0)}, 3)).low, {-1, 9, -1});
}

// A camera on +x looking at a cube: the ray through the middle of the view
// meets the +x side; one through the corner of the view meets nothing.
TEST(ScenePicking, TheFaceUnderTheCursorIsTheOneTheRayMeetsFirst) {
    TempDir dir;
    Md3ModelDesc desc;
    desc.surfaces = {Marker("far", -20), Cube()};
    const auto model = Build(desc, dir, "cube.md3");
    const std::vector<ScenePart> parts = SingleModel(model, 0);
    OrbitCamera camera;
    camera.yaw = 0;
    camera.pitch = 0;
    camera.distance = 10;
    ExpectNear(camera.Eye(), {10, 0, 0});
    const std::optional<FaceHit> hit = PickFace(parts, camera.RayThrough(99.5f, 99.5f, 200, 200));
    ASSERT_TRUE(hit.has_value());
    EXPECT_EQ(hit->surface, 1);
    EXPECT_TRUE(hit->triangle == 0 || hit->triangle == 1) << hit->triangle;
    EXPECT_NEAR(hit->distance * Length(camera.RayThrough(99.5f, 99.5f, 200, 200).direction), 9,
                1e-3);
    // Right of the centre (y > z on that side) and above it (z > y): the
    // side's two triangles.
    const std::optional<FaceHit> right = PickFace(parts, camera.RayThrough(115, 100, 200, 200));
    const std::optional<FaceHit> above = PickFace(parts, camera.RayThrough(100, 85, 200, 200));
    ASSERT_TRUE(right && above);
    EXPECT_EQ(right->triangle, 0);
    EXPECT_EQ(above->triangle, 1);
    EXPECT_FALSE(PickFace(parts, camera.RayThrough(0, 0, 200, 200)).has_value());
    // Fitting frames the whole model: the far marker at x = -20 included.
    camera.Fit(BoundsOf(parts));
    EXPECT_GT(camera.distance, 20);
}

// The stand-in drawn while the camera moves: far fewer triangles, the same
// sheet covered without holes, every face turned as it was.
TEST(SceneCoarse, ALargeSheetIsCoveredByFewerTrianglesFacingTheSameWay) {
    const int side = 300; // 178802 triangles
    std::vector<float> data;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            // A gentle wave, so that the grid has a third dimension to fold.
            const float z = 3.0f * std::sin(float(x) * 0.05f);
            data.insert(data.end(), {float(x), float(y), z, 0, 0, 1, 0, 0});
        }
    std::vector<uint32_t> triangles;
    for (int y = 0; y + 1 < side; ++y)
        for (int x = 0; x + 1 < side; ++x) {
            const uint32_t i = uint32_t(y * side + x);
            triangles.insert(triangles.end(), {i, i + 1, i + uint32_t(side)});
            triangles.insert(triangles.end(), {i + 1, i + uint32_t(side) + 1, i + uint32_t(side)});
        }
    auto flatArea = [&](const std::vector<uint32_t>& t, double& area, bool& turned) {
        area = 0;
        turned = false;
        for (size_t k = 0; k + 2 < t.size(); k += 3) {
            const float* a = &data[t[k] * 8];
            const float* b = &data[t[k + 1] * 8];
            const float* c = &data[t[k + 2] * 8];
            const double cross =
                double(b[0] - a[0]) * (c[1] - a[1]) - double(b[1] - a[1]) * (c[0] - a[0]);
            turned = turned || cross <= 0;
            area += std::abs(cross) / 2;
        }
    };
    const std::vector<uint32_t> coarse = CoarseTriangles(data, 8, triangles, 10000);
    ASSERT_FALSE(coarse.empty());
    EXPECT_EQ(coarse.size() % 3, 0u);
    EXPECT_LE(coarse.size() / 3, 12500u);
    EXPECT_GE(coarse.size() / 3, 2000u);
    for (const uint32_t i : coarse)
        ASSERT_LT(i, uint32_t(side * side));
    double area = 0, full = 0;
    bool turned = false, fullTurned = false;
    flatArea(triangles, full, fullTurned);
    ASSERT_FALSE(fullTurned);
    flatArea(coarse, area, turned);
    EXPECT_FALSE(turned);
    EXPECT_NEAR(area, full, full * 0.06); // no holes, no folds over (the far edges move in)
    // A mesh already small enough keeps itself, and broken corners are left out.
    EXPECT_TRUE(CoarseTriangles(data, 8, triangles, 200000).empty());
    triangles[0] = uint32_t(side * side + 5);
    for (const uint32_t i : CoarseTriangles(data, 8, triangles, 10000))
        ASSERT_LT(i, uint32_t(side * side));
}

// Between two frames, as the game draws a model on the move: positions
// blended, normals blended and made unit again, and the tags a torso hangs
// from blended too, so the torso rides the legs' motion.
TEST(SceneFrames, AModelBetweenTwoFramesIsBlendedAsTheGameBlendsIt) {
    auto model = std::make_shared<Model>();
    model->format = "MD3";
    Surface s;
    s.u = {0, 1, 0};
    s.v = {0, 0, 1};
    s.triangles = {{0, 1, 2}};
    model->surfaces = {s};
    auto geometry = std::make_shared<StoredGeometry>();
    SurfacePose a, b;
    a.positions = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}};
    a.normals = {{1, 0, 0}, {1, 0, 0}, {0, 0, 1}};
    b.positions = {{0, 0, 8}, {4, 0, 8}, {0, 4, 8}};
    b.normals = {{0, 1, 0}, {0, 1, 0}, {0, 0, 1}};
    geometry->poses = {{a}, {b}};
    TagPose low{"tag_torso", {0, 0, 10}}, high{"tag_torso", {0, 0, 20}};
    high.axes = {Point3{0, 1, 0}, Point3{-1, 0, 0}, Point3{0, 0, 1}}; // turned a quarter
    geometry->tags = {{low}, {high}};
    model->geometry = geometry;

    const SurfaceFrame half = FrameOf(*model, 0, 0, 1, 0.5f);
    ASSERT_EQ(half.positions.size(), 3u);
    ExpectNear(half.positions[1], {4, 0, 4});
    ExpectNear(half.normals[0], {std::sqrt(0.5f), std::sqrt(0.5f), 0}); // unit again
    ExpectNear(half.normals[2], {0, 0, 1});
    ExpectNear(FrameOf(*model, 0, 0, 1, 0).positions[1], {4, 0, 0});
    ExpectNear(FrameOf(*model, 0, 0, 1, 1).positions[1], {4, 0, 8});
    ExpectNear(FrameOf(*model, 0, 0, 1, std::nanf("")).positions[1], {4, 0, 0});

    Placement tag;
    ASSERT_TRUE(FindTag(*model, 0, 1, 0.5f, "tag_torso", tag));
    ExpectNear(tag.origin, {0, 0, 15});
    ExpectNear(tag.axis[0], {std::sqrt(0.5f), std::sqrt(0.5f), 0});

    // Joined: the torso hangs from the blended tag; the parts keep their blend.
    const std::vector<ScenePart> parts =
        JoinPlayer(model, model, nullptr, PartFrame{0, 1, 0.25f}, PartFrame{1, 0, 0.5f});
    ASSERT_EQ(parts.size(), 2u);
    ExpectNear(parts[1].placement.origin, {0, 0, 12.5f});
    EXPECT_EQ(parts[1].frame, 1);
    EXPECT_EQ(parts[1].next, 0);
    EXPECT_EQ(parts[1].blend, 0.5f);
    // The torso at its own half way, placed on the legs' quarter way.
    ExpectNear(WorldPositions(parts[1], 0)[0], {0, 0, 12.5f + 4});
}
