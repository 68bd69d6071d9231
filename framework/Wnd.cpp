// CWnd code that is the same on both windowing layers; everything that touches a window is
// in the layer's own Wnd.cpp.
#include "framework/Wnd.h"

int CWnd::MessageBox(const std::u16string& text, const std::u16string& caption, unsigned type) {
  return ShowMessageBox(m_hWnd, text, caption, type);
}
