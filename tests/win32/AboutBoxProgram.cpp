// A program that shows only the About box, modally, on the real resources: the About box's
// behaviour is checked on the Win32 layer without the rest of the program.
#include "framework/WinApp.h"
#include "mainwnd/AboutDlg.h"

namespace {

class CAboutBoxApp : public CWinApp {
 public:
  bool InitInstance() override {
    CAboutDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return false;
  }
};

CAboutBoxApp theApp;

}  // namespace
