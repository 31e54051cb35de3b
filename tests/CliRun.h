#pragma once
// gridwright-flatten's command line run in process, its streams caught.
#include "cli/Commands.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// What a command line printed and returned.
struct Outcome {
    int status = -1;
    std::string out, err;
};

inline Outcome Cli(const std::vector<std::string>& args) {
    char *outText = nullptr, *errText = nullptr;
    size_t outSize = 0, errSize = 0;
    Console io{open_memstream(&outText, &outSize), open_memstream(&errText, &errSize)};
    Outcome run;
    run.status = RunCommandLine(args, io);
    std::fclose(io.out);
    std::fclose(io.err);
    run.out.assign(outText, outSize);
    run.err.assign(errText, errSize);
    std::free(outText);
    std::free(errText);
    return run;
}
