#include "dialogs/GeneralDialog.h"

#include <optional>
#include <utility>

#include "platform/Registry.h"
#include "res/resource.h"
#include "settings/SettingsKey.h"
#include "settings/SettingsSave.h"
#include "settings/ValueAccess.h"

namespace {

// The settings of this dialog; their value names, positions and written numbers are the model's.
const TuningSetting kDdiVersion(Tuning::kDdiVersion);
const TuningSetting kTripleBuffer(Tuning::kTripleBuffer);
const TuningSetting kVSync(Tuning::kVSync);
const TuningSetting kLodBias(Tuning::kLodBias);
const TuningSetting kFilterQuality(Tuning::kFilterQuality);
const TuningSetting kAlphaBlending(Tuning::kAlphaBlending);
const TuningSetting kMaxPendingBuffers(Tuning::kMaxPendingBuffers);
const TuningSetting kMipMapDithering(Tuning::kMipMapDithering);
const TuningSetting kCmdFifoSize(Tuning::kCmdFifoSize);

std::u16string ValueName(const TuningSetting& setting, std::size_t index = 0) {
  return std::u16string(setting.ValueNames()[index]);
}

// The position a number stored in the setting's one value shows at.
std::int32_t PositionOf(const TuningSetting& setting, std::int64_t number) {
  return setting.PositionOf({number});
}

// A list that shows no selection (its stored number was outside it) counts as unchanged, so
// nothing derived from -1 is ever written.
bool SelectionChanged(int selection, std::int32_t loaded) {
  return selection != CB_ERR && selection != loaded;
}

// The DDI list reads "7", "8", "9": the interface version is the list position plus this.
constexpr std::int32_t kFirstDdiVersion = 7;

}  // namespace

CGeneralDialog::CGeneralDialog(CWnd* parent, std::u16string /*deviceName*/,
                               std::u16string currentDeviceKeyPath, std::u16string /*deviceKeyPath*/)
    : CDialog(IDD_GENERAL_DIALOG, parent), m_strKeyPath(std::move(currentDeviceKeyPath)) {
  CSettingsKey key;
  std::uint32_t raw = 0;
  if (ReadRaw(key, m_strKeyPath, ValueName(kTripleBuffer), raw))
    m_bTripleBuffer = PositionOf(kTripleBuffer, raw) == BST_CHECKED;
  StoredNumbers ddi;
  if (ReadRaw(key, m_strKeyPath, ValueName(kDdiVersion, 0), raw)) ddi[0] = raw;
  if (ReadRaw(key, m_strKeyPath, ValueName(kDdiVersion, 1), raw)) ddi[1] = raw;
  m_nDdiVersion = kDdiVersion.PositionOf(ddi) + kFirstDdiVersion;
  if (ReadRaw(key, m_strKeyPath, ValueName(kCmdFifoSize), raw)) {
    // A size in no entry of the table is kept as stored and shows as the first entry.
    m_dwFifoSize = raw;
    m_nFifoIndex = PositionOf(kCmdFifoSize, raw);
  }

  std::int32_t n = 0;
  if (ReadNumber(DriverSettingsKeyPath(), ValueName(kLodBias), n)) m_nLodBias = n;
  if (ReadNumber(DriverSettingsKeyPath(), ValueName(kVSync), n)) m_nVSyncIndex = PositionOf(kVSync, n);
  if (ReadNumber(DriverSettingsKeyPath(), ValueName(kFilterQuality), n))
    m_nFilterIndex = PositionOf(kFilterQuality, n);
  if (ReadNumber(DriverSettingsKeyPath(), ValueName(kAlphaBlending), n))
    m_nAlphaIndex = PositionOf(kAlphaBlending, n);
  if (ReadNumber(DriverSettingsKeyPath(), ValueName(kMaxPendingBuffers), n))
    m_nPendingIndex = PositionOf(kMaxPendingBuffers, n);
  if (ReadNumber(DriverSettingsKeyPath(), ValueName(kMipMapDithering), n))
    m_nDitherIndex = PositionOf(kMipMapDithering, n);
}

void CGeneralDialog::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_COMBO_DDI_VERSION, m_comboDdi);
  DDX_Control(pDX, IDC_CHECK_TRIPLE_BUFFER, m_checkTriple);
  DDX_Control(pDX, IDC_COMBO_VSYNC, m_comboVSync);
  DDX_Control(pDX, IDC_COMBO_LOD_BIAS, m_comboLodBias);
  DDX_Control(pDX, IDC_COMBO_FILTER, m_comboFilter);
  DDX_Control(pDX, IDC_COMBO_ALPHA, m_comboAlpha);
  DDX_Control(pDX, IDC_COMBO_PENDING, m_comboPending);
  DDX_Control(pDX, IDC_COMBO_DITHER, m_comboDither);
  DDX_Control(pDX, IDC_COMBO_FIFO_SIZE, m_comboFifo);
  if (pDX->m_bSaveAndValidate) return;

  m_checkTriple.SetCheck(m_bTripleBuffer ? BST_CHECKED : BST_UNCHECKED);
  m_comboDdi.SetCurSel(m_nDdiVersion - kFirstDdiVersion);
  m_comboLodBias.SetCurSel(PositionOf(kLodBias, m_nLodBias));
  m_comboVSync.SetCurSel(m_nVSyncIndex);
  m_comboFilter.SetCurSel(m_nFilterIndex);
  m_comboAlpha.SetCurSel(m_nAlphaIndex);
  m_comboPending.SetCurSel(m_nPendingIndex);
  m_comboDither.SetCurSel(m_nDitherIndex);
  m_comboFifo.SetCurSel(m_nFifoIndex);
}

bool CGeneralDialog::OnCommand(unsigned id, unsigned code) {
  if (id == IDOK && code == BN_CLICKED) {
    OnOkClicked();
    return true;
  }
  return CDialog::OnCommand(id, code);
}

void CGeneralDialog::OnOkClicked() {
  const int fifo = m_comboFifo.GetCurSel();
  const int ddi = m_comboDdi.GetCurSel();
  const int lodBias = m_comboLodBias.GetCurSel();
  const int vSync = m_comboVSync.GetCurSel();
  const int filter = m_comboFilter.GetCurSel();
  const int alpha = m_comboAlpha.GetCurSel();
  const int pending = m_comboPending.GetCurSel();
  const int dither = m_comboDither.GetCurSel();
  const bool ticked = m_checkTriple.GetCheck() == BST_CHECKED;

  const std::optional<std::int64_t> newFifoSize = kCmdFifoSize.NumbersFor(fifo)[0];
  const bool fifoChanged = newFifoSize && *newFifoSize != m_dwFifoSize;
  const bool tripleChanged = ticked != m_bTripleBuffer;
  const bool ddiChanged = ddi != CB_ERR && ddi + kFirstDdiVersion != m_nDdiVersion;
  const bool lodBiasChanged = SelectionChanged(lodBias, PositionOf(kLodBias, m_nLodBias));
  const bool vSyncChanged = SelectionChanged(vSync, m_nVSyncIndex);
  const bool filterChanged = SelectionChanged(filter, m_nFilterIndex);
  const bool alphaChanged = SelectionChanged(alpha, m_nAlphaIndex);
  const bool pendingChanged = SelectionChanged(pending, m_nPendingIndex);
  const bool ditherChanged = SelectionChanged(dither, m_nDitherIndex);

  CSettingsSave save(*this,
                     fifoChanged || tripleChanged || ddiChanged || lodBiasChanged || vSyncChanged ||
                         filterChanged || alphaChanged || pendingChanged || ditherChanged,
                     m_strKeyPath);

  // Each step opens its key on its own; one that cannot open is skipped without a word.
  if (fifoChanged) kCmdFifoSize.Write(m_strKeyPath, fifo);
  if (tripleChanged) kTripleBuffer.Write(m_strKeyPath, ticked ? BST_CHECKED : BST_UNCHECKED);
  if (ddiChanged) kDdiVersion.Write(m_strKeyPath, ddi);
  if (lodBiasChanged) kLodBias.Write(m_strKeyPath, lodBias);
  if (vSyncChanged) kVSync.Write(m_strKeyPath, vSync);
  if (filterChanged) kFilterQuality.Write(m_strKeyPath, filter);
  if (alphaChanged) kAlphaBlending.Write(m_strKeyPath, alpha);
  if (pendingChanged) kMaxPendingBuffers.Write(m_strKeyPath, pending);
  if (ditherChanged) kMipMapDithering.Write(m_strKeyPath, dither);

  CDialog::OnOK();
  // The window still exists until the modal loop sees the end.
  save.Finish();
}
