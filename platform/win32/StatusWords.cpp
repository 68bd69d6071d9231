#include "platform/StatusWords.h"

#include <windows.h>

#include "base/Text.h"
#include "platform/win32/Owners.h"

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
  const LocalMemory<wchar_t*> owner(text);
  const std::u16string words(text, text + length);
  const std::u16string number = u"error " + base::DecimalText(static_cast<DWORD>(status));
  return words.empty() ? number : words + u" (" + number + u")";
}

}  // namespace platform
