#include "platform/Files.h"

#include <windows.h>

#include <algorithm>

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
  FileHandle file(::CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return Failed(static_cast<long>(::GetLastError()), why);
  if (created != nullptr) *created = true;
  long status = ERROR_SUCCESS;
  for (std::size_t done = 0; done < bytes.size() && status == ERROR_SUCCESS;) {
    DWORD count = 0;
    if (!::WriteFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &count,
                     nullptr) ||
        count == 0) {
      const DWORD error = ::GetLastError();
      status = error != ERROR_SUCCESS ? static_cast<long>(error) : ERROR_WRITE_FAULT;
    } else {
      done += count;
    }
  }
  const DWORD closed = file.CloseNow();
  if (closed != ERROR_SUCCESS && status == ERROR_SUCCESS) status = static_cast<long>(closed);
  return status == ERROR_SUCCESS ? status : Failed(status, why);
}

}  // namespace platform
