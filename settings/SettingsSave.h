#pragma once
// CSettingsSave: the frame of a settings dialog's OK handler. The dialog keeps its own writes,
// in its own order, between the two halves:
//
//   void CSomeDialog::OnOkClicked() {
//     CSettingsSave save(*this, /*changed=*/anyControlDiffers, probeKeyPath);  // probe once
//     if (firstChanged) kFirst.Write(keyPath, position);  // every differing setting, even after a
//     if (secondChanged) ...                              // refused probe (those opens then fail)
//     CDialog::OnOK();                                    // the framework's data exchange and end
//     save.Finish();                                      // the display-mode refresh, if still changed
//   }
//
// The changed flag is set when any control differs from its loaded state; a refused probe
// (which shows the administrator message, owned by the dialog) clears it. Nothing changed:
// no probe, no registry access, no refresh.
#include <string>

#include "framework/Wnd.h"

class CSettingsSave {
 public:
  // Runs the write-access probe on probeKeyPath once when changed is true.
  CSettingsSave(CWnd& dialog, bool changed, const std::u16string& probeKeyPath);
  CSettingsSave(const CSettingsSave&) = delete;
  CSettingsSave& operator=(const CSettingsSave&) = delete;

  // The changed flag after the probe: true when something differs and writing is allowed.
  bool Changed() const { return m_changed; }
  // After the framework's OK processing: refreshes the display mode with the dialog's window
  // when the flag is still set, then clears it (a second call does nothing). Returns whether
  // the refresh was made.
  bool Finish();

 private:
  CWnd& m_dialog;
  bool m_changed;
};
