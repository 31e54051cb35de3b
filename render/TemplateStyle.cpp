#include "render/TemplateStyle.h"

#include "model/Utf8.h"

#include <algorithm>
#include <cstdio>

bool TemplateStyle::IsPlain() const {
    return line == Rgba{0, 0, 0, 255} && lineWidth == 1.0 && !antialias &&
           background == Rgba{255, 255, 255, 255} && !fill && !overlaps && !colourBySurface &&
           !underlay && !seams && !flipped && outline == Outline::All && !islands;
}

std::vector<RecordRun> RunsOf(const TemplateStyle& style, size_t records) {
    std::vector<RecordRun> runs;
    size_t next = 0;
    for (const TemplateStyle::Run& run : style.runs) {
        if (next >= records)
            break;
        const size_t count = std::min(run.count, records - next);
        if (count == 0)
            continue;
        runs.push_back({next, count, CleanRunName(run.name)});
        next += count;
    }
    if (runs.empty())
        runs.push_back({0, records, {}});
    else
        runs.back().count = records - runs.back().first;
    return runs;
}

bool SplitsRuns(const std::vector<RecordRun>& runs) {
    return runs.size() > 1 || (runs.size() == 1 && !runs[0].name.empty());
}

std::string CleanRunName(const std::string& name) {
    static constexpr char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    for (size_t i = 0; i < name.size();) {
        const Utf8Char ch = Utf8At(name, i);
        const size_t length = ch.length;
        // Controls (C0, DEL and C1) and what XML 1.0 cannot hold go too.
        const bool valid = length > 0 && ch.code != 0xFFFE && ch.code != 0xFFFF &&
                           ch.code >= 0x20 && !(ch.code >= 0x7F && ch.code <= 0x9F);
        // A broken sequence is replaced byte by byte, so nothing after it is lost.
        const size_t taken = valid ? length : 1;
        const size_t adding = valid ? length : sizeof kReplacement - 1;
        if (out.size() + adding > kMaxRunNameBytes)
            break;
        if (valid)
            out.append(name, i, length);
        else
            out += kReplacement;
        i += taken;
    }
    return out;
}

TemplateStyle PlainStyle(int width, int height, WrapMode wrap) {
    TemplateStyle style;
    style.width = width;
    style.height = height;
    style.wrap = wrap;
    return style;
}

bool ParseColour(const std::string& text, Rgba& colour) {
    const std::string hex = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    if (hex.size() != 6 && hex.size() != 8)
        return false;
    uint8_t bytes[4] = {0, 0, 0, 255};
    for (size_t i = 0; i < hex.size(); ++i) {
        const char c = hex[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        bytes[i / 2] = uint8_t(i % 2 ? bytes[i / 2] + digit : digit * 16);
    }
    colour = {bytes[0], bytes[1], bytes[2], bytes[3]};
    return true;
}

std::string FormatColour(const Rgba& c) {
    char text[12];
    std::snprintf(text, sizeof text, "#%02x%02x%02x%02x", c.r, c.g, c.b, c.a);
    return text;
}

Rgba SurfacePaletteColour(int position) {
    // Mid-lightness hues: each keeps a contrast of 3:1 or more against white
    // and against black.
    static const Rgba palette[] = {
        {0xd6, 0x27, 0x28, 255}, {0x1f, 0x77, 0xb4, 255}, {0x2c, 0x9c, 0x2c, 255},
        {0xc4, 0x5a, 0x00, 255}, {0x94, 0x67, 0xbd, 255}, {0x00, 0x8b, 0x8b, 255},
        {0xc2, 0x18, 0x8a, 255}, {0x7f, 0x7f, 0x00, 255},
    };
    constexpr int n = sizeof palette / sizeof palette[0];
    return palette[((position % n) + n) % n];
}
