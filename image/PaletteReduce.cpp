#include "image/PaletteReduce.h"

#include "image/IndexedSkin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

// The nearest allowed colour, exactly, found fast: the colour cube is cut
// into 16 x 16 x 16 cells, and each cell, the first time a pixel falls in
// it, lists the colours that can be nearest to some point of it (those no
// farther from the cell than the cell's farthest point is from the best
// colour). A pixel then measures a dozen colours or so rather than 256.
class NearestColour {
  public:
    NearestColour(std::span<const uint8_t, kPaletteBytes> palette,
                  const std::array<bool, 256>& allowed)
        : m_palette(palette) {
        for (int i = 0; i < 256; ++i)
            if (allowed[size_t(i)])
                m_allowed.push_back(uint8_t(i));
    }

    bool Empty() const { return m_allowed.empty(); }

    uint8_t Find(int r, int g, int b) {
        const std::vector<uint8_t>& candidates = Cell(r >> kShift, g >> kShift, b >> kShift);
        int best = -1;
        int bestDistance = 0;
        for (const uint8_t index : candidates) {
            const int d = Distance(index, r, g, b);
            if (best < 0 || d < bestDistance) {
                best = index;
                bestDistance = d;
            }
        }
        return uint8_t(best);
    }

  private:
    static constexpr int kShift = 4, kCells = 256 >> kShift, kSide = 1 << kShift;

    int Distance(uint8_t index, int r, int g, int b) const {
        const int dr = int(m_palette[size_t(index) * 3]) - r,
                  dg = int(m_palette[size_t(index) * 3 + 1]) - g,
                  db = int(m_palette[size_t(index) * 3 + 2]) - b;
        return dr * dr + dg * dg + db * db;
    }

    const std::vector<uint8_t>& Cell(int cr, int cg, int cb) {
        const size_t at = (size_t(cr) * kCells + size_t(cg)) * kCells + size_t(cb);
        if (m_made[at])
            return m_cells[at];
        const int low[3] = {cr * kSide, cg * kSide, cb * kSide};
        auto nearAndFar = [&](uint8_t index, int& nearest, int& farthest) {
            nearest = farthest = 0;
            for (int k = 0; k < 3; ++k) {
                const int c = m_palette[size_t(index) * 3 + size_t(k)];
                const int lo = low[k], hi = low[k] + kSide - 1;
                const int inside = c < lo ? lo - c : c > hi ? c - hi : 0;
                const int away = std::max(std::abs(c - lo), std::abs(c - hi));
                nearest += inside * inside;
                farthest += away * away;
            }
        };
        int bound = INT32_MAX;
        for (const uint8_t index : m_allowed) {
            int nearest = 0, farthest = 0;
            nearAndFar(index, nearest, farthest);
            bound = std::min(bound, farthest);
        }
        std::vector<uint8_t>& list = m_cells[at];
        for (const uint8_t index : m_allowed) {
            int nearest = 0, farthest = 0;
            nearAndFar(index, nearest, farthest);
            if (nearest <= bound)
                list.push_back(index);
        }
        m_made[at] = true;
        return list;
    }

    std::span<const uint8_t, kPaletteBytes> m_palette;
    std::vector<uint8_t> m_allowed; // in index order, so a tie keeps the lowest
    std::array<std::vector<uint8_t>, size_t(kCells) * kCells * kCells> m_cells;
    std::array<bool, size_t(kCells) * kCells * kCells> m_made{};
};

uint8_t Clamped(float value) {
    return uint8_t(std::clamp(std::lround(value), 0L, 255L));
}

} // namespace

Result<ReducedPicture> ReduceToPalette(const TextureImage& picture,
                                       std::span<const uint8_t, kPaletteBytes> palette,
                                       const ReduceOptions& options) {
    const size_t pixels = size_t(std::max(picture.width, 0)) * size_t(std::max(picture.height, 0));
    if (picture.width <= 0 || picture.height <= 0 || picture.rgba.size() != pixels * 4)
        return Error{"", "", "the picture's pixels do not fill its size"};
    auto chosen = std::make_unique<NearestColour>(palette, options.allowed);
    if (chosen->Empty())
        return Error{"", "", "no colour of the palette is allowed"};
    const bool excludes =
        std::find(options.allowed.begin(), options.allowed.end(), false) != options.allowed.end();
    std::unique_ptr<NearestColour> any;
    if (excludes)
        any = std::make_unique<NearestColour>(palette, ReduceOptions::AllIndices());
    const bool cut = options.transparentIndex >= 0 && options.transparentIndex <= 255;

    ReducedPicture out;
    out.width = picture.width;
    out.height = picture.height;
    out.indices.resize(pixels);
    const size_t width = size_t(picture.width);
    // The error carried to this row and the next, with a pixel of room on
    // either side so that the edges need no test.
    std::vector<float> here(3 * (width + 2)), next(3 * (width + 2));
    for (size_t y = 0; y < size_t(picture.height); ++y) {
        const bool leftward = options.dither && y % 2 == 1;
        for (size_t step = 0; step < width; ++step) {
            const size_t x = leftward ? width - 1 - step : step;
            const size_t at = y * width + x;
            const uint8_t* p = &picture.rgba[at * 4];
            if (cut && p[3] < 128) {
                out.indices[at] = uint8_t(options.transparentIndex);
                ++out.transparent;
                continue;
            }
            if (any && !options.allowed[any->Find(p[0], p[1], p[2])])
                ++out.tookNearestAllowed;
            if (!options.dither) {
                out.indices[at] = chosen->Find(p[0], p[1], p[2]);
                continue;
            }
            float* e = &here[3 * (x + 1)];
            const float wanted[3] = {float(p[0]) + e[0], float(p[1]) + e[1], float(p[2]) + e[2]};
            const uint8_t index =
                chosen->Find(Clamped(wanted[0]), Clamped(wanted[1]), Clamped(wanted[2]));
            out.indices[at] = index;
            // Forward is the way the row goes; behind-below mirrors with it.
            const ptrdiff_t ahead = leftward ? -3 : 3;
            for (size_t k = 0; k < 3; ++k) {
                const float error = wanted[k] - float(palette[size_t(index) * 3 + k]);
                float* h = &here[3 * (x + 1) + k];
                float* n = &next[3 * (x + 1) + k];
                h[ahead] += error * 7 / 16;
                n[-ahead] += error * 3 / 16;
                n[0] += error * 5 / 16;
                n[ahead] += error * 1 / 16;
            }
        }
        here.swap(next);
        std::fill(next.begin(), next.end(), 0.0f);
    }
    std::array<bool, 256> used{};
    for (const uint8_t index : out.indices)
        used[index] = true;
    out.coloursUsed = int(std::count(used.begin(), used.end(), true));
    return out;
}

Result<std::array<uint8_t, kPaletteBytes>> PaletteOfFile(const std::string& path,
                                                         std::span<const uint8_t> bytes) {
    const bool pcx = bytes.size() >= 3 && IsPcxStart(bytes.data(), bytes.size());
    if (!pcx) {
        std::string reason;
        if (const auto palette = ReadPalette(bytes, &reason))
            return *palette;
        return Error{"", path,
                     reason + "; give a palette.lmp of 768 bytes or a 256-colour PCX (such as "
                              "Quake II's pics/colormap.pcx)"};
    }
    constexpr size_t kPcxHeader = 128;
    if (bytes.size() < kPcxHeader + 1 + kPaletteBytes ||
        bytes[bytes.size() - kPaletteBytes - 1] != 0x0C || bytes[3] != 8 || bytes[65] != 1)
        return Error{"", path,
                     "it is a PCX without a 256-colour palette at its end (8 bits in one plane, "
                     "the 0x0C marker and 768 bytes); give a 256-colour PCX or a palette.lmp"};
    std::array<uint8_t, kPaletteBytes> palette{};
    std::copy(bytes.end() - kPaletteBytes, bytes.end(), palette.begin());
    return palette;
}
