// The controls on the portable layer: they act on the control model they are attached to.
#include "framework/Controls.h"

#include "framework/portable/Layer.h"

int CButton::GetCheck() const {
  const portable::ControlModel* control = portable::ControlFromHandle(m_hWnd);
  return control != nullptr ? control->check : BST_UNCHECKED;
}

void CButton::SetCheck(int checkState) {
  if (portable::ControlModel* control = portable::ControlFromHandle(m_hWnd)) control->check = checkState;
}

int CComboBox::AddString(const std::u16string& text) {
  portable::ControlModel* control = portable::ControlFromHandle(m_hWnd);
  return control != nullptr ? control->AddString(text) : CB_ERR;
}

int CComboBox::SetCurSel(int index) {
  portable::ControlModel* control = portable::ControlFromHandle(m_hWnd);
  return control != nullptr ? control->SetCurSel(index) : CB_ERR;
}

int CComboBox::GetCurSel() const {
  const portable::ControlModel* control = portable::ControlFromHandle(m_hWnd);
  return control != nullptr ? control->selection : CB_ERR;
}

int CComboBox::GetCount() const {
  const portable::ControlModel* control = portable::ControlFromHandle(m_hWnd);
  return control != nullptr ? static_cast<int>(control->items.size()) : CB_ERR;
}

std::u16string CComboBox::GetLBText(int index) const {
  const portable::ControlModel* control = portable::ControlFromHandle(m_hWnd);
  if (control == nullptr || index < 0 || index >= static_cast<int>(control->items.size())) return {};
  return control->items[index];
}
