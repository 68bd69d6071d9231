#pragma once
// CSingleChipDialog: anti-aliasing and guard band clipping for boards with one chip.
#include <string>

#include "dialogs/ChipDialog.h"

class CSingleChipDialog : public CChipDialog {
 public:
  CSingleChipDialog(CWnd* parent, std::u16string deviceName, std::u16string currentDeviceKeyPath,
                    std::u16string deviceKeyPath);
};
