#include "render/Flipped.h"

#include <array>
#include <cmath>

namespace {

// +1 or -1: the face's turn in the model seen along its vertex normals; +1
// when the file holds no positions or the normals say nothing.
int ModelWinding(const Surface& s, const int32_t c[3]) {
    if (s.positions.size() < s.u.size() || s.normals.size() < s.u.size())
        return 1;
    double p[3][3];
    double n[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k) {
        const Point3& pos = s.positions[size_t(c[k])];
        const Point3& normal = s.normals[size_t(c[k])];
        for (int i = 0; i < 3; ++i) {
            p[k][i] = pos[size_t(i)];
            n[i] += normal[size_t(i)];
        }
    }
    const double a[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
    const double b[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
    const double face[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                            a[0] * b[1] - a[1] * b[0]};
    const double along = face[0] * n[0] + face[1] * n[1] + face[2] * n[2];
    return along < 0 ? -1 : 1;
}

} // namespace

std::vector<int> FindFlipped(const Surface& surface) {
    const size_t vertices = surface.u.size();
    std::vector<int> turn(surface.triangles.size(), 0);
    int forward = 0, backward = 0, first = 0;
    for (size_t k = 0; k < surface.triangles.size(); ++k) {
        const Triangle t = surface.triangles[k];
        const int32_t c[3] = {t.a, t.b, t.c};
        bool valid = true;
        for (const int32_t i : c)
            valid = valid && i >= 0 && size_t(i) < vertices;
        if (!valid)
            continue;
        const double u0 = surface.u[size_t(c[0])], v0 = surface.v[size_t(c[0])];
        const double area =
            (double(surface.u[size_t(c[1])]) - u0) * (double(surface.v[size_t(c[2])]) - v0) -
            (double(surface.u[size_t(c[2])]) - u0) * (double(surface.v[size_t(c[1])]) - v0);
        if (!(area != 0) || !std::isfinite(area))
            continue;
        turn[k] = (area > 0 ? 1 : -1) * ModelWinding(surface, c);
        (turn[k] > 0 ? forward : backward)++;
        if (first == 0)
            first = turn[k];
    }
    const int majority = forward > backward ? 1 : backward > forward ? -1 : first;
    std::vector<int> flipped;
    for (size_t k = 0; k < turn.size(); ++k)
        if (turn[k] == -majority && turn[k] != 0)
            flipped.push_back(int(k));
    return flipped;
}
