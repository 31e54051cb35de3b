#pragma once
// The program's windows, control by control, in pixels.
#include "platform/LaidOutDialog.h"

// The main window's size: the visible part of the skin picture.
inline constexpr QSize kMainWindowSize{560, 475};
// The status line, under the surface list in the MESHES panel.
inline constexpr QRect kStatusLine{31, 358, 154, 14};
// The preview frame's drawing area lies this far inside the frame's rectangle.
inline constexpr int kPreviewInsetLeft = 1, kPreviewInsetTop = 7;
inline constexpr int kPreviewInsetRight = 2, kPreviewInsetBottom = 2;
// Where the layout's (0, 0) lands inside the frame, and how much of the
// frame's width one texture unit spans (width minus this).
inline constexpr int kPreviewOriginX = 2, kPreviewOriginY = 8, kPreviewScaleShrink = 2;

// Where the program's pictures are, handed to the platform layer before the
// first window.
void UseGridwrightResources();

const DialogLayout& MainWindowLayout();
const DialogLayout& AboutDialogLayout();
const DialogLayout& ExportDialogLayout();
const DialogLayout& OptionsDialogLayout();
