#include "dialogs/GeneralDialog.h"

#include <limits>
#include <utility>

#include "platform/Registry.h"
#include "res/resource.h"
#include "settings/Sequences.h"
#include "settings/SettingsKey.h"
#include "settings/SettingsSave.h"

namespace {

constexpr char16_t kMaxTileBuffers[] = u"MaxTileBuffers";
constexpr char16_t kDisableDX8[] = u"DisableDX8";
constexpr char16_t kDisableDX9[] = u"DisableDX9";
constexpr char16_t kCmdFifoSize[] = u"CmdFifoSize";
constexpr char16_t kLodBias[] = u"QLDRV_LOD_BIAS";
constexpr char16_t kSwapInterval[] = u"QLDRV_SWAPINTERVAL";
constexpr char16_t kOverlayMode[] = u"QLDRV_OVERLAYMODE";
constexpr char16_t kAlphaDitherMode[] = u"QLDRV_ALPHADITHERMODE";
constexpr char16_t kMaxPendingBuffers[] = u"QLDRV_MAX_PENDING_BUFFERS";
constexpr char16_t kLodDither[] = u"QLDRV_LOD_DITHER";

constexpr std::int32_t kLodBiasOffset = 8;  // list position of "0.00"

// Reads a raw value of at most 4 bytes as a little-endian number; shorter data are
// zero-extended. False when the key or value is missing or the data are longer.
bool ReadRaw(CSettingsKey& key, const std::u16string& path, const char16_t* name, std::uint32_t& value) {
  if (key.Open(path, platform::kKeyRead) != platform::kSuccess) return false;
  std::uint8_t bytes[4] = {};
  std::uint32_t size = sizeof bytes;
  const bool read = key.QueryRaw(name, bytes, size) == platform::kSuccess;
  key.Close();
  if (!read) return false;
  value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
          static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  return true;
}

// number + offset as a list position; a sum outside 32 bits is no position of any list.
std::int32_t Position(std::int32_t number, std::int32_t offset) {
  const std::int64_t sum = std::int64_t{number} + offset;
  if (sum < std::numeric_limits<std::int32_t>::min() || sum > std::numeric_limits<std::int32_t>::max())
    return CB_ERR;
  return static_cast<std::int32_t>(sum);
}

// A list that shows no selection (its stored number was outside it) counts as unchanged, so
// nothing derived from -1 is ever written.
bool SelectionChanged(int selection, std::int32_t loaded) {
  return selection != CB_ERR && selection != loaded;
}

}  // namespace

CGeneralDialog::CGeneralDialog(CWnd* parent, std::u16string /*deviceName*/,
                               std::u16string currentDeviceKeyPath, std::u16string /*deviceKeyPath*/)
    : CDialog(IDD_GENERAL_DIALOG, parent), m_strKeyPath(std::move(currentDeviceKeyPath)) {
  CSettingsKey key;
  std::uint32_t raw = 0;
  if (ReadRaw(key, m_strKeyPath, kMaxTileBuffers, raw)) m_bTripleBuffer = raw != 3;
  if (ReadRaw(key, m_strKeyPath, kDisableDX8, raw) && raw != 0) m_nDdiVersion = 7;
  // DisableDX8 wins when both are set.
  if (ReadRaw(key, m_strKeyPath, kDisableDX9, raw) && m_nDdiVersion == 9 && raw != 0) m_nDdiVersion = 8;
  if (ReadRaw(key, m_strKeyPath, kCmdFifoSize, raw)) {
    // A size in no entry of the table is kept as stored and shows as the first entry.
    m_dwFifoSize = raw;
    for (std::size_t i = 0; i < kFifoSizes.size(); ++i) {
      if (kFifoSizes[i] == raw) {
        m_nFifoIndex = static_cast<std::int32_t>(i);
        break;
      }
    }
  }

  std::int32_t n = 0;
  if (ReadNumber(DriverSettingsKeyPath(), kLodBias, n)) m_nLodBias = n;
  if (ReadNumber(DriverSettingsKeyPath(), kSwapInterval, n)) m_nVSyncIndex = Position(n, 1);
  if (ReadNumber(DriverSettingsKeyPath(), kOverlayMode, n)) m_nFilterIndex = Position(n, -1);
  if (ReadNumber(DriverSettingsKeyPath(), kAlphaDitherMode, n)) m_nAlphaIndex = Position(n, -1);
  if (ReadNumber(DriverSettingsKeyPath(), kMaxPendingBuffers, n)) m_nPendingIndex = n;
  if (ReadNumber(DriverSettingsKeyPath(), kLodDither, n)) m_nDitherIndex = n;
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
  m_comboDdi.SetCurSel(m_nDdiVersion - 7);
  m_comboLodBias.SetCurSel(Position(m_nLodBias, kLodBiasOffset));
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

  const bool fifoInTable = fifo >= 0 && static_cast<std::size_t>(fifo) < kFifoSizes.size();
  const std::uint32_t newFifoSize = fifoInTable ? kFifoSizes[static_cast<std::size_t>(fifo)] : m_dwFifoSize;
  const bool fifoChanged = newFifoSize != m_dwFifoSize;
  const bool tripleChanged = ticked != m_bTripleBuffer;
  const bool ddiChanged = ddi != CB_ERR && ddi + 7 != m_nDdiVersion;
  const bool lodBiasChanged = SelectionChanged(lodBias, Position(m_nLodBias, kLodBiasOffset));
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
  CSettingsKey key;
  if (fifoChanged && key.Open(m_strKeyPath, platform::kKeyWrite) == platform::kSuccess) {
    key.SetBinary(kCmdFifoSize, newFifoSize);
    key.Close();
  }
  if (tripleChanged && key.Open(m_strKeyPath, platform::kKeyWrite) == platform::kSuccess) {
    key.SetBinary(kMaxTileBuffers, ticked ? 4 : 3);
    key.Close();
  }
  if (ddiChanged && key.Open(m_strKeyPath, platform::kKeyWrite) == platform::kSuccess) {
    const int version = ddi + 7;
    key.SetBinary(kDisableDX8, version == 7 ? 1 : 0);
    key.SetBinary(kDisableDX9, version == 8 ? 1 : 0);
    key.Close();
  }
  if (lodBiasChanged) WriteNumber(DriverSettingsKeyPath(), kLodBias, lodBias - kLodBiasOffset);
  if (vSyncChanged) {
    // "Software" is the driver's own choice: no value at all.
    if (vSync == 0) {
      if (key.Open(DriverSettingsKeyPath(), platform::kKeyWrite) == platform::kSuccess) {
        key.DeleteValue(kSwapInterval);
        key.Close();
      }
    } else {
      WriteNumber(DriverSettingsKeyPath(), kSwapInterval, vSync - 1);
    }
  }
  if (filterChanged) WriteNumber(DriverSettingsKeyPath(), kOverlayMode, filter + 1);
  if (alphaChanged) WriteNumber(DriverSettingsKeyPath(), kAlphaDitherMode, alpha + 1);
  if (pendingChanged) WriteNumber(DriverSettingsKeyPath(), kMaxPendingBuffers, pending);
  if (ditherChanged) WriteNumber(DriverSettingsKeyPath(), kLodDither, dither);

  CDialog::OnOK();
  // The window still exists until the modal loop sees the end.
  save.Finish();
}
