#include "app/OptionsDlg/TemplateOptions.h"

#include "app/OptionsDlg/SurfaceTextures.h"

#include <QSettings>
#include <algorithm>

QSettings GridwrightSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "Gridwright", "Gridwright");
}

namespace {

Rgba ColourSetting(const QSettings& s, const char* key, const Rgba& fallback) {
    Rgba c;
    return ParseColour(s.value(key, QString()).toString().toStdString(), c) ? c : fallback;
}

} // namespace

bool TemplateOptions::operator==(const TemplateOptions& o) const {
    const TemplateStyle &a = style, &b = o.style;
    return a.width == b.width && a.height == b.height && a.wrap == b.wrap && a.line == b.line &&
           a.lineWidth == b.lineWidth && a.antialias == b.antialias &&
           a.background == b.background && a.fill == b.fill && a.overlaps == b.overlaps &&
           a.overlapColour == b.overlapColour && a.colourBySurface == b.colourBySurface &&
           surfaces == o.surfaces && underlay == o.underlay &&
           underlayOpacity == o.underlayOpacity && textureSize == o.textureSize;
}

TemplateOptions TemplateOptions::Load() {
    const QSettings s = GridwrightSettings();
    TemplateOptions o;
    TemplateStyle& st = o.style;
    const TemplateStyle defaults;
    // Anything out of range in a hand-edited file falls back to the default.
    st.width = std::clamp(s.value("template/width", defaults.width).toInt(), 1, 8192);
    st.height = std::clamp(s.value("template/height", defaults.height).toInt(), 1, 8192);
    st.wrap = s.value("template/wrap").toString() == "clip" ? WrapMode::Clip : WrapMode::Repeat;
    st.line = ColourSetting(s, "template/line", defaults.line);
    const double width = s.value("template/lineWidth", defaults.lineWidth).toDouble();
    st.lineWidth = width > 0 && width <= kMaxLineWidth ? width : defaults.lineWidth;
    st.antialias = s.value("template/antialias", false).toBool();
    const QString background = s.value("template/background").toString();
    if (background == "none")
        st.background.reset();
    else
        st.background = ColourSetting(s, "template/background", *defaults.background);
    if (s.contains("template/fill")) {
        Rgba fill;
        if (ParseColour(s.value("template/fill").toString().toStdString(), fill))
            st.fill = fill;
    }
    st.overlaps = s.value("template/overlaps", false).toBool();
    st.overlapColour = ColourSetting(s, "template/overlapColour", defaults.overlapColour);
    st.colourBySurface = s.value("template/colourBySurface", false).toBool();
    o.underlay = s.value("template/underlay", false).toBool();
    o.underlayOpacity = std::clamp(s.value("template/underlayOpacity", 0.5).toDouble(), 0.0, 1.0);
    o.textureSize = s.value("template/textureSize", true).toBool();
    const QString surfaces = s.value("template/surfaces").toString();
    o.surfaces = surfaces == "texture" ? SurfaceChoice::SameTexture
                 : surfaces == "all"   ? SurfaceChoice::All
                                       : SurfaceChoice::Selected;
    return o;
}

void TemplateOptions::Save() const {
    QSettings s = GridwrightSettings();
    const TemplateStyle& st = style;
    s.setValue("template/width", st.width);
    s.setValue("template/height", st.height);
    s.setValue("template/wrap", st.wrap == WrapMode::Clip ? "clip" : "repeat");
    s.setValue("template/line", QString::fromStdString(FormatColour(st.line)));
    s.setValue("template/lineWidth", st.lineWidth);
    s.setValue("template/antialias", st.antialias);
    s.setValue("template/background",
               st.background ? QString::fromStdString(FormatColour(*st.background)) : "none");
    if (st.fill)
        s.setValue("template/fill", QString::fromStdString(FormatColour(*st.fill)));
    else
        s.remove("template/fill");
    s.setValue("template/overlaps", st.overlaps);
    s.setValue("template/overlapColour", QString::fromStdString(FormatColour(st.overlapColour)));
    s.setValue("template/colourBySurface", st.colourBySurface);
    s.setValue("template/underlay", underlay);
    s.setValue("template/underlayOpacity", underlayOpacity);
    s.setValue("template/textureSize", textureSize);
    s.setValue("template/surfaces", surfaces == SurfaceChoice::SameTexture ? "texture"
                                    : surfaces == SurfaceChoice::All       ? "all"
                                                                           : "selected");
}

TemplateStyle StyleFor(const TemplateOptions& options, int selected) {
    TemplateStyle style = options.style;
    if (!options.underlay && !options.textureSize)
        return style;
    const TextureImage* picture = PictureOf(TextureOfSurface(selected));
    if (!picture)
        return style;
    if (options.underlay) {
        style.underlay = picture;
        style.underlayOpacity = options.underlayOpacity;
    }
    if (options.textureSize) {
        style.width = picture->width;
        style.height = picture->height;
    }
    return style;
}

std::vector<const SurfaceRecord*> ChosenSurfaces(SurfaceChoice choice, int selected) {
    std::vector<const SurfaceRecord*> records;
    const int count = LoadedSurfaceCount();
    if (selected < 0 || selected >= count)
        return records;
    auto key = [](const SurfaceRecord& r) { return TextureKey(NameText(r.shaderName)); };
    for (int i = 0; i < count; ++i) {
        const bool wanted = choice == SurfaceChoice::All || i == selected ||
                            (choice == SurfaceChoice::SameTexture &&
                             key(g_surfaces[i]) == key(g_surfaces[selected]));
        if (wanted)
            records.push_back(&g_surfaces[i]);
    }
    return records;
}
