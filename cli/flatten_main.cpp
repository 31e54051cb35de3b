// gridwright-flatten: the painting template of a model's surfaces, from the
// command line, for batch work and scripts. The commands live in the cli
// library, where the tests run them in process.
#include "cli/Commands.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    Console io;
    return RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), io);
}
