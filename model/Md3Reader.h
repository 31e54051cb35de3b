#pragma once
// Reads an MD3 model into the surface store.
#include "model/Outcome.h"

#include <string>

// The one message of the program's own, shown when a file cannot be used.
inline constexpr const char* kFailureMessage = "Hola ombre, ca chie !!!";

// Sets g_modelPath, then runs the header pass, ReadTexCoords and
// ReadTriangles. A file that cannot be held whole is refused and leaves the
// store exactly as it was; the reason names the file and what is wrong.
Outcome LoadModel(const std::string& path);

// The texture-coordinate and triangle passes; each reopens g_modelPath and
// fails unless it finds the very file the header pass read, unchanged.
Outcome ReadTexCoords();
Outcome ReadTriangles();

// For tests: runs between the header pass and the list passes, where another
// program could replace the file.
void SetBetweenPassesHook(void (*hook)());
