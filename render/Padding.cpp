#include "render/Padding.h"

#include "render/PlacedTriangles.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <unordered_map>

namespace {

size_t Texels(int width, int height) {
    return size_t(std::max(0, width)) * size_t(std::max(0, height));
}

bool FitsMask(const TextureImage& texture, const std::vector<uint8_t>& mask) {
    const size_t n = Texels(texture.width, texture.height);
    return n > 0 && mask.size() == n && texture.rgba.size() == n * 4;
}

// Whether the closed triangle touches the open square [x, x+1) x [y, y+1):
// no separating axis among the square's and the triangle's edges.
struct TexelTest {
    double px[3], py[3];
    double nx[3], ny[3], c[3]; // inside where nx*x + ny*y + c >= 0
    bool degenerate = false;

    explicit TexelTest(const double (&x)[3], const double (&y)[3]) {
        std::copy(x, x + 3, px);
        std::copy(y, y + 3, py);
        const double area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
        degenerate = std::abs(area) < 1e-12;
        const double sign = area < 0 ? -1.0 : 1.0;
        for (int i = 0; i < 3; ++i) {
            const int j = (i + 1) % 3;
            nx[i] = -(y[j] - y[i]) * sign;
            ny[i] = (x[j] - x[i]) * sign;
            c[i] = -(nx[i] * x[i] + ny[i] * y[i]);
        }
        if (degenerate) {
            // A line (or a point): its longest edge's normal is the one axis left.
            int longest = 0;
            double best = -1;
            for (int i = 0; i < 3; ++i) {
                const double len = nx[i] * nx[i] + ny[i] * ny[i];
                if (len > best)
                    best = len, longest = i;
            }
            nx[0] = nx[longest], ny[0] = ny[longest], c[0] = c[longest];
        }
    }

    bool Touches(int x, int y) const {
        static constexpr double kSlack = 1e-9;
        if (degenerate) {
            if (nx[0] == 0 && ny[0] == 0)
                return true; // a point: its box alone decides
            double low = std::numeric_limits<double>::max(), high = -low;
            for (int k = 0; k < 4; ++k) {
                const double e = nx[0] * (x + (k & 1)) + ny[0] * (y + (k >> 1)) + c[0];
                low = std::min(low, e), high = std::max(high, e);
            }
            return low <= kSlack && high >= -kSlack;
        }
        for (int i = 0; i < 3; ++i) {
            // The square's corner farthest into the edge's inside.
            const double cx = nx[i] > 0 ? x + 1.0 : double(x), cy = ny[i] > 0 ? y + 1.0 : double(y);
            if (nx[i] * cx + ny[i] * cy + c[i] < -kSlack)
                return false;
        }
        return true;
    }
};

void Rasterize(const PlacedTriangle& t, int width, int height, std::vector<uint8_t>& mask) {
    double x[3], y[3];
    for (int k = 0; k < 3; ++k) {
        x[k] = t.u[k] * width;
        y[k] = t.v[k] * height;
        if (!std::isfinite(x[k]) || !std::isfinite(y[k]))
            return;
    }
    const double lowX = std::min({x[0], x[1], x[2]}), highX = std::max({x[0], x[1], x[2]});
    const double lowY = std::min({y[0], y[1], y[2]}), highY = std::max({y[0], y[1], y[2]});
    if (highX < 0 || highY < 0 || lowX >= width || lowY >= height)
        return;
    // Texels whose square [i, i+1) meets [low, high]; a side on a texel
    // boundary touches only the texel beyond it when it has width.
    auto first = [](double low) { return int(std::floor(std::max(low, 0.0))); };
    auto last = [](double low, double high, int side) {
        const double top = std::min(high, double(side));
        int i = int(std::ceil(top)) - 1;
        if (high == low)
            i = int(std::floor(top));
        return std::min(std::max(i, 0), side - 1);
    };
    const int x0 = first(lowX), x1 = last(lowX, highX, width);
    const int y0 = first(lowY), y1 = last(lowY, highY, height);
    const TexelTest test(x, y);
    for (int j = y0; j <= y1; ++j)
        for (int i = x0; i <= x1; ++i)
            if (test.Touches(i, j))
                mask[size_t(j) * size_t(width) + size_t(i)] = 1;
}

// The nearest mask texel of every texel and the squared distance to it, by
// the exact two-pass distance transform of Felzenszwalb and Huttenlocher:
// along each column, then the lower envelope of parabolas along each row.
struct NearestMap {
    // Left unset until written (every texel is): zeroing them would cost as
    // much as the transform.
    std::unique_ptr<int32_t[]> nearest; // texel index; -1 where the mask is empty
    std::unique_ptr<int32_t[]> squared; // at most 2 x 8192 squared
};

NearestMap Nearest(const std::vector<uint8_t>& mask, int width, int height) {
    const size_t n = Texels(width, height);
    NearestMap map;
    map.nearest = std::make_unique_for_overwrite<int32_t[]>(n);
    map.squared = std::make_unique_for_overwrite<int32_t[]>(n);
    const size_t w = size_t(width);
    // Row by row, each column's last mask texel above, then below: the
    // memory is read in order.
    // Per texel: the row of the nearest mask texel in its column, kept where
    // the nearest texel goes once each row is done.
    int32_t* const rowOf = map.nearest.get();
    std::vector<int32_t> seen(w, -1);
    for (int y = 0; y < height; ++y) {
        const size_t row = size_t(y) * w;
        for (size_t x = 0; x < w; ++x) {
            if (mask[row + x])
                seen[x] = y;
            rowOf[row + x] = seen[x];
        }
    }
    std::fill(seen.begin(), seen.end(), -1);
    for (int y = height - 1; y >= 0; --y) {
        const size_t row = size_t(y) * w;
        for (size_t x = 0; x < w; ++x) {
            if (mask[row + x])
                seen[x] = y;
            const int32_t below = seen[x], above = rowOf[row + x];
            // Ties go to the row above.
            if (below >= 0 && (above < 0 || below - y < y - above))
                rowOf[row + x] = below;
        }
    }
    std::vector<int> v(w);
    std::vector<double> z(w + 1);
    std::vector<int64_t> f(w);
    std::vector<int32_t> rows(w);
    for (int y = 0; y < height; ++y) {
        const size_t row = size_t(y) * w;
        std::copy_n(&rowOf[row], w, rows.begin());
        int k = -1;
        for (int q = 0; q < width; ++q) {
            const int32_t r = rows[size_t(q)];
            if (r < 0)
                continue;
            f[size_t(q)] = int64_t(r - y) * (r - y);
            const double fq = double(f[size_t(q)]) + double(q) * q;
            double s = 0;
            while (k >= 0) {
                const int p = v[size_t(k)];
                s = (fq - (double(f[size_t(p)]) + double(p) * p)) / (2.0 * (q - p));
                if (s > z[size_t(k)])
                    break;
                --k;
            }
            ++k;
            v[size_t(k)] = q;
            z[size_t(k)] = k == 0 ? -std::numeric_limits<double>::infinity() : s;
            z[size_t(k) + 1] = std::numeric_limits<double>::infinity();
        }
        if (k < 0) { // no mask texel anywhere: every column is empty
            std::fill_n(&map.nearest[row], w, -1);
            std::fill_n(&map.squared[row], w, std::numeric_limits<int32_t>::max());
            continue;
        }
        int at = 0;
        for (int x = 0; x < width; ++x) {
            while (z[size_t(at) + 1] < x)
                ++at;
            const int p = v[size_t(at)];
            const size_t i = row + size_t(x);
            map.nearest[i] = int32_t(size_t(rows[size_t(p)]) * w + size_t(p));
            map.squared[i] = int32_t(int64_t(x - p) * (x - p) + f[size_t(p)]);
        }
    }
    return map;
}

// Push-pull: known texels averaged down a pyramid to 1x1, then every unknown
// texel given the level above's colour, from the top down.
void PushPull(std::vector<float>& rgb, std::vector<float>& weight, int width, int height) {
    if (width <= 1 && height <= 1)
        return;
    const int w2 = (width + 1) / 2, h2 = (height + 1) / 2;
    std::vector<float> up(Texels(w2, h2) * 3, 0.0f), upWeight(Texels(w2, h2), 0.0f);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t i = size_t(y) * size_t(width) + size_t(x);
            const size_t j = size_t(y / 2) * size_t(w2) + size_t(x / 2);
            const float wt = weight[i];
            if (wt <= 0)
                continue;
            upWeight[j] += wt;
            for (int c = 0; c < 3; ++c)
                up[j * 3 + size_t(c)] += wt * rgb[i * 3 + size_t(c)];
        }
    for (size_t j = 0; j < upWeight.size(); ++j)
        if (upWeight[j] > 0) {
            for (int c = 0; c < 3; ++c)
                up[j * 3 + size_t(c)] /= upWeight[j];
            upWeight[j] = std::min(upWeight[j], 1.0f);
        }
    PushPull(up, upWeight, w2, h2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t i = size_t(y) * size_t(width) + size_t(x);
            const size_t j = size_t(y / 2) * size_t(w2) + size_t(x / 2);
            const float wt = weight[i];
            if (wt >= 1)
                continue;
            for (int c = 0; c < 3; ++c)
                rgb[i * 3 + size_t(c)] =
                    wt * rgb[i * 3 + size_t(c)] + (1 - wt) * up[j * 3 + size_t(c)];
        }
}

PaddedTexture Pad(const TextureImage& texture, const std::vector<uint8_t>& mask, int band,
                  const NearestMap& near) {
    PaddedTexture out;
    out.image.width = texture.width;
    out.image.height = texture.height;
    out.image.rgba = texture.rgba;
    const size_t n = Texels(texture.width, texture.height);
    const int64_t reach =
        int64_t(std::clamp(band, 0, kMaxPadBand)) * std::clamp(band, 0, kMaxPadBand);
    std::vector<uint8_t>& px = out.image.rgba;
    bool rest = false;
    for (size_t i = 0; i < n; ++i) {
        if (mask[i]) {
            ++out.counts.kept;
        } else if (near.squared[i] <= reach) {
            std::copy_n(&texture.rgba[size_t(near.nearest[i]) * 4], 4, &px[i * 4]);
            ++out.counts.band;
        } else {
            rest = true;
            ++out.counts.pushPull;
        }
    }
    if (!rest)
        return out;
    // The pyramid starts a level up, averaged from the known texels' bytes:
    // no float copy of the whole texture.
    const int width = texture.width, height = texture.height;
    const int w2 = (width + 1) / 2, h2 = (height + 1) / 2;
    std::vector<float> rgb(Texels(w2, h2) * 3, 0.0f), weight(Texels(w2, h2), 0.0f);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t i = size_t(y) * size_t(width) + size_t(x);
            if (!mask[i] && near.squared[i] > reach)
                continue;
            const size_t j = size_t(y / 2) * size_t(w2) + size_t(x / 2);
            weight[j] += 1;
            for (int c = 0; c < 3; ++c)
                rgb[j * 3 + size_t(c)] += float(px[i * 4 + size_t(c)]);
        }
    for (size_t j = 0; j < weight.size(); ++j)
        if (weight[j] > 0) {
            for (int c = 0; c < 3; ++c)
                rgb[j * 3 + size_t(c)] /= weight[j];
            weight[j] = std::min(weight[j], 1.0f);
        }
    PushPull(rgb, weight, w2, h2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t i = size_t(y) * size_t(width) + size_t(x);
            if (mask[i] || near.squared[i] <= reach)
                continue;
            const size_t j = size_t(y / 2) * size_t(w2) + size_t(x / 2);
            for (int c = 0; c < 3; ++c)
                px[i * 4 + size_t(c)] =
                    uint8_t(std::clamp(std::lround(rgb[j * 3 + size_t(c)]), 0L, 255L));
            px[i * 4 + 3] = texture.rgba[size_t(near.nearest[i]) * 4 + 3];
        }
    return out;
}

bool Unlike(const uint8_t* a, const uint8_t* b) {
    for (int c = 0; c < 4; ++c)
        if (std::abs(int(a[c]) - int(b[c])) > kBleedTolerance)
            return true;
    return false;
}

// The border texels of a pyramid level (see BorderError).
std::vector<uint8_t> BorderOf(const std::vector<uint8_t>& level, int width, int height, bool base) {
    std::vector<uint8_t> border(level.size(), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t i = size_t(y) * size_t(width) + size_t(x);
            if (!(level[i] & 1))
                continue;
            bool outside = (level[i] & 2) != 0;
            if (!base) {
                border[i] = outside ? 1 : 0;
                continue;
            }
            for (int dy = -1; dy <= 1 && !outside; ++dy)
                for (int dx = -1; dx <= 1 && !outside; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < width && ny < height)
                        outside = (level[size_t(ny) * size_t(width) + size_t(nx)] & 2) != 0;
                }
            border[i] = outside ? 1 : 0;
        }
    return border;
}

} // namespace

std::vector<uint8_t> IslandMask(const std::vector<const Surface*>& records, WrapMode wrap,
                                int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxTextureSide || height > kMaxTextureSide)
        return {};
    std::vector<uint8_t> touched(Texels(width, height), 0);
    ForEachPlacedTriangle(records, wrap,
                          [&](const PlacedTriangle& t) { Rasterize(t, width, height, touched); });
    // Grown by one texel (8 neighbours, as a 3x3 square): what bilinear
    // filtering reads beside the faces. Across, then down.
    const bool repeat = wrap == WrapMode::Repeat;
    const size_t w = size_t(width);
    std::vector<uint8_t> across(touched.size(), 0), grown(touched.size(), 0);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = &touched[size_t(y) * w];
        uint8_t* out = &across[size_t(y) * w];
        for (size_t x = 0; x < w; ++x) {
            const uint8_t left = x > 0 ? in[x - 1] : (repeat ? in[w - 1] : 0);
            const uint8_t right = x + 1 < w ? in[x + 1] : (repeat ? in[0] : 0);
            out[x] = in[x] | left | right;
        }
    }
    for (int y = 0; y < height; ++y) {
        const int up = y > 0 ? y - 1 : (repeat ? height - 1 : -1);
        const int down = y + 1 < height ? y + 1 : (repeat ? 0 : -1);
        const uint8_t* mid = &across[size_t(y) * w];
        const uint8_t* above = up >= 0 ? &across[size_t(up) * w] : nullptr;
        const uint8_t* below = down >= 0 ? &across[size_t(down) * w] : nullptr;
        uint8_t* out = &grown[size_t(y) * w];
        for (size_t x = 0; x < w; ++x)
            out[x] = mid[x] | (above ? above[x] : 0) | (below ? below[x] : 0);
    }
    return grown;
}

PaddedTexture PadTexture(const TextureImage& texture, const std::vector<uint8_t>& mask, int band) {
    const bool fits = FitsMask(texture, mask);
    if (!fits || std::none_of(mask.begin(), mask.end(), [](uint8_t m) { return m != 0; })) {
        PaddedTexture same;
        same.image.width = texture.width;
        same.image.height = texture.height;
        same.image.rgba = texture.rgba;
        same.counts.kept = Texels(texture.width, texture.height);
        return same;
    }
    return Pad(texture, mask, band, Nearest(mask, texture.width, texture.height));
}

TextureImage HalveTexture(const TextureImage& texture) {
    TextureImage half;
    half.width = std::max(1, texture.width / 2);
    half.height = std::max(1, texture.height / 2);
    if (texture.rgba.size() != Texels(texture.width, texture.height) * 4 || texture.rgba.empty())
        return {};
    half.rgba.resize(Texels(half.width, half.height) * 4);
    for (int y = 0; y < half.height; ++y)
        for (int x = 0; x < half.width; ++x) {
            int sum[4] = {0, 0, 0, 0}, count = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const int sx = 2 * x + dx, sy = 2 * y + dy;
                    if (sx >= texture.width || sy >= texture.height)
                        continue;
                    const uint8_t* p =
                        &texture.rgba[(size_t(sy) * size_t(texture.width) + size_t(sx)) * 4];
                    for (int c = 0; c < 4; ++c)
                        sum[c] += p[c];
                    ++count;
                }
            uint8_t* q = &half.rgba[(size_t(y) * size_t(half.width) + size_t(x)) * 4];
            for (int c = 0; c < 4; ++c)
                q[c] = uint8_t((sum[c] + count / 2) / count);
        }
    return half;
}

std::vector<std::vector<uint8_t>> MaskPyramid(const std::vector<uint8_t>& mask, int width,
                                              int height, int levels) {
    std::vector<std::vector<uint8_t>> pyramid;
    if (mask.size() != Texels(width, height) || mask.empty() || levels <= 0)
        return pyramid;
    std::vector<uint8_t> level(mask.size());
    for (size_t i = 0; i < mask.size(); ++i)
        level[i] = mask[i] ? 1 : 2;
    pyramid.push_back(std::move(level));
    for (int l = 1; l < levels && (width > 1 || height > 1); ++l) {
        const int w2 = std::max(1, width / 2), h2 = std::max(1, height / 2);
        std::vector<uint8_t> next(Texels(w2, h2), 0);
        const std::vector<uint8_t>& below = pyramid.back();
        for (int y = 0; y < h2; ++y)
            for (int x = 0; x < w2; ++x)
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) {
                        const int sx = 2 * x + dx, sy = 2 * y + dy;
                        if (sx < width && sy < height)
                            next[size_t(y) * size_t(w2) + size_t(x)] |=
                                below[size_t(sy) * size_t(width) + size_t(sx)];
                    }
        pyramid.push_back(std::move(next));
        width = w2, height = h2;
    }
    return pyramid;
}

double BorderError(const TextureImage& a, const TextureImage& reference,
                   const std::vector<uint8_t>& pyramidLevel, int level) {
    const size_t n = Texels(a.width, a.height);
    if (a.width != reference.width || a.height != reference.height || pyramidLevel.size() != n ||
        a.rgba.size() != n * 4 || reference.rgba.size() != n * 4)
        return 0;
    const std::vector<uint8_t> border = BorderOf(pyramidLevel, a.width, a.height, level == 0);
    double total = 0;
    size_t count = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!border[i])
            continue;
        for (int c = 0; c < 4; ++c)
            total +=
                std::abs(int(a.rgba[i * 4 + size_t(c)]) - int(reference.rgba[i * 4 + size_t(c)]));
        count += 4;
    }
    return count ? total / double(count) : 0.0;
}

BleedReport CheckBleed(const TextureImage& texture, const std::vector<uint8_t>& mask, int band) {
    BleedReport report;
    if (!FitsMask(texture, mask) ||
        std::none_of(mask.begin(), mask.end(), [](uint8_t m) { return m != 0; }))
        return report;
    const int width = texture.width, height = texture.height;
    const size_t n = Texels(width, height);
    const NearestMap near = Nearest(mask, width, height);
    const TextureImage ideal = Pad(texture, mask, band, near).image;
    const std::vector<std::vector<uint8_t>> pyramid =
        MaskPyramid(mask, width, height, kMaxBleedLevels);
    report.layer.width = width;
    report.layer.height = height;
    report.layer.rgba.assign(n * 4, 0);
    auto mark = [&](size_t i, const uint8_t(&colour)[4]) {
        std::copy_n(colour, 4, &report.layer.rgba[i * 4]);
    };
    const std::vector<uint8_t> border0 = BorderOf(pyramid[0], width, height, true);
    // Level 0: a band texel unlike the island texel it should repeat.
    const int64_t reach =
        int64_t(std::clamp(band, 0, kMaxPadBand)) * std::clamp(band, 0, kMaxPadBand);
    std::vector<uint8_t> thin0(n, 0);
    for (size_t i = 0; i < n; ++i)
        if (!mask[i] && near.squared[i] <= reach &&
            Unlike(&texture.rgba[i * 4], &texture.rgba[size_t(near.nearest[i]) * 4]))
            thin0[size_t(near.nearest[i])] = 1;
    // Paint outside the islands: neither the background nor the padding.
    std::unordered_map<uint32_t, size_t> colours;
    for (size_t i = 0; i < n; ++i)
        if (!mask[i]) {
            const uint8_t* p = &texture.rgba[i * 4];
            ++colours[uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]];
        }
    uint32_t background = 0;
    size_t most = 0;
    for (const auto& [colour, count] : colours)
        if (count > most || (count == most && colour < background))
            background = colour, most = count;
    const uint8_t bg[4] = {uint8_t(background >> 24), uint8_t(background >> 16),
                           uint8_t(background >> 8), uint8_t(background)};
    std::vector<uint8_t> unsampled(n, 0);
    for (size_t i = 0; i < n; ++i)
        if (!mask[i] && most > 0 && Unlike(&texture.rgba[i * 4], bg) &&
            Unlike(&texture.rgba[i * 4], &ideal.rgba[i * 4])) {
            unsampled[i] = 1;
            ++report.unsampled;
            mark(i, kUnsampledColour);
        }
    TextureImage mip = texture, idealMip = ideal;
    for (size_t l = 0; l < pyramid.size(); ++l) {
        BleedLevel level;
        level.level = int(l);
        level.width = mip.width;
        level.height = mip.height;
        const std::vector<uint8_t> border =
            l == 0 ? border0 : BorderOf(pyramid[l], mip.width, mip.height, false);
        const size_t m = border.size();
        std::vector<uint8_t> thin(m, 0);
        for (size_t i = 0; i < m; ++i) {
            if (!border[i])
                continue;
            ++level.border;
            thin[i] = l == 0 ? thin0[i] : Unlike(&mip.rgba[i * 4], &idealMip.rgba[i * 4]);
            level.thin += thin[i];
        }
        std::vector<uint8_t> holds(m, 0);
        const int shift = int(l);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const size_t i = size_t(y) * size_t(width) + size_t(x);
                const int ax = x >> shift, ay = y >> shift;
                if (ax >= mip.width || ay >= mip.height)
                    continue;
                const size_t a = size_t(ay) * size_t(mip.width) + size_t(ax);
                if (border0[i] && thin[a])
                    mark(i, kThinColour);
                if (unsampled[i] && pyramid[l][a] == 2 && !holds[a]) {
                    holds[a] = 1;
                    ++level.unsampled;
                }
            }
        report.levels.push_back(level);
        if (l + 1 < pyramid.size()) {
            mip = HalveTexture(mip);
            idealMip = HalveTexture(idealMip);
        }
    }
    return report;
}

TextureImage OverlayLayer(const TextureImage& texture, const TextureImage& layer) {
    TextureImage out = texture;
    out.note.clear();
    if (layer.width != texture.width || layer.height != texture.height ||
        layer.rgba.size() != texture.rgba.size())
        return out;
    for (size_t i = 0; i + 3 < out.rgba.size(); i += 4)
        if (layer.rgba[i + 3] != 0)
            std::copy_n(&layer.rgba[i], 4, &out.rgba[i]);
    return out;
}
