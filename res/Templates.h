#pragma once
// The program's dialogs, control by control, in pixels.
#include "platform/Dialog.h"

// Main window (template 102).
inline constexpr int IDC_SURFACE_LIST = 1001;
inline constexpr int IDC_TEXTURE_LIST = 1002;
inline constexpr int IDC_LOAD_MD3 = 1003;
inline constexpr int IDC_FLATTEN = 1005;
inline constexpr int IDC_PREVIEW_FRAME = 1006;
inline constexpr int IDC_ABOUT = 57664;
// Export dialog (template 129): a row of width sizes, a row of height sizes.
inline constexpr int IDC_WIDTH_32 = 1011;
inline constexpr int IDC_WIDTH_64 = 1012;
inline constexpr int IDC_WIDTH_128 = 1013;
inline constexpr int IDC_WIDTH_256 = 1014;
inline constexpr int IDC_HEIGHT_32 = 1015;
inline constexpr int IDC_HEIGHT_64 = 1016;
inline constexpr int IDC_HEIGHT_128 = 1017;
inline constexpr int IDC_HEIGHT_256 = 1018;
inline constexpr int IDC_COPY = 1019;
inline constexpr int IDC_OPTIONS = 1020;
inline constexpr int IDC_TEMPLATE_SUMMARY = 1021;

inline constexpr int IDR_ICON = 128;
inline constexpr int IDB_CLOSE = 130;
inline constexpr int IDB_ABOUT_DIAL = 131;
inline constexpr int IDB_SKIN = 132;
inline constexpr int IDB_OK_DIAL = 133;
inline constexpr int IDB_LOAD_DIAL = 134;
inline constexpr int IDB_EXPORT_BACKGROUND = 135;
inline constexpr int IDB_ABOUT_PICTURE = 136;
inline constexpr int IDB_FLATTEN_DIAL = 137;
inline constexpr int IDS_ABOUTBOX = 101;

// The menu command of the about box, and the mask that ignores the low four
// bits of a system command (the window system uses them).
inline constexpr int IDM_ABOUTBOX = 0x0010;
inline constexpr int SC_CLOSE = 0xF060;
inline constexpr int kSysCommandMask = 0xFFF0;

// The main window's size: the visible part of the skin picture.
inline constexpr QSize kMainWindowSize{560, 475};
// The status line, under the surface list in the MESHES panel.
inline constexpr QRect kStatusLine{24, 358, 168, 14};
// The preview frame's drawing area lies this far inside the frame's rectangle.
inline constexpr int kPreviewInsetLeft = 1, kPreviewInsetTop = 7;
inline constexpr int kPreviewInsetRight = 2, kPreviewInsetBottom = 2;
// Where the layout's (0, 0) lands inside the frame, and how much of the
// frame's width one texture unit spans (width minus this).
inline constexpr int kPreviewOriginX = 2, kPreviewOriginY = 8, kPreviewScaleShrink = 2;

// The program's pictures and strings, handed to the platform layer on the
// first use of any template.
void UseGridwrightResources();

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& AboutDialogTemplate();
const DialogTemplate& ExportDialogTemplate();
const DialogTemplate& OptionsDialogTemplate();
