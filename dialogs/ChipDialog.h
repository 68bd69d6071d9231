#pragma once
// CChipDialog: what the three chip configuration dialogs share. Each dialog shows the
// anti-aliasing configuration (QLDRV_SLI_AA_CONFIGURATION) and guard band clipping
// (QLDRV_GUARDBAND_CLIPPING) of the driver settings key as the selections of two lists; the
// dialogs differ only in their ChipDialogRow (settings/TuningSetting.h).
//
// Both values are read in the constructor, before the window exists. OK writes back only the
// values whose own list changed, after one write-access probe, and then refreshes the display
// mode so that the driver reloads them. Cancel, Escape and the close box write nothing.
#include <cstdint>
#include <string>

#include "framework/Dialog.h"
#include "platform/DriverSettingsKey.h"
#include "settings/TuningSetting.h"

class CChipDialog : public CDialog {
 public:
  CChipDialog(const ChipDialogRow& row, CWnd* parent, std::u16string deviceName,
              std::u16string currentDeviceKeyPath, std::u16string deviceKeyPath);

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  // IDOK's click runs the OK handler; everything else goes the framework's way.
  bool OnCommand(unsigned id, unsigned code) override;

 private:
  void OnOkClicked();
  std::u16string DriverSettingsKeyPath() const {
    return platform::DriverSettingsKeyPath(m_strCurrentDeviceKeyPath);
  }
  TuningSetting AntiAliasing() const { return TuningSetting(Tuning::kAntiAliasing, m_row); }

  const ChipDialogRow& m_row;
  std::u16string m_strCurrentDeviceKeyPath;
  std::u16string m_strDeviceKeyPath;  // kept as given; the dialog works on the current path only
  std::u16string m_strDeviceName;     // kept as given; not used
  // Positions loaded at construction: what the lists show first, and the reference on OK.
  std::int32_t m_nGuardBandIndex;
  std::int32_t m_nAntiAliasIndex;
  CComboBox m_comboAntiAlias;
  CComboBox m_comboGuardBand;
};
