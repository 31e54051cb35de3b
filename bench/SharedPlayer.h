#pragma once
// The shared human player's three parts (lower, upper, head), read from the
// shared game folder beside the checkout; nothing when it is not there.
#include "game/OpenModel.h"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>

using PlayerParts = std::array<std::shared_ptr<const Model>, 3>;

inline std::optional<PlayerParts> LoadSharedPlayer() {
    const std::filesystem::path folder =
        std::filesystem::path(GW_SHARED_DIR) / "game/models/players/human_base";
    PlayerParts parts;
    const char* names[3] = {"lower.md3", "upper.md3", "head.md3"};
    for (size_t i = 0; i < 3; ++i) {
        Result<OpenedModel> opened = OpenModel((folder / names[i]).string(), {});
        if (!opened.ok())
            return std::nullopt;
        parts[i] = std::make_shared<const Model>(std::move(opened.value().model));
    }
    return parts;
}
