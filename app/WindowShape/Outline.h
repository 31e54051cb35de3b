#pragma once
// The window's outline, built from the colours read back from a drawn face:
// every pixel that does not read back as exactly the key colour stays. Needs
// no windowing system, so it is tested on plain pictures.
#include <cstdint>

inline constexpr int64_t kInvalidColour = -1;   // a pixel that cannot be read back
inline constexpr int64_t kKeyColour = 0x0000FF; // pure blue, as 0xRRGGBB

struct OutlineRect {
    int left, top, right, bottom; // right and bottom excluded
};

// Scans column by column, top to bottom, and calls addRect once per run of
// kept pixels. Returns whether the outline was started (any pixel kept).
template <typename ReadPixel, typename AddRect>
bool BuildOutline(int width, int height, ReadPixel&& readPixel, AddRect&& addRect) {
    bool started = false;
    for (int x = 0; x < width; ++x) {
        int runStart = -1;
        for (int y = 0; y < height; ++y) {
            const int64_t colour = readPixel(x, y);
            if (colour != kKeyColour) {
                started = true;
                if (runStart < 0)
                    runStart = y;
            } else if (runStart >= 0) {
                addRect(OutlineRect{x, runStart, x + 1, y});
                runStart = -1;
            }
        }
        if (runStart >= 0)
            addRect(OutlineRect{x, runStart, x + 1, height});
    }
    return started;
}
