#include "model/Model.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

std::string TextureNameOf(const Surface& surface) {
    const auto slash = surface.shaderName.rfind('/');
    return slash == std::string::npos ? surface.shaderName : surface.shaderName.substr(slash + 1);
}

std::string LowerCase(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string TextureKey(std::string name) {
    name = LowerCase(std::move(name));
    for (char& c : name)
        if (c == '\\')
            c = '/';
    const auto slash = name.rfind('/'), dot = name.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        name.erase(dot);
    return name;
}

bool LayoutHasArea(const Surface& surface) {
    bool area = false;
    ForEachTriangle(surface, [&](int a, int b, int c) {
        const double du1 = surface.u[b] - surface.u[a], dv1 = surface.v[b] - surface.v[a];
        const double du2 = surface.u[c] - surface.u[a], dv2 = surface.v[c] - surface.v[a];
        // Coordinates are rounded to 1e-6: anything less than a texel of the
        // largest texture is no area.
        if (std::fabs(du1 * dv2 - du2 * dv1) > 1e-12)
            area = true;
    });
    return area;
}

bool SameTexture(const std::string& name, const std::string& wanted) {
    const std::string key = TextureKey(wanted);
    if (key.empty())
        return false;
    const std::string full = TextureKey(name);
    const auto slash = full.rfind('/');
    return full == key || (slash != std::string::npos && full.substr(slash + 1) == key);
}

std::array<double, 3> DecodeNormal(uint8_t latitude, uint8_t longitude) {
    const double step = 2 * std::numbers::pi / 256;
    const double lat = latitude * step, lng = longitude * step;
    return {std::cos(lat) * std::sin(lng), std::sin(lat) * std::sin(lng), std::cos(lng)};
}

SurfacePose StoredGeometry::Pose(size_t surface, int frame) const {
    if (poses.empty())
        return {};
    const auto& f = poses[size_t(std::clamp(frame, 0, int(poses.size()) - 1))];
    return surface < f.size() ? f[surface] : SurfacePose{};
}

std::vector<TagPose> StoredGeometry::Tags(int frame) const {
    if (tags.empty())
        return {};
    return tags[size_t(std::clamp(frame, 0, int(tags.size()) - 1))];
}

bool Model::HoldsPaletteSkins() const {
    for (const EmbeddedSkin& skin : skins)
        if (skin.encoded.empty())
            return true;
    return false;
}

int Model::FrameCount() const {
    return std::max(1, geometry ? std::min(geometry->FrameCount(), kMaxModelFrames) : 1);
}

SurfacePose Model::Pose(size_t surface, int frame) const {
    if (geometry && geometry->FrameCount() > 0)
        return geometry->Pose(surface, frame);
    if (surface >= surfaces.size())
        return {};
    return {surfaces[surface].positions, surfaces[surface].normals};
}

std::vector<TagPose> Model::Tags(int frame) const {
    return geometry ? geometry->Tags(frame) : std::vector<TagPose>{};
}

const std::vector<Point3>& LatitudeLongitudeNormals() {
    static const std::vector<Point3> table = [] {
        std::vector<Point3> t(256 * 256);
        for (int lat = 0; lat < 256; ++lat)
            for (int lng = 0; lng < 256; ++lng) {
                const std::array<double, 3> n = DecodeNormal(uint8_t(lat), uint8_t(lng));
                t[size_t(lat) * 256 + size_t(lng)] = {float(n[0]), float(n[1]), float(n[2])};
            }
        return t;
    }();
    return table;
}

int UvSetCount(const Model& model) {
    size_t most = 1;
    for (const Surface& surface : model.surfaces)
        most = std::max(most, surface.uvSets.size());
    return int(most);
}

bool UseUvSet(Model& model, int set) {
    if (set < 0 || set >= UvSetCount(model))
        return false;
    for (Surface& surface : model.surfaces) {
        if (surface.uvSets.empty())
            continue;
        const UvSet& chosen = surface.uvSets[size_t(set) < surface.uvSets.size() ? size_t(set) : 0];
        // A set shorter than the vertices would leave corners without a place.
        if (chosen.u.size() != surface.u.size() || chosen.v.size() != surface.v.size())
            continue;
        surface.u = chosen.u;
        surface.v = chosen.v;
    }
    return true;
}

int UvSetInUse(const Model& model) {
    for (const Surface& surface : model.surfaces)
        for (size_t set = 0; set < surface.uvSets.size(); ++set)
            if (surface.uvSets[set].u == surface.u && surface.uvSets[set].v == surface.v)
                return int(set);
    return 0;
}
