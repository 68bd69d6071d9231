// CPaintDC: one BeginPaint / EndPaint pair.
#include "framework/Wnd.h"
#include "framework/win32/WinInclude.h"

CPaintDC::CPaintDC(CWnd* window) : m_window(window) {
  if (m_window == nullptr || m_window->m_hWnd == nullptr) return;
  auto* paint = new PAINTSTRUCT{};
  m_paintStruct = paint;
  m_hDC = ::BeginPaint(static_cast<HWND>(m_window->m_hWnd), paint);
}

CPaintDC::~CPaintDC() {
  auto* paint = static_cast<PAINTSTRUCT*>(m_paintStruct);
  if (paint == nullptr) return;
  ::EndPaint(static_cast<HWND>(m_window->m_hWnd), paint);
  delete paint;
}

void CPaintDC::DrawIcon(int x, int y, IconHandle icon) {
  if (m_hDC != nullptr && icon != nullptr)
    ::DrawIcon(static_cast<HDC>(m_hDC), x, y, static_cast<HICON>(icon));
}
