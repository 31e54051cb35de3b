#pragma once
// Writes a whole file so that it is either complete or not there at all.
#include "model/Outcome.h"

#include <string>
#include <string_view>

// A regular file (new or existing) is written beside its target under a
// private temporary name and renamed over it only once every byte is on
// disk, so a failed write (a full disk) leaves the former content intact and
// nobody ever sees a half-written file. A read-only file, a folder or a path
// whose folder cannot be written is refused and left unchanged. Targets that
// are not regular files (a device such as /dev/full) are written in place.
Outcome WriteFileSafely(const std::string& path, std::string_view bytes);

// The name after the last '/', as a file's title.
std::string FileNameOf(const std::string& path);
