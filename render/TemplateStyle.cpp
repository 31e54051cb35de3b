#include "render/TemplateStyle.h"

#include <cstdio>

bool TemplateStyle::IsPlain() const {
    return line == Rgba{0, 0, 0, 255} && lineWidth == 1.0 && !antialias &&
           background == Rgba{255, 255, 255, 255} && !fill && !overlaps && !colourBySurface &&
           !underlay && !seams && !flipped && outline == Outline::All && !islands;
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
