#pragma once
// Little-endian numbers in byte buffers, as the registry, the driver and the file formats store them.
#include <array>
#include <cstdint>

namespace base {

// The 16-bit number in bytes[0..1], least significant byte first.
constexpr std::uint16_t ReadLittleEndian16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

// The 32-bit number in bytes[0..3], least significant byte first.
constexpr std::uint32_t ReadLittleEndian32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The 64-bit number in bytes[0..7], least significant byte first.
constexpr std::uint64_t ReadLittleEndian64(const std::uint8_t* bytes) {
  return ReadLittleEndian32(bytes) | static_cast<std::uint64_t>(ReadLittleEndian32(bytes + 4)) << 32;
}

// Writes value into bytes[0..1], least significant byte first.
constexpr void WriteLittleEndian16(std::uint16_t value, std::uint8_t* bytes) {
  bytes[0] = static_cast<std::uint8_t>(value);
  bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

// Writes value into bytes[0..3], least significant byte first.
constexpr void WriteLittleEndian32(std::uint32_t value, std::uint8_t* bytes) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Writes value into bytes[0..7], least significant byte first.
constexpr void WriteLittleEndian64(std::uint64_t value, std::uint8_t* bytes) {
  WriteLittleEndian32(static_cast<std::uint32_t>(value), bytes);
  WriteLittleEndian32(static_cast<std::uint32_t>(value >> 32), bytes + 4);
}

constexpr std::array<std::uint8_t, 4> LittleEndian32(std::uint32_t value) {
  std::array<std::uint8_t, 4> bytes{};
  WriteLittleEndian32(value, bytes.data());
  return bytes;
}

}  // namespace base
