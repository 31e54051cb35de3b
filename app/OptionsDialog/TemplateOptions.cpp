#include "app/OptionsDialog/TemplateOptions.h"

#include "app/OptionsDialog/ModelTextures.h"

#include <QSettings>
#include <algorithm>
#include <cmath>

QSettings GridwrightSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "Gridwright", "Gridwright");
}

namespace {

// Reads settings, falling back to defaults for values that are not valid and
// noting which keys did.
class SettingsReader {
  public:
    SettingsReader(const QSettings& s, QStringList* reset) : m_s(s), m_reset(reset) {}

    Rgba Colour(const char* key, const Rgba& fallback) {
        if (!m_s.contains(key))
            return fallback;
        Rgba c;
        if (ParseColour(m_s.value(key).toString().toStdString(), c))
            return c;
        return Reset(key, fallback);
    }
    // A number in [low, high]; NaN, infinities and text are not.
    double Number(const char* key, double fallback, double low, double high) {
        if (!m_s.contains(key))
            return fallback;
        bool ok = false;
        const double value = m_s.value(key).toDouble(&ok);
        if (ok && std::isfinite(value) && value >= low && value <= high)
            return value;
        return Reset(key, fallback);
    }
    int Whole(const char* key, int fallback, int low, int high) {
        const double value = Number(key, fallback, low, high);
        if (value != std::floor(value))
            return Reset(key, fallback);
        return int(value);
    }
    bool Flag(const char* key, bool fallback) {
        if (!m_s.contains(key))
            return fallback;
        const QString text = m_s.value(key).toString();
        if (text == "true" || text == "false")
            return text == "true";
        return Reset(key, fallback);
    }
    // One of `choices`; the first is the default.
    QString Choice(const char* key, const QStringList& choices) {
        const QString text = m_s.value(key, choices.front()).toString();
        if (choices.contains(text))
            return text;
        return Reset(key, choices.front());
    }

    // Layer names ("ao,light"); none when the key is empty or missing.
    std::vector<BakeLayer> BakeList(const char* key) {
        // A hand-written "ao,light" reads as a list of two.
        const QVariant value = m_s.value(key);
        const std::string text =
            (value.typeId() == QMetaType::QStringList ? value.toStringList().join(',')
                                                      : value.toString())
                .toStdString();
        if (text.empty())
            return {};
        Result<std::vector<BakeLayer>> layers = ParseBakeLayers(text);
        if (layers.ok())
            return layers.value();
        return Reset(key, std::vector<BakeLayer>{});
    }

  private:
    template <typename T> T Reset(const char* key, T fallback) {
        if (m_reset)
            m_reset->append(QString::fromLatin1(key));
        return fallback;
    }
    const QSettings& m_s;
    QStringList* m_reset;
};

} // namespace

bool TemplateOptions::operator==(const TemplateOptions& o) const {
    const TemplateStyle &a = style, &b = o.style;
    return a.width == b.width && a.height == b.height && a.wrap == b.wrap && a.line == b.line &&
           a.lineWidth == b.lineWidth && a.antialias == b.antialias &&
           a.background == b.background && a.fill == b.fill && a.overlaps == b.overlaps &&
           a.overlapColour == b.overlapColour && a.colourBySurface == b.colourBySurface &&
           a.seams == b.seams && a.flipped == b.flipped && a.outline == b.outline &&
           a.islands == b.islands && surfaces == o.surfaces && underlay == o.underlay &&
           underlayOpacity == o.underlayOpacity && textureSize == o.textureSize && bake == o.bake &&
           bakeRays == o.bakeRays;
}

TemplateOptions TemplateOptions::Load(QStringList* reset) {
    const QSettings s = GridwrightSettings();
    SettingsReader read(s, reset);
    TemplateOptions o;
    TemplateStyle& st = o.style;
    const TemplateStyle defaults;
    st.width = read.Whole("template/width", defaults.width, 1, 8192);
    st.height = read.Whole("template/height", defaults.height, 1, 8192);
    st.wrap = read.Choice("template/wrap", {"repeat", "clip"}) == "clip" ? WrapMode::Clip
                                                                         : WrapMode::Repeat;
    st.line = read.Colour("template/line", defaults.line);
    st.lineWidth = read.Number("template/lineWidth", defaults.lineWidth, 1e-3, kMaxLineWidth);
    st.antialias = read.Flag("template/antialias", false);
    if (s.value("template/background").toString() == "none")
        st.background.reset();
    else
        st.background = read.Colour("template/background", *defaults.background);
    if (s.contains("template/fill"))
        st.fill = read.Colour("template/fill", Rgba{64, 128, 255, 64});
    st.overlaps = read.Flag("template/overlaps", false);
    st.overlapColour = read.Colour("template/overlapColour", defaults.overlapColour);
    st.colourBySurface = read.Flag("template/colourBySurface", false);
    if (s.contains("template/seams"))
        st.seams = read.Colour("template/seams", kDefaultSeamColour);
    if (s.contains("template/flipped"))
        st.flipped = read.Colour("template/flipped", kDefaultFlippedColour);
    st.outline = read.Choice("template/outline", {"all", "islands"}) == "islands" ? Outline::Islands
                                                                                  : Outline::All;
    st.islands = read.Flag("template/islands", false);
    o.underlay = read.Flag("template/underlay", false);
    o.underlayOpacity = read.Number("template/underlayOpacity", 0.5, 0.0, 1.0);
    o.textureSize = read.Flag("template/textureSize", true);
    o.bake = read.BakeList("template/bake");
    o.bakeRays = read.Whole("template/bakeRays", kDefaultOcclusionRays, 1, kMaxOcclusionRays);
    const QString surfaces =
        read.Choice("template/surfaces", {"selected", "texture", "player", "game", "all"});
    o.surfaces = surfaces == "texture"  ? SurfaceChoice::SameTexture
                 : surfaces == "player" ? SurfaceChoice::PlayerTexture
                 : surfaces == "game"   ? SurfaceChoice::GameTexture
                 : surfaces == "all"    ? SurfaceChoice::All
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
    for (const auto& [key, colour] :
         {std::pair{"template/seams", st.seams}, std::pair{"template/flipped", st.flipped}}) {
        if (colour)
            s.setValue(key, QString::fromStdString(FormatColour(*colour)));
        else
            s.remove(key);
    }
    s.setValue("template/outline", st.outline == Outline::Islands ? "islands" : "all");
    s.setValue("template/islands", st.islands);
    s.setValue("template/underlay", underlay);
    s.setValue("template/underlayOpacity", underlayOpacity);
    s.setValue("template/textureSize", textureSize);
    QStringList names;
    for (const BakeLayer layer : bake)
        names << QString::fromLatin1(InfoOf(layer).name);
    s.setValue("template/bake", names.join(','));
    s.setValue("template/bakeRays", bakeRays);
    s.setValue("template/surfaces", surfaces == SurfaceChoice::SameTexture     ? "texture"
                                    : surfaces == SurfaceChoice::PlayerTexture ? "player"
                                    : surfaces == SurfaceChoice::GameTexture   ? "game"
                                    : surfaces == SurfaceChoice::All           ? "all"
                                                                               : "selected");
}

TemplateRequest RequestFor(const TemplateOptions& options, const ModelTextures& textures,
                           int selected) {
    TemplateRequest request;
    const std::string worn = textures.WornTextureName(selected);
    if (options.surfaces == SurfaceChoice::All)
        request.all = true;
    else if (options.surfaces != SurfaceChoice::Selected && !TextureKey(worn).empty())
        request.texture = worn;
    else
        request.surfaces = {std::to_string(selected)};
    request.skin = textures.ChosenSkin();
    request.style = options.style;
    request.textureSize = options.textureSize;
    request.underlay = options.underlay;
    request.underlayOpacity = options.underlayOpacity;
    request.primary = selected;
    return request;
}

namespace {

// The texture's wearers in the player or the game in place of the model's
// own: a model with no other wearer keeps the model's template.
void AddOtherWearers(SurfaceChoice choice, ModelTextures& textures, int selected,
                     StyledTemplate& t) {
    std::shared_ptr<const WearerScan> scan;
    if (choice == SurfaceChoice::GameTexture)
        scan = textures.GameWearers();
    if (!scan) // the player's until the game is scanned
        scan = textures.PlayerWearers();
    if (!scan)
        return;
    const WornFile* worn = textures.WornFileOf(*scan, selected);
    if (!worn)
        return;
    const bool others =
        std::any_of(worn->wearers.begin(), worn->wearers.end(), [&](const TextureWearer& w) {
            return scan->models[w.model].model != textures.model();
        });
    if (!others)
        return;
    const WornTemplate& gathered = textures.Gathered(scan, *worn);
    if (gathered.records.empty())
        return;
    t.surfaces = gathered.records;
    t.models = gathered.models;
    t.style.runs = gathered.runs;
    for (const auto& [model, why] : gathered.unread)
        t.warnings.push_back(scan->models[model].gamePath + ": " + why);
}

} // namespace

StyledTemplate StyleFor(const TemplateOptions& options, ModelTextures& textures, int selected) {
    StyledTemplate t{options.style, nullptr, {}, {}, false, {}};
    const Model* model = textures.model().get();
    if (!model || selected < 0 || selected >= model->SurfaceCount())
        return t;
    const Result<TemplatePlan> planned =
        PlanTemplate(*model, RequestFor(options, textures, selected), textures);
    if (!planned.ok())
        return t;
    const TemplatePlan& plan = planned.value();
    t.style = plan.style;
    t.texture = plan.texture;
    t.surfaces = plan.surfaces;
    for (const Error& warning : plan.warnings)
        t.warnings.push_back(warning.reason);
    t.sizeFromTexture = options.textureSize && plan.texturesRead > 0 && plan.sizeConflict.empty();
    if (!plan.sizeConflict.empty())
        t.warnings.push_back("the surfaces drawn wear textures of different sizes: " +
                             plan.sizeConflict + "; the template keeps the size chosen");
    if (options.surfaces == SurfaceChoice::PlayerTexture ||
        options.surfaces == SurfaceChoice::GameTexture)
        AddOtherWearers(options.surfaces, textures, selected, t);
    return t;
}

std::vector<const Surface*> ChosenSurfaces(SurfaceChoice choice, ModelTextures& textures,
                                           int selected) {
    TemplateOptions options;
    options.surfaces = choice;
    options.textureSize = false;
    return StyleFor(options, textures, selected).surfaces;
}
