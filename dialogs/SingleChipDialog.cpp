#include "dialogs/SingleChipDialog.h"

#include <utility>

CSingleChipDialog::CSingleChipDialog(CWnd* parent, std::u16string deviceName,
                                     std::u16string currentDeviceKeyPath, std::u16string deviceKeyPath)
    : CChipDialog(ChipDialogRowFor(1), parent, std::move(deviceName), std::move(currentDeviceKeyPath),
                  std::move(deviceKeyPath)) {}
