#pragma once
// CConfiguratorApp: the application. Start-up identifies the adapter (from the command line or
// by discovery), then runs the main dialog; when it closes, the program ends.
#include "framework/WinApp.h"

class CConfiguratorApp : public CWinApp {
 public:
  CConfiguratorApp() = default;
  ~CConfiguratorApp() override;

  // Always false: the program ends when the main dialog has closed.
  bool InitInstance() override;
};

// The one application object.
extern CConfiguratorApp theApp;
