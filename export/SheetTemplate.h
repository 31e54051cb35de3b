#pragma once
// A sheet: several templates side by side, each at its own size under its
// label, in one file, for printing every texture of a model at once.
#include "export/TemplateFile.h"
#include "model/Error.h"
#include "model/Model.h"
#include "render/TemplateStyle.h"

#include <string>
#include <vector>

struct SheetPage {
    std::string label;                   // "models/players/x/upper_default: base.tga 512x512"
    std::vector<const Surface*> records; // what the page's template draws
    TemplateStyle style;                 // its own size; every option applies as for one template
};

struct SheetBox {
    int x = 0, y = 0, width = 0, height = 0;
};
struct SheetPlace {
    SheetBox label; // the strip above the page its label is drawn in
    SheetBox page;  // where the page's template lies, at its own size
};
struct SheetLayout {
    int width = 0, height = 0;
    std::vector<SheetPlace> places; // one per page, in order
};

// Beyond this on a side the sheet is refused: a flat picture of it already
// takes 1 GiB.
inline constexpr int kMaxSheetSide = 16384;
inline constexpr int kSheetMargin = 16;      // around the whole sheet
inline constexpr int kSheetGap = 16;         // between pages and between rows
inline constexpr int kSheetLabelHeight = 20; // the label strip above each page
inline constexpr size_t kMaxSheetLabelCharacters = 512;
// A layered sheet's pages, each a layer: painting programs slow down long
// before, and Photoshop's own limit is 8000.
inline constexpr size_t kMaxSheetLayers = 4000;

// The pages in rows, in the given order, left to right, each row about as
// wide as the square root of the pages' whole area (the squarest sheet of a
// few such widths) but never narrower than the widest page. An error when
// there is no page or the sheet would pass kMaxSheetSide.
Result<SheetLayout> LayOutSheet(const std::vector<SheetPage>& pages);

// A label as it is shown: valid UTF-8 of printable characters only (invalid
// bytes as U+FFFD, control and direction characters as spaces or dropped),
// at most kMaxSheetLabelCharacters, cut with "…".
std::string SheetLabelText(const std::string& label);

// The pages laid out side by side in rows, each at its own size (never
// scaled), each with its label above it, on one canvas whose background is
// the first page's (white when it has none); the bytes of the format, empty
// when they cannot be made (memory). Layered formats hold a layer per page
// named after its label, over a "background" layer and under a "labels" one.
Result<std::string> BuildSheetBytes(const std::vector<SheetPage>& pages, TemplateFormat format,
                                    const std::string& title);

// Builds and writes the sheet safely, in the format of the path's
// extension; the title is the file's name.
Status WriteSheetFile(const std::string& path, const std::vector<SheetPage>& pages);
