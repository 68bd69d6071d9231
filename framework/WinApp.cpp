// The application object and the command line; the same on both windowing layers.
// (Per layer: CWinApp::LoadIcon and AfxInitCommonControlsEx.)
#include "framework/WinApp.h"

#include <utility>

namespace {
CWinApp* g_application = nullptr;
}

void CCommandLineInfo::ParseParam(const std::u16string& param, bool flag, bool last) {
  (void)last;
  if (!flag && m_strFileName.empty()) m_strFileName = param;
}

CWinApp::CWinApp(const char16_t* appName) {
  (void)appName;
  g_application = this;
}

CWinApp::~CWinApp() {
  if (g_application == this) g_application = nullptr;
}

bool CWinApp::InitInstance() { return true; }

void CWinApp::ParseCommandLine(CCommandLineInfo& info) {
  for (std::size_t i = 0; i < m_arguments.size(); ++i) {
    const std::u16string& argument = m_arguments[i];
    const bool flag = !argument.empty() && (argument[0] == u'/' || argument[0] == u'-');
    info.ParseParam(flag ? argument.substr(1) : argument, flag, i + 1 == m_arguments.size());
  }
}

void CWinApp::SetRegistryKey(const std::u16string& key) { m_registryKey = key; }

CWinApp* AfxGetApp() { return g_application; }

int AfxWinMain(std::vector<std::u16string> arguments, std::u16string commandLine) {
  CWinApp* application = AfxGetApp();
  if (application == nullptr) return -1;
  application->m_arguments = std::move(arguments);
  application->m_commandLine = std::move(commandLine);
  // InitInstance runs the main dialog itself and never asks for a message loop, so its
  // answer only decides that the program ends now, which it does either way.
  application->InitInstance();
  return application->m_nExitCode;
}
