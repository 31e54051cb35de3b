#pragma once
// The template as a layered Photoshop document: one 8-bit RGBA layer per
// part of the template (texture, islands, fill, overlaps, flipped, lines,
// seams: those drawn), named so, bottom first, over the merged picture that
// viewers without layers show. GIMP and Krita open it.
#include "render/TemplateImage.h"

#include <string>

// Empty when the file would pass the format's 4 GiB section limit.
std::string EncodePsd(const LayeredTemplate& layered);
