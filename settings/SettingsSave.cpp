#include "settings/SettingsSave.h"

#include "settings/RefreshDisplayMode.h"
#include "settings/ValueAccess.h"

CSettingsSave::CSettingsSave(CWnd& dialog, bool changed, const std::u16string& probeKeyPath)
    : m_dialog(dialog), m_changed(changed) {
  if (m_changed && !ProbeWriteAccess(&m_dialog, probeKeyPath)) m_changed = false;
}

bool CSettingsSave::Finish() {
  if (!m_changed) return false;
  m_changed = false;
  RefreshDisplayMode(m_dialog.GetSafeHwnd());
  return true;
}
