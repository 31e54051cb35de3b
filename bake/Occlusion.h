#pragma once
// Ambient occlusion by ray casting: for each sample point on the model, the
// share of the hemisphere about its normal from which the model does not
// block the sky, through a bounding-volume hierarchy of the model's faces.
#include "scene/Geometry.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

using WorldTriangle = std::array<Vec3, 3>;

// A point to shade, on a face of the model, and the face's side it looks out
// of (unit length).
struct OcclusionSample {
    Vec3 position, normal;
    // The face's own normal on the same side (unit, or zero when unknown):
    // directions of the hemisphere about `normal` that dive under the face
    // are mirrored above it, so that a smooth normal never shades its own
    // face, nor a convex neighbour.
    Vec3 face = {};
    // Casts only every share-th direction of the set, from the part-th: a
    // texel shaded at several points (faces laid over one another) spends
    // its rays among them, the set whole between them.
    uint16_t share = 1, part = 0;
};

struct OcclusionOptions {
    int rays = 64;     // per sample, 1 to 4096
    uint32_t seed = 1; // the same seed, the same answer, whatever the threads
    int threads = 0;   // 0: as many as the machine has (at most 16)
    // Called now and then with the share done (0 to 1), from one thread at a
    // time; may be empty.
    std::function<void(double)> progress;
    const std::atomic<bool>* cancel = nullptr; // stops early when set
};

struct OcclusionResult {
    std::vector<float> open;        // per sample: the share of its rays not blocked, 0 to 1
    std::vector<uint8_t> neverSeen; // per sample: 1 where no ray gets out
    // A sample whose point or normal is not finite, or whose normal is zero,
    // casts no ray: open 0, never seen; so do those left when cancelled.
    bool cancelled = false;
};

OcclusionResult AmbientOcclusion(const std::vector<WorldTriangle>& faces,
                                 const std::vector<OcclusionSample>& samples,
                                 const OcclusionOptions& options);
