#pragma once
// Runs the settings dialogs natively: an in-memory registry holding one adapter's keys, the
// recording display mode, and a settings dialog run modally on the program's own thread.
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/Service.h"
#include "platform/posix/DisplayMode.h"
#include "tests/scenarios/SettingsScenario.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/PortableUser.h"
#include "tests/support/TestAdapter.h"

std::u16string PathOf(scenarios::DialogKey key);

// Installs the store and the display mode for its lifetime; the previous ones come back after.
class DialogHost {
 public:
  // The adapter's current device key, with or without its D3D subkey, holding these values.
  void Seed(const std::vector<scenarios::StoredValue>& values, bool driverSettingsKeyExists = true);
  // Every value of both keys.
  std::vector<scenarios::StoredValue> Stored() const;

  // Runs the dialog on the program's thread; the program's exit code is DoModal's result.
  std::unique_ptr<PortableUser> Open(scenarios::SettingsDialog dialog);

  // Whether exactly one refresh was made: create, exclusive full-screen level with a window,
  // the 640 x 480 x 16 mode, release. Adds a failure to checks otherwise.
  void ExpectRefreshes(bool refreshed, scenarios::Checks& checks) const;

  platform::MemoryRegistry store;
  platform::SimulatedDisplayMode displayMode;

 private:
  base::Installed<platform::SetRegistry> m_registry{store};
  base::Installed<platform::SetDisplayMode> m_displayMode{displayMode};
};

namespace scenarios {
// Names a scenario in gtest's output instead of dumping its bytes.
inline void PrintTo(const Scenario& scenario, std::ostream* os) { *os << scenario.name; }
}  // namespace scenarios
