#pragma once
// The model formats Gridwright reads, in one table: what the open dialog,
// drag and drop, the model browser, the command line, the desktop file types
// and the manual page all take. A reader is picked by the file's first
// bytes, never by its name; the extensions only say which files to offer.
#include "model/ByteSource.h"
#include "model/Error.h"
#include "model/Model.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

struct ModelFormat {
    std::string_view name;                    // "MD3"
    std::string_view label;                   // for the file dialog: "Quake III models"
    std::vector<std::string_view> extensions; // lower case, without the dot
    std::string_view magic; // the bytes the file starts with; empty: known by its name alone (OBJ)
    std::string_view mimeType; // the desktop's type for it
    Result<Model> (*read)(const SourceBytes&);
};

// Every format, in the order they are offered.
std::span<const ModelFormat> ModelFormats();
// The format whose magic starts these bytes; null when none does.
const ModelFormat* ModelFormatOfBytes(std::span<const uint8_t> bytes);
// True when the name ends in an extension of some format (any letter case).
bool HasModelExtension(std::string_view name);
// Every extension, "*.md3 *.mdl ..." for a file dialog's filter.
std::string ModelFilePatterns();

// The model those bytes hold, read by the format their magic names; a file
// of no known format is refused with the formats that are known.
Result<Model> ReadModel(const SourceBytes& source);
// Reads a model file whole, opened once, then ReadModel; the files it names
// beside itself are read from its folder.
Result<Model> LoadModelFile(const std::string& path);
