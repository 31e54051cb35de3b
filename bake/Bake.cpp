#include "bake/Bake.h"

#include "game/ModelGame.h"
#include "model/NativeFile.h"
#include "render/Padding.h"
#include "render/PlacedTriangles.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <thread>
#include <unordered_map>

namespace {

// Lower than this and the light layer, multiplied over the paint, would
// black the model's feet out instead of shading them.
constexpr double kLightFloor = 0.35;
// The density layer spans two stops of texel area either side of the
// median: blue at a quarter of it, red at four times.
constexpr double kDensityStops = 2.0;
// Faces beyond this many laid over one texel add nothing to its shade but
// time: no real layout stacks more.
constexpr uint8_t kMaxOverlaps = 8;
// Faces this much farther (texels) from a texel's centre than the nearest
// still shade it: the islands beside a border texel, not those across a gap.
constexpr double kAlikeDistance = 0.25;

const std::vector<BakeLayerInfo> kLayers = {
    // Lowest first: colour references under the shading a painter multiplies.
    {BakeLayer::Normals, "normals", "Normals", false},
    {BakeLayer::Density, "density", "Texel density", false},
    {BakeLayer::Curvature, "curvature", "Curvature", false},
    {BakeLayer::Light, "light", "Light from above", true},
    {BakeLayer::Occlusion, "ao", "Ambient occlusion", true},
    {BakeLayer::NeverSeen, "never-seen", "Never seen", false},
};

bool Finite(const Vec3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

struct PointKey {
    int64_t x, y, z;
    bool operator==(const PointKey&) const = default;
};
struct PointKeyHash {
    size_t operator()(const PointKey& k) const {
        uint64_t h = uint64_t(k.x) * 0x9E3779B97F4A7C15ull;
        h ^= uint64_t(k.y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
        h ^= uint64_t(k.z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
        return size_t(h);
    }
};

// Positions equal to 1/1024 of a unit are one point: MD3 stores 1/64 units,
// so the game's own shared corners always meet.
PointKey KeyOf(const Vec3& p) {
    auto q = [](float c) {
        return int64_t(std::llround(std::clamp(double(c), -1e12, 1e12) * 1024.0));
    };
    return {q(p.x), q(p.y), q(p.z)};
}

Vec3 FaceNormal(const WorldTriangle& t) {
    const Vec3 n = Cross(t[1] - t[0], t[2] - t[0]);
    const float l = Length(n);
    return l > 0 && std::isfinite(l) ? n * (1 / l) : Vec3{0, 0, 0};
}

// The signed dihedral angles at each welded point: convex edges positive,
// folds into the surface negative, weighted by the edges' lengths.
std::vector<float> Curvature(const std::vector<BakeFace>& faces, size_t points) {
    struct EdgeFaces {
        uint32_t face[2] = {0, 0};
        int count = 0;
    };
    std::unordered_map<uint64_t, EdgeFaces> edges;
    edges.reserve(faces.size() * 2);
    std::vector<Vec3> outward(faces.size());
    for (size_t f = 0; f < faces.size(); ++f) {
        const BakeFace& face = faces[f];
        Vec3 n = FaceNormal(face.corner);
        // The stored normals say which side is out, whatever the winding.
        if (Dot(n, face.normal[0] + face.normal[1] + face.normal[2]) < 0)
            n = n * -1;
        outward[f] = n;
        for (int c = 0; c < 3; ++c) {
            const uint32_t a = face.point[size_t(c)], b = face.point[size_t((c + 1) % 3)];
            if (a == b)
                continue;
            EdgeFaces& e = edges[uint64_t(std::min(a, b)) << 32 | std::max(a, b)];
            if (e.count < 2)
                e.face[e.count] = uint32_t(f);
            ++e.count;
        }
    }
    std::vector<double> sum(points, 0.0), weight(points, 0.0);
    for (const auto& [key, e] : edges) {
        if (e.count != 2)
            continue; // a border, or more than two faces: no fold to measure
        const BakeFace& f = faces[e.face[0]];
        const BakeFace& g = faces[e.face[1]];
        const Vec3 nf = outward[e.face[0]], ng = outward[e.face[1]];
        if (Dot(nf, nf) == 0 || Dot(ng, ng) == 0)
            continue;
        const uint32_t a = uint32_t(key >> 32), b = uint32_t(key);
        Vec3 pa, pb, opposite;
        for (int c = 0; c < 3; ++c) {
            if (f.point[size_t(c)] == a)
                pa = f.corner[size_t(c)];
            if (f.point[size_t(c)] == b)
                pb = f.corner[size_t(c)];
            if (g.point[size_t(c)] != a && g.point[size_t(c)] != b)
                opposite = g.corner[size_t(c)];
        }
        const double angle = std::atan2(double(Length(Cross(nf, ng))), double(Dot(nf, ng)));
        // The other face's far corner behind this face's plane: the surface
        // turns away from its outside there, a convex edge.
        const double sign = Dot(nf, opposite - pa) < 0 ? 1.0 : -1.0;
        const double length = Length(pb - pa);
        if (!std::isfinite(angle) || !std::isfinite(length))
            continue;
        for (const uint32_t p : {a, b}) {
            sum[p] += sign * angle * length;
            weight[p] += length;
        }
    }
    std::vector<float> curvature(points, 0.0f);
    for (size_t p = 0; p < points; ++p)
        if (weight[p] > 0)
            curvature[p] = float(sum[p] / weight[p]);
    return curvature;
}

// The point of triangle abc nearest q (2D), as barycentric weights, and the
// squared distance to it. A triangle without area is taken by its edges.
double Nearest(const double q[2], const double a[2], const double b[2], const double c[2],
               float w[3]) {
    const double abx = b[0] - a[0], aby = b[1] - a[1], acx = c[0] - a[0], acy = c[1] - a[1];
    const double area = abx * acy - aby * acx;
    if (std::abs(area) > 1e-12) {
        // Each corner's weight: the area of the triangle q makes with the
        // other two, over the whole.
        const double e0 = ((b[0] - q[0]) * (c[1] - q[1]) - (b[1] - q[1]) * (c[0] - q[0])) / area;
        const double e1 = ((q[0] - a[0]) * acy - (q[1] - a[1]) * acx) / area;
        const double e2 = 1 - e0 - e1;
        if (e0 >= 0 && e1 >= 0 && e2 >= 0) {
            w[0] = float(e0), w[1] = float(e1), w[2] = float(e2);
            return 0;
        }
    }
    const double* corner[3] = {a, b, c};
    double best = std::numeric_limits<double>::infinity();
    for (int i = 0; i < 3; ++i) {
        const double* p = corner[i];
        const double* r = corner[(i + 1) % 3];
        const double dx = r[0] - p[0], dy = r[1] - p[1];
        const double l2 = dx * dx + dy * dy;
        double t = l2 > 0 ? ((q[0] - p[0]) * dx + (q[1] - p[1]) * dy) / l2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        const double ex = p[0] + dx * t - q[0], ey = p[1] + dy * t - q[1];
        const double d2 = ex * ex + ey * ey;
        if (d2 < best) {
            best = d2;
            w[0] = w[1] = w[2] = 0;
            w[i] = float(1 - t);
            w[(i + 1) % 3] = float(t);
        }
    }
    return best;
}

// Blue through green to red over 0..1.
void HeatColour(double t, uint8_t* rgba) {
    static constexpr double kStops[3][3] = {{40, 70, 255}, {40, 200, 60}, {255, 40, 40}};
    t = std::clamp(t, 0.0, 1.0) * 2;
    const int i = t >= 1 ? 1 : 0;
    const double f = t - i;
    for (int c = 0; c < 3; ++c)
        rgba[c] = uint8_t(std::lround(kStops[i][c] + (kStops[i + 1][c] - kStops[i][c]) * f));
    rgba[3] = 255;
}

} // namespace

const std::vector<BakeLayerInfo>& BakeLayers() {
    return kLayers;
}

const BakeLayerInfo& InfoOf(BakeLayer layer) {
    for (const BakeLayerInfo& info : kLayers)
        if (info.layer == layer)
            return info;
    return kLayers.front();
}

std::optional<BakeLayer> FindBakeLayer(std::string_view name) {
    for (const BakeLayerInfo& info : kLayers)
        if (name == info.name)
            return info.layer;
    return std::nullopt;
}

Result<std::vector<BakeLayer>> ParseBakeLayers(std::string_view list) {
    std::vector<BakeLayer> layers;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string_view::npos)
            end = list.size();
        const std::string_view name = list.substr(start, end - start);
        const std::optional<BakeLayer> layer = FindBakeLayer(name);
        if (!layer) {
            std::string names;
            for (const BakeLayerInfo& info : kLayers)
                names += std::string(names.empty() ? "" : ", ") + info.name;
            return Error{"", "",
                         "there is no layer \"" + std::string(name) +
                             "\" to bake; the layers are " + names};
        }
        if (std::find(layers.begin(), layers.end(), *layer) == layers.end())
            layers.push_back(*layer);
        start = end + 1;
    }
    return layers;
}

BakeGeometry GatherBakeGeometry(const std::vector<ScenePart>& parts,
                                const std::vector<const Surface*>& records) {
    BakeGeometry g;
    std::unordered_map<const Surface*, size_t> recordOf;
    for (size_t r = 0; r < records.size(); ++r)
        recordOf.emplace(records[r], r);
    g.recordFaces.resize(records.size());
    std::vector<bool> placed(records.size(), false);
    std::unordered_map<PointKey, uint32_t, PointKeyHash> points;

    auto add = [&](const Surface& surface, const std::vector<Vec3>& positions,
                   const std::vector<Vec3>& normals, std::vector<int32_t>* faceOf) {
        if (faceOf)
            faceOf->assign(surface.triangles.size(), -1);
        const size_t vertices = std::min(surface.u.size(), positions.size());
        for (size_t k = 0; k < surface.triangles.size(); ++k) {
            const Triangle t = surface.triangles[k];
            const int32_t index[3] = {t.a, t.b, t.c};
            if (std::any_of(index, index + 3,
                            [&](int32_t i) { return i < 0 || size_t(i) >= vertices; }))
                continue;
            BakeFace face;
            for (size_t c = 0; c < 3; ++c)
                face.corner[c] = positions[size_t(index[c])];
            if (!std::all_of(face.corner.begin(), face.corner.end(), Finite))
                continue;
            const Vec3 own = FaceNormal(face.corner);
            for (size_t c = 0; c < 3; ++c) {
                const size_t i = size_t(index[c]);
                Vec3 n = i < normals.size() ? normals[i] : Vec3{};
                n = Finite(n) && Length(n) > 1e-6f ? Normalised(n) : own;
                face.normal[c] = Dot(n, n) > 0 ? n : Vec3{0, 0, 1};
                face.uv[c * 2] = surface.u[i];
                face.uv[c * 2 + 1] = surface.v[i];
                const auto [it, fresh] =
                    points.emplace(KeyOf(face.corner[c]), uint32_t(points.size()));
                face.point[c] = it->second;
            }
            if (faceOf)
                (*faceOf)[k] = int32_t(g.faces.size());
            g.faces.push_back(face);
            for (const Vec3& p : face.corner) {
                g.bounds.low = {std::min(g.bounds.low.x, p.x), std::min(g.bounds.low.y, p.y),
                                std::min(g.bounds.low.z, p.z)};
                g.bounds.high = {std::max(g.bounds.high.x, p.x), std::max(g.bounds.high.y, p.y),
                                 std::max(g.bounds.high.z, p.z)};
            }
        }
    };

    for (const ScenePart& part : parts) {
        if (!part.model)
            continue;
        for (size_t s = 0; s < part.model->surfaces.size(); ++s) {
            const Surface& surface = part.model->surfaces[s];
            // The pose as stored, not as the 3D view takes it: a model
            // without normals still shades, from its faces' own.
            const SurfacePose pose = part.model->Pose(s, part.frame);
            std::vector<Vec3> positions, normals;
            for (const Point3& p : pose.positions)
                positions.push_back(part.placement.Apply({p[0], p[1], p[2]}));
            for (const Point3& n : pose.normals)
                normals.push_back(part.placement.Turn({n[0], n[1], n[2]}));
            const auto r = recordOf.find(&surface);
            std::vector<int32_t>* faceOf = nullptr;
            if (r != recordOf.end() && !placed[r->second]) {
                faceOf = &g.recordFaces[r->second];
                placed[r->second] = true;
            }
            add(surface, positions, normals, faceOf);
        }
    }
    for (size_t r = 0; r < records.size(); ++r)
        if (!placed[r])
            g.recordFaces[r].assign(records[r]->triangles.size(), -1);
    g.curvature = Curvature(g.faces, points.size());
    return g;
}

std::vector<TexelSample> SampleTexels(const BakeGeometry& geometry,
                                      const std::vector<const Surface*>& records, WrapMode wrap,
                                      int width, int height, double margin) {
    if (width <= 0 || height <= 0)
        return {};
    const size_t texels = size_t(width) * size_t(height);
    std::vector<float> best(texels, std::numeric_limits<float>::infinity());
    std::vector<uint8_t> taken(texels, 0);
    const double reach2 = margin * margin;
    // Bands of rows, one a thread, each over every triangle in the records'
    // order: the same samples in the same order whatever the threads.
    const int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    const int bands = std::clamp(height / 64, 1, threads);
    std::vector<std::vector<TexelSample>> found(static_cast<size_t>(bands));
    auto band = [&](int b) {
        const int top = int(int64_t(height) * b / bands),
                  bottom = int(int64_t(height) * (b + 1) / bands);
        std::vector<TexelSample>& out = found[size_t(b)];
        // Two passes: the nearest face's distance per texel, then every face
        // that near: each face a texel's centre lies inside (faces laid over
        // one another, a mirrored half, share the texel and each shades it),
        // or for a texel beside the islands every face about as near as the
        // nearest, so the border is the mean its inside is.
        for (const bool gather : {false, true})
            ForEachPlacedTriangle(records, wrap, [&](const PlacedTriangle& t) {
                if (size_t(t.surface) >= geometry.recordFaces.size())
                    return;
                const std::vector<int32_t>& faces = geometry.recordFaces[size_t(t.surface)];
                if (size_t(t.triangle) >= faces.size() || faces[size_t(t.triangle)] < 0)
                    return;
                const uint32_t face = uint32_t(faces[size_t(t.triangle)]);
                double corner[3][2];
                for (int c = 0; c < 3; ++c) {
                    corner[c][0] = t.u[c] * width;
                    corner[c][1] = t.v[c] * height;
                }
                auto span = [&](int axis, int low, int high, int& first, int& last) {
                    const double a = std::min({corner[0][axis], corner[1][axis], corner[2][axis]});
                    const double z = std::max({corner[0][axis], corner[1][axis], corner[2][axis]});
                    first = int(std::clamp(std::ceil(a - margin - 0.5), double(low), double(high)));
                    last = int(std::clamp(std::floor(z + margin - 0.5), double(low) - 1,
                                          double(high) - 1));
                };
                int x0, x1, y0, y1;
                span(0, 0, width, x0, x1);
                span(1, top, bottom, y0, y1);
                // Each edge's line, facing out of the triangle, in texels: a
                // centre farther out than the margin from one is too far.
                double edge[3][3];
                const double area = (corner[1][0] - corner[0][0]) * (corner[2][1] - corner[0][1]) -
                                    (corner[1][1] - corner[0][1]) * (corner[2][0] - corner[0][0]);
                const bool lines = std::abs(area) > 1e-9;
                for (int e = 0; lines && e < 3; ++e) {
                    const double* p = corner[e];
                    const double* q = corner[(e + 1) % 3];
                    double nx = q[1] - p[1], ny = p[0] - q[0];
                    if (area < 0)
                        nx = -nx, ny = -ny;
                    const double l = std::hypot(nx, ny);
                    edge[e][0] = nx / l, edge[e][1] = ny / l;
                    edge[e][2] = -(edge[e][0] * p[0] + edge[e][1] * p[1]);
                }
                for (int y = y0; y <= y1; ++y)
                    for (int x = x0; x <= x1; ++x) {
                        const double q[2] = {x + 0.5, y + 0.5};
                        if (lines && (edge[0][0] * q[0] + edge[0][1] * q[1] + edge[0][2] > margin ||
                                      edge[1][0] * q[0] + edge[1][1] * q[1] + edge[1][2] > margin ||
                                      edge[2][0] * q[0] + edge[2][1] * q[1] + edge[2][2] > margin))
                            continue;
                        float w[3] = {1, 0, 0};
                        const double d2 = Nearest(q, corner[0], corner[1], corner[2], w);
                        if (d2 > reach2)
                            continue;
                        const size_t i = size_t(y) * size_t(width) + size_t(x);
                        if (!gather) {
                            best[i] = std::min(best[i], float(d2));
                        } else if ((best[i] == 0 ? d2 == 0
                                                 : std::sqrt(d2) <= std::sqrt(double(best[i])) +
                                                                        kAlikeDistance) &&
                                   taken[i] < kMaxOverlaps) {
                            ++taken[i];
                            out.push_back(TexelSample{uint32_t(i), face, {w[0], w[1], w[2]}});
                        }
                    }
            });
        // Into texel order, each texel's samples in the records' order: a
        // counting sort over the band's texels.
        const size_t from = size_t(top) * size_t(width), to = size_t(bottom) * size_t(width);
        std::vector<uint32_t> start(to - from + 1, 0);
        for (size_t i = from; i < to; ++i)
            start[i - from + 1] = start[i - from] + taken[i];
        std::vector<TexelSample> sorted(out.size());
        for (const TexelSample& sample : out)
            sorted[start[sample.texel - from]++] = sample;
        out.swap(sorted);
    };
    std::vector<std::thread> pool;
    for (int b = 1; b < bands; ++b)
        pool.emplace_back(band, b);
    band(0);
    for (std::thread& t : pool)
        t.join();
    std::vector<TexelSample> samples;
    size_t total = 0;
    for (const std::vector<TexelSample>& f : found)
        total += f.size();
    samples.reserve(total);
    for (const std::vector<TexelSample>& f : found)
        samples.insert(samples.end(), f.begin(), f.end());
    return samples;
}

Result<BakeResult> Bake(const BakeRequest& request) {
    if (request.width < 1 || request.height < 1 || request.width > kMaxBakeSide ||
        request.height > kMaxBakeSide)
        return Error{"", "",
                     "a bake is 1 to " + std::to_string(kMaxBakeSide) + " texels a side, not " +
                         std::to_string(request.width) + "x" + std::to_string(request.height)};
    if (request.layers.empty())
        return Error{"", "", "no layer asked to bake"};
    const int width = request.width, height = request.height;
    const BakeGeometry geometry = GatherBakeGeometry(request.parts, request.records);
    const bool anyPlaced =
        std::any_of(request.records.begin(), request.records.end(), [&](const Surface* record) {
            for (const ScenePart& part : request.parts)
                if (part.model && record >= part.model->surfaces.data() &&
                    record < part.model->surfaces.data() + part.model->surfaces.size())
                    return true;
            return false;
        });
    if (!request.records.empty() && !anyPlaced)
        return Error{"", "",
                     "none of the surfaces wearing the texture is a part of the model baked"};
    const std::vector<TexelSample> samples =
        SampleTexels(geometry, request.records, request.wrap, width, height);
    if (samples.empty())
        return Error{"", "",
                     "the layout covers no texel of a " + std::to_string(width) + "x" +
                         std::to_string(height) + " texture"};
    BakeResult result;
    result.samples = samples.size();
    for (size_t r = 0; r < geometry.recordFaces.size(); ++r) {
        const std::vector<int32_t>& faces = geometry.recordFaces[r];
        result.unplaced += !faces.empty() &&
                           std::all_of(faces.begin(), faces.end(), [](int32_t f) { return f < 0; });
    }
    auto cancelled = [&] { return request.occlusion.cancel && request.occlusion.cancel->load(); };

    std::vector<Vec3> position(samples.size()), normal(samples.size());
    for (size_t s = 0; s < samples.size(); ++s) {
        const BakeFace& f = geometry.faces[samples[s].face];
        const float* b = samples[s].b;
        position[s] = f.corner[0] * b[0] + f.corner[1] * b[1] + f.corner[2] * b[2];
        const Vec3 n = f.normal[0] * b[0] + f.normal[1] * b[1] + f.normal[2] * b[2];
        normal[s] = Length(n) > 1e-6f ? Normalised(n) : f.normal[0];
    }
    auto wants = [&](BakeLayer l) {
        return std::find(request.layers.begin(), request.layers.end(), l) != request.layers.end();
    };
    OcclusionResult occlusion;
    if (wants(BakeLayer::Occlusion) || wants(BakeLayer::NeverSeen)) {
        std::vector<WorldTriangle> faces;
        faces.reserve(geometry.faces.size());
        for (const BakeFace& f : geometry.faces)
            faces.push_back(f.corner);
        std::vector<OcclusionSample> points(samples.size());
        for (size_t first = 0; first < samples.size();) {
            size_t last = first;
            while (last < samples.size() && samples[last].texel == samples[first].texel)
                ++last;
            // A texel's rays are spent among its points, not multiplied by them.
            for (size_t s = first; s < last; ++s) {
                Vec3 face = FaceNormal(geometry.faces[samples[s].face].corner);
                if (Dot(face, normal[s]) < 0)
                    face = face * -1;
                points[s] = {position[s], normal[s], face, uint16_t(last - first),
                             uint16_t(s - first)};
            }
            first = last;
        }
        occlusion = AmbientOcclusion(faces, points, request.occlusion);
        if (occlusion.cancelled || occlusion.open.size() != samples.size()) {
            result.cancelled = true;
            return result;
        }
    }
    if (cancelled()) {
        result.cancelled = true;
        return result;
    }

    // Texels per square unit, per face of the layout: the texture's area of
    // the face over its area on the model.
    std::vector<double> density(geometry.faces.size(), 0.0);
    std::vector<std::pair<double, double>> weighed; // density, model area
    for (const std::vector<int32_t>& faces : geometry.recordFaces)
        for (const int32_t f : faces) {
            if (f < 0)
                continue;
            const BakeFace& face = geometry.faces[size_t(f)];
            const std::array<double, 6>& uv = face.uv;
            const double texels =
                std::abs((uv[2] - uv[0]) * (uv[5] - uv[1]) - (uv[3] - uv[1]) * (uv[4] - uv[0])) *
                0.5 * width * height;
            const double area = 0.5 * double(Length(Cross(face.corner[1] - face.corner[0],
                                                          face.corner[2] - face.corner[0])));
            density[size_t(f)] = area > 0 ? texels / area : std::numeric_limits<double>::infinity();
            if (area > 0 && std::isfinite(density[size_t(f)]))
                weighed.emplace_back(density[size_t(f)], area);
        }
    std::sort(weighed.begin(), weighed.end());
    double total = 0;
    for (const auto& [d, a] : weighed)
        total += a;
    for (double seen = 0; const auto& [d, a] : weighed) {
        seen += a;
        if (seen >= total / 2) {
            result.medianDensity = d;
            break;
        }
    }

    const double low = geometry.bounds.low.z, high = geometry.bounds.high.z;
    // A sample's colour in a layer, 0-255 per channel.
    auto SampleColour = [&](BakeLayer layer, size_t s, double c[3]) {
        const BakeFace& f = geometry.faces[samples[s].face];
        const float* b = samples[s].b;
        double grey = 0;
        switch (layer) {
        case BakeLayer::Occlusion:
            grey = occlusion.open[s];
            break;
        case BakeLayer::NeverSeen:
            break;
        case BakeLayer::Light: {
            const double t = high > low ? (double(position[s].z) - low) / (high - low) : 1.0;
            grey = kLightFloor + (1 - kLightFloor) * t;
            break;
        }
        case BakeLayer::Normals:
            c[0] = 255 * std::clamp(normal[s].x * 0.5 + 0.5, 0.0, 1.0);
            c[1] = 255 * std::clamp(normal[s].y * 0.5 + 0.5, 0.0, 1.0);
            c[2] = 255 * std::clamp(normal[s].z * 0.5 + 0.5, 0.0, 1.0);
            return;
        case BakeLayer::Curvature: {
            double k = 0;
            for (size_t i = 0; i < 3; ++i)
                k += double(geometry.curvature[f.point[i]]) * double(b[i]);
            // A right angle (a box's edge) is white or black.
            grey = 0.5 + 0.5 * std::clamp(k / (M_PI / 2), -1.0, 1.0);
            break;
        }
        case BakeLayer::Density: {
            const double d = density[samples[s].face];
            const double stops = result.medianDensity > 0 && d > 0
                                     ? std::log2(d / result.medianDensity)
                                 : d > 0 ? kDensityStops
                                         : -kDensityStops;
            uint8_t px[4];
            HeatColour((std::clamp(stops, -kDensityStops, kDensityStops) + kDensityStops) /
                           (2 * kDensityStops),
                       px);
            for (int k = 0; k < 3; ++k)
                c[k] = px[k];
            return;
        }
        }
        c[0] = c[1] = c[2] = 255 * std::clamp(grey, 0.0, 1.0);
    };
    std::vector<uint8_t> mask(size_t(width) * size_t(height), 0);
    for (const TexelSample& s : samples)
        mask[s.texel] = 1;
    for (const BakeLayer layer : request.layers) {
        const bool firstLayer = result.layers.empty();
        BakedLayer baked;
        baked.layer = layer;
        TextureImage& image = baked.image;
        image.width = width;
        image.height = height;
        image.rgba.assign(size_t(width) * size_t(height) * 4, 0);
        // The samples of one texel lie together (texel order): their mean.
        for (size_t first = 0; first < samples.size();) {
            size_t last = first;
            double sum[3] = {0, 0, 0};
            bool seen = false;
            for (; last < samples.size() && samples[last].texel == samples[first].texel; ++last) {
                double c[3];
                SampleColour(layer, last, c);
                for (int k = 0; k < 3; ++k)
                    sum[k] += c[k];
                seen = seen || (layer == BakeLayer::NeverSeen && !occlusion.neverSeen[last]);
            }
            if (firstLayer) {
                ++result.texels;
                if (!occlusion.neverSeen.empty() &&
                    std::all_of(occlusion.neverSeen.begin() + ptrdiff_t(first),
                                occlusion.neverSeen.begin() + ptrdiff_t(last),
                                [](uint8_t n) { return n != 0; }))
                    ++result.neverSeen;
            }
            uint8_t* px = &image.rgba[size_t(samples[first].texel) * 4];
            const double n = double(last - first);
            if (layer == BakeLayer::NeverSeen) {
                // Never seen only when no face wearing the texel is.
                if (!seen)
                    px[0] = 255, px[1] = 0, px[2] = 255, px[3] = 255;
            } else {
                for (int k = 0; k < 3; ++k)
                    px[k] = uint8_t(std::lround(std::clamp(sum[k] / n, 0.0, 255.0)));
                px[3] = 255;
            }
            first = last;
        }
        if (layer != BakeLayer::NeverSeen)
            image = PadTexture(image, mask, request.padBand).image;
        result.layers.push_back(std::move(baked));
    }
    return result;
}

std::vector<LayerImage> BakedTemplateLayers(const BakeResult& result) {
    std::vector<LayerImage> layers;
    for (const BakeLayerInfo& info : kLayers)
        for (const BakedLayer& baked : result.layers) {
            if (baked.layer != info.layer)
                continue;
            LayerImage layer{TemplateLayer::Baked, {}, 1.0, info.title};
            const TextureImage& from = baked.image;
            layer.image.width = from.width;
            layer.image.height = from.height;
            layer.image.opaque = false;
            layer.image.pixels.resize(size_t(from.width) * size_t(from.height));
            for (size_t i = 0; i < layer.image.pixels.size(); ++i) {
                const uint8_t* p = &from.rgba[i * 4];
                // Premultiplied, as the template's pictures are kept.
                auto pre = [&](uint8_t c) { return uint32_t((c * p[3] + 127) / 255); };
                layer.image.pixels[i] =
                    uint32_t(p[3]) << 24 | pre(p[0]) << 16 | pre(p[1]) << 8 | pre(p[2]);
            }
            layer.multiply = info.multiply;
            layer.visible = info.multiply || info.layer == BakeLayer::NeverSeen;
            layers.push_back(std::move(layer));
        }
    return layers;
}

std::vector<ScenePart> BakeScene(const std::shared_ptr<const Model>& model,
                                 const std::vector<std::shared_ptr<const Model>>& others,
                                 std::string* problem) {
    const int own = model && model->format == "MD3" ? PlayerPartOf(model->path) : -1;
    if (own < 0)
        return SingleModel(model, 0);
    std::array<std::shared_ptr<const Model>, 3> parts;
    parts[size_t(own)] = model;
    const std::filesystem::path folder = native::PathOf(model->path).parent_path();
    bool joined = false;
    for (const std::shared_ptr<const Model>& other : others) {
        const int role = other ? PlayerPartOf(other->path) : -1;
        if (role >= 0 && !parts[size_t(role)] &&
            native::PathOf(other->path).parent_path() == folder) {
            parts[size_t(role)] = other;
            joined = true;
        }
    }
    if (!joined)
        return SingleModel(model, 0);
    return BakePlayerScene(model, parts, problem);
}

std::vector<ScenePart> BakePlayerScene(const std::shared_ptr<const Model>& model,
                                       const std::array<std::shared_ptr<const Model>, 3>& parts,
                                       std::string* problem) {
    std::vector<ScenePart> scene = JoinPlayer(parts[0], parts[1], parts[2], 0, 0, problem);
    // The model baked stands in the scene whatever the join left out (no
    // legs to stand on, no tag to hang from): alone, then.
    if (std::none_of(scene.begin(), scene.end(),
                     [&](const ScenePart& part) { return part.model == model; }))
        return SingleModel(model, 0);
    return scene;
}
