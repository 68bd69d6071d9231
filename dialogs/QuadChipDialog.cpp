#include "dialogs/QuadChipDialog.h"

#include <utility>

CQuadChipDialog::CQuadChipDialog(CWnd* parent, std::u16string deviceName, std::u16string currentDeviceKeyPath,
                                 std::u16string deviceKeyPath)
    : CChipDialog(ChipDialogRowFor(4), parent, std::move(deviceName), std::move(currentDeviceKeyPath),
                  std::move(deviceKeyPath)) {}
