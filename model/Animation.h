#pragma once
// A named run of a model's frames, as a game plays it.
#include <string>

struct Animation {
    std::string name; // "LEGS_RUN", "run"
    // Which of a player's models it moves: both (the deaths), the legs
    // (lower.md3) or the torso (upper.md3); Whole for a model alone.
    enum class Part { Whole, Both, Legs, Torso } part = Part::Whole;
    int first = 0;         // the first frame, in the frames of the model it moves
    int frames = 1;        // how many
    int looping = 0;       // the last `looping` frames repeat; 0 holds the last
    double fps = 10;       // frames a second, above 0
    bool reversed = false; // played from its last frame to its first
};
