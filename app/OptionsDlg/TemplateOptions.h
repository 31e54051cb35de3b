#pragma once
// The template options a painter chose, kept across runs: the engine's style
// (its size is the last size chosen) and which surfaces go on the template.
#include "model/SurfaceStore.h"
#include "render/TemplateStyle.h"

#include <vector>

enum class SurfaceChoice { Selected, SameTexture, All };

struct TemplateOptions {
    TemplateStyle style; // the defaults give the classic templates, at 128 x 128
    SurfaceChoice surfaces = SurfaceChoice::Selected;

    bool operator==(const TemplateOptions& other) const;

    // From the user's settings; the defaults where nothing was saved.
    static TemplateOptions Load();
    void Save() const;
};

// The surfaces the template holds, in file order, for the selected one; empty
// when nothing is selected.
std::vector<const SurfaceRecord*> ChosenSurfaces(SurfaceChoice choice, int selected);
