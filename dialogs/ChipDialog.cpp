#include "dialogs/ChipDialog.h"

#include <utility>

#include "settings/SettingsSave.h"
#include "settings/ValueAccess.h"

namespace {

const TuningSetting kGuardBandClipping(Tuning::kGuardBandClipping);

std::u16string ValueName(const TuningSetting& setting) { return std::u16string(setting.ValueNames()[0]); }

// A list that shows no selection (its stored number was outside it) counts as unchanged, so
// nothing derived from -1 is ever written.
bool SelectionChanged(int selection, std::int32_t loaded) {
  return selection != CB_ERR && selection != loaded;
}

}  // namespace

CChipDialog::CChipDialog(const ChipDialogRow& row, CWnd* parent, std::u16string deviceName,
                         std::u16string currentDeviceKeyPath, std::u16string deviceKeyPath)
    : CDialog(row.templateId, parent),
      m_row(row),
      m_strCurrentDeviceKeyPath(std::move(currentDeviceKeyPath)),
      m_strDeviceKeyPath(std::move(deviceKeyPath)),
      m_strDeviceName(std::move(deviceName)),
      m_nGuardBandIndex(0),
      m_nAntiAliasIndex(row.fastestIndex) {
  // A guard band number outside the list shows no selection.
  std::int32_t number = 0;
  if (ReadNumber(DriverSettingsKeyPath(), ValueName(kGuardBandClipping), number))
    m_nGuardBandIndex = kGuardBandClipping.PositionOf({number});
  if (ReadNumber(DriverSettingsKeyPath(), ValueName(AntiAliasing()), number))
    m_nAntiAliasIndex = AntiAliasing().PositionOf({number});
}

void CChipDialog::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, m_row.antiAliasListId, m_comboAntiAlias);
  DDX_Control(pDX, m_row.guardBandListId, m_comboGuardBand);
  if (pDX->m_bSaveAndValidate) return;
  m_comboGuardBand.SetCurSel(m_nGuardBandIndex);
  m_comboAntiAlias.SetCurSel(m_nAntiAliasIndex);
}

bool CChipDialog::OnCommand(unsigned id, unsigned code) {
  if (id == IDOK && code == BN_CLICKED) {
    OnOkClicked();
    return true;
  }
  return CDialog::OnCommand(id, code);
}

void CChipDialog::OnOkClicked() {
  const int antiAlias = m_comboAntiAlias.GetCurSel();
  const int guardBand = m_comboGuardBand.GetCurSel();
  const bool antiAliasChanged = SelectionChanged(antiAlias, m_nAntiAliasIndex);
  const bool guardBandChanged = SelectionChanged(guardBand, m_nGuardBandIndex);

  CSettingsSave save(*this, antiAliasChanged || guardBandChanged, DriverSettingsKeyPath());
  // Each write opens the key on its own: one that cannot open is skipped, the other still runs.
  if (guardBandChanged) kGuardBandClipping.Write(m_strCurrentDeviceKeyPath, guardBand);
  if (antiAliasChanged) AntiAliasing().Write(m_strCurrentDeviceKeyPath, antiAlias);
  CDialog::OnOK();
  // The window still exists until the modal loop sees the end.
  save.Finish();
}
