#pragma once
// Writes a whole file so that it is either complete or not there at all.
#include "model/Error.h"

#include <string>
#include <string_view>

// A regular file (new or existing) is written as an unnamed file in its
// target's folder and given the target's name only once every byte is on
// disk, so a failed write (a full disk) or a killed program leaves the former
// content intact and nothing else, and nobody ever sees a half-written file.
// Where the file system has no unnamed files, a short temporary name is used
// and removed on failure and on SIGINT, SIGTERM and SIGHUP. The new file
// keeps the former one's mode, and its owner when an administrator writes.
// A read-only file, a folder, a dangling link or a path whose folder cannot
// be written is refused and left unchanged. Targets that are not regular
// files (a device such as /dev/full) are written in place.
Status WriteFileSafely(const std::string& path, std::string_view bytes);

// For tests: always take the named-temporary-file way.
extern bool g_safeFileUnnamedOff;

// The name after the last '/', as a file's title.
std::string FileNameOf(const std::string& path);
