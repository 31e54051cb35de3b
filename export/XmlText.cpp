#include "export/XmlText.h"

#include <cstdint>

std::string XmlAttributeText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80         ? 1
                        : (c >> 5) == 6  ? 2
                        : (c >> 4) == 14 ? 3
                        : (c >> 3) == 30 ? 4
                                         : 0;
        bool valid = length > 0 && i + length <= text.size();
        uint32_t code = length == 1   ? c
                        : length == 2 ? c & 0x1Fu
                        : length == 3 ? c & 0x0Fu
                                      : c & 0x07u;
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3Fu);
        }
        static constexpr uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= kLeast[length] && code <= 0x10FFFF &&
                !(code >= 0xD800 && code <= 0xDFFF) && code != 0xFFFE && code != 0xFFFF &&
                (code >= 0x20 || code == '\t');
        if (!valid) {
            out += "\xEF\xBF\xBD";
            i += length > 0 && i + length <= text.size() ? length : 1;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\t':
            out += "&#9;";
            break;
        default:
            out.append(text, i, length);
        }
        i += length;
    }
    return out;
}
