#pragma once

// Runs the main window; the program ends when it closes.
class CMainApp {
  public:
    bool InitInstance();
};
