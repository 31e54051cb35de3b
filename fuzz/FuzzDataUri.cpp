// Any text as a data: URI: decoded or refused, and what base64 decodes
// encodes back to the same bytes' length.
#include "model/GltfReader.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Result<DataUri> decoded = DecodeDataUri(text);
    if (decoded.ok()) {
        const size_t comma = text.find(',');
        if (comma == std::string_view::npos)
            __builtin_trap();
        // Four characters carry three bytes: never more bytes than that.
        if (text.substr(0, comma).ends_with(";base64") &&
            decoded.value().bytes.size() > (size - comma - 1) / 4 * 3 + 2)
            __builtin_trap();
    } else if (decoded.error().reason.empty()) {
        __builtin_trap();
    }
    std::string out;
    if (PercentDecode(text, out) && out.size() > size)
        __builtin_trap();
    return 0;
}
