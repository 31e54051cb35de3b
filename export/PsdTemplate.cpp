#include "export/PsdTemplate.h"

#include "export/ByteOrder.h"
#include "model/Utf8.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

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

// The layer's name as the record's Pascal string holds it: printable ASCII,
// anything else as '?', at most 255 bytes.
std::string PascalName(const std::string& name) {
    std::string out = name.substr(0, 255);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            c = '?';
    return out;
}

// The name as UTF-16 code units, from UTF-8; a broken sequence gives U+FFFD.
std::vector<uint16_t> Utf16Of(const std::string& text) {
    std::vector<uint16_t> out;
    for (size_t i = 0; i < text.size();) {
        const Utf8Char ch = Utf8At(text, i);
        if (ch.length == 0) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        uint32_t code = ch.code;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(uint16_t(0xD800 | (code >> 10)));
            out.push_back(uint16_t(0xDC00 | (code & 0x3FF)));
        } else {
            out.push_back(uint16_t(code));
        }
        i += ch.length;
    }
    return out;
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
        records += layer.multiply ? "8BIMmul " : "8BIMnorm";
        records += char(std::lround(std::clamp(layer.opacity, 0.0, 1.0) * 255));
        records += '\0';                        // base clipping
        records += layer.visible ? '\0' : '\2'; // flags: bit 1, hidden
        records += '\0';
        // Extra data: no mask, no blending ranges, the name padded to 4 bytes;
        // a name beyond ASCII also whole in UTF-16, as its Unicode name.
        const std::string full = layer.name.empty() ? LayerName(layer.layer) : layer.name;
        const std::string name = PascalName(full);
        std::string extra;
        PutBE32(extra, 0);
        PutBE32(extra, 0);
        extra += char(name.size());
        extra += name;
        extra.append((name.size() + 4) / 4 * 4 - name.size() - 1, '\0');
        if (name != full) {
            const std::vector<uint16_t> units = Utf16Of(full);
            // Padded to 4 bytes, as readers expect.
            const size_t length = (4 + 2 * units.size() + 3) / 4 * 4;
            extra += "8BIMluni";
            PutBE32(extra, uint32_t(length));
            PutBE32(extra, uint32_t(units.size()));
            for (const uint16_t unit : units)
                PutBE16(extra, unit);
            extra.append(length - 4 - 2 * units.size(), '\0');
        }
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
