#pragma once
// A window's menu (here: only the system menu), referred to, not owned.
#include <cstdint>
#include <string>

#include "framework/Types.h"

class CMenu {
 public:
  // MF_SEPARATOR, or MF_STRING with a command id and text.
  bool AppendMenu(unsigned flags, std::uintptr_t id = 0, const std::u16string& text = {});
  void* m_hMenu = nullptr;
};
