#include "platform/StatusWords.h"

#include <windows.h>

namespace platform {

// The system's message ("Access is denied") with the number beside it, for a search or a
// support call: "Access is denied (error 5)".
std::u16string StatusWords(long status) {
  const std::string digits = std::to_string(status);
  const std::u16string number = u"error " + std::u16string(digits.begin(), digits.end());
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string words;
  if (length > 0 && text != nullptr) words.assign(text, text + length);
  if (text != nullptr) ::LocalFree(text);
  while (!words.empty() &&
         (words.back() == u'\n' || words.back() == u'\r' || words.back() == u' ' || words.back() == u'.'))
    words.pop_back();
  return words.empty() ? number : words + u" (" + number + u")";
}

}  // namespace platform
