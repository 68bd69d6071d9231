#pragma once
// A profile's bytes as a registry editor writes them in UTF-16LE: the byte-order mark, then each
// unit least significant byte first, with no terminator.
#include <cstdint>
#include <string_view>
#include <vector>

inline std::vector<std::uint8_t> Utf16WithBom(std::u16string_view text) {
  std::vector<std::uint8_t> bytes = {0xFF, 0xFE};
  for (char16_t c : text)
    bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>(c >> 8)});
  return bytes;
}
