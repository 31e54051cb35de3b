// MODEL's named animations, one a line: name, first frame, frames (negative
// when played backwards, as animation.cfg writes it), looping frames, fps.
#include "cli/Commands.h"
#include "game/ModelAnimations.h"
#include "game/OpenModel.h"

#include <cstdio>

int AnimationsCommand(const FlattenRequest& q, Console& io) {
    if (q.model.empty())
        return Usage("no model given: --animations lists MODEL's animations", io);
    const Result<OpenedModel> opened = OpenModel(q.model, q.games);
    if (!opened.ok()) {
        Say(io, opened.error().Message());
        return kCannotLoad;
    }
    const OpenedModel& m = opened.value();
    const Result<ModelAnimations> found = AnimationsOf(m.model, *m.game.files, m.game.gamePath);
    if (!found.ok()) {
        Say(io, found.error().Message());
        return kCannotLoad;
    }
    for (const std::string& note : m.model.notes)
        Say(io, "note: " + note + ".");
    for (const std::string& note : found.value().notes)
        Say(io, "note: " + note + ".");
    if (found.value().animations.empty())
        Say(io, "note: \"" + q.model +
                    "\" names no animations (no animation.cfg beside it, no named frames); "
                    "its frames play one after another.");
    for (const Animation& a : found.value().animations)
        std::fprintf(io.out, "%s\t%d\t%d\t%d\t%g\n", EscapeField(a.name).c_str(), a.first,
                     a.reversed ? -a.frames : a.frames, a.looping, a.fps);
    return FinishOutput(io);
}
