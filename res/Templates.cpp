#include "Templates.h"

using namespace ControlStyle;

namespace {
constexpr ControlKind Push = ControlKind::PushButton, Radio = ControlKind::RadioButton,
                      List = ControlKind::ListBox, Group = ControlKind::GroupBox,
                      Picture = ControlKind::Picture;
}

const DialogTemplate& MainDialogTemplate() {
    static const DialogTemplate t{
        IDD_MAIN,
        {560, 475},
        {
            {IDC_FLATTEN, Push, "Flatten", {489, 336, 47, 46}, kNone, 0},
            {IDCANCEL, Push, "Cancel", {462, 13, 27, 26}, kNone, 0},
            {IDC_SURFACE_LIST, List, "", {26, 73, 162, 283}, kNotify | kVerticalScroll, 0},
            {IDC_TEXTURE_LIST, List, "", {231, 67, 170, 18}, kNotify | kDisabled, 0},
            {IDC_LOAD_MD3, Push, "Load MD3", {77, 395, 64, 60}, kNone, 0},
            {IDC_ABOUT, Push, "?", {437, 52, 43, 37}, kNone, 0},
            {IDC_PREVIEW_FRAME, Group, "", {273, 193, 203, 212}, kNone, 0},
            {-1, Picture, "", {461, 11, 30, 30}, kNone, IDB_CLOSE},
            {-1, Picture, "", {488, 335, 49, 48}, kNone, IDB_FLATTEN_DIAL},
            {-1, Picture, "", {435, 50, 46, 40}, kNone, IDB_ABOUT_DIAL},
            {-1, Picture, "", {75, 393, 67, 64}, kNone, IDB_LOAD_DIAL},
        }};
    return t;
}

const DialogTemplate& AboutDialogTemplate() {
    static const DialogTemplate t{IDD_ABOUT,
                                  {300, 284},
                                  {
                                      {IDOK, Push, "OK", {23, 224, 46, 44}, kStartsGroup, 0},
                                      {-1, Picture, "", {0, 0, 300, 285}, kNone, IDB_ABOUT_PICTURE},
                                      {-1, Picture, "", {12, 216, 59, 55}, kNone, IDB_OK_DIAL},
                                  }};
    return t;
}

const DialogTemplate& ExportDialogTemplate() {
    static const DialogTemplate t{
        IDD_EXPORT,
        {336, 68},
        {
            {IDOK, Push, "Save", {287, 5, 43, 16}, kNone, 0},
            {IDCANCEL, Push, "Cancel", {287, 47, 43, 16}, kNone, 0},
            {1011, Radio, "32", {77, 15, 43, 16}, kStartsGroup, 0},
            {1012, Radio, "64", {122, 15, 43, 16}, kNone, 0},
            {1013, Radio, "128", {167, 15, 43, 16}, kNone, 0},
            {1014, Radio, "256", {212, 15, 43, 16}, kNone, 0},
            {1015, Radio, "32", {77, 37, 43, 17}, kStartsGroup, 0},
            {1016, Radio, "64", {122, 37, 43, 17}, kNone, 0},
            {1017, Radio, "128", {167, 37, 43, 17}, kNone, 0},
            {1018, Radio, "256", {212, 37, 43, 17}, kNone, 0},
            {IDC_COPY, Push, "Copy", {287, 26, 43, 16}, kNone, 0},
            {-1, Picture, "", {0, 0, 336, 69}, kNone, IDB_EXPORT_BACKGROUND},
        }};
    return t;
}
