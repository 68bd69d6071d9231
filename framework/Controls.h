#pragma once
// The controls the program binds with DDX_Control. They act on the window of the control
// they are attached to; an unattached control object does nothing and reports failure.
#include <string>

#include "framework/Wnd.h"

class CStatic : public CWnd {};

class CButton : public CWnd {
 public:
  int GetCheck() const;  // BST_CHECKED or BST_UNCHECKED
  void SetCheck(int checkState);
};

class CComboBox : public CWnd {
 public:
  // Appends (or, with the sort style, inserts in order) and returns the position, or CB_ERR.
  int AddString(const std::u16string& text);
  // Selects a position. A position the list does not have clears the selection and returns CB_ERR.
  int SetCurSel(int index);
  // The selected position, or CB_ERR (-1) when nothing is selected.
  int GetCurSel() const;
  int GetCount() const;
  std::u16string GetLBText(int index) const;
};
