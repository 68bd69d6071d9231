#include "platform/Files.h"

#include <windows.h>

namespace platform {
namespace {

// The Windows program names errors by their number.
long Failed(long status, std::u16string* why) {
  if (why != nullptr) {
    const std::string digits = std::to_string(status);
    *why = u"error " + std::u16string(digits.begin(), digits.end());
  }
  return status;
}

}  // namespace

long ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>* bytes, std::u16string* why) {
  HANDLE file = ::CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    return Failed(error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : static_cast<long>(error), why);
  }
  bytes->clear();
  long status = ERROR_SUCCESS;
  BYTE buffer[65536];
  for (;;) {
    DWORD count = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &count, nullptr)) {
      status = static_cast<long>(::GetLastError());
      break;
    }
    if (count == 0) break;
    bytes->insert(bytes->end(), buffer, buffer + count);
  }
  ::CloseHandle(file);
  return status == ERROR_SUCCESS ? status : Failed(status, why);
}

long WriteWholeFile(const std::u16string& path, std::span<const std::uint8_t> bytes, std::u16string* why) {
  HANDLE file = ::CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Failed(static_cast<long>(::GetLastError()), why);
  long status = ERROR_SUCCESS;
  for (std::size_t done = 0; done < bytes.size() && status == ERROR_SUCCESS;) {
    DWORD count = 0;
    if (!::WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &count, nullptr) ||
        count == 0) {
      const DWORD error = ::GetLastError();
      status = error != ERROR_SUCCESS ? static_cast<long>(error) : ERROR_WRITE_FAULT;
    } else {
      done += count;
    }
  }
  if (!::CloseHandle(file) && status == ERROR_SUCCESS) status = static_cast<long>(::GetLastError());
  return status == ERROR_SUCCESS ? status : Failed(status, why);
}

}  // namespace platform
