#pragma once
#include <string>

// The loaded surfaces as JSON: {"surfaceCount": N, "surfaces": [...]}.
std::string StoreAsJson();
