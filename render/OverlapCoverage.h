#pragma once
// Which parts of the template two or more faces cover: the commonest layout
// mistake (stacked or mirrored islands) that a wireframe hides. Coverage is
// sampled at pixel centres with the top-left rule, so two faces that only
// share an edge or a corner never count as overlapping.
#include "render/LayoutDrawing.h"

#include <cstdint>
#include <vector>

struct OverlapCoverage {
    int width = 0, height = 0;
    std::vector<uint8_t> count; // per pixel, saturated at 2

    bool Overlapping(int x, int y) const {
        return count[size_t(y) * size_t(width) + size_t(x)] >= 2;
    }
};

// Counts, for every pixel of a width x height template, how many of the
// placed faces cover its centre; mapping places (u, v) on the template.
OverlapCoverage CountCoverage(const std::vector<const Surface*>& records, WrapMode wrap,
                              const LayoutMapping& mapping, int width, int height);

// Sets each pixel of a grid width pixels wide, in its rows rowBegin to
// rowEnd - 1, that the triangle covers (the same rule) to value.
void FillCovered(const double x[3], const double y[3], int width, int rowBegin, int rowEnd,
                 int32_t* grid, int32_t value);

// True when any pixel the triangle covers is covered twice or more.
bool TouchesOverlap(const OverlapCoverage& coverage, const double x[3], const double y[3]);
