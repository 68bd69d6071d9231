// CWnd and the window helpers on real windows.
#include "framework/Wnd.h"

#include "framework/win32/WinInclude.h"

namespace {
HWND Handle(WindowHandle window) { return static_cast<HWND>(window); }
const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
}  // namespace

bool CWnd::EnableWindow(bool enable) {
  if (m_hWnd == nullptr) return false;
  return ::EnableWindow(Handle(m_hWnd), enable ? TRUE : FALSE) != FALSE;
}

bool CWnd::IsWindowEnabled() const { return m_hWnd != nullptr && ::IsWindowEnabled(Handle(m_hWnd)) != FALSE; }

void CWnd::SetWindowText(const std::u16string& text) {
  if (m_hWnd != nullptr) ::SetWindowTextW(Handle(m_hWnd), Wide(text));
}

std::u16string CWnd::GetWindowText() const {
  if (m_hWnd == nullptr) return {};
  const int length = ::GetWindowTextLengthW(Handle(m_hWnd));
  if (length <= 0) return {};
  std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
  const int copied = ::GetWindowTextW(Handle(m_hWnd), reinterpret_cast<wchar_t*>(text.data()), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

bool CWnd::IsIconic() const { return m_hWnd != nullptr && ::IsIconic(Handle(m_hWnd)) != FALSE; }

CRect CWnd::GetClientRect() const {
  RECT rect{};
  if (m_hWnd != nullptr) ::GetClientRect(Handle(m_hWnd), &rect);
  return CRect{rect.left, rect.top, rect.right, rect.bottom};
}

std::intptr_t CWnd::SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (m_hWnd == nullptr) return 0;
  return ::SendMessageW(Handle(m_hWnd), message, wParam, lParam);
}

CHiddenWindow::CHiddenWindow() {
  m_hWnd = ::CreateWindowExW(0, L"Static", L"Configurator", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

CHiddenWindow::~CHiddenWindow() {
  if (m_hWnd != nullptr) ::DestroyWindow(Handle(m_hWnd));
}

int ShowMessageBox(WindowHandle owner, const std::u16string& text, const std::u16string& caption,
                   unsigned type) {
  return ::MessageBoxW(Handle(owner), Wide(text), Wide(caption), type);
}

WindowHandle GetDlgItemHandle(WindowHandle dialog, int id) {
  if (dialog == nullptr) return nullptr;
  return ::GetDlgItem(Handle(dialog), id);
}

int GetSystemMetrics(int index) { return win32::GetSystemMetrics(index); }

bool LoadStringResource(unsigned id, std::u16string& text) {
  // With a zero buffer size the system hands out a pointer into the string table: the pointer
  // stays null when the string's block is missing, and the length may be 0 for an empty string.
  const wchar_t* resource = nullptr;
  const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&resource), 0);
  if (resource == nullptr) return false;
  text.assign(resource, resource + (length > 0 ? length : 0));
  return true;
}

// CPaintDC: one BeginPaint / EndPaint pair.
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
