#pragma once
// CAboutDlg: the About box, on its template; nothing of its own beyond the framework's dialog.
#include "framework/Dialog.h"

class CAboutDlg : public CDialog {
 public:
  CAboutDlg();
};
