#include "platform/StatusWords.h"

#include <windows.h>

namespace platform {

// The system's message ("Access is denied") with the number beside it, for a search or a
// support call: "Access is denied (error 5)".
std::u16string StatusWords(long status) {
  wchar_t* text = nullptr;
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  while (length > 0 && (text[length - 1] == L'\n' || text[length - 1] == L'\r' || text[length - 1] == L' ' ||
                        text[length - 1] == L'.'))
    --length;
  std::u16string words(text, text + length);
  if (text != nullptr) ::LocalFree(text);
  char16_t digits[12];
  char16_t* first = digits + 12;
  for (unsigned long rest = static_cast<unsigned long>(status); first == digits + 12 || rest != 0; rest /= 10)
    *--first = static_cast<char16_t>(u'0' + rest % 10);
  const std::u16string number = u"error " + std::u16string(first, digits + 12);
  return words.empty() ? number : words + u" (" + number + u")";
}

}  // namespace platform
