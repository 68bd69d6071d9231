#include "platform/Files.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/StatusWords.h"
#include "platform/win32/Owners.h"

namespace platform {
namespace {

// Errors are told in the system's words, with the number beside them.
long Failed(long status, std::u16string* why) {
  if (why != nullptr) *why = StatusWords(status);
  return status;
}

// Reads an open handle to its end, at most limit bytes. A disk file's size is known before
// reading; a device or a pipe is cut off one byte past the limit. The end of a pipe whose writer
// has gone is its end, not an error.
long ReadBounded(HANDLE file, std::size_t limit, std::vector<std::uint8_t>* bytes, std::u16string* why) {
  bytes->clear();
  LARGE_INTEGER size{};
  if (::GetFileType(file) == FILE_TYPE_DISK && ::GetFileSizeEx(file, &size) &&
      static_cast<unsigned long long>(size.QuadPart) > limit)
    return Failed(kFileTooLarge, why);
  BYTE buffer[65536];
  for (;;) {
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, limit + 1 - bytes->size()));
    DWORD count = 0;
    if (!::ReadFile(file, buffer, wanted, &count, nullptr)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return ERROR_SUCCESS;
      return Failed(static_cast<long>(error), why);
    }
    if (count == 0) return ERROR_SUCCESS;
    bytes->insert(bytes->end(), buffer, buffer + count);
    if (bytes->size() > limit) {
      bytes->clear();
      return Failed(kFileTooLarge, why);
    }
  }
}

// Writes every byte: ERROR_SUCCESS or the error.
long WriteAll(HANDLE file, std::span<const std::uint8_t> bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    DWORD count = 0;
    if (!::WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &count, nullptr) ||
        count == 0) {
      const DWORD error = ::GetLastError();
      return error != ERROR_SUCCESS ? static_cast<long>(error) : ERROR_WRITE_FAULT;
    }
    done += count;
  }
  return ERROR_SUCCESS;
}

// A new file in the folder of path, under a name no one else holds (CREATE_NEW), with the
// folder's inherited security as a new file there gets. Invalid, with the last error set, when
// none can be made: a missing folder gives the same error as creating path itself would.
FileHandle CreateTemporaryBeside(const std::wstring& path, std::wstring* temporary) {
  const std::size_t separator = path.find_last_of(L"\\/");
  std::wstring folder;
  if (separator != std::wstring::npos)
    folder = path.substr(0, separator + 1);
  else if (path.size() >= 2 && path[1] == L':')
    folder = path.substr(0, 2);  // C:name, in the drive's current folder
  static LONG counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned long unique = (::GetCurrentProcessId() << 12) ^ static_cast<unsigned long>(::GetTickCount()) ^
                           static_cast<unsigned long>(::InterlockedIncrement(&counter));
    std::wstring name = L"~cfg00000000.tmp";
    for (std::size_t digit = 11; digit >= 4; --digit, unique >>= 4)
      name[digit] = L"0123456789abcdef"[unique & 15];
    *temporary = folder + name;
    FileHandle file(::CreateFileW(temporary->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Valid() || ::GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  ::SetLastError(ERROR_FILE_EXISTS);
  return FileHandle();
}

}  // namespace

long ReadWholeFile(const std::u16string& path, std::size_t limit, std::vector<std::uint8_t>* bytes,
                   std::u16string* why) {
  const FileHandle file(::CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
  if (!file.Valid()) {
    const DWORD error = ::GetLastError();
    return Failed(error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : static_cast<long>(error), why);
  }
  return ReadBounded(file.Get(), limit, bytes, why);
}

long ReadStandardInput(std::size_t limit, std::vector<std::uint8_t>* bytes, std::u16string* why) {
  HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) {
    bytes->clear();  // no standard input: nothing to read
    return ERROR_SUCCESS;
  }
  return ReadBounded(input, limit, bytes, why);
}

long WriteWholeFile(const std::u16string& path, std::span<const std::uint8_t> bytes, std::u16string* why,
                    bool* created) {
  if (created != nullptr) *created = false;
  const auto* name = reinterpret_cast<const wchar_t*>(path.c_str());
  // A device (NUL, a pipe) is written where it is: there is nothing to replace.
  if (const FileHandle existing(
          ::CreateFileW(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
      existing.Valid() && ::GetFileType(existing.Get()) != FILE_TYPE_DISK) {
    const FileHandle device(::CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!device.Valid()) return Failed(static_cast<long>(::GetLastError()), why);
    if (created != nullptr) *created = true;
    const long status = WriteAll(device.Get(), bytes);
    return status == ERROR_SUCCESS ? status : Failed(status, why);
  }
  std::wstring temporary;
  FileHandle file = CreateTemporaryBeside(std::wstring(path.begin(), path.end()), &temporary);
  if (!file.Valid()) return Failed(static_cast<long>(::GetLastError()), why);
  long status = WriteAll(file.Get(), bytes);
  if (status == ERROR_SUCCESS && !::FlushFileBuffers(file.Get()))
    status = static_cast<long>(::GetLastError());
  const DWORD closed = file.CloseNow();
  if (closed != ERROR_SUCCESS && status == ERROR_SUCCESS) status = static_cast<long>(closed);
  if (status != ERROR_SUCCESS) {
    ::DeleteFileW(temporary.c_str());
    if (created != nullptr) *created = true;  // made, but not written whole: the file is as it was
    return Failed(status, why);
  }
  // Replaces a link or a junction's name itself, never what it points to.
  if (!::MoveFileExW(temporary.c_str(), name, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    return Failed(static_cast<long>(error), why);
  }
  return ERROR_SUCCESS;
}

}  // namespace platform
