#include "res/Templates.h"

#include "platform/Resources.h"
#include "res/Texts.h"

using namespace ControlStyle;

namespace {
constexpr ControlKind Push = ControlKind::PushButton, Radio = ControlKind::RadioButton,
                      List = ControlKind::ListBox, Group = ControlKind::GroupBox,
                      Picture = ControlKind::Picture;
}

void UseGridwrightResources() {
    static const bool installed = [] {
        SetResourceTable({":/art/%1.png", ":/art/%1-%2.png",
                          [](int id) {
                              return id == IDS_ABOUTBOX ? QString::fromUtf8(kAboutMenuText)
                                                        : QString();
                          },
                          QString::fromUtf8(kResourceFailureText)});
        return true;
    }();
    (void)installed;
}

const DialogTemplate& MainDialogTemplate() {
    UseGridwrightResources();
    static const DialogTemplate t{
        kMainWindowSize,
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
    UseGridwrightResources();
    static const DialogTemplate t{{300, 284},
                                  {
                                      {IDOK, Push, "OK", {23, 224, 46, 44}, kStartsGroup, 0},
                                      {-1, Picture, "", {0, 0, 300, 285}, kNone, IDB_ABOUT_PICTURE},
                                      {-1, Picture, "", {12, 216, 59, 55}, kNone, IDB_OK_DIAL},
                                  }};
    return t;
}

const DialogTemplate& ExportDialogTemplate() {
    UseGridwrightResources();
    static const DialogTemplate t{
        {336, 68},
        {
            {IDOK, Push, "Save", {287, 5, 43, 16}, kNone, 0},
            {IDCANCEL, Push, "Cancel", {287, 47, 43, 16}, kNone, 0},
            {IDC_WIDTH_32, Radio, "32", {77, 15, 43, 16}, kStartsGroup, 0},
            {IDC_WIDTH_64, Radio, "64", {122, 15, 43, 16}, kNone, 0},
            {IDC_WIDTH_128, Radio, "128", {167, 15, 43, 16}, kNone, 0},
            {IDC_WIDTH_256, Radio, "256", {212, 15, 43, 16}, kNone, 0},
            {IDC_HEIGHT_32, Radio, "32", {77, 37, 43, 17}, kStartsGroup, 0},
            {IDC_HEIGHT_64, Radio, "64", {122, 37, 43, 17}, kNone, 0},
            {IDC_HEIGHT_128, Radio, "128", {167, 37, 43, 17}, kNone, 0},
            {IDC_HEIGHT_256, Radio, "256", {212, 37, 43, 17}, kNone, 0},
            {IDC_COPY, Push, "Copy", {287, 26, 43, 16}, kNone, 0},
            {-1, Picture, "", {0, 0, 336, 69}, kNone, IDB_EXPORT_BACKGROUND},
        }};
    return t;
}
