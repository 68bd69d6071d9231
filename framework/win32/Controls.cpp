// CButton and CComboBox on the real controls: sorting, selection and errors are the system's.
#include "framework/Controls.h"

#include "framework/win32/WinInclude.h"

namespace {
HWND Handle(WindowHandle window) { return static_cast<HWND>(window); }
}  // namespace

int CButton::GetCheck() const {
  if (m_hWnd == nullptr) return BST_UNCHECKED;
  return static_cast<int>(::SendMessageW(Handle(m_hWnd), BM_GETCHECK, 0, 0));
}

void CButton::SetCheck(int checkState) {
  if (m_hWnd != nullptr) ::SendMessageW(Handle(m_hWnd), BM_SETCHECK, static_cast<WPARAM>(checkState), 0);
}

int CComboBox::AddString(const std::u16string& text) {
  if (m_hWnd == nullptr) return CB_ERR;
  return static_cast<int>(
      ::SendMessageW(Handle(m_hWnd), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int CComboBox::SetCurSel(int index) {
  if (m_hWnd == nullptr) return CB_ERR;
  return static_cast<int>(::SendMessageW(Handle(m_hWnd), CB_SETCURSEL, static_cast<WPARAM>(index), 0));
}

int CComboBox::GetCurSel() const {
  if (m_hWnd == nullptr) return CB_ERR;
  return static_cast<int>(::SendMessageW(Handle(m_hWnd), CB_GETCURSEL, 0, 0));
}

int CComboBox::GetCount() const {
  if (m_hWnd == nullptr) return CB_ERR;
  return static_cast<int>(::SendMessageW(Handle(m_hWnd), CB_GETCOUNT, 0, 0));
}

std::u16string CComboBox::GetLBText(int index) const {
  if (m_hWnd == nullptr) return {};
  const LRESULT length = ::SendMessageW(Handle(m_hWnd), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length <= 0) return {};
  std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
  const LRESULT copied = ::SendMessageW(Handle(m_hWnd), CB_GETLBTEXT, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}
