#pragma once
// File names as models and material files write them for the files beside
// them: either slash, "./" and ".." parts, and sometimes the absolute path of
// the machine they were made on.
#include <string>

// True for "/x", "\\x", "C:\x" or "C:/x": a name from some machine's root.
bool IsAbsoluteWritten(const std::string& written);
// '\' read as '/', empty and "." parts dropped, "a/.." folded away; ".."
// parts that go above the start stay in front ("../../textures/a.png").
std::string NormalWritten(const std::string& written);
// `written` as named from the file `base` (both as written): relative to
// base's folder; an absolute name stays as it is, normalised.
std::string JoinWritten(const std::string& base, const std::string& written);
// Its last part: "C:\art\skin.png" -> "skin.png".
std::string WrittenFileName(const std::string& written);
