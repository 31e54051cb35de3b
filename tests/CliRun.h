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

#ifdef _WIN32
// No open_memstream on Windows: the streams go to temporary files, read back.
inline std::string ReadBack(std::FILE* f) {
    std::string text;
    std::fflush(f);
    std::rewind(f);
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        text.append(buffer, n);
    std::fclose(f);
    return text;
}

inline Outcome Cli(const std::vector<std::string>& args) {
    Console io{std::tmpfile(), std::tmpfile()};
    Outcome run;
    run.status = RunCommandLine(args, io);
    run.out = ReadBack(io.out);
    run.err = ReadBack(io.err);
    return run;
}
#else
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
#endif
