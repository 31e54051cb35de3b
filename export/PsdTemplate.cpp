#include "export/PsdTemplate.h"

#include "export/ByteOrder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

void PutBE16(std::string& out, uint32_t value) {
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

// One row packed as PackBits runs: a repeat of 2 to 128 bytes is (1 - n,
// byte), anything else goes literally as (n - 1, n bytes).
void PackRow(const char* row, size_t width, std::string& out) {
    if (width > 1 && std::memcmp(row, row + 1, width - 1) == 0) {
        // One value all along (most rows of most layers): runs of 128.
        for (size_t left = width; left > 0;) {
            const size_t run = std::min<size_t>(left, 128);
            if (run >= 2) {
                out += char(1 - int(run));
            } else {
                out += '\0';
            }
            out += row[0];
            left -= run;
        }
        return;
    }
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

// A picture's four planes (red, green, blue, alpha) in straight colour,
// each compressed: the byte count of each row, then the rows.
struct PackedPlane {
    std::string counts, rows;
};
std::array<PackedPlane, 4> Pack(const TemplateImage& image) {
    std::array<PackedPlane, 4> planes;
    std::array<std::string, 4> row;
    for (std::string& r : row)
        r.resize(size_t(image.width));
    for (int y = 0; y < image.height; ++y) {
        const uint32_t* in = image.pixels.data() + size_t(y) * size_t(image.width);
        for (size_t x = 0; x < size_t(image.width); ++x) {
            const uint32_t a = in[x] >> 24;
            const uint32_t p = a == 255 ? in[x] : a == 0 ? 0 : StraightPixel(in[x]);
            row[0][x] = char(p >> 16);
            row[1][x] = char(p >> 8);
            row[2][x] = char(p);
            row[3][x] = char(p >> 24);
        }
        for (size_t c = 0; c < 4; ++c) {
            const size_t before = planes[c].rows.size();
            PackRow(row[c].data(), row[c].size(), planes[c].rows);
            // At most width + width / 128 + 1 bytes: 8256 for the widest template.
            PutBE16(planes[c].counts, uint32_t(planes[c].rows.size() - before));
        }
    }
    return planes;
}

constexpr uint16_t kRle = 1;

// The legacy name field holds 255 bytes at most: cut before a partial
// character.
std::string ShortName(const std::string& utf8) {
    size_t end = std::min<size_t>(utf8.size(), 255);
    while (end > 0 && end < utf8.size() && (uint8_t(utf8[end]) & 0xC0) == 0x80)
        --end;
    return utf8.substr(0, end);
}

// The "luni" block: the name as UTF-16 big-endian after its unit count.
// The name is valid UTF-8 (the caller's promise); a stray byte is skipped.
std::string UnicodeName(const std::string& utf8) {
    std::string units;
    for (size_t i = 0; i < utf8.size();) {
        const uint8_t b = uint8_t(utf8[i]);
        const size_t length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
        if (length == 0 || i + length > utf8.size()) {
            ++i;
            continue;
        }
        uint32_t code = length == 1 ? b : b & (0x7F >> length);
        for (size_t k = 1; k < length; ++k)
            code = code << 6 | (uint8_t(utf8[i + k]) & 0x3F);
        i += length;
        if (code >= 0x10000) {
            code -= 0x10000;
            PutBE16(units, 0xD800 + (code >> 10));
            PutBE16(units, 0xDC00 + (code & 0x3FF));
        } else {
            PutBE16(units, code);
        }
    }
    std::string block = "8BIMluni";
    std::string data;
    PutBE32(data, uint32_t(units.size() / 2));
    data += units;
    if (data.size() % 4) // padded to 4 bytes, as written by others
        data.append(4 - data.size() % 4, '\0');
    PutBE32(block, uint32_t(data.size()));
    return block + data;
}

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
        const std::array<PackedPlane, 4> packed = Pack(layer.image);
        // Top, left, bottom, right on the merged picture.
        PutBE32(records, uint32_t(layer.y));
        PutBE32(records, uint32_t(layer.x));
        PutBE32(records, uint32_t(layer.y + layer.image.height));
        PutBE32(records, uint32_t(layer.x + layer.image.width));
        PutBE16(records, 4);
        static constexpr int16_t kIds[4] = {0, 1, 2, -1}; // red, green, blue, transparency
        for (size_t c = 0; c < 4; ++c) {
            const size_t length = 2 + packed[c].counts.size() + packed[c].rows.size();
            if (length > std::numeric_limits<uint32_t>::max())
                return {};
            PutBE16(records, uint16_t(kIds[c]));
            PutBE32(records, uint32_t(length));
            PutBE16(pixels, kRle);
            pixels += packed[c].counts;
            pixels += packed[c].rows;
        }
        records += "8BIMnorm";
        records += char(std::lround(std::clamp(layer.opacity, 0.0, 1.0) * 255));
        records += '\0'; // base clipping
        records += '\0'; // flags: visible
        records += '\0';
        // Extra data: no mask, no blending ranges, the name padded to 4 bytes;
        // a name of our own also in full as UTF-16, which is what readers show.
        const std::string name =
            layer.name.empty() ? std::string(LayerName(layer.layer)) : ShortName(layer.name);
        std::string extra;
        PutBE32(extra, 0);
        PutBE32(extra, 0);
        extra += char(name.size());
        extra += name;
        extra.append((name.size() + 4) / 4 * 4 - name.size() - 1, '\0');
        if (!layer.name.empty())
            extra += UnicodeName(layer.name);
        PutBE32(records, uint32_t(extra.size()));
        records += extra;
    }
    if (layered.layers.size() > size_t(std::numeric_limits<int16_t>::max()))
        return {}; // the count is 16-bit
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
    PutBE16(out, kRle);
    const std::array<PackedPlane, 4> packed = Pack(merged);
    for (const PackedPlane& p : packed)
        out += p.counts;
    for (const PackedPlane& p : packed)
        out += p.rows;
    return out;
}
