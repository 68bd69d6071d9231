#include "dialogs/ChipDialog.h"

#include <utility>

#include "settings/Sequences.h"
#include "settings/SettingsSave.h"

namespace {

constexpr char16_t kGuardBandClipping[] = u"QLDRV_GUARDBAND_CLIPPING";
constexpr char16_t kAntiAliasConfiguration[] = u"QLDRV_SLI_AA_CONFIGURATION";

// A list that shows no selection (its stored number was outside it) counts as unchanged, so
// nothing derived from -1 is ever written.
bool SelectionChanged(int selection, std::int32_t loaded) {
  return selection != CB_ERR && selection != loaded;
}

}  // namespace

int AntiAliasIndexFor(const ChipDialogRow& row, std::int32_t number) {
  for (const AntiAliasPosition& entry : row.antiAliasPositions)
    if (entry.number == number) return entry.position;
  return row.fastestIndex;
}

std::int32_t AntiAliasNumberFor(const ChipDialogRow& row, int position) {
  return position == 0 ? 0 : position + row.antiAliasNumberOffset;
}

CChipDialog::CChipDialog(const ChipDialogRow& row, CWnd* parent, std::u16string deviceName,
                         std::u16string currentDeviceKeyPath, std::u16string deviceKeyPath)
    : CDialog(row.templateId, parent),
      m_row(row),
      m_strCurrentDeviceKeyPath(std::move(currentDeviceKeyPath)),
      m_strDeviceKeyPath(std::move(deviceKeyPath)),
      m_strDeviceName(std::move(deviceName)),
      m_strKeySuffix(u"\\D3D"),
      m_nGuardBandIndex(0),
      m_nAntiAliasIndex(row.fastestIndex) {
  // The guard band number is its position; one outside the list shows no selection.
  std::int32_t number = 0;
  if (ReadNumber(DriverSettingsKeyPath(), kGuardBandClipping, number)) m_nGuardBandIndex = number;
  if (ReadNumber(DriverSettingsKeyPath(), kAntiAliasConfiguration, number))
    m_nAntiAliasIndex = AntiAliasIndexFor(m_row, number);
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
  if (guardBandChanged) WriteNumber(DriverSettingsKeyPath(), kGuardBandClipping, guardBand);
  if (antiAliasChanged)
    WriteNumber(DriverSettingsKeyPath(), kAntiAliasConfiguration, AntiAliasNumberFor(m_row, antiAlias));
  CDialog::OnOK();
  // The window still exists until the modal loop sees the end.
  save.Finish();
}
