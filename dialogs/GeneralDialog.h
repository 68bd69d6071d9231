#pragma once
// CGeneralDialog: the driver's general 3D tuning values. Four are raw 4-byte values in the
// current device key (MaxTileBuffers, DisableDX8, DisableDX9, CmdFifoSize), six are registry
// numbers in its D3D subkey (QLDRV_LOD_BIAS, QLDRV_SWAPINTERVAL, QLDRV_OVERLAYMODE,
// QLDRV_ALPHADITHERMODE, QLDRV_MAX_PENDING_BUFFERS, QLDRV_LOD_DITHER).
//
// Everything is read in the constructor, each value with its own open and close. OK writes only
// the values whose control differs from what was read, after one write-access probe of the
// current device key, then refreshes the display mode. Cancel writes nothing.
#include <array>
#include <cstdint>
#include <string>

#include "framework/Dialog.h"
#include "platform/DriverSettingsKey.h"
#include "settings/TuningSetting.h"

class CGeneralDialog : public CDialog {
 public:
  CGeneralDialog(CWnd* parent, std::u16string deviceName, std::u16string currentDeviceKeyPath,
                 std::u16string deviceKeyPath);

  // Command FIFO sizes in bytes, by position in the Size list ("512K" ... "1024K").
  static constexpr std::array<std::uint32_t, 5> kFifoSizes = kCmdFifoSizes;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  // IDOK's click runs the OK handler; IDCANCEL goes the framework's way.
  bool OnCommand(unsigned id, unsigned code) override;

 private:
  void OnOkClicked();
  std::u16string DriverSettingsKeyPath() const { return platform::DriverSettingsKeyPath(m_strKeyPath); }

  std::u16string m_strKeyPath;  // the current device key path
  // The state as read; the lists' positions are derived from it, and OK compares against it.
  bool m_bTripleBuffer = true;
  std::int32_t m_nDdiVersion = 9;
  std::int32_t m_nLodBias = 0;  // quarter steps
  std::int32_t m_nVSyncIndex = 0;
  std::int32_t m_nFilterIndex = 0;
  std::int32_t m_nAlphaIndex = 0;
  std::int32_t m_nPendingIndex = 0;
  std::int32_t m_nDitherIndex = 0;
  std::uint32_t m_dwFifoSize = kFifoSizes[0];  // as stored, even when it is no size of the table
  std::int32_t m_nFifoIndex = 0;
  CComboBox m_comboDdi;
  CButton m_checkTriple;
  CComboBox m_comboVSync;
  CComboBox m_comboLodBias;
  CComboBox m_comboFilter;
  CComboBox m_comboAlpha;
  CComboBox m_comboPending;
  CComboBox m_comboDither;
  CComboBox m_comboFifo;
};
