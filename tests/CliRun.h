#pragma once
// gridwright-flatten's command line run in process, its streams caught.
#include "cli/Commands.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#ifdef _WIN32
#include <atomic>
#include <filesystem>
#include <process.h>
#include <random>
#endif

// What a command line printed and returned.
struct Outcome {
    int status = -1;
    std::string out, err;
};

#ifdef _WIN32
// No open_memstream on Windows: the streams go to temporary files, read back.
// Not tmpfile(): with two test programs at once it has returned no file
// (seen under Wine), and a test then crashed writing to it. These are made
// by a name of their own in the temporary folder, and a failure says so.
inline std::FILE* CaughtStream() {
    static std::atomic<unsigned> made{0};
    static const unsigned salt = std::random_device{}();
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("gridwright-cli-" + std::to_string(_getpid()) + "-" + std::to_string(salt) + "-" +
         std::to_string(made++) + ".txt");
    // D: removed when closed.
    std::FILE* f = _wfopen(path.c_str(), L"w+bD");
    if (!f) {
        std::fprintf(stderr, "cannot make %ls to catch the command line's output\n", path.c_str());
        std::abort();
    }
    return f;
}

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
    Console io{CaughtStream(), CaughtStream()};
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
