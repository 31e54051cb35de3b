// gridwright-flatten: the painting template of a model's surfaces, from the
// command line, for batch work and scripts. The commands live in the cli
// library, where the tests run them in process.
#include "cli/Commands.h"

#include <string>
#include <vector>

#ifdef _WIN32
#include "model/NativeFile.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

// Windows gives the arguments as UTF-16 whatever the code page, so wmain
// reads them whole and the rest of the program sees UTF-8, as on Linux.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(native::Utf8OfWide(argv[i]));
    // Messages are UTF-8 and end lines with "\n", as on Linux: the console is
    // told so, and pipes get the same bytes as there.
    ::SetConsoleOutputCP(CP_UTF8);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    Console io;
    return RunCommandLine(arguments, io);
}
#else
int main(int argc, char** argv) {
    Console io;
    return RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), io);
}
#endif
