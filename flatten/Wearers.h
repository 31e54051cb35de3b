#pragma once
// Which faces sample each texture file: over many models (a player's three
// parts, a game, a batch's pattern), through every skin that dresses them.
// A painter paints a file, not a model, so a texture's template holds every
// surface that wears it. Two names are one texture when the game resolves
// them to one file (case, slashes, extension, shader, the pak that wins).
#include "flatten/GameTextureSource.h"
#include "game/GameFiles.h"
#include "model/Model.h"
#include "model/SkinFile.h"
#include "render/TemplateStyle.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A model that may wear textures: read from its game when needed, or given
// read (the window's open model).
struct WearingModel {
    std::string gamePath; // as the game names it: "models/players/x/lower.md3"
    GameFile file;        // where it is read from; file.origin says where it comes from
    std::shared_ptr<const Model> model; // already read; null: read from `file`
};

// Which skins a scan goes through: the default one (or none), every one, or one named.
struct SkinChoice {
    enum Kind { Default, All, Named } kind = Default;
    std::string name;
    static SkinChoice Of(const std::string& option); // "", "all" or a name
};

struct TextureWearer {
    size_t model = 0; // in the scan's models
    int surface = 0;
    std::string surfaceName;
    std::vector<std::string> skins; // those it wears the texture through; "" for none
};

struct WornFile {
    std::string key;     // what makes two names one texture (TextureIdentity)
    std::string texture; // the file's game path, else the name as first worn
    std::string file;    // the file found ("ARCHIVE:PATH" or a path); empty when none
    std::string problem; // why none was found
    std::vector<TextureWearer> wearers; // by model, then surface
};

// A model that could not be gone through, or a skin of it.
struct WearFailure {
    size_t model = 0;
    std::string skin;
    std::string error;
};

struct WearerScan {
    std::vector<WearingModel> models;
    std::vector<std::vector<Skin>> skins; // each model's, as read
    std::vector<WornFile> textures;       // in order of first wear
    std::vector<WearFailure> failures;    // in model order
    // Models the scan read and kept for the templates (within a budget of
    // their files' bytes); null where a model is read again when drawn.
    std::vector<std::shared_ptr<const Model>> kept;
};

// The identity of a texture as found: the lower-case game path of the file
// the game resolves it to (its extension kept: base.tga and base.jpg are two
// files), the model and picture for one a model holds, else the name's key.
std::string TextureIdentity(const SurfaceTexture& located);

// Reads each model (on `jobs` threads), goes through the skins chosen and
// groups the surfaces by the texture file they wear. A model read here is
// let go again. `uvSet` >= 0 lays out that set where a model has it.
WearerScan ScanWearers(std::vector<WearingModel> models, GameTextureSource& textures,
                       const SkinChoice& skins, int uvSet = -1, int jobs = 1);

// The models of a scan, read again as templates need them and shared while
// any holds one: a game's models need not all be in memory at once.
class ModelShelf {
  public:
    ModelShelf(const WearerScan& scan, const GameFiles& files, int uvSet);
    Result<std::shared_ptr<const Model>> Get(size_t model);

  private:
    const WearerScan& m_scan;
    const GameFiles& m_files;
    int m_uvSet;
    std::mutex m_mutex;
    std::vector<std::weak_ptr<const Model>> m_held;
};

// One texture's template across its wearers: the surfaces to draw, in
// wearer order, each once, and a run per model naming its surfaces and skins.
struct WornTemplate {
    std::vector<std::shared_ptr<const Model>> models; // keeps the surfaces alive
    std::vector<const Surface*> records;
    std::vector<TemplateStyle::Run> runs;
    std::vector<std::pair<size_t, std::string>> unread; // models that could not be read again
};
WornTemplate GatherWearers(const WearerScan& scan, const WornFile& texture, ModelShelf& shelf);

// "models/x/lower.md3: legs (default, red), belt (red)"
std::string RunName(const WearerScan& scan, const WornFile& texture, size_t model);

// The texture a name means among those scanned: the file the game resolves
// the name to, else one no file was found for under that name (any case,
// either slash, extension optional); null when no surface wears it.
const WornFile* FindWornFile(const WearerScan& scan, GameTextureSource& textures,
                             const std::string& name);
