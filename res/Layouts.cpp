#include "res/Layouts.h"

#include "platform/Resources.h"
#include "res/ArtWords.h"
#include "res/Texts.h"

#include <QCoreApplication>

using namespace ControlStyle;

namespace {
constexpr ControlKind Dial = ControlKind::Dial, Toggle = ControlKind::Toggle,
                      Button = ControlKind::Button, Text = ControlKind::Text,
                      List = ControlKind::List, Frame = ControlKind::Frame,
                      Picture = ControlKind::Picture;
}

void UseGridwrightResources() {
    static const bool installed = [] {
        SetResourceTable(
            {":/art/%1.png", ":/art/icon-%1.png", GW_TEXT(kResourceFailureText), &PaintArtWords});
        return true;
    }();
    (void)installed;
}

const DialogLayout& MainWindowLayout() {
    UseGridwrightResources();
    static const DialogLayout t{
        kMainWindowSize,
        {
            {"flatten",
             Dial,
             "Flatten",
             {428, 323, 120, 101},
             kNone,
             nullptr,
             {477, 323, 71, 71},
             {428, 405, 60, 18}},
            {"close", Dial, "Cancel", {462, 13, 27, 26}, kNone, nullptr},
            {"surfaces", List, "", {26, 73, 162, 283}, kVerticalScroll, nullptr},
            {"skin", List, "", {231, 67, 170, 18}, kDisabled, nullptr},
            {"open",
             Dial,
             "Load MD3",
             {64, 381, 144, 88},
             kNone,
             nullptr,
             {64, 381, 88, 88},
             {140, 402, 67, 46}},
            {"about", Dial, "?", {433, 45, 50, 50}, kNone, nullptr, {433, 45, 50, 50}},
            {"preview", Frame, "", {273, 193, 203, 212}, kNone, nullptr},
            {"", Picture, "", {461, 11, 30, 30}, kNone, "close"},
            {"", Picture, "", {488, 335, 49, 48}, kNone, "flatten-dial"},
            {"", Picture, "", {435, 50, 46, 40}, kNone, "about-dial"},
            {"", Picture, "", {75, 393, 67, 64}, kNone, "open-dial"},
        }};
    return t;
}

const DialogLayout& AboutDialogLayout() {
    UseGridwrightResources();
    static const DialogLayout t{{300, 284},
                                {
                                    {"ok", Dial, "OK", {23, 224, 46, 44}, kNone, nullptr},
                                    {"", Picture, "", {0, 0, 300, 285}, kNone, "about"},
                                    {"", Picture, "", {12, 216, 59, 55}, kNone, "ok-dial"},
                                }};
    return t;
}

const DialogLayout& ExportDialogLayout() {
    UseGridwrightResources();
    static const DialogLayout t{
        {336, 92},
        {
            {"save", Dial, "Save", {287, 5, 43, 16}, kNone, nullptr},
            {"cancel", Dial, "Cancel", {287, 47, 43, 16}, kNone, nullptr},
            {"width32", Toggle, "32", {77, 15, 43, 16}, kStartsGroup, nullptr},
            {"width64", Toggle, "64", {122, 15, 43, 16}, kNone, nullptr},
            {"width128", Toggle, "128", {167, 15, 43, 16}, kNone, nullptr},
            {"width256", Toggle, "256", {212, 15, 43, 16}, kNone, nullptr},
            {"height32", Toggle, "32", {77, 37, 43, 17}, kStartsGroup, nullptr},
            {"height64", Toggle, "64", {122, 37, 43, 17}, kNone, nullptr},
            {"height128", Toggle, "128", {167, 37, 43, 17}, kNone, nullptr},
            {"height256", Toggle, "256", {212, 37, 43, 17}, kNone, nullptr},
            {"copy", Dial, "Copy", {287, 26, 43, 16}, kNone, nullptr},
            {"options", Button, "Options…", {8, 71, 84, 18}, kNone, nullptr},
            {"summary", Text, "", {100, 71, 230, 18}, kNone, nullptr},
            {"", Picture, "", {0, 0, 336, 69}, kNone, "export-background"},
        }};
    return t;
}

const DialogLayout& OptionsDialogLayout() {
    UseGridwrightResources();
    // The panel lays out its own controls.
    static const DialogLayout t{{620, 322}, {}};
    return t;
}
