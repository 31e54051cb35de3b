#include "export/PsdTemplate.h"

#include "export/ByteOrder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

void PutBE16(std::string& out, uint32_t value) {
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

// The four planes (red, green, blue, alpha) of a picture in straight colour,
// as the format stores them.
std::array<std::string, 4> Planes(const TemplateImage& image) {
    std::array<std::string, 4> planes;
    const size_t count = image.pixels.size();
    for (std::string& p : planes)
        p.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = image.pixels[i], a = p >> 24;
        auto straight = [a](uint32_t c) {
            return char(a == 0 ? 0 : a == 255 ? c : (c * 255 + a / 2) / a);
        };
        planes[0][i] = straight((p >> 16) & 0xFF);
        planes[1][i] = straight((p >> 8) & 0xFF);
        planes[2][i] = straight(p & 0xFF);
        planes[3][i] = char(a);
    }
    return planes;
}

// One row packed as PackBits runs: a repeat of 2 to 128 bytes is (1 - n,
// byte), anything else goes literally as (n - 1, n bytes).
void PackRow(const char* row, size_t width, std::string& out) {
    size_t i = 0;
    while (i < width) {
        size_t run = 1;
        while (i + run < width && run < 128 && row[i + run] == row[i])
            ++run;
        if (run >= 2) {
            out += char(1 - int(run));
            out += row[i];
            i += run;
            continue;
        }
        // A literal stretch, up to where a repeat of three begins.
        size_t length = 1;
        while (i + length < width && length < 128) {
            const size_t j = i + length;
            if (j + 2 < width && row[j] == row[j + 1] && row[j] == row[j + 2])
                break;
            ++length;
        }
        out += char(length - 1);
        out.append(row + i, length);
        i += length;
    }
}

// A plane compressed: the byte count of each row, then the rows.
struct PackedPlane {
    std::string counts, rows;
};
PackedPlane Pack(const std::string& plane, int width, int height) {
    PackedPlane packed;
    for (int y = 0; y < height; ++y) {
        const size_t before = packed.rows.size();
        PackRow(plane.data() + size_t(y) * size_t(width), size_t(width), packed.rows);
        // At most width + width / 128 + 1 bytes: 8256 for the widest template.
        PutBE16(packed.counts, uint32_t(packed.rows.size() - before));
    }
    return packed;
}

constexpr uint16_t kRle = 1;

} // namespace

std::string EncodePsd(const LayeredTemplate& layered) {
    const TemplateImage& merged = layered.merged;
    const int width = merged.width, height = merged.height;
    std::string out = "8BPS";
    PutBE16(out, 1); // version
    out.append(6, '\0');
    PutBE16(out, 4); // channels of the merged picture: red, green, blue, alpha
    PutBE32(out, uint32_t(height));
    PutBE32(out, uint32_t(width));
    PutBE16(out, 8); // bits per channel
    PutBE16(out, 3); // RGB
    PutBE32(out, 0); // no colour mode data
    PutBE32(out, 0); // no image resources

    // The layers: their records, then every channel's pixels.
    std::string records, pixels;
    for (const LayerImage& layer : layered.layers) {
        const std::array<std::string, 4> planes = Planes(layer.image);
        PutBE32(records, 0); // top, left, bottom, right
        PutBE32(records, 0);
        PutBE32(records, uint32_t(height));
        PutBE32(records, uint32_t(width));
        PutBE16(records, 4);
        static constexpr int16_t kIds[4] = {0, 1, 2, -1}; // red, green, blue, transparency
        for (int c = 0; c < 4; ++c) {
            const PackedPlane packed = Pack(planes[size_t(c)], width, height);
            const size_t length = 2 + packed.counts.size() + packed.rows.size();
            if (length > std::numeric_limits<uint32_t>::max())
                return {};
            PutBE16(records, uint16_t(kIds[c]));
            PutBE32(records, uint32_t(length));
            PutBE16(pixels, kRle);
            pixels += packed.counts;
            pixels += packed.rows;
        }
        records += "8BIMnorm";
        records += char(std::lround(std::clamp(layer.opacity, 0.0, 1.0) * 255));
        records += '\0'; // base clipping
        records += '\0'; // flags: visible
        records += '\0';
        // Extra data: no mask, no blending ranges, the name padded to 4 bytes.
        const std::string name = LayerName(layer.layer);
        std::string extra;
        PutBE32(extra, 0);
        PutBE32(extra, 0);
        extra += char(name.size());
        extra += name;
        extra.append((name.size() + 4) / 4 * 4 - name.size() - 1, '\0');
        PutBE32(records, uint32_t(extra.size()));
        records += extra;
    }
    std::string layerInfo;
    // A negative count: the merged picture's alpha is its transparency.
    PutBE16(layerInfo, uint16_t(-int16_t(layered.layers.size())));
    layerInfo += records;
    layerInfo += pixels;
    if (layerInfo.size() % 2)
        layerInfo += '\0';
    if (layerInfo.size() + 12 > std::numeric_limits<uint32_t>::max())
        return {};
    PutBE32(out, uint32_t(layerInfo.size() + 8)); // the layer and mask section
    PutBE32(out, uint32_t(layerInfo.size()));
    out += layerInfo;
    PutBE32(out, 0); // no global mask

    // The merged picture: every plane's row counts, then every plane's rows.
    const std::array<std::string, 4> planes = Planes(merged);
    PutBE16(out, kRle);
    std::array<PackedPlane, 4> packed;
    for (size_t c = 0; c < 4; ++c) {
        packed[c] = Pack(planes[c], width, height);
        out += packed[c].counts;
    }
    for (const PackedPlane& p : packed)
        out += p.rows;
    return out;
}
