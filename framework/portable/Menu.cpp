// The system menu on the portable layer: the menu handle is the dialog model that owns it.
#include "framework/Menu.h"

#include "framework/portable/Layer.h"

bool CMenu::AppendMenu(unsigned flags, std::uintptr_t id, const std::u16string& text) {
  portable::DialogModel* dialog = portable::DialogFromHandle(m_hMenu);
  if (dialog == nullptr) return false;
  if ((flags & MF_SEPARATOR) != 0)
    dialog->systemMenu.push_back({0, {}, true});
  else
    dialog->systemMenu.push_back({static_cast<unsigned>(id), text, false});
  return true;
}
