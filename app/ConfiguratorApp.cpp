#include "app/ConfiguratorApp.h"

#include "app/AdapterDiscovery.h"
#include "app/TuningCommandLineInfo.h"
#include "mainwnd/ConfiguratorDlg.h"

CConfiguratorApp::~CConfiguratorApp() = default;

bool CConfiguratorApp::InitInstance() {
  // A failure leaves the system's own controls, which the dialogs also work with.
  AfxInitCommonControlsEx(8, ICC_WIN95_CLASSES);

  CTuningCommandLineInfo commandLine;
  commandLine.Parse(m_arguments, AfxIsConsoleProgram(), m_commandLine);
  CWinApp::InitInstance();
  SetRegistryKey(u"Orlo");

  // Before anything else, what a launcher that is gone left changed is put back (a launcher
  // does it itself, as it refuses to run beside another).
  if (!commandLine.m_run || !commandLine.m_errors.empty()) commandLine.RestoreLeftRecord();

  // Switches for scripts run without the dialogs, and end the program with their status.
  if (commandLine.Scripted()) {
    m_nExitCode = commandLine.Run();
    return false;
  }

  // An argument on the command line is the hand-off string itself, and replaces discovery.
  if (commandLine.m_strFileName.empty()) DiscoverAdapter(g_adapterTable, commandLine.m_strFileName);

  {
    CConfiguratorDlg dialog(nullptr, commandLine.m_strFileName);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;  // the dialog is gone at the end of this block
  }
  return false;
}
