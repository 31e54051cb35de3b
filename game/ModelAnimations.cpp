#include "game/ModelAnimations.h"

#include "game/ModelGame.h"
#include "scene/Frames.h"

#include <tuple>

Result<ModelAnimations> AnimationsOf(const Model& model, const GameFiles& files,
                                     const std::string& modelGamePath) {
    ModelAnimations out;
    const int own = model.format == "MD3" ? PlayerPartOf(modelGamePath) : -1;
    if (own < 0) {
        if (!model.animations.empty()) {
            out.animations = model.animations;
            out.source = "the model file";
        } else {
            out.animations = GroupFramesByName(model.frameNames);
            if (!out.animations.empty())
                out.source = "frame names";
        }
        return out;
    }
    std::string folder = modelGamePath;
    folder.erase(folder.rfind('/') == std::string::npos ? 0 : folder.rfind('/') + 1);
    const std::string config = folder + "animation.cfg";
    const std::unique_ptr<GameFile> file = files.Find(config);
    if (!file)
        return out; // a player without animations shows its frames as they are
    const Result<SourceBytes> bytes =
        files.Read(*file, int64_t(kMaxAnimationConfigBytes),
                   "it is longer than the " + std::to_string(kMaxAnimationConfigBytes) +
                       " bytes the game reads of an animation file");
    if (!bytes.ok())
        return Error{"Cannot read", config, bytes.error().reason};
    const Bytes& read = *bytes.value().bytes;
    const std::string_view text(reinterpret_cast<const char*>(read.data()), read.size());
    Result<PlayerAnimations> parsed = ParseAnimationConfig(text);
    if (!parsed.ok())
        return Error{"", config, parsed.error().reason};
    out.source = config;
    out.animations = std::move(parsed.value().animations);
    for (std::string& note : parsed.value().notes)
        out.notes.push_back(config + ": " + note);
    // Each animation against the frames of the model it moves.
    std::array<int, 3> frames{-1, -1, -1};
    frames[size_t(own)] = FrameCountOf(model);
    for (const PlayerPart& part : FindPlayerParts(files, modelGamePath))
        if (part.model)
            frames[size_t(PlayerPartOf(part.gamePath))] = FrameCountOf(*part.model);
    for (const Animation& a : out.animations) {
        const bool legs = a.part == Animation::Part::Legs || a.part == Animation::Part::Both;
        const bool torso = a.part == Animation::Part::Torso || a.part == Animation::Part::Both;
        for (const auto& [moves, part, name] :
             {std::tuple{legs, 0, "lower.md3"}, std::tuple{torso, 1, "upper.md3"}}) {
            if (!moves || frames[size_t(part)] < 0)
                continue;
            if (std::string past = FramesPastTheModel(a, frames[size_t(part)]); !past.empty())
                out.notes.push_back(past + " (" + name + ")");
        }
    }
    return out;
}
