#pragma once
// One template request, filled alike by the window's options panel and by
// the command line's options, and turned into what the template engine
// draws by one function: the window's output equals the command line's by
// construction.
#include "image/TextureImage.h"
#include "model/Error.h"
#include "model/Model.h"
#include "model/SkinFile.h"
#include "model/TextureFinder.h"
#include "render/TemplateStyle.h"

#include <memory>
#include <string>
#include <vector>

struct TemplateRequest {
    // Which surfaces, each once, in this order: those named (an index when
    // only digits below the surface count, else a name, exact first, then
    // regardless of case), then every surface that wears `texture` through
    // the skin (any case, either slash, extension optional), then, with
    // `all`, every surface. Nothing asked: surface 0.
    std::vector<std::string> surfaces;
    std::string texture;
    bool all = false;
    const Skin* skin = nullptr; // the skin the surfaces wear; null: their own names
    TemplateStyle style;        // its size is the one chosen; no underlay yet
    bool textureSize = false;   // the size of the texture the drawn surfaces share
    bool underlay = false;      // that texture under the layout
    double underlayOpacity = 0.5;
    // The surface whose texture goes under the layout when the drawn ones
    // wear several; -1: the first drawn.
    int primary = -1;
};

// Decoded textures, as each front end keeps them (a run's, a window's cache).
class TextureSource {
  public:
    virtual ~TextureSource() = default;
    // The picture of an image file, or null and why not.
    virtual std::shared_ptr<const TextureImage> Picture(const std::string& file,
                                                        std::string& problem) = 0;
    // The texture a surface of the model wears, its file looked up.
    virtual SurfaceTexture Locate(const Model& model, const Surface& surface, const Skin* skin) = 0;
};

struct TemplatePlan {
    std::vector<int> indices;                    // the surfaces drawn, in order
    std::vector<const Surface*> surfaces;        // the same, for the engine
    std::vector<SurfaceTexture> worn;            // what each wears, its file looked up
    TemplateStyle style;                         // with the size and the underlay settled
    std::shared_ptr<const TextureImage> texture; // what style.underlay points to
    // The drawn surfaces wear textures of different sizes, so no one size is
    // "the texture's": "a.tga (256x256), b.tga (512x512)"; empty otherwise.
    // The style keeps the size chosen.
    std::string sizeConflict;
    int texturesRead = 0; // the drawn surfaces' textures found and decoded
    // Things to tell the painter: textures not found or not read, several
    // textures under one template, layouts with no area (EmptyLayout). Each
    // is its reason alone, a phrase without a final stop.
    std::vector<Error> warnings;
};

// The plan for a request on a model; an error when a surface asked for does
// not exist (NoSuchSurface) or no surface wears the texture (NoSuchTexture),
// its reason a whole phrase that names the model.
Result<TemplatePlan> PlanTemplate(const Model& model, const TemplateRequest& request,
                                  TextureSource& textures);

// The index of a surface named as the request names them; -1 when none.
int FindSurface(const Model& model, const std::string& wanted);
