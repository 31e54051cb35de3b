#pragma once
// Text as a JSON string, for every JSON the programs write (--dump, the
// batch's manifest): strict JSON whatever bytes a model or a pak holds.
#include <string>
#include <string_view>

// "\"...\"": '"' and '\' escaped; control bytes and bytes that are not part
// of valid UTF-8 written \u00XX (a byte read as Latin-1, so nothing is lost
// and no reader meets an invalid sequence); valid UTF-8 as it is.
std::string JsonString(std::string_view text);
