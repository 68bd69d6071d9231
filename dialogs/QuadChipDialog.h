#pragma once
// CQuadChipDialog: anti-aliasing and guard band clipping for boards with four chips.
#include <string>

#include "dialogs/ChipDialog.h"

class CQuadChipDialog : public CChipDialog {
 public:
  CQuadChipDialog(CWnd* parent, std::u16string deviceName, std::u16string currentDeviceKeyPath,
                  std::u16string deviceKeyPath);
};
