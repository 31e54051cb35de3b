#pragma once
// Lines of any width as a coverage mask: every segment a capsule (round ends,
// so corners never spike), and where two overlap the mask keeps the larger
// coverage, so an edge that two faces share is drawn exactly like any other.
// Much cheaper than a general stroker for thousands of short segments.
#include <cstdint>

struct LineMask {
    uint8_t* data; // one byte a pixel, 0 to 255
    int stride, width, height;
};

// Adds the segment from (x0, y0) to (x1, y1), in pixels. Anti-aliased:
// coverage falls off over one pixel at the line's edge; aliased: a pixel is
// covered when its centre lies within the line.
void AddSegment(const LineMask& mask, double x0, double y0, double x1, double y1, double lineWidth,
                bool antialias);
