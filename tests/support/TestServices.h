#pragma once
// Native tests: installs the POSIX test doubles of the platform services for one test (an
// in-memory registry, simulated display devices and display mode) and puts the previous ones
// back afterwards. Also a front end that answers every modal window at once and records it, for
// tests that do not drive the user interface.
#include <string>
#include <vector>

#include "framework/Types.h"
#include "framework/portable/Model.h"
#include "platform/posix/MemoryRegistry.h"
#include "platform/posix/SimulatedDevices.h"
#include "platform/posix/SimulatedDisplayMode.h"

class TestServices {
 public:
  TestServices()
      : m_previousRegistry(platform::SetRegistry(&registry)),
        m_previousDevices(platform::SetDisplayDevices(&devices)),
        m_previousDisplayMode(platform::SetDisplayMode(&displayMode)) {}
  ~TestServices() {
    platform::SetRegistry(m_previousRegistry);
    platform::SetDisplayDevices(m_previousDevices);
    platform::SetDisplayMode(m_previousDisplayMode);
  }
  TestServices(const TestServices&) = delete;
  TestServices& operator=(const TestServices&) = delete;

  platform::MemoryRegistry registry;
  platform::SimulatedDevices devices;
  platform::SimulatedDisplayMode displayMode;

 private:
  platform::Registry* m_previousRegistry;
  platform::DisplayDevices* m_previousDevices;
  platform::DisplayMode* m_previousDisplayMode;
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

  AnsweringFrontEnd() : m_previous(portable::SetFrontEnd(this)) {}
  ~AnsweringFrontEnd() override { portable::SetFrontEnd(m_previous); }
  AnsweringFrontEnd(const AnsweringFrontEnd&) = delete;
  AnsweringFrontEnd& operator=(const AnsweringFrontEnd&) = delete;

  void RunModal(portable::DialogModel& dialog) override {
    const portable::ControlModel* text = dialog.Find(0xFFFF);
    shown.push_back({dialog.caption, text != nullptr ? text->text : std::u16string(), dialog.isMessageBox,
                     dialog.owner != nullptr});
    dialog.ended = true;
    dialog.result = dialog.isMessageBox ? IDOK : IDCANCEL;
  }

  std::vector<Shown> shown;

 private:
  portable::FrontEnd* m_previous;
};
