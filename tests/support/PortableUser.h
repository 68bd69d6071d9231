#pragma once
// The test "user" on the portable layer. The program under test runs on its own thread (the UI
// thread); this object installs a scripted front end whose modal loops carry out, on the UI
// thread, the actions that the test thread posts. Every call waits for its action to finish, or
// for the action to open a nested modal window, and gives up after a timeout so that a broken
// test fails instead of hanging.
//
// The destructor ends whatever the program still has open (each modal window with IDCANCEL)
// and joins its thread.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "base/Service.h"
#include "framework/portable/Model.h"
#include "tests/support/User.h"

class PortableUser : public User {
 public:
  explicit PortableUser(std::function<int()> program,
                        std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
  ~PortableUser() override;
  PortableUser(const PortableUser&) = delete;
  PortableUser& operator=(const PortableUser&) = delete;

  bool WaitForDialog(const std::u16string& caption) override;
  bool WaitForClose(const std::u16string& caption) override;
  int WaitForExit() override;

  std::u16string Caption() override;
  std::u16string Text(int id) override;
  std::u16string MessageText() override;
  bool Exists(int id) override;
  bool IsEnabled(int id) override;
  bool HasFocus(int id) override;
  int Selection(int id) override;
  std::vector<std::u16string> Entries(int id) override;
  bool IsChecked(int id) override;
  std::vector<std::u16string> Texts() override;

  bool Select(int id, int index) override;
  bool Click(int id) override;
  bool SysCommand(unsigned id) override;
  bool PressEnter() override;
  bool PressEscape() override;

  // Runs a function on the UI thread against the current dialog (null when it has gone away);
  // false when it could not run in time. For reads the User interface does not offer.
  bool Inspect(const std::function<void(const portable::DialogModel*)>& reader);

 private:
  struct Task;
  class ScriptedFrontEnd;

  // Posts work to the UI thread and waits until it has run (or opened a nested modal window).
  bool Run(std::function<void()> work);
  // The current dialog if it is still open; on the UI thread only.
  portable::DialogModel* Current();
  // Acts on the current dialog when it is the topmost modal window (a person can reach only that).
  bool Act(const std::function<bool(portable::DialogModel&)>& action);

  std::chrono::milliseconds m_timeout;
  std::unique_ptr<ScriptedFrontEnd> m_frontEnd;
  base::Installed<portable::SetFrontEnd> m_installedFrontEnd;

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<std::shared_ptr<Task>> m_queue;
  struct Loop {
    portable::DialogModel* dialog;
    std::u16string caption;  // copied on the UI thread whenever it is idle
    unsigned serial;
  };
  std::vector<Loop> m_running;                    // modal loops, innermost last
  std::vector<std::shared_ptr<Task>> m_inFlight;  // started on the UI thread, not yet returned
  unsigned m_nextSerial = 1;
  unsigned m_currentSerial = 0;  // the loop of the dialog last found by WaitForDialog
  bool m_exited = false;
  bool m_aborting = false;
  int m_exitCode = -1;
  std::thread m_program;
};
