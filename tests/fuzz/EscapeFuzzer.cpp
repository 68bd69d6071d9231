// The terminal's escape sequences and extended key names on any bytes: never typed text or a
// click, only a key of the dialogs or nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "framework/portable/terminal/Input.h"

using portable::terminal::Key;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const Key key :
       {portable::terminal::DecodeEscape(bytes).key, portable::terminal::DecodeKeyName(bytes).key})
    if (key == Key::Char || key == Key::Click || key == Key::Redraw) std::abort();
  return 0;
}
