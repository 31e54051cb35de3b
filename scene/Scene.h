#pragma once
// What the 3D view shows: one or more models (a player's three parts joined
// at their tags, or one model alone), each placed in the world, in a frame;
// and the questions asked of it: how big it is, and which face lies under a
// ray from the camera.
#include "model/Model.h"
#include "scene/Frames.h"
#include "scene/Geometry.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct ScenePart {
    std::shared_ptr<const Model> model;
    std::string role; // "lower", "upper", "head", or empty for a model alone
    Placement placement;
    int frame = 0;
    // Drawn `blend` of the way towards frame `next` (an animation between
    // its frames); 0: the frame alone.
    int next = 0;
    float blend = 0;
};

// A model alone, at the origin, in a frame.
std::vector<ScenePart> SingleModel(std::shared_ptr<const Model> model, int frame);

// A player's parts joined as the game joins them: the legs at the origin,
// the torso on the legs' tag_torso, the head on the torso's tag_head, each in
// its frame. A part that is missing, or a tag that is, leaves the parts that
// hang from it out; the reason says which. `whyNot`, when given, says why a
// part (lower, upper, head) that is null could not be had (empty: missing).
std::vector<ScenePart> JoinPlayer(std::shared_ptr<const Model> lower,
                                  std::shared_ptr<const Model> upper,
                                  std::shared_ptr<const Model> head, int lowerFrame, int upperFrame,
                                  std::string* problem = nullptr,
                                  const std::array<std::string, 3>* whyNot = nullptr);
// The same with the legs and the torso between two frames each (the head
// has but one), their tags blended as the game blends them.
struct PartFrame {
    int frame = 0, next = 0;
    float blend = 0;
};
std::vector<ScenePart> JoinPlayer(std::shared_ptr<const Model> lower,
                                  std::shared_ptr<const Model> upper,
                                  std::shared_ptr<const Model> head, PartFrame legs,
                                  PartFrame torso, std::string* problem = nullptr,
                                  const std::array<std::string, 3>* whyNot = nullptr);

// The world positions of a part's surface in its frame; empty when none.
std::vector<Vec3> WorldPositions(const ScenePart& part, size_t surface);

struct Bounds {
    Vec3 low{1e30f, 1e30f, 1e30f}, high{-1e30f, -1e30f, -1e30f};
    bool Empty() const { return high.x < low.x; }
    Vec3 Centre() const { return (low + high) * 0.5f; }
    float Radius() const { return Empty() ? 1.0f : Length(high - low) * 0.5f; }
};
Bounds BoundsOf(const std::vector<ScenePart>& parts);

// Groups of parts (a model, or a player joined) side by side along the y
// axis, the screen's left to right when the camera looks from the front:
// the first group stays where it is, each next one begins `gap` units past
// where the one before ends, their parts moved together. A group with
// nothing to show takes no room. The parts come group after group.
std::vector<ScenePart> SideBySide(std::vector<std::vector<ScenePart>> groups, float gap);

struct Ray {
    Vec3 origin, direction; // direction need not be of unit length
};
struct FaceHit {
    int part = -1, surface = -1, triangle = -1;
    float distance = 0; // along the ray, in units of its direction
};
// The nearest face the ray meets (both sides count), if any.
std::optional<FaceHit> PickFace(const std::vector<ScenePart>& parts, const Ray& ray);

// A camera turning about a target: yaw about the up axis (z), pitch above
// the horizon, distance from the target, and a vertical field of view.
struct OrbitCamera {
    Vec3 target;
    float yaw = 0.6f, pitch = 0.35f, distance = 100, fieldOfView = 0.9f; // radians
    Vec3 Eye() const;
    // Column-major 4x4 matrices, as OpenGL takes them.
    std::array<float, 16> View() const;
    std::array<float, 16> Projection(float aspect) const;
    // The ray through a point of a viewport width x height (y down).
    Ray RayThrough(float x, float y, float width, float height) const;
    // Frames bounds: the target at their centre, far enough to see them whole.
    void Fit(const Bounds& bounds);
};
