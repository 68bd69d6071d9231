// The terminal's escape sequences and extended key names on any bytes: never typed text or a
// click, only a key of the dialogs or nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "framework/portable/terminal/Input.h"

using portable::terminal::InputKind;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const InputKind key :
       {portable::terminal::DecodeEscape(bytes).key, portable::terminal::DecodeKeyName(bytes).key})
    if (key == InputKind::Char || key == InputKind::Click || key == InputKind::Redraw) std::abort();
  return 0;
}
