#include "model/JsonText.h"

#include "model/Utf8.h"

#include <cstdint>

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
        const size_t length = c < 0x20 ? 0 : Utf8At(text, i).length;
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
