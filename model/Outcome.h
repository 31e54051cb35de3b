#pragma once
// What the core's loading and writing return: success, or a plain-language
// reason that the window or the command line shows as it sees fit.
#include <string>

struct Outcome {
    bool ok = false;
    std::string reason; // plain words when !ok

    static Outcome Success() { return {true, {}}; }
    static Outcome Failure(std::string why) { return {false, std::move(why)}; }
};
