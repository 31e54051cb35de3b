#pragma once
// The template as an OpenRaster file (Krita, MyPaint, GIMP 3): a zip of one
// PNG per layer, the stack that orders and names them, the merged picture
// and a thumbnail.
#include "render/TemplateImage.h"

#include <string>

// Empty when the archive cannot be made (memory).
std::string EncodeOra(const LayeredTemplate& layered);
