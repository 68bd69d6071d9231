#pragma once
// CDualChipDialog: anti-aliasing and guard band clipping for boards with two chips.
#include <string>

#include "dialogs/ChipDialog.h"

class CDualChipDialog : public CChipDialog {
 public:
  CDualChipDialog(CWnd* parent, std::u16string deviceName, std::u16string currentDeviceKeyPath,
                  std::u16string deviceKeyPath);
};
