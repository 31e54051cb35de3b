#include "export/XmlText.h"

#include "model/Utf8.h"

#include <cstdint>

std::string XmlAttributeText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const Utf8Char ch = Utf8At(text, i);
        const size_t length = ch.length;
        // What XML 1.0 cannot hold goes, a character at a time; a byte that
        // is not UTF-8 goes alone, so that nothing after it is lost.
        const bool valid = length > 0 && ch.code != 0xFFFE && ch.code != 0xFFFF &&
                           (ch.code >= 0x20 || ch.code == '\t');
        if (!valid) {
            out += "\xEF\xBF\xBD";
            i += length > 0 ? length : 1;
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
