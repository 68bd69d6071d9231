#include "dialogs/DualChipDialog.h"

#include <utility>

#include "res/resource.h"

namespace {

constexpr AntiAliasPosition kPositions[] = {{0, 0}, {3, 2}, {4, 3}};

constexpr ChipDialogRow kDualChipRow{
    IDD_DUAL_CHIP_DIALOG, IDC_COMBO_DUAL_AA, IDC_COMBO_DUAL_GUARDBAND, 1, kPositions, 1};

}  // namespace

CDualChipDialog::CDualChipDialog(CWnd* parent, std::u16string deviceName, std::u16string currentDeviceKeyPath,
                                 std::u16string deviceKeyPath)
    : CChipDialog(kDualChipRow, parent, std::move(deviceName), std::move(currentDeviceKeyPath),
                  std::move(deviceKeyPath)) {}
