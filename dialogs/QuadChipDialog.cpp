#include "dialogs/QuadChipDialog.h"

#include <utility>

#include "res/resource.h"

namespace {

constexpr AntiAliasPosition kPositions[] = {{0, 0}, {6, 2}, {7, 3}, {8, 4}};

constexpr ChipDialogRow kQuadChipRow{
    IDD_QUAD_CHIP_DIALOG, IDC_COMBO_QUAD_AA, IDC_COMBO_QUAD_GUARDBAND, 1, kPositions, 4};

}  // namespace

CQuadChipDialog::CQuadChipDialog(CWnd* parent, std::u16string deviceName, std::u16string currentDeviceKeyPath,
                                 std::u16string deviceKeyPath)
    : CChipDialog(kQuadChipRow, parent, std::move(deviceName), std::move(currentDeviceKeyPath),
                  std::move(deviceKeyPath)) {}
