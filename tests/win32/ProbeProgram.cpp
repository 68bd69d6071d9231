// A program that runs the settings dialogs' write-access probe on the key named on its command
// line, then one write to that key as their OK handler does after the probe: the refusal
// path on the real registry without the rest of the program.
#include "framework/WinApp.h"
#include "settings/ValueAccess.h"

namespace {

class CProbeApp : public CWinApp {
 public:
  bool InitInstance() override {
    if (m_arguments.size() != 1) return false;
    const std::u16string& keyPath = m_arguments[0];
    ProbeWriteAccess(nullptr, keyPath);
    WriteNumber(keyPath, u"QLDRV_LOD_BIAS", 2);
    return false;
  }
};

CProbeApp theApp;

}  // namespace
