// CMenu on a real menu handle.
#include "framework/Menu.h"

#include "framework/win32/WinInclude.h"

bool CMenu::AppendMenu(unsigned flags, std::uintptr_t id, const std::u16string& text) {
  if (m_hMenu == nullptr) return false;
  const wchar_t* item =
      (flags & MF_SEPARATOR) != 0 ? nullptr : reinterpret_cast<const wchar_t*>(text.c_str());
  return ::AppendMenuW(static_cast<HMENU>(m_hMenu), flags, id, item) != FALSE;
}
