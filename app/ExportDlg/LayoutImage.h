#pragma once
#include "render/LayoutRaster.h"

#include <QImage>

// The template raster as a picture: black lines on white. Null when the
// picture cannot be made (out of memory).
QImage LayoutImage(const LayoutRaster& raster);
