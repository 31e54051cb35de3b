#include "res/Templates.h"

#include "platform/Resources.h"
#include "res/Texts.h"

using namespace ControlStyle;

namespace {
constexpr ControlKind Push = ControlKind::PushButton, Radio = ControlKind::RadioButton,
                      Button = ControlKind::Button, Text = ControlKind::Text,
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
            {IDC_FLATTEN,
             Push,
             "Flatten",
             {428, 323, 120, 101},
             kNone,
             0,
             {477, 323, 71, 71},
             {428, 405, 60, 18}},
            {IDCANCEL, Push, "Cancel", {462, 13, 27, 26}, kNone, 0},
            {IDC_SURFACE_LIST, List, "", {26, 73, 162, 283}, kNotify | kVerticalScroll, 0},
            {IDC_TEXTURE_LIST, List, "", {231, 67, 170, 18}, kNotify | kDisabled, 0},
            {IDC_LOAD_MD3,
             Push,
             "Load MD3",
             {64, 381, 144, 88},
             kNone,
             0,
             {64, 381, 88, 88},
             {140, 402, 67, 46}},
            {IDC_ABOUT, Push, "?", {433, 45, 50, 50}, kNone, 0, {433, 45, 50, 50}},
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
        {336, 92},
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
            {IDC_OPTIONS, Button, "Options…", {8, 71, 84, 18}, kNone, 0},
            {IDC_TEMPLATE_SUMMARY, Text, "", {100, 71, 230, 18}, kNone, 0},
            {-1, Picture, "", {0, 0, 336, 69}, kNone, IDB_EXPORT_BACKGROUND},
        }};
    return t;
}

const DialogTemplate& OptionsDialogTemplate() {
    UseGridwrightResources();
    // The panel lays out its own controls.
    static const DialogTemplate t{{620, 322}, {}};
    return t;
}
