#pragma once
// Small vector and placement maths for showing a model in 3D: points, an
// orientation as three axis rows (as the game keeps entity axes), and a
// placement that carries a part's own coordinates into the world.
#include <array>
#include <cmath>

struct Vec3 {
    float x = 0, y = 0, z = 0;
    Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator*(float s) const { return {x * s, y * s, z * s}; }
    float operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }
};
inline float Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Length(const Vec3& a) {
    return std::sqrt(Dot(a, a));
}
inline Vec3 Normalised(const Vec3& a) {
    const float l = Length(a);
    return l > 0 ? a * (1 / l) : Vec3{0, 0, 1};
}

// Where a part is: its origin, and its forward, left and up axes (rows), in
// the coordinates of what holds it.
struct Placement {
    Vec3 origin;
    std::array<Vec3, 3> axis{Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}};

    // A point of the part, where the holder has it.
    Vec3 Apply(const Vec3& p) const {
        return origin + axis[0] * p.x + axis[1] * p.y + axis[2] * p.z;
    }
    // A direction of the part (no move).
    Vec3 Turn(const Vec3& d) const { return axis[0] * d.x + axis[1] * d.y + axis[2] * d.z; }
};

// A child placed on a parent by a tag of the parent's, as the game joins a
// player's parts: the tag's origin along the parent's axes, and the tag's
// axes turned by the parent's (rows multiplied: tag.axis x parent.axis).
inline Placement OnTag(const Placement& parent, const Placement& tag) {
    Placement child;
    child.origin = parent.Apply(tag.origin);
    for (int i = 0; i < 3; ++i)
        child.axis[size_t(i)] = parent.Turn(tag.axis[size_t(i)]);
    return child;
}
