#pragma once
// A model's frames read for showing: every vertex's position and normal in a
// frame, and the tags a frame holds. Everything is read through the model's
// bounds-checked views; a frame the file does not hold gives nothing.
#include "model/Model.h"
#include "scene/Geometry.h"

#include <string>
#include <vector>

struct SurfaceFrame {
    // One per vertex: positions in units (1/64 of the stored values), and
    // normals decoded as the game decodes them.
    std::vector<Vec3> positions, normals;
};
// Surface number `surface`'s vertices in a frame (clamped to the frames it
// has); empty when the file holds none.
SurfaceFrame FrameOf(const Model& model, size_t surface, int frame);

struct Tag {
    std::string name;
    Placement placement;
};
// Between two frames, as the game draws a model on the move: positions
// and normals `blend` of the way from `frame` to `next`, the normals made
// unit again. Either frame alone when the other has no pose.
SurfaceFrame FrameOf(const Model& model, size_t surface, int frame, int next, float blend);

// The tags of a frame (clamped to the model's frames).
std::vector<Tag> TagsOf(const Model& model, int frame);
// The tag of that name in a frame; false when there is none.
bool FindTag(const Model& model, int frame, const std::string& name, Placement& placement);
// The same between two frames, as the game lerps a tag: origin and axes
// blended, each axis made unit again.
bool FindTag(const Model& model, int frame, int next, float blend, const std::string& name,
             Placement& placement);

// The number of frames that can be shown: the model's, at least one.
int FrameCountOf(const Model& model);
