#pragma once
// The program's dialogs, control by control, in pixels.
#include "Dialog.h"

// Main window (template 102).
inline constexpr int IDC_SURFACE_LIST = 1001;
inline constexpr int IDC_TEXTURE_LIST = 1002;
inline constexpr int IDC_LOAD_MD3 = 1003;
inline constexpr int IDC_FLATTEN = 1005;
inline constexpr int IDC_PREVIEW_FRAME = 1006;
inline constexpr int IDC_ABOUT = 57664;
// Export dialog (template 129).
inline constexpr int IDC_WIDTH_32 = 1011;
inline constexpr int IDC_HEIGHT_32 = 1015;
inline constexpr int IDC_COPY = 1019;

inline constexpr int IDD_ABOUT = 100;
inline constexpr int IDD_MAIN = 102;
inline constexpr int IDD_EXPORT = 129;
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

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& AboutDialogTemplate();
const DialogTemplate& ExportDialogTemplate();
