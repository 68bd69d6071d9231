#include "dialogs/DualChipDialog.h"

#include <utility>

CDualChipDialog::CDualChipDialog(CWnd* parent, std::u16string deviceName, std::u16string currentDeviceKeyPath,
                                 std::u16string deviceKeyPath)
    : CChipDialog(ChipDialogRowFor(2), parent, std::move(deviceName), std::move(currentDeviceKeyPath),
                  std::move(deviceKeyPath)) {}
