#include "dialogs/SingleChipDialog.h"

#include <utility>

#include "res/resource.h"

namespace {

constexpr AntiAliasPosition kPositions[] = {{0, 0}, {1, 1}};

constexpr ChipDialogRow kSingleChipRow{
    IDD_SINGLE_CHIP_DIALOG, IDC_COMBO_SINGLE_AA, IDC_COMBO_SINGLE_GUARDBAND, 0, kPositions, 0};

}  // namespace

CSingleChipDialog::CSingleChipDialog(CWnd* parent, std::u16string deviceName,
                                     std::u16string currentDeviceKeyPath, std::u16string deviceKeyPath)
    : CChipDialog(kSingleChipRow, parent, std::move(deviceName), std::move(currentDeviceKeyPath),
                  std::move(deviceKeyPath)) {}
