#pragma once
#include <string>

// Runs the main window; the program ends when it closes.
class CMainApp {
  public:
    // Runs the main window; false, as the program then ends.
    bool InitInstance(const std::string& startModel = {});
};
