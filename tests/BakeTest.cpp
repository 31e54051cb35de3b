// Baked layers on generated geometry with answers known beforehand: where
// light falls, which way folds turn, how dense texels lie, what no ray sees,
// and that a seam's two sides agree; then the command line on the shared
// player, its pictures read back.
#include "bake/Bake.h"
#include "image/TextureImage.h"
#include "tests/CliRun.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

// A quad's corners in 3D (counter-clockwise seen from its outside) and where
// they lie on the texture, corner for corner.
struct Quad {
    std::array<Vec3, 4> corner;
    std::array<std::array<double, 2>, 4> uv;
};

// The quads as one surface, each with its own four vertices; normals those
// of the faces when asked.
Surface SurfaceOf(const std::vector<Quad>& quads, bool normals = true) {
    Surface s;
    s.name = "s";
    for (const Quad& q : quads) {
        const int32_t base = int32_t(s.u.size());
        const Vec3 n = Normalised(Cross(q.corner[1] - q.corner[0], q.corner[2] - q.corner[0]));
        for (size_t i = 0; i < 4; ++i) {
            s.u.push_back(q.uv[i][0]);
            s.v.push_back(q.uv[i][1]);
            s.positions.push_back({q.corner[i].x, q.corner[i].y, q.corner[i].z});
            if (normals)
                s.normals.push_back({n.x, n.y, n.z});
        }
        s.triangles.push_back({base, base + 1, base + 2});
        s.triangles.push_back({base, base + 2, base + 3});
    }
    return s;
}

// A quad over a texture rectangle [u0,u1] x [v0,v1], v down, its first
// corner at the rectangle's bottom left.
Quad Mapped(std::array<Vec3, 4> corner, double u0, double v0, double u1, double v1) {
    return {corner, {{{u0, v1}, {u1, v1}, {u1, v0}, {u0, v0}}}};
}

struct Baked {
    std::shared_ptr<Model> model;
    Result<BakeResult> result = Error{};
    const TextureImage& Layer(size_t i) const { return result.value().layers.at(i).image; }
};

// Bakes the model's surfaces (the first `worn` of them wear the texture).
Baked BakeModel(std::vector<Surface> surfaces, std::vector<BakeLayer> layers, int side = 64,
                size_t worn = 1, int rays = 64) {
    Baked b;
    b.model = std::make_shared<Model>();
    b.model->surfaces = std::move(surfaces);
    BakeRequest request;
    request.parts = SingleModel(b.model, 0);
    for (size_t i = 0; i < worn && i < b.model->surfaces.size(); ++i)
        request.records.push_back(&b.model->surfaces[i]);
    request.width = request.height = side;
    request.layers = std::move(layers);
    request.occlusion.rays = rays;
    request.wrap = WrapMode::Clip;
    b.result = Bake(request);
    return b;
}

const uint8_t* Texel(const TextureImage& image, int x, int y) {
    return &image.rgba[(size_t(y) * size_t(image.width) + size_t(x)) * 4];
}

double Grey(const TextureImage& image, int x, int y) {
    return Texel(image, x, y)[0] / 255.0;
}

} // namespace

TEST(Bake, LayersAreNamedAndParsed) {
    const Result<std::vector<BakeLayer>> parsed = ParseBakeLayers("light,ao,light");
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed.value(), (std::vector<BakeLayer>{BakeLayer::Light, BakeLayer::Occlusion}));
    const Result<std::vector<BakeLayer>> unknown = ParseBakeLayers("ao,shine");
    ASSERT_FALSE(unknown.ok());
    EXPECT_NE(unknown.error().reason.find("\"shine\""), std::string::npos);
    EXPECT_NE(unknown.error().reason.find("curvature"), std::string::npos);
    EXPECT_FALSE(ParseBakeLayers("").ok());
    // Occlusion and light multiply, and stack above the colour references.
    EXPECT_TRUE(InfoOf(BakeLayer::Occlusion).multiply);
    EXPECT_TRUE(InfoOf(BakeLayer::Light).multiply);
    EXPECT_FALSE(InfoOf(BakeLayer::Normals).multiply);
    for (const BakeLayerInfo& info : BakeLayers())
        EXPECT_EQ(FindBakeLayer(info.name), info.layer);
}

// A lone quad: nothing can block it, so every texel is fully open.
TEST(Bake, ALoneQuadIsOpenEverywhere) {
    const Quad quad =
        Mapped({Vec3{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}}, 0.25, 0.25, 0.75, 0.75);
    const Baked b = BakeModel({SurfaceOf({quad})}, {BakeLayer::Occlusion, BakeLayer::NeverSeen});
    ASSERT_TRUE(b.result.ok()) << b.result.error().reason;
    EXPECT_EQ(b.result.value().neverSeen, 0u);
    EXPECT_GT(b.result.value().texels, 32u * 32u);
    const TextureImage& ao = b.Layer(0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            ASSERT_EQ(Texel(ao, x, y)[0], 255) << x << "," << y; // padded from open texels
            ASSERT_EQ(Texel(ao, x, y)[3], 255);
        }
    // The never-seen layer marks nothing.
    for (size_t i = 3; i < b.Layer(1).rgba.size(); i += 4)
        ASSERT_EQ(b.Layer(1).rgba[i], 0);
}

// The inside corner of an L: the floor darkens towards the wall, and at the
// corner line half the cosine-weighted sky is gone.
TEST(Bake, TheInsideCornerOfAnLDarkensTowardsTheCorner) {
    // Floor z = 0, x from 0 (the wall) to 10; the wall x = 0 facing +x.
    const Quad floor = Mapped({Vec3{10, 10, 0}, {0, 10, 0}, {0, 0, 0}, {10, 0, 0}}, 0, 0, 0.5, 1);
    const Quad wall = Mapped({Vec3{0, 0, 0}, {0, 10, 0}, {0, 10, 10}, {0, 0, 10}}, 0.5, 0, 1, 1);
    const Baked b = BakeModel({SurfaceOf({floor, wall})}, {BakeLayer::Occlusion}, 64, 1);
    ASSERT_TRUE(b.result.ok()) << b.result.error().reason;
    const TextureImage& ao = b.Layer(0);
    // The floor's u runs from x = 10 (u 0) to the wall (u 0.5); a middle row.
    const int y = 32;
    double previous = 2;
    for (int x = 0; x < 32; ++x) {
        const double open = Grey(ao, x, y);
        EXPECT_LE(open, previous + 1.5 / 64) << "at texel " << x;
        previous = std::min(previous, open);
    }
    EXPECT_LT(Grey(ao, 31, y), Grey(ao, 0, y) - 0.2);
    EXPECT_NEAR(Grey(ao, 31, y), 0.5, 0.08); // a texel's width from the corner line
    EXPECT_GT(Grey(ao, 0, y), 0.8);          // ten units off, a wall ten high
}

// A floor with a closed box over it: no ray from it gets out.
TEST(Bake, AFaceUnderAClosedLidIsNeverSeen) {
    const Quad floor = Mapped({Vec3{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}}, 0.1, 0.1, 0.9, 0.9);
    auto face = [](Vec3 a, Vec3 b, Vec3 c, Vec3 d) { return Mapped({a, b, c, d}, 0, 0, 1, 1); };
    const float l = -1, h = 5, top = 3;
    const Surface lid = SurfaceOf({
        face({l, l, top}, {h, l, top}, {h, h, top}, {l, h, top}),
        face({l, l, -1}, {h, l, -1}, {h, l, top}, {l, l, top}),
        face({h, l, -1}, {h, h, -1}, {h, h, top}, {h, l, top}),
        face({h, h, -1}, {l, h, -1}, {l, h, top}, {h, h, top}),
        face({l, h, -1}, {l, l, -1}, {l, l, top}, {l, h, top}),
        face({l, l, -1}, {l, h, -1}, {h, h, -1}, {h, l, -1}),
    });
    const Baked b = BakeModel({SurfaceOf({floor}), lid},
                              {BakeLayer::NeverSeen, BakeLayer::Occlusion}, 32, 1, 16);
    ASSERT_TRUE(b.result.ok()) << b.result.error().reason;
    EXPECT_EQ(b.result.value().neverSeen, b.result.value().texels);
    EXPECT_EQ(Texel(b.Layer(0), 16, 16)[0], 255);
    EXPECT_EQ(Texel(b.Layer(0), 16, 16)[1], 0);
    EXPECT_EQ(Texel(b.Layer(0), 16, 16)[3], 255);
    EXPECT_EQ(Texel(b.Layer(0), 0, 0)[3], 0); // the gutter is no part of the mask
    EXPECT_EQ(Texel(b.Layer(1), 16, 16)[0], 0);

    // Lift the lid's wall off one side: the floor is seen again.
    Surface open = lid;
    open.triangles.erase(open.triangles.begin() + 2, open.triangles.begin() + 4);
    const Baked lifted = BakeModel({SurfaceOf({floor}), open}, {BakeLayer::NeverSeen}, 32, 1, 16);
    ASSERT_TRUE(lifted.result.ok());
    EXPECT_LT(lifted.result.value().neverSeen, lifted.result.value().texels / 2);
}

// A wall ten units high: its light rises row by row towards the top (v 0),
// and its two halves, separate islands on the texture, meet at a seam on the
// model where they agree.
TEST(Bake, LightRisesWithHeightAndAgreesAcrossASeam) {
    const Quad left =
        Mapped({Vec3{0, 0, 0}, {0, 5, 0}, {0, 5, 10}, {0, 0, 10}}, 0.05, 0.1, 0.45, 0.9);
    const Quad right =
        Mapped({Vec3{0, 5, 0}, {0, 10, 0}, {0, 10, 10}, {0, 5, 10}}, 0.55, 0.1, 0.95, 0.9);
    // A floor under them, so that their occlusion varies with height too.
    const Quad floor = Mapped({Vec3{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}}, 0, 0, 1, 1);
    const Baked b = BakeModel({SurfaceOf({left, right}), SurfaceOf({floor})},
                              {BakeLayer::Light, BakeLayer::Occlusion}, 100, 1);
    ASSERT_TRUE(b.result.ok()) << b.result.error().reason;
    const TextureImage& light = b.Layer(0);
    for (int y = 11; y < 89; ++y)
        EXPECT_GT(Grey(light, 20, y), Grey(light, 20, y + 1)) << "row " << y;
    EXPECT_NEAR(Grey(light, 20, 10), 1.0, 0.02);
    // The seam: the left island's right edge (u 0.45) is the right one's
    // left edge (u 0.55) on the model. The texels just outside either edge
    // shade the very points of the seam; those just inside, points an
    // eighth of a unit to either side of it.
    for (int y = 12; y < 88; y += 5) {
        for (const TextureImage* layer : {&light, &b.Layer(1)})
            EXPECT_EQ(Texel(*layer, 45, y)[0], Texel(*layer, 54, y)[0]) << "row " << y;
        EXPECT_NEAR(Grey(light, 44, y), Grey(light, 55, y), 1.5 / 255) << "row " << y;
        EXPECT_NEAR(Grey(b.Layer(1), 44, y), Grey(b.Layer(1), 55, y), 3.5 / 64) << "row " << y;
    }
    // Occlusion falls towards the floor.
    EXPECT_LT(Grey(b.Layer(1), 20, 88), Grey(b.Layer(1), 20, 12) - 0.2);
}

// A ridge (convex) and a valley (concave), each two quads folded at 90
// degrees: light at the ridge, dark in the valley, mid-grey far from folds.
TEST(Bake, CurvatureIsLightOnARidgeAndDarkInAValley) {
    // Ridge along y at x = 0, z = 5: slopes down to z = 0 at x = -5 and 5.
    const Quad ridgeLeft =
        Mapped({Vec3{-5, 0, 0}, {0, 0, 5}, {0, 10, 5}, {-5, 10, 0}}, 0, 0, 0.25, 0.5);
    const Quad ridgeRight =
        Mapped({Vec3{0, 0, 5}, {5, 0, 0}, {5, 10, 0}, {0, 10, 5}}, 0.25, 0, 0.5, 0.5);
    const Quad valleyLeft =
        Mapped({Vec3{-5, 0, 5}, {0, 0, 0}, {0, 10, 0}, {-5, 10, 5}}, 0.5, 0, 0.75, 0.5);
    const Quad valleyRight =
        Mapped({Vec3{0, 0, 0}, {5, 0, 5}, {5, 10, 5}, {0, 10, 0}}, 0.75, 0, 1, 0.5);
    for (const bool normals : {true, false}) {
        SCOPED_TRACE(normals ? "with normals" : "from the winding");
        const Baked ridge =
            BakeModel({SurfaceOf({ridgeLeft, ridgeRight}, normals)}, {BakeLayer::Curvature}, 64);
        const Baked valley =
            BakeModel({SurfaceOf({valleyLeft, valleyRight}, normals)}, {BakeLayer::Curvature}, 64);
        ASSERT_TRUE(ridge.result.ok() && valley.result.ok());
        // The fold lies at u 0.25 (ridge) and 0.75 (valley), texels 15-16
        // and 47-48; a fold's two vertices hold it, the far ones are flat.
        EXPECT_GT(Grey(ridge.Layer(0), 15, 16), 0.65);
        EXPECT_LT(Grey(valley.Layer(0), 48, 16), 0.35);
        EXPECT_NEAR(Grey(ridge.Layer(0), 1, 16), 0.5, 0.05);
        EXPECT_NEAR(Grey(valley.Layer(0), 62, 16), 0.5, 0.05);
    }
}

// Two quads of one texture area, one with half the other's area on the
// model: twice the texels per square unit, a stop above the median.
TEST(Bake, DensityDoublesWhereTheModelAreaIsHalved) {
    const Quad big = Mapped({Vec3{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}}, 0, 0, 0.5, 0.5);
    const Quad small = Mapped({Vec3{10, 0, 0}, {12, 0, 0}, {12, 4, 0}, {10, 4, 0}}, 0.5, 0.5, 1, 1);
    const Baked b = BakeModel({SurfaceOf({big, small})}, {BakeLayer::Density}, 64);
    ASSERT_TRUE(b.result.ok());
    // The big quad holds two thirds of the area: it is the median, 32x32
    // texels over 16 square units.
    EXPECT_NEAR(b.result.value().medianDensity, 32.0 * 32.0 / 16.0, 1e-6);
    const uint8_t* median = Texel(b.Layer(0), 16, 16);
    const uint8_t* twice = Texel(b.Layer(0), 48, 48);
    EXPECT_EQ((std::array<int, 3>{median[0], median[1], median[2]}),
              (std::array<int, 3>{40, 200, 60}));
    // One stop of the two either side: halfway from green to red.
    EXPECT_EQ((std::array<int, 3>{twice[0], twice[1], twice[2]}),
              (std::array<int, 3>{148, 120, 50}));
}

// Two faces laid over one texel (a mirrored half) each shade it: the mean.
TEST(Bake, FacesLaidOverOneAnotherShareTheirTexels) {
    const Quad low =
        Mapped({Vec3{0, 0, 0}, {0, 4, 0}, {0, 4, 4}, {0, 0, 4}}, 0.25, 0.25, 0.75, 0.75);
    const Quad high =
        Mapped({Vec3{5, 0, 6}, {5, 4, 6}, {5, 4, 10}, {5, 0, 10}}, 0.25, 0.25, 0.75, 0.75);
    const Baked both = BakeModel({SurfaceOf({low, high})}, {BakeLayer::Light}, 32);
    ASSERT_TRUE(both.result.ok());
    EXPECT_GE(both.result.value().samples, 2 * both.result.value().texels);
    // At the middle row, z is 2 on one face and 8 on the other: t 0.5.
    const double mean = 0.35 + 0.65 * 0.5;
    EXPECT_NEAR(Grey(both.Layer(0), 16, 16), mean, 0.045); // half a texel of height
}

TEST(Bake, HostileGeometryIsRefusedOrSkipped) {
    // Nothing on the texture.
    const Quad off = Mapped({Vec3{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, 3, 3, 4, 4);
    const Baked none = BakeModel({SurfaceOf({off})}, {BakeLayer::Light}, 16);
    ASSERT_FALSE(none.result.ok());
    EXPECT_NE(none.result.error().reason.find("covers no texel"), std::string::npos);
    // NaN corners and indices past the vertices are skipped; the rest bakes.
    const Quad good = Mapped({Vec3{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, 0, 0, 0.5, 0.5);
    Surface s = SurfaceOf({good, good});
    s.positions[4] = {NAN, 0, 0};
    s.triangles.push_back({0, 99, -3});
    s.triangles.push_back({1, 1, 1});
    const Baked bad = BakeModel(
        {s}, {BakeLayer::Occlusion, BakeLayer::Curvature, BakeLayer::Density, BakeLayer::Normals},
        16, 1, 4);
    ASSERT_TRUE(bad.result.ok()) << bad.result.error().reason;
    EXPECT_GT(bad.result.value().texels, 0u);
    // Sizes out of range and no layer.
    EXPECT_FALSE(BakeModel({SurfaceOf({good})}, {BakeLayer::Light}, 0).result.ok());
    EXPECT_FALSE(BakeModel({SurfaceOf({good})}, {BakeLayer::Light}, kMaxBakeSide + 1).result.ok());
    EXPECT_FALSE(BakeModel({SurfaceOf({good})}, {}, 16).result.ok());
}

// The shared player's torso texture baked from the joined player: one
// picture a layer at the texture's size, each opaque, read back.
TEST(BakeCli, BakesTheSharedPlayersTextureIntoPictures) {
    const fs::path folder = fs::path(GW_SOURCE_DIR) / "../shared/game/models/players/human_base";
    if (!fs::exists(folder / "upper.md3") || !fs::exists(folder / "base.png"))
        GTEST_SKIP() << "the shared player is not here";
    const fs::path out = fs::temp_directory_path() / ("gw_bake_" + std::to_string(::getpid()));
    fs::create_directories(out);
    const std::string upper = (folder / "upper.md3").make_preferred().string();
    const Outcome run = Cli({upper, "--texture", "models/players/human_base/base.tga", "--bake",
                             "light,curvature,ao", "--bake-rays", "4", "--bake-size", "128", "-o",
                             (out / "torso.png").make_preferred().string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("(128x128, 2 surfaces)"), std::string::npos) << run.out;
    for (const char* name : {"light", "curvature", "ao"}) {
        TextureImage image;
        ASSERT_TRUE(
            LoadTexture((out / ("torso_" + std::string(name) + ".png")).string(), image).ok())
            << name;
        EXPECT_EQ(image.width, 128);
        for (size_t i = 3; i < image.rgba.size(); i += 4)
            ASSERT_EQ(image.rgba[i], 255) << name;
    }
    // The torso stands on the legs: the light over it is no flat grey.
    TextureImage light;
    ASSERT_TRUE(LoadTexture((out / "torso_light.png").make_preferred().string(), light).ok());
    const auto [lo, hi] = std::minmax_element(light.rgba.begin(), light.rgba.end());
    EXPECT_GT(int(*hi) - int(*lo), 60);

    // Refusals: each says what to do.
    const std::string o = (out / "x.png").make_preferred().string();
    EXPECT_EQ(Cli({upper, "--bake", "ao,shine", "-o", o}).status, 2);
    EXPECT_EQ(Cli({upper, "--bake", "ao", "--bake-rays", "0", "-o", o}).status, 2);
    EXPECT_EQ(Cli({upper, "--bake", "ao", "--bake-size", "9000", "-o", o}).status, 2);
    EXPECT_EQ(Cli({upper, "--bake", "ao", "-o", (out / "x.tga").make_preferred().string()}).status,
              2);
    const Outcome which = Cli({upper, "--bake", "light", "-o", o});
    EXPECT_EQ(which.status, 2);
    EXPECT_NE(which.err.find("--texture NAME"), std::string::npos) << which.err;
    const Outcome two = Cli({upper, "--bake", "ao", "--pad", "p.png", "-o", o});
    EXPECT_NE(two.err.find("one at a time"), std::string::npos) << two.err;
    EXPECT_EQ(Cli({upper, "--bake-rays", "8", "-o", o}).status, 2);
    EXPECT_FALSE(fs::exists(o));
    fs::remove_all(out);
}

// Surfaces of another model than the one baked have no place in its scene:
// they are left out and counted, never shaded where they do not stand.
TEST(Bake, SurfacesOfAnotherModelAreLeftOutAndCounted) {
    const Quad quad = Mapped({Vec3{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}}, 0, 0, 0.5, 0.5);
    auto model = std::make_shared<Model>();
    model->surfaces = {SurfaceOf({quad})};
    const Surface stranger = SurfaceOf({Mapped(quad.corner, 0.5, 0.5, 1, 1)});
    BakeRequest request;
    request.parts = SingleModel(model, 0);
    request.records = {&model->surfaces[0], &stranger};
    request.width = request.height = 32;
    request.layers = {BakeLayer::Light};
    const Result<BakeResult> baked = Bake(request);
    ASSERT_TRUE(baked.ok());
    EXPECT_EQ(baked.value().unplaced, 1u);
    EXPECT_LE(baked.value().texels, 18u * 18u); // the first quad's island and its margin only
    request.records = {&stranger};
    const Result<BakeResult> none = Bake(request);
    ASSERT_FALSE(none.ok());
    EXPECT_NE(none.error().reason.find("none of the surfaces"), std::string::npos);
}

// A player's part whose join cannot place it (no legs to stand on, a torso
// without tag_head for the head) is baked alone, and the reason is kept;
// with its legs, it stands on them.
TEST(Bake, APartTheJoinCannotPlaceIsBakedAlone) {
    auto part = [](const char* path, const char* tag) {
        auto m = std::make_shared<Model>();
        m->format = "MD3";
        m->path = path;
        m->surfaces = {
            SurfaceOf({Mapped({Vec3{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}}, 0, 0, 0.5, 0.5)})};
        auto geometry = std::make_shared<StoredGeometry>();
        SurfacePose pose;
        pose.positions = m->surfaces[0].positions;
        geometry->poses = {{pose}};
        if (tag)
            geometry->tags = {{TagPose{tag, {0, 0, 10}}}};
        m->geometry = geometry;
        return std::shared_ptr<const Model>(m);
    };
    const auto upper = part("p/upper.md3", nullptr), head = part("p/head.md3", nullptr);
    const auto lower = part("p/lower.md3", "tag_torso");

    std::string problem;
    std::vector<ScenePart> scene = BakeScene(upper, {head}, &problem);
    ASSERT_EQ(scene.size(), 1u);
    EXPECT_EQ(scene[0].model, upper);
    EXPECT_NE(problem.find("legs"), std::string::npos) << problem;

    problem.clear();
    scene = BakeScene(head, {lower, upper}, &problem); // the torso has no tag_head
    ASSERT_EQ(scene.size(), 1u);
    EXPECT_EQ(scene[0].model, head);
    EXPECT_NE(problem.find("tag_head"), std::string::npos) << problem;

    problem.clear();
    scene = BakeScene(upper, {lower, head}, &problem);
    ASSERT_EQ(scene.size(), 2u);
    EXPECT_EQ(scene[1].model, upper);
}
