#include "tests/support/PortableUser.h"

#include <algorithm>
#include <atomic>

#include "framework/Types.h"

struct PortableUser::Task {
  std::function<void()> work;
  bool started = false;
  bool done = false;
};

class PortableUser::ScriptedFrontEnd : public portable::FrontEnd {
 public:
  explicit ScriptedFrontEnd(PortableUser& user) : m_user(user) {}

  void RunModal(portable::DialogModel& dialog) override {
    PortableUser& u = m_user;
    std::unique_lock lock(u.m_mutex);
    u.m_running.push_back({&dialog, dialog.caption, u.m_nextSerial++});
    // The actions that led here have done their part: the test goes on with this window.
    for (auto& task : u.m_inFlight) task->done = true;
    u.m_changed.notify_all();
    while (!dialog.ended) {
      if (u.m_aborting) {
        dialog.ended = true;
        dialog.result = IDCANCEL;
        break;
      }
      if (u.m_queue.empty()) {
        u.m_changed.wait(lock);
        continue;
      }
      std::shared_ptr<Task> task = u.m_queue.front();
      u.m_queue.pop_front();
      task->started = true;
      u.m_inFlight.push_back(task);
      lock.unlock();
      task->work();
      lock.lock();
      task->done = true;
      std::erase(u.m_inFlight, task);
      for (Loop& loop : u.m_running) loop.caption = loop.dialog->caption;
      u.m_changed.notify_all();
    }
    u.m_running.pop_back();
    u.m_changed.notify_all();
  }

 private:
  PortableUser& m_user;
};

PortableUser::PortableUser(std::function<int()> program, std::chrono::milliseconds timeout)
    : m_timeout(timeout),
      m_frontEnd(std::make_unique<ScriptedFrontEnd>(*this)),
      m_installedFrontEnd(*m_frontEnd) {
  m_program = std::thread([this, program = std::move(program)] {
    const int code = program();
    std::lock_guard lock(m_mutex);
    m_exited = true;
    m_exitCode = code;
    m_changed.notify_all();
  });
}

PortableUser::~PortableUser() {
  {
    std::lock_guard lock(m_mutex);
    m_aborting = true;
    m_changed.notify_all();
  }
  if (m_program.joinable()) m_program.join();
}

bool PortableUser::Run(std::function<void()> work) {
  auto task = std::make_shared<Task>();
  task->work = std::move(work);
  std::unique_lock lock(m_mutex);
  if (m_exited) return false;
  m_queue.push_back(task);
  m_changed.notify_all();
  m_changed.wait_for(lock, m_timeout, [&] { return task->done || (m_exited && !task->started); });
  if (!task->started) std::erase(m_queue, task);
  return task->done;
}

portable::DialogModel* PortableUser::Current() {
  // Called from the UI thread inside a task, so the loops cannot change meanwhile.
  std::lock_guard lock(m_mutex);
  for (const Loop& loop : m_running)
    if (loop.serial == m_currentSerial) return loop.dialog;
  return nullptr;
}

bool PortableUser::Act(const std::function<bool(portable::DialogModel&)>& action) {
  auto accepted = std::make_shared<std::atomic<bool>>(false);
  const bool ran = Run([this, accepted, action] {
    portable::DialogModel* dialog = Current();
    const auto& open = portable::OpenDialogs();
    if (dialog == nullptr || open.empty() || open.back() != dialog) return;
    // Accepted unless the model refuses at once; an action that opens a nested modal window
    // reports back while that window is open, before the model call returns.
    accepted->store(true);
    accepted->store(action(*dialog));
  });
  return ran && accepted->load();
}

bool PortableUser::Inspect(const std::function<void(const portable::DialogModel*)>& reader) {
  return Run([this, reader] { reader(Current()); });
}

namespace {

const portable::ControlModel* Visible(const portable::DialogModel* dialog, int id) {
  if (dialog == nullptr) return nullptr;
  const portable::ControlModel* control = dialog->Find(id);
  return control != nullptr && control->visible ? control : nullptr;
}

}  // namespace

// Reads a value from the current dialog on the UI thread; the fallback when there is none.
template <typename T, typename Reader>
static T ReadFrom(PortableUser& user, T fallback, Reader reader) {
  auto value = std::make_shared<T>(fallback);
  auto ready = std::make_shared<std::atomic<bool>>(false);
  const bool ran = user.Inspect([value, ready, reader](const portable::DialogModel* dialog) {
    *value = reader(dialog);
    ready->store(true);
  });
  return ran && ready->load() ? *value : fallback;
}

bool PortableUser::WaitForDialog(const std::u16string& caption) {
  std::unique_lock lock(m_mutex);
  const bool found = m_changed.wait_for(
      lock, m_timeout, [&] { return !m_running.empty() && m_running.back().caption == caption; });
  if (found) m_currentSerial = m_running.back().serial;
  return found;
}

bool PortableUser::WaitForClose(const std::u16string& caption) {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, m_timeout, [&] {
    return std::none_of(m_running.begin(), m_running.end(),
                        [&](const Loop& loop) { return loop.caption == caption; });
  });
}

int PortableUser::WaitForExit() {
  std::unique_lock lock(m_mutex);
  if (!m_changed.wait_for(lock, m_timeout, [&] { return m_exited; })) return -1;
  return m_exitCode;
}

std::u16string PortableUser::Caption() {
  return ReadFrom(*this, std::u16string(), [](const portable::DialogModel* d) {
    return d != nullptr ? d->caption : std::u16string();
  });
}

std::u16string PortableUser::Text(int id) {
  return ReadFrom(*this, std::u16string(), [id](const portable::DialogModel* d) {
    const portable::ControlModel* c = Visible(d, id);
    return c != nullptr ? c->text : std::u16string();
  });
}

std::u16string PortableUser::MessageText() { return Text(0xFFFF); }

bool PortableUser::Exists(int id) {
  return ReadFrom(*this, false, [id](const portable::DialogModel* d) { return Visible(d, id) != nullptr; });
}

bool PortableUser::IsEnabled(int id) {
  return ReadFrom(*this, false, [id](const portable::DialogModel* d) {
    const portable::ControlModel* c = Visible(d, id);
    return c != nullptr && c->enabled;
  });
}

bool PortableUser::HasFocus(int id) {
  return ReadFrom(*this, false, [id](const portable::DialogModel* d) {
    return d != nullptr && d->focus >= 0 && d->focus < static_cast<int>(d->controls.size()) &&
           d->controls[d->focus].id == id;
  });
}

int PortableUser::Selection(int id) {
  return ReadFrom(*this, -1, [id](const portable::DialogModel* d) {
    const portable::ControlModel* c = Visible(d, id);
    return c != nullptr ? c->selection : -1;
  });
}

std::vector<std::u16string> PortableUser::Entries(int id) {
  return ReadFrom(*this, std::vector<std::u16string>(), [id](const portable::DialogModel* d) {
    const portable::ControlModel* c = Visible(d, id);
    return c != nullptr ? c->items : std::vector<std::u16string>();
  });
}

bool PortableUser::IsChecked(int id) {
  return ReadFrom(*this, false, [id](const portable::DialogModel* d) {
    const portable::ControlModel* c = Visible(d, id);
    return c != nullptr && c->check == BST_CHECKED;
  });
}

std::vector<std::u16string> PortableUser::Texts() {
  return ReadFrom(*this, std::vector<std::u16string>(), [](const portable::DialogModel* d) {
    std::vector<std::u16string> texts;
    if (d != nullptr)
      for (const portable::ControlModel& c : d->controls)
        if (c.visible) texts.push_back(c.text);
    return texts;
  });
}

bool PortableUser::Select(int id, int index) {
  return Act([id, index](portable::DialogModel& d) { return d.SelectItem(id, index); });
}

bool PortableUser::Click(int id) {
  return Act([id](portable::DialogModel& d) { return d.Click(id); });
}

bool PortableUser::SysCommand(unsigned id) {
  return Act([id](portable::DialogModel& d) { return d.SysCommand(id); });
}

bool PortableUser::PressEnter() {
  return Act([](portable::DialogModel& d) { return d.PressEnter(); });
}

bool PortableUser::PressEscape() {
  return Act([](portable::DialogModel& d) { return d.PressEscape(); });
}
