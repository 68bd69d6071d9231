#include "tests/win32/Win32User.h"

#include <cwchar>
#include <set>
#include <thread>

#include "tests/win32/Screenshot.h"

namespace {

constexpr auto kPoll = std::chrono::milliseconds(20);
constexpr UINT kReadTimeoutMs = 3000;

std::u16string FromWide(const wchar_t* text, std::size_t length) {
  return std::u16string(text, text + length);
}

bool IsDialogClass(HWND window) {
  wchar_t name[16] = {};
  return ::GetClassNameW(window, name, 16) > 0 && std::wstring_view(name) == L"#32770";
}

// Actions whose handler has returned, by sequence number. The callback runs on this thread
// while it pumps its messages, possibly after the action's wait has already ended.
std::set<ULONG_PTR>& CompletedActions() {
  static std::set<ULONG_PTR> completed;
  return completed;
}

void CALLBACK ActionCompleted(HWND, UINT, ULONG_PTR sequence, LRESULT) {
  CompletedActions().insert(sequence);
}

// This process's environment block with the settings ("NAME=value") put in place of any of
// the same name.
std::wstring EnvironmentWith(const std::vector<std::wstring>& settings) {
  std::vector<std::wstring> entries;
  if (wchar_t* current = ::GetEnvironmentStringsW()) {
    for (const wchar_t* entry = current; *entry != L'\0'; entry += wcslen(entry) + 1)
      entries.emplace_back(entry);
    ::FreeEnvironmentStringsW(current);
  }
  for (const std::wstring& setting : settings) {
    // Names are compared without case; a name may begin with '=' (the drives' folders do).
    const std::wstring name = setting.substr(0, setting.find(L'=', 1) + 1);
    std::erase_if(entries, [&](const std::wstring& entry) {
      return entry.size() >= name.size() &&
             ::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, entry.c_str(), static_cast<int>(name.size()),
                              name.c_str(), static_cast<int>(name.size())) == CSTR_EQUAL;
    });
    entries.push_back(setting);
  }
  std::wstring block;
  for (const std::wstring& entry : entries) block += entry + L'\0';
  return block + L'\0';
}

void PumpMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
}

template <typename Condition>
bool WaitUntil(std::chrono::milliseconds timeout, Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    PumpMessages();
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPoll);
  }
}

}  // namespace

std::wstring ProgramBesideTests(const std::wstring& fileName) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  folder.resize(folder.find_last_of(L"\\/") + 1);
  return folder + fileName;
}

Win32User::Win32User(const std::wstring& program, const std::wstring& arguments,
                     std::chrono::milliseconds timeout)
    : Win32User(program, arguments, {}, timeout) {}

Win32User::Win32User(const std::wstring& program, const std::wstring& arguments,
                     const std::vector<std::wstring>& environment, std::chrono::milliseconds timeout)
    : m_timeout(timeout) {
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring block;
  if (!environment.empty()) block = EnvironmentWith(environment);
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, block.empty() ? nullptr : block.data(), nullptr, &startup,
                        &info))
    return;
  ::CloseHandle(info.hThread);
  m_process = info.hProcess;
  m_processId = info.dwProcessId;
  m_mainThreadId = info.dwThreadId;
}

Win32User::~Win32User() {
  if (m_process == nullptr) return;
  if (::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(m_process, 1);
    ::WaitForSingleObject(m_process, 5000);
  }
  ::CloseHandle(m_process);
}

std::vector<HWND> Win32User::Dialogs(const std::u16string& caption) const {
  struct Search {
    DWORD processId;
    std::u16string caption;
    std::vector<HWND> found;
  } search{m_processId, caption, {}};
  // A plain function rather than a lambda: the callback must be stdcall on x86.
  struct Callback {
    static BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
      auto& s = *reinterpret_cast<Search*>(parameter);
      DWORD owner = 0;
      ::GetWindowThreadProcessId(window, &owner);
      if (owner != s.processId || !::IsWindowVisible(window) || !IsDialogClass(window)) return TRUE;
      wchar_t text[256] = {};
      const int length = ::GetWindowTextW(window, text, 256);
      if (FromWide(text, static_cast<std::size_t>(length > 0 ? length : 0)) == s.caption)
        s.found.push_back(window);
      return TRUE;
    }
  };
  ::EnumWindows(Callback::Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool Win32User::CurrentIsActive() const {
  return m_current != nullptr && ::IsWindow(m_current) && ::IsWindowVisible(m_current) &&
         ::IsWindowEnabled(m_current);
}

bool Win32User::WaitForDialog(const std::u16string& caption) {
  if (m_process == nullptr) return false;
  return WaitUntil(m_timeout, [&] {
    for (HWND window : Dialogs(caption)) {
      // A dialog disabled by a nested modal window is not the one a person can work with.
      if (::IsWindowEnabled(window)) {
        m_current = window;
        return true;
      }
    }
    return false;
  });
}

bool Win32User::WaitForClose(const std::u16string& caption) {
  if (m_process == nullptr) return false;
  return WaitUntil(m_timeout, [&] { return Dialogs(caption).empty(); });
}

int Win32User::WaitForExit() {
  if (m_process == nullptr) return -1;
  // A process's exit under Wine can take a while on a loaded machine (its server tears down the
  // windows and threads); allow more than for a window to appear, so a slow exit is no failure.
  // Wine at times loses the wake-up that EndDialog posts when the ending command was sent from
  // another thread, as this user sends it: the dialog's loop then sleeps in GetMessage with its end
  // already recorded. A WM_NULL posted to the program's main thread now and then wakes it; a dialog
  // that did not end reads it as nothing and keeps running, so the wait still fails.
  const auto deadline = std::chrono::steady_clock::now() + 3 * m_timeout;
  DWORD waited = WAIT_TIMEOUT;
  while (waited == WAIT_TIMEOUT && std::chrono::steady_clock::now() < deadline) {
    waited = ::WaitForSingleObject(m_process, 500);
    if (waited == WAIT_TIMEOUT) ::PostThreadMessageW(m_mainThreadId, WM_NULL, 0, 0);
  }
  if (waited != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  ::GetExitCodeProcess(m_process, &code);
  return static_cast<int>(code);
}

bool Win32User::Query(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) const {
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kReadTimeoutMs, &answer))
    return false;
  *result = static_cast<LRESULT>(answer);
  return true;
}

std::u16string Win32User::WindowText(HWND window) const {
  LRESULT length = 0;
  if (window == nullptr || !Query(window, WM_GETTEXTLENGTH, 0, 0, &length) || length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  LRESULT copied = 0;
  if (!Query(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied)) return {};
  return FromWide(text.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

HWND Win32User::Control(int id) const {
  if (m_current == nullptr || !::IsWindow(m_current)) return nullptr;
  HWND control = ::GetDlgItem(m_current, id);
  return control != nullptr && ::IsWindowVisible(control) ? control : nullptr;
}

HWND Win32User::Operable(int id) const {
  if (!CurrentIsActive()) return nullptr;
  HWND control = Control(id);
  // Wine delivers a click to a disabled button; a person could not make it.
  return control != nullptr && ::IsWindowEnabled(control) ? control : nullptr;
}

bool Win32User::Deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  static ULONG_PTR nextSequence = 0;
  const ULONG_PTR sequence = ++nextSequence;
  if (!::SendMessageCallbackW(window, message, wParam, lParam, &ActionCompleted, sequence)) return false;
  WaitUntil(m_timeout, [&] { return CompletedActions().count(sequence) != 0 || !CurrentIsActive(); });
  return true;
}

std::u16string Win32User::Caption() {
  if (m_current == nullptr || !::IsWindow(m_current)) return {};
  wchar_t text[256] = {};
  const int length = ::GetWindowTextW(m_current, text, 256);
  return FromWide(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::u16string Win32User::Text(int id) { return WindowText(Control(id)); }

std::u16string Win32User::MessageText() { return Text(0xFFFF); }

bool Win32User::Exists(int id) { return Control(id) != nullptr; }

bool Win32User::IsEnabled(int id) {
  HWND control = Control(id);
  return control != nullptr && ::IsWindowEnabled(control);
}

bool Win32User::HasFocus(int id) {
  HWND control = Control(id);
  if (control == nullptr) return false;
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(m_current, nullptr), &info)) return false;
  return info.hwndFocus == control;
}

int Win32User::Selection(int id) {
  LRESULT selection = CB_ERR;
  HWND control = Control(id);
  if (control == nullptr || !Query(control, CB_GETCURSEL, 0, 0, &selection)) return -1;
  return static_cast<int>(selection);
}

std::vector<std::u16string> Win32User::Entries(int id) {
  std::vector<std::u16string> entries;
  HWND control = Control(id);
  LRESULT count = 0;
  if (control == nullptr || !Query(control, CB_GETCOUNT, 0, 0, &count)) return entries;
  for (LRESULT index = 0; index < count; ++index) {
    LRESULT length = 0;
    if (!Query(control, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0, &length) || length < 0) break;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT copied = 0;
    if (!Query(control, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()),
               &copied))
      break;
    entries.push_back(FromWide(text.data(), static_cast<std::size_t>(copied > 0 ? copied : 0)));
  }
  return entries;
}

bool Win32User::IsChecked(int id) {
  LRESULT state = BST_UNCHECKED;
  HWND control = Control(id);
  return control != nullptr && Query(control, BM_GETCHECK, 0, 0, &state) && state == BST_CHECKED;
}

std::vector<std::u16string> Win32User::Texts() {
  std::vector<std::u16string> texts;
  if (m_current == nullptr || !::IsWindow(m_current)) return texts;
  // Controls are created in template order and keep it as their order among siblings.
  for (HWND child = ::GetWindow(m_current, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (::IsWindowVisible(child)) texts.push_back(WindowText(child));
  }
  return texts;
}

bool Win32User::Select(int id, int index) {
  HWND control = Operable(id);
  LRESULT count = 0;
  if (control == nullptr || !Query(control, CB_GETCOUNT, 0, 0, &count) || index < 0 || index >= count)
    return false;
  LRESULT selected = CB_ERR;
  if (!Query(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0, &selected) || selected != index)
    return false;
  return Deliver(m_current, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
}

bool Win32User::Click(int id) {
  HWND control = Operable(id);
  if (control == nullptr) return false;
  // A check box of the automatic kind changes its own state before it tells the dialog.
  const LONG type = ::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
  LRESULT state = BST_UNCHECKED;
  if (type == BS_AUTOCHECKBOX || type == BS_AUTO3STATE) {
    if (!Query(control, BM_GETCHECK, 0, 0, &state)) return false;
    const WPARAM next = state == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    if (!Query(control, BM_SETCHECK, next, 0, &state)) return false;
  } else if (type == BS_AUTORADIOBUTTON) {
    if (!Query(control, BM_SETCHECK, BST_CHECKED, 0, &state)) return false;
  }
  return Deliver(m_current, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

bool Win32User::SysCommand(unsigned id) {
  if (!CurrentIsActive()) return false;
  return Deliver(m_current, WM_SYSCOMMAND, id, 0);
}

bool Win32User::PressEnter() {
  if (!CurrentIsActive()) return false;
  // As the dialog manager does: the default button when there is one (nothing happens when it is
  // disabled), otherwise the OK command.
  LRESULT defaultId = 0;
  if (Query(m_current, DM_GETDEFID, 0, 0, &defaultId) && HIWORD(defaultId) == DC_HASDEFID) {
    const int id = LOWORD(defaultId);
    HWND button = ::GetDlgItem(m_current, id);
    if (button != nullptr && !::IsWindowEnabled(button)) return true;
    return Deliver(m_current, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  }
  return Deliver(m_current, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(m_current, IDOK)));
}

bool Win32User::PressEscape() {
  if (!CurrentIsActive()) return false;
  return Deliver(m_current, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(m_current, IDCANCEL)));
}

bool Win32User::Screenshot(const std::wstring& name) {
  if (!CurrentIsActive()) return false;
  // Let the dialog finish painting: it answers a sent message only between other messages.
  LRESULT ignored = 0;
  Query(m_current, WM_NULL, 0, 0, &ignored);
  ::RedrawWindow(m_current, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  return SaveScreenshot(m_current, name);
}
