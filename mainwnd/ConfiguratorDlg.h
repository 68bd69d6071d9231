#pragma once
// CConfiguratorDlg: the main dialog (template 102). At construction, before its window exists,
// it derives the adapter identity from the hand-off string and reads the hardware information
// once; neither changes afterwards. It shows the four texts, enables the chip button for the
// supported chip type, and opens the settings dialogs and the About box.
#include <cstdint>
#include <string>

#include "framework/Controls.h"
#include "framework/Dialog.h"

class CConfiguratorDlg : public CDialog {
 public:
  CConfiguratorDlg(CWnd* parent, std::u16string handOff);
  ~CConfiguratorDlg() override;

  const std::u16string& DeviceName() const { return m_deviceName; }
  const std::u16string& DeviceKeyPath() const { return m_deviceKeyPath; }
  const std::u16string& CurrentDeviceKeyPath() const { return m_currentDeviceKeyPath; }
  const std::u16string& AdapterText() const { return m_adapterText; }
  const std::u16string& BiosText() const { return m_biosText; }
  const std::u16string& MemoryText() const { return m_memoryText; }
  const std::u16string& ChipTypeText() const { return m_chipTypeText; }
  bool ChipTypeSupported() const { return m_chipTypeSupported; }
  int ChipCount() const { return m_chipCount; }

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  bool OnInitDialog() override;
  bool OnCommand(unsigned id, unsigned code) override;
  void OnSysCommand(unsigned id, std::intptr_t param) override;
  void OnPaint() override;
  IconHandle OnQueryDragIcon() override;

  void OnBnClickedChip();
  void OnBnClickedGeneral();

 private:
  IconHandle m_hIcon = nullptr;  // shared resource icon, never destroyed here
  std::u16string m_deviceName;
  std::u16string m_deviceKeyPath;
  std::u16string m_currentDeviceKeyPath;
  std::u16string m_adapterText;
  std::u16string m_biosText;
  std::u16string m_memoryText;
  std::u16string m_chipTypeText;
  bool m_chipTypeSupported = false;
  int m_chipCount = 1;
  CStatic m_adapterStatic;
  CStatic m_biosStatic;
  CStatic m_chipTypeStatic;
  CStatic m_memoryStatic;
  CButton m_generalButton;
  CButton m_chipButton;
};
