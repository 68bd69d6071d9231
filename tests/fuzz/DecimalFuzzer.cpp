// The decimal parse of stored texts against the C runtime's conversion, clamped to 32 bits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <limits>
#include <string>

#include "settings/ValueAccess.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  const std::int32_t parsed = ParseDecimal(text.c_str());

  // The runtime conversion stops at a null as the parse does; it sees the same characters.
  std::wstring wide;
  for (char16_t c : text) {
    if (c == 0) break;
    wide.push_back(static_cast<wchar_t>(c));
  }
  const long long reference = std::wcstoll(wide.c_str(), nullptr, 10);
  const long long clamped =
      std::min<long long>(std::max<long long>(reference, std::numeric_limits<std::int32_t>::min()),
                          std::numeric_limits<std::int32_t>::max());
  if (parsed != clamped) std::abort();
  return 0;
}
