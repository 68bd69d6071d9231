#pragma once
// CWnd: a window object that refers to a window it does not own (the layer owns windows).
#include <string>

#include "framework/Types.h"

struct CRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  WindowHandle GetSafeHwnd() const { return m_hWnd; }

  // Enables or disables the window; returns whether it was disabled before.
  bool EnableWindow(bool enable = true);
  bool IsWindowEnabled() const;
  void SetWindowText(const std::u16string& text);
  std::u16string GetWindowText() const;
  bool IsIconic() const;
  CRect GetClientRect() const;
  // Sends a message to this window and returns its result (Win32 layer; 0 elsewhere).
  std::intptr_t SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

  // Modal message box owned by this window; returns the id of the button that ended it.
  int MessageBox(const std::u16string& text, const std::u16string& caption, unsigned type = MB_OK);

  WindowHandle m_hWnd = nullptr;
};

// A hidden top-level window of the program's own, for a call that needs one while no dialog is
// open (the display-mode refresh of the command line). It goes with the object. On a layer
// without real windows it has no handle.
class CHiddenWindow : public CWnd {
 public:
  CHiddenWindow();
  ~CHiddenWindow() override;
};

// Modal message box with the given owner (none: no owner window). Returns the button id.
int ShowMessageBox(WindowHandle owner, const std::u16string& text, const std::u16string& caption,
                   unsigned type = MB_OK);

// The child window of a dialog window with this control id, or null when it has none (per layer).
WindowHandle GetDlgItemHandle(WindowHandle dialog, int id);

// Metrics of the system (SM_CXICON, SM_CYICON); 0 on a layer that has none.
int GetSystemMetrics(int index);

// String resource of the executable; false when it is missing. An empty string is returned
// as true with empty text.
bool LoadStringResource(unsigned id, std::u16string& text);

// The painting context of one WM_PAINT: begins painting in its constructor, ends in its destructor.
class CPaintDC {
 public:
  explicit CPaintDC(CWnd* window);
  ~CPaintDC();
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  PaintContext GetSafeHdc() const { return m_hDC; }
  void DrawIcon(int x, int y, IconHandle icon);

 private:
  CWnd* m_window;
  PaintContext m_hDC = nullptr;
  void* m_paintStruct = nullptr;
};

// Declared where <windows.h> has not defined it already (see Types.h).
#ifndef WM_ICONERASEBKGND
inline constexpr unsigned WM_ICONERASEBKGND = 0x0027;
#endif
