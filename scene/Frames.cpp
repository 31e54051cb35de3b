#include "scene/Frames.h"

#include "model/LittleEndian.h"

#include <algorithm>
#include <cmath>
#include <cstring>

int FrameCountOf(const Model& model) {
    return std::max(1, int(std::min<int64_t>(model.frameCount, 1 << 16)));
}

SurfaceFrame FrameOf(const Model& model, const Surface& surface, int frame) {
    SurfaceFrame out;
    const std::span<const uint8_t> bytes = model.View(surface.vertices);
    const size_t vertices = surface.u.size();
    const size_t frames = vertices == 0 ? 0 : bytes.size() / 8 / vertices;
    if (frames == 0)
        return out;
    const size_t f = size_t(std::clamp<int64_t>(frame, 0, int64_t(frames) - 1));
    out.positions.resize(vertices);
    out.normals.resize(vertices);
    for (size_t i = 0; i < vertices; ++i) {
        const uint8_t* p = bytes.data() + (f * vertices + i) * 8;
        auto half = [p](int k) { return float(int16_t(uint16_t(p[k] | (p[k + 1] << 8)))) / 64; };
        out.positions[i] = {half(0), half(2), half(4)};
        const std::array<double, 3> n = DecodeNormal(p[7], p[6]);
        out.normals[i] = {float(n[0]), float(n[1]), float(n[2])};
    }
    return out;
}

std::vector<Tag> TagsOf(const Model& model, int frame) {
    std::vector<Tag> tags;
    const std::span<const uint8_t> bytes = model.View(model.tags);
    const int64_t count = model.tagCount;
    if (count <= 0 || bytes.empty())
        return tags;
    const size_t perFrame = size_t(count) * 112;
    const size_t frames = bytes.size() / perFrame;
    if (frames == 0)
        return tags;
    const size_t f = size_t(std::clamp<int64_t>(frame, 0, int64_t(frames) - 1));
    for (size_t t = 0; t < size_t(count); ++t) {
        const uint8_t* p = bytes.data() + f * perFrame + t * 112;
        Tag tag;
        tag.name.assign(reinterpret_cast<const char*>(p),
                        strnlen(reinterpret_cast<const char*>(p), 64));
        auto number = [p](int k) {
            const float v = DecodeF32(p + 64 + k * 4);
            return std::isfinite(v) ? std::clamp(v, -1e6f, 1e6f) : 0.0f;
        };
        tag.placement.origin = {number(0), number(1), number(2)};
        for (int a = 0; a < 3; ++a)
            tag.placement.axis[size_t(a)] = {number(3 + a * 3), number(4 + a * 3),
                                             number(5 + a * 3)};
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
