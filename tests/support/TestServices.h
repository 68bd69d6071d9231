#pragma once
// Native tests: installs the POSIX test doubles of the platform services for one test (an
// in-memory registry, simulated display devices and display mode) and puts the previous ones
// back afterwards. Also a front end that answers every modal window at once and records it, for
// tests that do not drive the user interface.
#include <string>
#include <vector>

#include "base/Service.h"
#include "framework/Types.h"
#include "framework/portable/Model.h"
#include "platform/posix/DisplayDevices.h"
#include "platform/posix/DisplayMode.h"
#include "tests/support/MemoryRegistry.h"

class TestServices {
 public:
  platform::MemoryRegistry registry;
  platform::SimulatedDevices devices;
  platform::SimulatedDisplayMode displayMode;

 private:
  base::Installed<platform::SetRegistry> m_registry{registry};
  base::Installed<platform::SetDisplayDevices> m_devices{devices};
  base::Installed<platform::SetDisplayMode> m_displayMode{displayMode};
};

// Ends every modal window as soon as it opens (a message box with OK, a dialog with Cancel)
// and records what it was.
class AnsweringFrontEnd : public portable::FrontEnd {
 public:
  struct Shown {
    std::u16string caption;
    std::u16string text;  // a message box's text
    bool isMessageBox = false;
    bool owned = false;
  };

  void RunModal(portable::DialogModel& dialog) override {
    const portable::ControlModel* text = dialog.Find(0xFFFF);
    shown.push_back({dialog.caption, text != nullptr ? text->text : std::u16string(), dialog.isMessageBox,
                     dialog.owner != nullptr});
    dialog.ended = true;
    dialog.result = dialog.isMessageBox ? IDOK : IDCANCEL;
  }

  std::vector<Shown> shown;

 private:
  base::Installed<portable::SetFrontEnd> m_installed{*this};
};
