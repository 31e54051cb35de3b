#include "scene/Scene.h"

#include <algorithm>
#include <cmath>

std::vector<ScenePart> SingleModel(std::shared_ptr<const Model> model, int frame) {
    std::vector<ScenePart> parts;
    if (model)
        parts.push_back({std::move(model), "", Placement{}, frame, frame, 0});
    return parts;
}

std::vector<ScenePart> JoinPlayer(std::shared_ptr<const Model> lower,
                                  std::shared_ptr<const Model> upper,
                                  std::shared_ptr<const Model> head, PartFrame legs,
                                  PartFrame torso, std::string* problem,
                                  const std::array<std::string, 3>* whyNot) {
    std::vector<ScenePart> parts;
    auto say = [problem](const std::string& text) {
        if (problem && problem->empty())
            *problem = text;
    };
    auto missing = [&](int part, const char* text) {
        say(whyNot && !(*whyNot)[size_t(part)].empty() ? (*whyNot)[size_t(part)] : text);
    };
    if (!lower) {
        missing(0, "the legs (lower.md3) are missing");
        return parts;
    }
    parts.push_back({lower, "lower", Placement{}, legs.frame, legs.next, legs.blend});
    Placement onLegs;
    if (!upper) {
        missing(1, "the torso (upper.md3) is missing");
        return parts;
    }
    if (!FindTag(*lower, legs.frame, legs.next, legs.blend, "tag_torso", onLegs)) {
        say("the legs have no tag_torso");
        return parts;
    }
    const Placement upperAt = OnTag(parts[0].placement, onLegs);
    parts.push_back({upper, "upper", upperAt, torso.frame, torso.next, torso.blend});
    Placement neck;
    if (!head) {
        missing(2, "the head (head.md3) is missing");
        return parts;
    }
    if (!FindTag(*upper, torso.frame, torso.next, torso.blend, "tag_head", neck)) {
        say("the torso has no tag_head");
        return parts;
    }
    parts.push_back({head, "head", OnTag(upperAt, neck), 0});
    return parts;
}

std::vector<ScenePart> JoinPlayer(std::shared_ptr<const Model> lower,
                                  std::shared_ptr<const Model> upper,
                                  std::shared_ptr<const Model> head, int lowerFrame, int upperFrame,
                                  std::string* problem, const std::array<std::string, 3>* whyNot) {
    return JoinPlayer(std::move(lower), std::move(upper), std::move(head),
                      PartFrame{lowerFrame, lowerFrame, 0}, PartFrame{upperFrame, upperFrame, 0},
                      problem, whyNot);
}

std::vector<Vec3> WorldPositions(const ScenePart& part, size_t surface) {
    std::vector<Vec3> world =
        FrameOf(*part.model, surface, part.frame, part.next, part.blend).positions;
    for (Vec3& p : world)
        p = part.placement.Apply(p);
    return world;
}

Bounds BoundsOf(const std::vector<ScenePart>& parts) {
    Bounds b;
    for (const ScenePart& part : parts)
        for (size_t s = 0; s < part.model->surfaces.size(); ++s)
            for (const Vec3& p : WorldPositions(part, s)) {
                b.low = {std::min(b.low.x, p.x), std::min(b.low.y, p.y), std::min(b.low.z, p.z)};
                b.high = {std::max(b.high.x, p.x), std::max(b.high.y, p.y),
                          std::max(b.high.z, p.z)};
            }
    return b;
}

std::vector<ScenePart> SideBySide(std::vector<std::vector<ScenePart>> groups, float gap) {
    std::vector<ScenePart> all;
    bool placed = false;
    float end = 0; // where the groups so far end along y
    for (std::vector<ScenePart>& group : groups) {
        const Bounds b = BoundsOf(group);
        if (!b.Empty()) {
            const float shift = placed ? end + gap - b.low.y : 0;
            for (ScenePart& part : group)
                part.placement.origin.y += shift;
            end = b.high.y + shift;
            placed = true;
        }
        for (ScenePart& part : group)
            all.push_back(std::move(part));
    }
    return all;
}

std::optional<FaceHit> PickFace(const std::vector<ScenePart>& parts, const Ray& ray) {
    std::optional<FaceHit> best;
    for (size_t pi = 0; pi < parts.size(); ++pi) {
        const Model& model = *parts[pi].model;
        for (size_t si = 0; si < model.surfaces.size(); ++si) {
            const Surface& s = model.surfaces[si];
            const std::vector<Vec3> p = WorldPositions(parts[pi], si);
            if (p.empty())
                continue;
            for (size_t t = 0; t < s.triangles.size(); ++t) {
                const Triangle tri = s.triangles[t];
                const int32_t c[3] = {tri.a, tri.b, tri.c};
                if (std::any_of(c, c + 3,
                                [&](int32_t i) { return i < 0 || size_t(i) >= p.size(); }))
                    continue;
                // Moller and Trumbore's test, both sides.
                const Vec3 a = p[size_t(c[0])], e1 = p[size_t(c[1])] - a, e2 = p[size_t(c[2])] - a;
                const Vec3 q = Cross(ray.direction, e2);
                const float det = Dot(e1, q);
                if (std::fabs(det) < 1e-12f)
                    continue;
                const float inv = 1 / det;
                const Vec3 sv = ray.origin - a;
                const float u = Dot(sv, q) * inv;
                if (u < 0 || u > 1)
                    continue;
                const Vec3 r = Cross(sv, e1);
                const float v = Dot(ray.direction, r) * inv;
                if (v < 0 || u + v > 1)
                    continue;
                const float d = Dot(e2, r) * inv;
                if (d > 0 && (!best || d < best->distance))
                    best = FaceHit{int(pi), int(si), int(t), d};
            }
        }
    }
    return best;
}

Vec3 OrbitCamera::Eye() const {
    const float c = std::cos(pitch);
    return target + Vec3{c * std::cos(yaw), c * std::sin(yaw), std::sin(pitch)} * distance;
}

std::array<float, 16> OrbitCamera::View() const {
    const Vec3 eye = Eye();
    const Vec3 f = Normalised(target - eye);
    const Vec3 side = Normalised(Cross(f, Vec3{0, 0, 1}));
    const Vec3 up = Cross(side, f);
    return {side.x, up.x, -f.x, 0, side.y,          up.y,          -f.y,        0,
            side.z, up.z, -f.z, 0, -Dot(side, eye), -Dot(up, eye), Dot(f, eye), 1};
}

std::array<float, 16> OrbitCamera::Projection(float aspect) const {
    const float nearPlane = std::max(0.01f, distance / 100), farPlane = distance * 10 + 1000;
    const float f = 1 / std::tan(fieldOfView / 2);
    return {f / aspect,
            0,
            0,
            0,
            0,
            f,
            0,
            0,
            0,
            0,
            (farPlane + nearPlane) / (nearPlane - farPlane),
            -1,
            0,
            0,
            2 * farPlane * nearPlane / (nearPlane - farPlane),
            0};
}

Ray OrbitCamera::RayThrough(float x, float y, float width, float height) const {
    const Vec3 eye = Eye();
    const Vec3 f = Normalised(target - eye);
    const Vec3 side = Normalised(Cross(f, Vec3{0, 0, 1}));
    const Vec3 up = Cross(side, f);
    const float t = std::tan(fieldOfView / 2), aspect = width / std::max(1.0f, height);
    const float nx = (2 * (x + 0.5f) / width - 1) * t * aspect;
    const float ny = (1 - 2 * (y + 0.5f) / height) * t;
    return {eye, f + side * nx + up * ny};
}

void OrbitCamera::Fit(const Bounds& bounds) {
    target = bounds.Empty() ? Vec3{} : bounds.Centre();
    distance = std::max(1.0f, bounds.Radius() / std::sin(fieldOfView / 2) * 1.1f);
}
