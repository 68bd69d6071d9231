// The launcher's Windows services. The restore record lives in the user's application data
// folder (the program's own folder may be a read-only share). While a launcher runs it holds the
// record open, sharing neither writing nor the right to make a new one under the same name, so
// that any other start can tell a live launcher's record from one whose launcher is gone. Every
// new record goes through one temporary name, held as long as it takes to check that no record
// is there and to move it into place: two launchers never both make one.
//
// The program to start runs in a job object of its own, without kill-on-close (a launcher that is
// killed leaves the game running), and a completion port tells when the job's last process has
// ended. All of it is on Windows 2000.
#include "platform/win32/Launcher.h"

// clang-format off
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>
// clang-format on

#include <algorithm>

#include "platform/StatusWords.h"
#include "platform/win32/Owners.h"

namespace platform {
namespace {

long Failed(long status, std::u16string* why) {
  if (why != nullptr) *why = StatusWords(status);
  return status;
}

long LastError(std::u16string* why) { return Failed(static_cast<long>(::GetLastError()), why); }

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::u16string Narrowed(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

constexpr std::u16string_view kRecordName = u"restore-record.txt";

// A record is a few KiB; anything past this is no record of ours.
constexpr DWORD kRecordLimit = 1u << 20;

// Every handle on the record or its temporary name: others may read it, and it may be renamed
// or deleted through this handle, but no other start may open it for writing. Links are opened
// as themselves, never followed.
constexpr DWORD kHeldAccess = GENERIC_READ | GENERIC_WRITE | DELETE;
constexpr DWORD kHeldSharing = FILE_SHARE_READ | FILE_SHARE_DELETE;
constexpr DWORD kHeldFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;

// The record's folder is the user's, and so is every name in it: a program of the user's may make
// the folder a junction, or the record a symbolic or hard link to a file the user may not write,
// for a run with more rights (an elevated one) to write or delete through. So the folder is held
// open while the store works in it, which keeps it from being renamed or replaced, and refused
// when it is a reparse point; a file is opened as itself and used only when it is a plain file
// with no other name; and a file is deleted through its own handle, never by name.
long Refused(const std::u16string& path, const char16_t* what, std::u16string* why) {
  if (why != nullptr) *why = path + what;
  return kAccessDenied;
}

// Why an opened file may not be used as the record, or kSuccess.
long CheckPlainFile(HANDLE file, const std::u16string& path, std::u16string* why) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(file, &information)) return LastError(why);
  if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
    return Refused(path, u" is a symbolic link or junction, not a file of this program's: it is not used",
                   why);
  if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    return Refused(path, u" is a folder, not a file of this program's: it is not used", why);
  if (information.nNumberOfLinks != 1)
    return Refused(path, u" has another name (a hard link), so it may be another file: it is not used", why);
  return kSuccess;
}

// File information set through a handle (NtSetInformationFile, on every Windows since NT): the
// calls that delete or rename the very file a handle holds, whatever its name is by now.
struct StatusBlock {
  ULONG_PTR status;
  ULONG_PTR information;
};
using SetInformationFile = LONG(WINAPI*)(HANDLE, StatusBlock*, void*, ULONG, int);

long SetInformation(HANDLE file, void* information, ULONG size, int kind) {
  static const auto set = reinterpret_cast<SetInformationFile>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtSetInformationFile")));
  if (set == nullptr) return kInvalidHandle;
  StatusBlock block{};
  return set(file, &block, information, size, kind) >= 0 ? kSuccess : kAccessDenied;
}

// Deletes the file of a handle opened with DELETE access.
long DeleteThrough(HANDLE file) {
  constexpr int kFileDispositionInformation = 13;
  BOOLEAN deleteFile = TRUE;
  return SetInformation(file, &deleteFile, sizeof deleteFile, kFileDispositionInformation);
}

// Gives the file of a handle opened with DELETE access a name in a folder held open, replacing
// what has that name.
long RenameThrough(HANDLE file, HANDLE folder, std::u16string_view name) {
  constexpr int kFileRenameInformation = 10;
  struct Rename {
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG fileNameLength;
    WCHAR fileName[MAX_PATH];
  };
  if (name.size() >= MAX_PATH) return kBadPathName;
  Rename rename{TRUE, folder, static_cast<ULONG>(name.size() * sizeof(WCHAR)), {}};
  std::copy(name.begin(), name.end(), rename.fileName);
  return SetInformation(file, &rename, sizeof rename, kFileRenameInformation);
}

class AppDataRecordStore final : public RecordStore {
 public:
  std::u16string Location() override { return Folder() + u"\\" + std::u16string(kRecordName); }

  long Find(Found* found, std::vector<std::uint8_t>* bytes, std::u16string* why) override {
    *found = Found::kNone;
    bytes->clear();
    FileHandle folder;
    if (const long status = HoldFolder(false, &folder, why); status != kSuccess || !folder.Valid())
      return status;
    const std::u16string path = Location();
    FileHandle file(
        ::CreateFileW(Wide(path), kHeldAccess, kHeldSharing, nullptr, OPEN_EXISTING, kHeldFlags, nullptr));
    if (!file.Valid()) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return kSuccess;
      if (error == ERROR_SHARING_VIOLATION) {
        *found = Found::kHeld;
        return kSuccess;
      }
      return Failed(static_cast<long>(error), why);
    }
    if (const long status = CheckPlainFile(file.Get(), path, why); status != kSuccess) return status;
    const DWORD size = ::GetFileSize(file.Get(), nullptr);
    if (size == INVALID_FILE_SIZE) return LastError(why);
    if (size > kRecordLimit) return Failed(kFileTooLarge, why);
    bytes->resize(size);
    DWORD read = 0;
    if (size > 0 && !::ReadFile(file.Get(), bytes->data(), size, &read, nullptr)) return LastError(why);
    if (read != size) return Failed(kReadFault, why);
    m_held = std::move(file);
    *found = Found::kOpened;
    return kSuccess;
  }

  long Create(std::span<const std::uint8_t> bytes, bool* held, std::u16string* why) override {
    *held = false;
    FileHandle folder;
    if (const long status = HoldFolder(true, &folder, why); status != kSuccess) return status;
    const std::u16string temporary = Folder() + u"\\restore-record.new";
    FileHandle file;
    if (const long status = OpenTemporary(temporary, &file, held, why); status != kSuccess || *held)
      return status;
    DWORD written = 0;
    long status = kSuccess;
    if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
      status = static_cast<long>(::GetLastError());
    else if (written != bytes.size())
      status = kWriteFault;
    else if (!::FlushFileBuffers(file.Get()))
      status = static_cast<long>(::GetLastError());
    if (status != kSuccess) {
      DeleteThrough(file.Get());
      return Failed(status, why);
    }
    if (::GetFileAttributesW(Wide(Location())) != INVALID_FILE_ATTRIBUTES) {
      DeleteThrough(file.Get());
      *held = true;  // another launcher made its record since this one looked
      return kSuccess;
    }
    if (const long moved = RenameThrough(file.Get(), folder.Get(), kRecordName); moved != kSuccess) {
      DeleteThrough(file.Get());
      return Failed(moved, why);
    }
    ::FlushFileBuffers(file.Get());
    m_held = std::move(file);  // the handle follows the file to its new name
    return kSuccess;
  }

  long Remove(std::u16string* why) override {
    // Deleted through the handle that holds it: no other start can open it between the two, and
    // no other file can stand in for it.
    if (!m_held.Valid()) return Failed(kInvalidHandle, why);
    const long status = DeleteThrough(m_held.Get());
    m_held.Reset();
    return status == kSuccess ? kSuccess : Failed(status, why);
  }

  void Release() override { m_held.Reset(); }

 private:
  static std::u16string Folder() {
    wchar_t path[MAX_PATH] = {};
    if (::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path) !=
        S_OK)
      return {};
    return Narrowed(path) + u"\\Configurator";
  }

  // Opens the record's folder, made first when asked, and holds it without sharing deletion so
  // that it cannot be renamed or replaced while *folder is open. A folder that is not there
  // leaves *folder invalid (kSuccess); one that is a reparse point is refused.
  static long HoldFolder(bool create, FileHandle* folder, std::u16string* why) {
    const std::u16string path = Folder();
    if (path.empty()) return create ? Failed(kFileNotFound, why) : kSuccess;
    if (create && !::CreateDirectoryW(Wide(path), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
      return LastError(why);
    folder->Reset(::CreateFileW(Wide(path), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder->Valid()) {
      const DWORD error = ::GetLastError();
      if (!create && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) return kSuccess;
      return Failed(static_cast<long>(error), why);
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(folder->Get(), &information)) return LastError(why);
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      folder->Reset();
      return Refused(path,
                     u" is a junction or a symbolic link, not a folder of this program's: no restore "
                     u"record is read or written there",
                     why);
    }
    if (!(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      folder->Reset();
      return Refused(path, u" is not a folder", why);
    }
    return kSuccess;
  }

  // The temporary name every new record goes through, made new, or a plain one that a launcher
  // that was cut short left. Held by another launcher: *held.
  static long OpenTemporary(const std::u16string& temporary, FileHandle* file, bool* held,
                            std::u16string* why) {
    file->Reset(
        ::CreateFileW(Wide(temporary), kHeldAccess, kHeldSharing, nullptr, CREATE_NEW, kHeldFlags, nullptr));
    if (file->Valid()) return kSuccess;
    DWORD error = ::GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
      file->Reset(::CreateFileW(Wide(temporary), kHeldAccess, kHeldSharing, nullptr, OPEN_EXISTING,
                                kHeldFlags, nullptr));
      if (file->Valid()) {
        if (const long status = CheckPlainFile(file->Get(), temporary, why); status != kSuccess) {
          file->Reset();
          return status;
        }
        if (::SetFilePointer(file->Get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
            !::SetEndOfFile(file->Get()))
          return LastError(why);
        return kSuccess;
      }
      error = ::GetLastError();
    }
    if (error != ERROR_SHARING_VIOLATION) return Failed(static_cast<long>(error), why);
    *held = true;  // another launcher is making its record
    return kSuccess;
  }

  FileHandle m_held;
};

bool HasFolder(const std::u16string& name) { return name.find_first_of(u"\\/:") != std::u16string::npos; }

bool IsFile(const std::u16string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The folders a bare program name is looked for in: the system folder, the Windows folder, then
// PATH's folders that are absolute. Never the current folder, nor the launcher's own: started from
// a download folder, an elevated launcher would otherwise run whatever was planted there.
std::vector<std::u16string> SearchFolders() {
  std::vector<std::u16string> folders;
  wchar_t folder[MAX_PATH] = {};
  if (const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH); length > 0 && length < MAX_PATH)
    folders.push_back(Narrowed(folder));
  if (const UINT length = ::GetWindowsDirectoryW(folder, MAX_PATH); length > 0 && length < MAX_PATH)
    folders.push_back(Narrowed(folder));
  std::u16string path;
  if (const DWORD size = ::GetEnvironmentVariableW(L"PATH", nullptr, 0); size > 0) {
    path.resize(size);
    path.resize(::GetEnvironmentVariableW(L"PATH", reinterpret_cast<wchar_t*>(path.data()), size));
  }
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find(u';', start);
    if (end == std::u16string::npos) end = path.size();
    std::u16string entry = path.substr(start, end - start);
    std::erase(entry, u'"');
    // "C:\..." or "\\server\...": a relative entry (".", "bin", "\bin") would be the current
    // folder's or drive's.
    const bool absolute =
        (entry.size() >= 3 && entry[1] == u':' && (entry[2] == u'\\' || entry[2] == u'/')) ||
        entry.starts_with(u"\\\\");
    if (absolute) folders.push_back(entry);
    start = end + 1;
  }
  return folders;
}

// A bare program name's file: the first folder of SearchFolders that holds it, with ".exe" added
// to a name without an extension. Empty when none does.
std::u16string SearchedProgram(const std::u16string& name) {
  const std::u16string file = name.find(u'.') == std::u16string::npos ? name + u".exe" : name;
  for (std::u16string folder : SearchFolders()) {
    if (folder.back() != u'\\' && folder.back() != u'/') folder += u'\\';
    const std::u16string path = folder + file;
    if (path.size() < MAX_PATH && IsFile(path)) return path;
  }
  return {};
}

// The program of a command line, as CreateProcess reads its first token: up to the closing quote
// when it starts with one, else up to white space. The full path of its file, or empty.
std::u16string ProgramPath(const std::u16string& commandLine) {
  std::u16string name;
  if (!commandLine.empty() && commandLine.front() == u'"')
    name = commandLine.substr(1, commandLine.find(u'"', 1) - 1);
  else
    name = commandLine.substr(0, commandLine.find_first_of(u" \t"));
  if (name.empty()) return {};
  if (!HasFolder(name)) return SearchedProgram(name);
  wchar_t full[MAX_PATH] = {};
  wchar_t* filePart = nullptr;
  const DWORD length = ::GetFullPathNameW(Wide(name), MAX_PATH, full, &filePart);
  if (length == 0 || length >= MAX_PATH) return {};
  std::u16string path = Narrowed(full);
  if (IsFile(path)) return path;
  // As a bare name, a path without an extension names an .exe.
  const std::size_t dot = path.find_last_of(u'.');
  if (dot == std::u16string::npos || dot < path.find_last_of(u"\\/")) {
    path += u".exe";
    if (IsFile(path)) return path;
  }
  return {};
}

class JobProcessStarter final : public ProcessStarter {
 public:
  long Start(const std::u16string& commandLine, std::u16string* why) override {
    const std::u16string program = ProgramPath(commandLine);
    if (program.empty()) return Failed(kFileNotFound, why);
    const std::u16string folder = program.substr(0, program.find_last_of(u"\\/"));

    m_job.Reset(::CreateJobObjectW(nullptr, nullptr));
    m_port.Reset(::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
    bool followed = m_job.Valid() && m_port.Valid();
    if (followed) {
      JOBOBJECT_ASSOCIATE_COMPLETION_PORT port{};
      port.CompletionKey = m_job.Get();
      port.CompletionPort = m_port.Get();
      followed = ::SetInformationJobObject(m_job.Get(), JobObjectAssociateCompletionPortInformation, &port,
                                           sizeof port) != FALSE;
    }

    std::u16string line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const auto create = [&](DWORD flags) {
      return ::CreateProcessW(Wide(program), reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr, FALSE,
                              flags, nullptr, Wide(folder), &startup, &started) != FALSE;
    };
    // A launcher inside a job that forbids breaking away cannot start anything outside it.
    bool created = create(CREATE_SUSPENDED | CREATE_BREAKAWAY_FROM_JOB);
    if (!created && ::GetLastError() == ERROR_ACCESS_DENIED) created = create(CREATE_SUSPENDED);
    if (!created) {
      const DWORD error = ::GetLastError();
      return Failed(error == ERROR_PATH_NOT_FOUND ? kFileNotFound : static_cast<long>(error), why);
    }
    m_process.Reset(started.hProcess);
    const KernelHandle thread(started.hThread);
    m_alone = !followed || !::AssignProcessToJobObject(m_job.Get(), m_process.Get());
    ::ResumeThread(thread.Get());
    return kSuccess;
  }

  long Wait(std::uint32_t* status, std::u16string* note, std::u16string* why) override {
    if (!m_process.Valid()) return Failed(kInvalidHandle, why);
    if (m_alone)
      *note =
          u"only the program itself is waited for, not the programs it starts: this launcher runs in a job "
          u"that keeps them in it";
    else
      WaitForJob();
    DWORD code = 0;
    if (::WaitForSingleObject(m_process.Get(), INFINITE) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(m_process.Get(), &code))
      return LastError(why);
    *status = code;
    return kSuccess;
  }

 private:
  // Until the job's last process has ended.
  void WaitForJob() {
    for (;;) {
      DWORD message = 0;
      ULONG_PTR key = 0;
      LPOVERLAPPED overlapped = nullptr;
      if (!::GetQueuedCompletionStatus(m_port.Get(), &message, &key, &overlapped, INFINITE)) return;
      if (key == reinterpret_cast<ULONG_PTR>(m_job.Get()) && message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO)
        return;
    }
  }

  KernelHandle m_job;
  KernelHandle m_port;
  KernelHandle m_process;
  bool m_alone = false;
};

}  // namespace

RecordStore& SystemRecordStore() {
  static AppDataRecordStore store;
  return store;
}

ProcessStarter& SystemProcessStarter() {
  static JobProcessStarter starter;
  return starter;
}

long FlushRegistryKey(const std::u16string& path) {
  HKEY key = nullptr;
  long status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(path), 0, KEY_QUERY_VALUE, &key);
  if (status != ERROR_SUCCESS) return status;
  status = ::RegFlushKey(key);
  ::RegCloseKey(key);
  return status;
}

}  // namespace platform
