#include "mainwnd/ConfiguratorDlg.h"

#include <utility>

#include "dialogs/DualChipDialog.h"
#include "dialogs/GeneralDialog.h"
#include "dialogs/QuadChipDialog.h"
#include "dialogs/SingleChipDialog.h"
#include "framework/WinApp.h"
#include "mainwnd/AboutDlg.h"
#include "res/resource.h"
#include "settings/AdapterIdentity.h"
#include "settings/HardwareInformation.h"

namespace {

// The buttons' clicks, in the order they are routed.
struct ClickRoute {
  unsigned id;
  void (CConfiguratorDlg::*handler)();
};

}  // namespace

CConfiguratorDlg::CConfiguratorDlg(CWnd* parent, std::u16string handOff)
    : CDialog(IDD_CONFIGURATOR_DIALOG, parent) {
  if (CWinApp* application = AfxGetApp()) m_hIcon = application->LoadIcon(IDR_MAINFRAME);
  AdapterIdentity identity = ParseAdapterHandOff(handOff);
  m_deviceName = std::move(identity.deviceName);
  m_deviceKeyPath = std::move(identity.deviceKeyPath);
  m_currentDeviceKeyPath = std::move(identity.currentDeviceKeyPath);
  HardwareInformation information = ReadHardwareInformation(m_deviceKeyPath);
  m_adapterText = std::move(information.adapterText);
  m_biosText = std::move(information.biosText);
  m_chipTypeText = std::move(information.chipTypeText);
  m_memoryText = std::move(information.memoryText);
  m_chipTypeSupported = IsSupportedChipType(m_chipTypeText);
  m_chipCount = ChipCountFromAdapterText(m_adapterText);
}

CConfiguratorDlg::~CConfiguratorDlg() = default;

// The same in both directions: the texts never change, and the chip button is only ever
// enabled here (the template starts it disabled).
void CConfiguratorDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_STATIC_ADAPTER, m_adapterStatic);
  DDX_Control(pDX, IDC_STATIC_BIOS, m_biosStatic);
  DDX_Control(pDX, IDC_STATIC_CHIP, m_chipTypeStatic);
  DDX_Control(pDX, IDC_STATIC_MEMORY, m_memoryStatic);
  m_adapterStatic.SetWindowText(m_adapterText);
  m_biosStatic.SetWindowText(m_biosText);
  m_chipTypeStatic.SetWindowText(m_chipTypeText);
  m_memoryStatic.SetWindowText(m_memoryText);
  DDX_Control(pDX, IDC_BUTTON_GENERAL, m_generalButton);
  DDX_Control(pDX, IDC_BUTTON_CHIP, m_chipButton);
  if (m_chipTypeSupported) m_chipButton.EnableWindow(true);
}

bool CConfiguratorDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (CMenu* systemMenu = GetSystemMenu(false)) {
    std::u16string aboutText;
    if (LoadStringResource(IDS_ABOUTBOX, aboutText) && !aboutText.empty()) {
      systemMenu->AppendMenu(MF_SEPARATOR);
      systemMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, aboutText);
    }
  }
  SetIcon(m_hIcon, true);
  SetIcon(m_hIcon, false);
  return true;
}

bool CConfiguratorDlg::OnCommand(unsigned id, unsigned code) {
  static constexpr ClickRoute kRoutes[] = {
      {IDC_BUTTON_CHIP, &CConfiguratorDlg::OnBnClickedChip},
      {IDC_BUTTON_GENERAL, &CConfiguratorDlg::OnBnClickedGeneral},
  };
  if (code == BN_CLICKED) {
    for (const ClickRoute& route : kRoutes) {
      if (route.id != id) continue;
      (this->*route.handler)();
      return true;
    }
  }
  return CDialog::OnCommand(id, code);
}

void CConfiguratorDlg::OnSysCommand(unsigned id, std::intptr_t param) {
  if ((id & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutDlg about;
    about.DoModal();
  } else {
    CDialog::OnSysCommand(id, param);
  }
}

void CConfiguratorDlg::OnPaint() {
  if (!IsIconic()) {
    CDialog::OnPaint();
    return;
  }
  CPaintDC dc(this);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<std::uintptr_t>(dc.GetSafeHdc()), 0);
  // The icon centred in the client area.
  const int iconWidth = GetSystemMetrics(SM_CXICON);
  const int iconHeight = GetSystemMetrics(SM_CYICON);
  const CRect client = GetClientRect();
  const int x = (client.Width() - iconWidth + 1) / 2;
  const int y = (client.Height() - iconHeight + 1) / 2;
  dc.DrawIcon(x, y, m_hIcon);
}

IconHandle CConfiguratorDlg::OnQueryDragIcon() { return m_hIcon; }

void CConfiguratorDlg::OnBnClickedChip() {
  switch (m_chipCount) {
    case 1: {
      CSingleChipDialog dialog(nullptr, m_deviceName, m_currentDeviceKeyPath, m_deviceKeyPath);
      dialog.DoModal();
      break;
    }
    case 2: {
      CDualChipDialog dialog(nullptr, m_deviceName, m_currentDeviceKeyPath, m_deviceKeyPath);
      dialog.DoModal();
      break;
    }
    case 4: {
      CQuadChipDialog dialog(nullptr, m_deviceName, m_currentDeviceKeyPath, m_deviceKeyPath);
      dialog.DoModal();
      break;
    }
    default:
      break;
  }
}

void CConfiguratorDlg::OnBnClickedGeneral() {
  CGeneralDialog dialog(nullptr, m_deviceName, m_currentDeviceKeyPath, m_deviceKeyPath);
  dialog.DoModal();
}
