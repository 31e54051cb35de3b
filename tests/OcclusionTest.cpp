// Ambient occlusion on generated geometry with known answers: a lone quad,
// the inside corner of an L, closed and lidded boxes, and hostile faces.
#include "bake/Occlusion.h"
#include "bake/Bvh.h"
#include "game/OpenModel.h"
#include "scene/Scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>

namespace {

// A quad a-b-c-d as two faces.
void AddQuad(std::vector<WorldTriangle>& faces, Vec3 a, Vec3 b, Vec3 c, Vec3 d) {
    faces.push_back({a, b, c});
    faces.push_back({a, c, d});
}

// The box low..high, all six sides (or five, without the top at z = high.z).
std::vector<WorldTriangle> Box(Vec3 lo, Vec3 hi, bool top = true) {
    std::vector<WorldTriangle> f;
    AddQuad(f, {lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z});
    if (top)
        AddQuad(f, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z});
    AddQuad(f, {lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, lo.y, hi.z}, {lo.x, lo.y, hi.z});
    AddQuad(f, {lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z});
    AddQuad(f, {lo.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {lo.x, hi.y, hi.z}, {lo.x, lo.y, hi.z});
    AddQuad(f, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {hi.x, lo.y, hi.z});
    return f;
}

OcclusionResult Shade(const std::vector<WorldTriangle>& faces,
                      const std::vector<OcclusionSample>& samples, int rays = 256,
                      int threads = 2) {
    OcclusionOptions options;
    options.rays = rays;
    options.threads = threads;
    return AmbientOcclusion(faces, samples, options);
}

// Nothing but the face itself is there: open every way, from either side,
// at its middle, its corners and its edges.
TEST(Occlusion, LoneQuadIsOpenFromBothSides) {
    std::vector<WorldTriangle> quad;
    AddQuad(quad, {0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0});
    std::vector<OcclusionSample> samples;
    for (const Vec3 p : {Vec3{5, 5, 0}, Vec3{0, 0, 0}, Vec3{10, 10, 0}, Vec3{5, 0, 0},
                         Vec3{3.3f, 3.3f, 0}, Vec3{7, 3, 0}})
        for (const float side : {1.0f, -1.0f})
            samples.push_back({p, {0, 0, side}});
    const OcclusionResult r = Shade(quad, samples);
    ASSERT_EQ(r.open.size(), samples.size());
    ASSERT_EQ(r.neverSeen.size(), samples.size());
    EXPECT_FALSE(r.cancelled);
    for (size_t k = 0; k < samples.size(); ++k) {
        EXPECT_EQ(r.open[k], 1.0f) << "sample " << k;
        EXPECT_EQ(r.neverSeen[k], 0) << "sample " << k;
    }
}

// The inside corner of an L: a floor (z = 0) and a wall (x = 0, 100 high)
// rising from it, both long along y. A floor point closes in as it nears the
// wall; a floor point at distance d from a wall of height h that has no ends
// sees it in (1 - d / sqrt(d^2 + h^2)) / 2 of its cosine-weighted
// hemisphere, half right at the corner line; the floor's underside sees all.
TEST(Occlusion, InsideCornerClosesTowardsTheCorner) {
    const float h = 100, length = 4000;
    std::vector<WorldTriangle> l;
    AddQuad(l, {0, -length, 0}, {100, -length, 0}, {100, length, 0}, {0, length, 0});
    AddQuad(l, {0, -length, 0}, {0, length, 0}, {0, length, h}, {0, -length, h});
    std::vector<OcclusionSample> samples;
    const std::vector<float> distances = {0.001f, 0.5f, 2, 8, 30, 99};
    for (float x : distances)
        samples.push_back({{x, 0, 0}, {0, 0, 1}});
    samples.push_back({{50, 0, 0}, {0, 0, -1}}); // under the floor, nothing in the way
    const OcclusionResult r = Shade(l, samples, 1024);
    for (size_t k = 0; k < distances.size(); ++k) {
        const float d = distances[k];
        EXPECT_NEAR(r.open[k], 1 - (1 - d / std::sqrt(d * d + h * h)) / 2, 0.02f) << d;
        if (k > 0) {
            EXPECT_LE(r.open[k - 1], r.open[k]) << d;
        }
        EXPECT_EQ(r.neverSeen[k], 0);
    }
    EXPECT_LT(r.open[1], r.open[4]);
    EXPECT_EQ(r.open.back(), 1.0f);

    // The same on the wall looking at the floor: the L is the same seen turned.
    const OcclusionResult wall = Shade(l, {{{0, 0, 0.001f}, {1, 0, 0}}}, 1024);
    EXPECT_NEAR(wall.open[0], 0.5f, 0.02f);
}

// Inside a closed box no ray gets out, whichever way a point looks; an open
// box's floor sees the sky through its top until a lid closes it.
TEST(Occlusion, ClosedBoxesAreNeverSeen) {
    const std::vector<WorldTriangle> closed = Box({0, 0, 0}, {4, 4, 4});
    std::vector<OcclusionSample> inside;
    for (const Vec3 n : {Vec3{0, 0, 1}, Vec3{0, 0, -1}, Vec3{1, 0, 0}, Vec3{0.6f, -0.8f, 0}})
        inside.push_back({{1, 2, 3}, n});
    inside.push_back({{2, 2, 0}, {0, 0, 1}}); // on the floor, looking in
    const OcclusionResult r = Shade(closed, inside);
    for (size_t k = 0; k < inside.size(); ++k) {
        EXPECT_EQ(r.open[k], 0.0f) << k;
        EXPECT_EQ(r.neverSeen[k], 1) << k;
    }

    std::vector<WorldTriangle> open = Box({0, 0, 0}, {4, 4, 4}, false);
    const std::vector<OcclusionSample> floor = {{{2, 2, 0}, {0, 0, 1}}, {{1, 3, 0}, {0, 0, 1}}};
    const OcclusionResult before = Shade(open, floor);
    for (size_t k = 0; k < floor.size(); ++k) {
        EXPECT_GT(before.open[k], 0.05f);
        EXPECT_EQ(before.neverSeen[k], 0);
    }
    // A lid a little above the walls, wider than the box: the floor is
    // shut in though no face touches another.
    AddQuad(open, {-1, -1, 4.1f}, {5, -1, 4.1f}, {5, 5, 4.1f}, {-1, 5, 4.1f});
    AddQuad(open, {-1, -1, 4.1f}, {-1, 5, 4.1f}, {-1, 5, -0.1f}, {-1, -1, -0.1f});
    AddQuad(open, {5, -1, 4.1f}, {5, 5, 4.1f}, {5, 5, -0.1f}, {5, -1, -0.1f});
    AddQuad(open, {-1, -1, 4.1f}, {5, -1, 4.1f}, {5, -1, -0.1f}, {-1, -1, -0.1f});
    AddQuad(open, {-1, 5, 4.1f}, {5, 5, 4.1f}, {5, 5, -0.1f}, {-1, 5, -0.1f});
    const OcclusionResult lidded = Shade(open, floor);
    for (size_t k = 0; k < floor.size(); ++k) {
        EXPECT_EQ(lidded.open[k], 0.0f);
        EXPECT_EQ(lidded.neverSeen[k], 1);
    }
}

// Many random faces and points: the same bytes whatever the thread count;
// another seed gives other directions, so other values somewhere.
TEST(Occlusion, SameBytesWhateverTheThreads) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> coordinate(-10, 10), unit(-1, 1);
    std::vector<WorldTriangle> faces;
    for (int k = 0; k < 3000; ++k) {
        const Vec3 c{coordinate(random), coordinate(random), coordinate(random)};
        faces.push_back({c, c + Vec3{unit(random), unit(random), unit(random)},
                         c + Vec3{unit(random), unit(random), unit(random)}});
    }
    std::vector<OcclusionSample> samples;
    for (int k = 0; k < 3000; ++k)
        samples.push_back({{coordinate(random), coordinate(random), coordinate(random)},
                           Normalised({unit(random), unit(random), unit(random)})});
    const OcclusionResult one = Shade(faces, samples, 32, 1);
    bool mixed = false; // some open, some not: the comparison means something
    for (float v : one.open)
        mixed = mixed || (v > 0 && v < 1);
    EXPECT_TRUE(mixed);
    for (int threads : {2, 7}) {
        const OcclusionResult other = Shade(faces, samples, 32, threads);
        ASSERT_EQ(other.open.size(), one.open.size());
        EXPECT_EQ(std::memcmp(other.open.data(), one.open.data(), one.open.size() * sizeof(float)),
                  0)
            << threads << " threads";
        EXPECT_EQ(other.neverSeen, one.neverSeen) << threads << " threads";
    }
    OcclusionOptions seeded;
    seeded.rays = 32;
    seeded.seed = 99;
    EXPECT_NE(AmbientOcclusion(faces, samples, seeded).open, one.open);
}

// Two points a hair apart with one normal get nearly one value: no noise
// from texel to texel, so seams between islands do not show.
TEST(Occlusion, NearbyPointsAgree) {
    std::vector<WorldTriangle> l;
    AddQuad(l, {0, -10, 0}, {10, -10, 0}, {10, 10, 0}, {0, 10, 0});
    AddQuad(l, {0, -10, 0}, {0, 10, 0}, {0, 10, 10}, {0, -10, 10});
    std::vector<OcclusionSample> samples;
    for (float x = 0.5f; x < 9; x += 0.5f) {
        samples.push_back({{x, 1, 0}, {0, 0, 1}});
        samples.push_back({{x + 1e-4f, 1 + 1e-4f, 0}, {0, 0, 1}});
    }
    const OcclusionResult r = Shade(l, samples, 64);
    for (size_t k = 0; k < samples.size(); k += 2)
        EXPECT_NEAR(r.open[k], r.open[k + 1], 1.5f / 64) << samples[k].position.x;
}

// Faces and points with NaN or infinite coordinates, or of no area, are
// passed over; nothing at all gives nothing; progress ends at 1; a cancel
// before the start stops it.
TEST(Occlusion, HostileAndEmptyInput) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<WorldTriangle> faces;
    AddQuad(faces, {0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0});
    faces.push_back({Vec3{nan, 0, 0}, Vec3{0, 0, 5}, Vec3{10, 10, 5}});
    faces.push_back({Vec3{-inf, -inf, 3}, Vec3{inf, -inf, 3}, Vec3{0, inf, 3}});
    faces.push_back({Vec3{-1e30f, -1e30f, 2}, Vec3{1e30f, -1e30f, 2}, Vec3{0, 1e30f, 2}});
    faces.push_back({Vec3{0, 0, 1}, Vec3{10, 10, 1}, Vec3{20, 20, 1}}); // a line
    faces.push_back({Vec3{5, 5, 1}, Vec3{5, 5, 1}, Vec3{5, 5, 1}});     // a point
    std::vector<OcclusionSample> samples = {{{5, 5, 0}, {0, 0, 1}},
                                            {{nan, 5, 0}, {0, 0, 1}},
                                            {{5, 5, 0}, {0, 0, 0}},
                                            {{5, 5, 0}, {inf, 0, 0}},
                                            {{5, 5, 0}, {0, 0, 7}}};
    std::vector<double> shares;
    OcclusionOptions options;
    options.progress = [&](double share) { shares.push_back(share); };
    const OcclusionResult r = AmbientOcclusion(faces, samples, options);
    ASSERT_EQ(r.open.size(), samples.size());
    EXPECT_EQ(r.open[0], 1.0f);
    EXPECT_EQ(r.open[4], 1.0f); // a normal of any length is made unit
    for (size_t k = 1; k < 4; ++k) {
        EXPECT_EQ(r.open[k], 0.0f) << k;
        EXPECT_EQ(r.neverSeen[k], 1) << k;
    }
    ASSERT_FALSE(shares.empty());
    EXPECT_EQ(shares.back(), 1.0);

    const OcclusionResult none = AmbientOcclusion({}, samples, {});
    EXPECT_EQ(none.open[0], 1.0f); // no model: open sky
    EXPECT_TRUE(AmbientOcclusion(faces, {}, {}).open.empty());
    EXPECT_TRUE(AmbientOcclusion({}, {}, {}).neverSeen.empty());

    std::atomic<bool> cancel{true};
    options.cancel = &cancel;
    EXPECT_TRUE(AmbientOcclusion(faces, samples, options).cancelled);
}

// Faces spread over the whole range of floats, so that the model's box
// overflows, and rays from nowhere: a ray from infinity once chased the
// tree's empty slots back to its root for ever. Each now ends at once.
TEST(Occlusion, RaysFromTheEdgeOfFloatsEndAtOnce) {
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<WorldTriangle> floor;
    AddQuad(floor, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0});
    const Bvh bvh(floor); // two faces: the root is a leaf beside three empty slots
    EXPECT_TRUE(bvh.Occluded({0.5f, 0.5f, 1}, {0, 0, -1}, 10));
    EXPECT_FALSE(bvh.Occluded({-inf, inf, inf}, {-0.86f, -0.3f, 0.4f}, 10));
    EXPECT_FALSE(bvh.Occluded({0.5f, 0.5f, 1}, {0, 0, std::nanf("")}, 10));
    EXPECT_FALSE(bvh.Occluded({0.5f, 0.5f, 1}, {0, 0, -1}, std::nanf("")));

    const float big = 3e38f;
    std::vector<WorldTriangle> faces = floor;
    faces.push_back({Vec3{-big, 0, 0}, Vec3{-big, 1, 0}, Vec3{-big, 0, 1}});
    faces.push_back({Vec3{big, 0, 0}, Vec3{big, 1, 0}, Vec3{big, 0, 1}});
    // The tree is built without a float overflowing (the sanitizers' build
    // says so) and every ray ends; what such a model shades is its own affair.
    const OcclusionResult r = Shade(faces, {{{0.5f, 0.5f, -1}, {0, 0, -1}}}, 64, 1);
    ASSERT_EQ(r.open.size(), 1u);
    EXPECT_TRUE(r.open[0] >= 0 && r.open[0] <= 1);
}

// A cancel asked for on the way (here at the first progress) stops the
// work before the end: later samples are left unshaded, and it says so.
TEST(Occlusion, CancelOnTheWayStops) {
    std::vector<WorldTriangle> quad;
    AddQuad(quad, {0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0});
    const std::vector<OcclusionSample> samples(100000, {{5, 5, 0}, {0, 0, 1}});
    std::atomic<bool> cancel{false};
    double last = 0;
    OcclusionOptions options;
    options.threads = 1;
    options.cancel = &cancel;
    options.progress = [&](double share) {
        last = share;
        cancel = true;
    };
    const OcclusionResult r = AmbientOcclusion(quad, samples, options);
    EXPECT_TRUE(r.cancelled);
    EXPECT_LT(last, 0.5);
    EXPECT_EQ(r.open.front(), 1.0f);
    EXPECT_EQ(r.open.back(), 0.0f);
    EXPECT_EQ(r.neverSeen.back(), 1);
}

// The shared player joined: the torso shades the top of the legs, where
// they meet it, far more than the feet; the legs alone are lighter.
TEST(Occlusion, TorsoShadesTheWaistOfTheSharedPlayer) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(GW_SOURCE_DIR) / "../shared/game/models/players/human_base";
    std::array<std::shared_ptr<const Model>, 3> parts;
    const char* names[3] = {"lower.md3", "upper.md3", "head.md3"};
    for (size_t i = 0; i < 3; ++i) {
        if (!fs::exists(folder / names[i]))
            GTEST_SKIP() << "the shared player is not here";
        Result<OpenedModel> opened = OpenModel((folder / names[i]).string(), {});
        ASSERT_TRUE(opened.ok()) << opened.error().Message();
        parts[i] = std::make_shared<const Model>(std::move(opened.value().model));
    }
    const std::vector<ScenePart> player = JoinPlayer(parts[0], parts[1], parts[2], 0, 0);
    ASSERT_EQ(player.size(), 3u);
    std::vector<WorldTriangle> legs, all;
    for (size_t p = 0; p < player.size(); ++p)
        for (size_t s = 0; s < player[p].model->surfaces.size(); ++s) {
            const std::vector<Vec3> at = WorldPositions(player[p], s);
            for (const Triangle& t : player[p].model->surfaces[s].triangles) {
                const WorldTriangle f{at.at(size_t(t.a)), at.at(size_t(t.b)), at.at(size_t(t.c))};
                all.push_back(f);
                if (p == 0)
                    legs.push_back(f);
            }
        }
    // A point in the middle of each leg face, looking out (the game winds
    // front faces clockwise).
    std::vector<OcclusionSample> samples;
    float low = 1e30f, high = -1e30f;
    for (const WorldTriangle& f : legs) {
        const Vec3 n = Cross(f[2] - f[0], f[1] - f[0]);
        if (Length(n) == 0)
            continue;
        samples.push_back({(f[0] + f[1] + f[2]) * (1.0f / 3), Normalised(n)});
        low = std::min(low, samples.back().position.z);
        high = std::max(high, samples.back().position.z);
    }
    ASSERT_GT(samples.size(), 100u);
    const OcclusionResult alone = Shade(legs, samples, 128);
    const OcclusionResult joined = Shade(all, samples, 128);
    double top = 0, bottom = 0, lighter = 0;
    int tops = 0, bottoms = 0;
    for (size_t k = 0; k < samples.size(); ++k) {
        const double darker = double(alone.open[k]) - double(joined.open[k]);
        lighter += darker;
        const float z = (samples[k].position.z - low) / (high - low);
        if (z > 0.8f) {
            top += darker;
            ++tops;
        } else if (z < 0.2f) {
            bottom += darker;
            ++bottoms;
        }
    }
    ASSERT_GT(tops, 0);
    ASSERT_GT(bottoms, 0);
    EXPECT_GT(lighter / double(samples.size()), 0.02);
    EXPECT_GT(top / tops, 0.15);
    EXPECT_GT(top / tops, 4 * (bottom / bottoms));
}

} // namespace
