#include "game/ModelAnimations.h"

#include "game/Archive.h"
#include "game/ModelGame.h"
#include "scene/Frames.h"

#include "model/Md5Reader.h"

#include <algorithm>
#include <tuple>
#include <utility>

void AttachMd5AnimationsBeside(Model& model, const GameFiles& files,
                               const std::string& modelGamePath) {
    std::string folder = modelGamePath;
    folder.erase(folder.rfind('/') == std::string::npos ? 0 : folder.rfind('/') + 1);
    std::vector<std::pair<std::string, Md5Animation>> read;
    int64_t filesRead = 0, bytesRead = 0, places = 0;
    for (const GameFile& file : files.List(folder)) {
        const std::string& path = file.gamePath;
        const std::string name = path.substr(folder.size());
        if (name.find('/') != std::string::npos || name.size() <= 8 ||
            GamePathKey(name.substr(name.size() - 8)) != ".md5anim")
            continue;
        if (filesRead == kMaxMd5AnimationFiles) {
            model.notes.push_back("more than " + std::to_string(kMaxMd5AnimationFiles) +
                                  " animation files lie beside the model; the first are read");
            break;
        }
        ++filesRead;
        if (bytesRead >= kMaxMd5AnimationBytesInAll) {
            model.notes.push_back(path + " is left out: the animation files before it are " +
                                  std::to_string(kMaxMd5AnimationBytesInAll) +
                                  " bytes in all, as many as are read");
            continue;
        }
        const int64_t left = kMaxMd5AnimationBytesInAll - bytesRead;
        const Result<SourceBytes> bytes =
            left < kMaxMd5AnimationBytes
                ? files.Read(file, left,
                             "with it the animation files would be more than the " +
                                 std::to_string(kMaxMd5AnimationBytesInAll) +
                                 " bytes in all that are read")
                : files.Read(file, kMaxMd5AnimationBytes,
                             "it is larger than the " + std::to_string(kMaxMd5AnimationBytes) +
                                 " bytes an animation file may have");
        if (!bytes.ok()) {
            model.notes.push_back(path + ": " + bytes.error().reason);
            continue;
        }
        bytesRead += int64_t(bytes.value().bytes->size());
        Result<Md5Animation> anim = ReadMd5Anim(bytes.value());
        if (!anim.ok()) {
            model.notes.push_back(path + ": " + anim.error().reason);
            continue;
        }
        // The frames are held until they are attached, and bounded as the
        // attaching bounds them.
        const int64_t more = int64_t(anim.value().frames.size() * anim.value().joints.size());
        if (places + more > kMaxJointTransforms) {
            model.notes.push_back(path + " is left out: with it the animations would move " +
                                  std::to_string(places + more) +
                                  " joint places; Gridwright holds at most " +
                                  std::to_string(kMaxJointTransforms));
            continue;
        }
        places += more;
        read.emplace_back(name.substr(0, name.size() - 8), std::move(anim.value()));
    }
    if (read.empty())
        return;
    if (const Status attached = AttachMd5Animations(model, std::move(read)); !attached.ok())
        model.notes.push_back(attached.error().reason);
}

namespace {

// MODEL.framegroups, as DarkPlaces reads it beside any model it loads: true
// when its groups are the model's animations. One that cannot be read, or
// holds no group, is a note, and the model keeps its own (as in the engine).
bool FrameGroupsOf(const Model& model, const GameFiles& files, const std::string& modelGamePath,
                   ModelAnimations& out) {
    const std::string path = modelGamePath + ".framegroups";
    const std::unique_ptr<GameFile> file = files.Find(path);
    if (!file)
        return false;
    const std::string ownKept = "; the model's own animations are listed";
    const Result<SourceBytes> bytes =
        files.Read(*file, int64_t(kMaxFrameGroupsBytes),
                   "it is longer than the " + std::to_string(kMaxFrameGroupsBytes) +
                       " bytes a framegroups file may be");
    if (!bytes.ok()) {
        out.notes.push_back(path + ": " + bytes.error().reason + ownKept);
        return false;
    }
    const Bytes& read = *bytes.value().bytes;
    Result<FrameGroups> parsed =
        ParseFrameGroups(std::string_view(reinterpret_cast<const char*>(read.data()), read.size()));
    if (!parsed.ok()) {
        out.notes.push_back(path + ": " + parsed.error().reason + ownKept);
        return false;
    }
    for (const std::string& note : parsed.value().notes)
        out.notes.push_back(path + ": " + note);
    if (parsed.value().animations.empty()) {
        out.notes.push_back(path + ": it holds no group (a first frame, a number of frames)" +
                            ownKept);
        return false;
    }
    out.animations = std::move(parsed.value().animations);
    out.source = path;
    const int frames = FrameCountOf(model);
    for (const Animation& a : out.animations)
        if (std::string past = FramesPastTheModel(a, frames); !past.empty())
            out.notes.push_back(path + ": " + past);
    return true;
}

} // namespace

Result<ModelAnimations> AnimationsOf(const Model& model, const GameFiles& files,
                                     const std::string& modelGamePath) {
    ModelAnimations out;
    std::string folder = modelGamePath;
    folder.erase(folder.rfind('/') == std::string::npos ? 0 : folder.rfind('/') + 1);
    const int own = model.format == "MD3" ? PlayerPartOf(modelGamePath) : -1;
    const std::string config = folder + "animation.cfg";
    const std::unique_ptr<GameFile> file = own >= 0 ? files.Find(config) : nullptr;
    // A .framegroups file replaces a model's own animations, but a Quake 3
    // player is driven by the animation.cfg beside its parts, which a part
    // keeps; and DarkPlaces loads no MD5 mesh (its animations are the
    // .md5anim files).
    if (model.format == "MD5") {
        // Read with the mesh (AttachMd5AnimationsBeside).
        out.animations = model.animations;
        if (!out.animations.empty())
            out.source = "the .md5anim files beside it";
        return out;
    }
    if (!file && FrameGroupsOf(model, files, modelGamePath, out))
        return out;
    if (file && files.Find(modelGamePath + ".framegroups"))
        out.notes.push_back(modelGamePath + ".framegroups is not read: a player's part follows " +
                            config);
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
