#include "scene/Frames.h"

#include <algorithm>
#include <cmath>

namespace {

Vec3 ToVec3(const Point3& p) {
    return {p[0], p[1], p[2]};
}

Vec3 Lerp(const Vec3& a, const Vec3& b, float t) {
    return a + (b - a) * t;
}

// Unit length again; a vector that has none (or is not finite) is kept.
Vec3 Unit(const Vec3& v) {
    const float length = Length(v);
    return std::isfinite(length) && length > 0 ? v * (1 / length) : v;
}

// The first `vertices` of a pose that holds at least that many.
SurfaceFrame FromPose(const SurfacePose& pose, size_t vertices) {
    SurfaceFrame out;
    out.positions.resize(vertices);
    out.normals.resize(vertices);
    for (size_t i = 0; i < vertices; ++i) {
        out.positions[i] = ToVec3(pose.positions[i]);
        out.normals[i] = ToVec3(pose.normals[i]);
    }
    return out;
}

bool Blends(int frame, int next, float blend) {
    return next != frame && std::isfinite(blend) && blend > 0;
}

} // namespace

int FrameCountOf(const Model& model) {
    return model.FrameCount();
}

SurfaceFrame FrameOf(const Model& model, size_t surface, int frame) {
    SurfaceFrame out;
    if (surface >= model.surfaces.size())
        return out;
    const SurfacePose pose = model.Pose(surface, frame);
    const size_t vertices = model.surfaces[surface].u.size();
    // A pose that does not cover every vertex cannot be drawn with the layout.
    if (pose.positions.size() < vertices || pose.normals.size() < vertices || vertices == 0)
        return out;
    return FromPose(pose, vertices);
}

std::vector<Tag> TagsOf(const Model& model, int frame) {
    std::vector<Tag> tags;
    for (const TagPose& pose : model.Tags(frame)) {
        Tag tag;
        tag.name = pose.name;
        tag.placement.origin = ToVec3(pose.origin);
        for (size_t a = 0; a < 3; ++a)
            tag.placement.axis[a] = ToVec3(pose.axes[a]);
        tags.push_back(std::move(tag));
    }
    return tags;
}

bool FindTag(const Model& model, int frame, const std::string& name, Placement& placement) {
    for (const Tag& tag : TagsOf(model, frame))
        if (tag.name == name) {
            placement = tag.placement;
            return true;
        }
    return false;
}

SurfaceFrame FrameOf(const Model& model, size_t surface, int frame, int next, float blend) {
    if (Blends(frame, next, blend) && model.geometry && surface < model.surfaces.size()) {
        // A skeleton's joints are blended, not its vertices.
        const SurfacePose between =
            model.geometry->PoseBetween(surface, frame, next, std::min(blend, 1.0f));
        const size_t vertices = model.surfaces[surface].u.size();
        if (vertices > 0 && between.positions.size() >= vertices &&
            between.normals.size() >= vertices) {
            return FromPose(between, vertices);
        }
    }
    SurfaceFrame from = FrameOf(model, surface, frame);
    if (!Blends(frame, next, blend))
        return from;
    SurfaceFrame to = FrameOf(model, surface, next);
    if (from.positions.empty() || to.positions.size() != from.positions.size())
        return from.positions.empty() ? to : from;
    const float t = std::min(blend, 1.0f);
    for (size_t i = 0; i < from.positions.size(); ++i) {
        from.positions[i] = Lerp(from.positions[i], to.positions[i], t);
        from.normals[i] = Unit(Lerp(from.normals[i], to.normals[i], t));
    }
    return from;
}

bool FindTag(const Model& model, int frame, int next, float blend, const std::string& name,
             Placement& placement) {
    Placement to;
    if (!FindTag(model, frame, name, placement))
        return false;
    if (!Blends(frame, next, blend) || !FindTag(model, next, name, to))
        return true;
    const float t = std::min(blend, 1.0f);
    placement.origin = Lerp(placement.origin, to.origin, t);
    for (size_t a = 0; a < 3; ++a)
        placement.axis[a] = Unit(Lerp(placement.axis[a], to.axis[a], t));
    return true;
}
