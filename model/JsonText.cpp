#include "model/JsonText.h"

#include <cstdint>

namespace {

// The length of the valid UTF-8 sequence starting at text[at]: 1 to 4, or 0
// when the bytes there are not one (overlong forms, surrogates and code
// points above U+10FFFF are not).
size_t Utf8Length(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    uint32_t code = 0, least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(at + k) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

std::string JsonString(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
            ++i;
            continue;
        }
        const size_t length = c < 0x20 ? 0 : Utf8Length(text, i);
        if (length == 0) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
            ++i;
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    return out + "\"";
}
