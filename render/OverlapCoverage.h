#pragma once
// Which parts of the template two or more faces cover: the commonest layout
// mistake (stacked or mirrored islands) that a wireframe hides. Coverage is
// sampled at pixel centres with the top-left rule, so two faces that only
// share an edge or a corner never count as overlapping.
#include "render/LayoutDrawing.h"

#include <cstdint>
#include <vector>

//
// Faces overlap only faces that sample the same texture file: the counts are
// kept per file, one plane of width x height per distinct file.
struct OverlapCoverage {
    int width = 0, height = 0;
    // Per plane then per pixel, saturated at 2.
    std::vector<uint8_t> count;
    size_t planes = 1;
    std::vector<uint32_t> planeOf; // per record; empty when one plane holds all

    size_t PlaneOf(size_t record) const { return record < planeOf.size() ? planeOf[record] : 0; }
    uint8_t At(size_t plane, int x, int y) const {
        return count[(plane * size_t(height) + size_t(y)) * size_t(width) + size_t(x)];
    }
    // Two faces of one texture file cover the pixel.
    bool Overlapping(int x, int y) const {
        for (size_t p = 0; p < planes; ++p)
            if (At(p, x, y) >= 2)
                return true;
        return false;
    }
    // Any face covers the pixel.
    bool Covered(int x, int y) const {
        for (size_t p = 0; p < planes; ++p)
            if (At(p, x, y) != 0)
                return true;
        return false;
    }
};

// Counts, for every pixel of a width x height template, how many of the
// placed faces of each texture file cover its centre; mapping places (u, v)
// on the template. sampled: each record's texture file (see SampledBy); all
// one file when empty.
OverlapCoverage CountCoverage(const std::vector<const Surface*>& records,
                              const std::vector<int>& sampled, WrapMode wrap,
                              const LayoutMapping& mapping, int width, int height);
// All of one texture file.
OverlapCoverage CountCoverage(const std::vector<const Surface*>& records, WrapMode wrap,
                              const LayoutMapping& mapping, int width, int height);

// Sets each pixel of a grid width pixels wide, in its rows rowBegin to
// rowEnd - 1, that the triangle covers (the same rule) to value.
void FillCovered(const double x[3], const double y[3], int width, int rowBegin, int rowEnd,
                 int32_t* grid, int32_t value);

// True when any pixel the triangle covers is covered twice or more by faces
// of the texture file that record (its position in the records) samples.
bool TouchesOverlap(const OverlapCoverage& coverage, size_t record, const double x[3],
                    const double y[3]);
