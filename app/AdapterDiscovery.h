#pragma once
// Adapter discovery: the first display device whose driver answers the identification escape
// with the board's signature.
//
// Wire format, on a device context made for one display device:
//   1. QUERYESCSUPPORT (8), input the 4 bytes FC 3D 01 00 (81404, little-endian), no output;
//      non-zero means supported.
//   2. escape 81404, the same input, a 28-byte reply; non-zero and the reply starts with
//      "ORLO was here" and a zero byte (the rest of the reply is not looked at).
#include <cstdint>
#include <span>
#include <string>

struct AdapterTable {
  static constexpr int kCapacity = 8;
  static constexpr std::size_t kNameCapacity = 64;  // copied with a capacity of 63, terminator included
  static constexpr std::size_t kKeyCapacity = 128;
  std::int32_t count = 0;
  char16_t deviceNames[kCapacity][kNameCapacity] = {};
  char16_t deviceKeys[kCapacity][kKeyCapacity] = {};
};

// The table of identified adapters; filled by discovery, consulted by nothing else.
extern AdapterTable g_adapterTable;

inline constexpr int kIdentificationEscape = 81404;

// Whether a reply carries the signature: its first 13 bytes are "ORLO was here" and byte 14
// is zero. Bytes after that are not read.
bool MatchesSignature(std::span<const std::uint8_t, 28> reply);

// Probes the display devices in enumeration order and stops at the first match, which it puts
// in the table and appends to handOff as "<device name>&&&<device key>". Every device context
// it makes is deleted. With no match it shows "No Adapter Found" (caption "Fatal Error", no
// owner) unless told to stay quiet, and leaves handOff as it was. Returns whether an adapter was
// identified.
bool DiscoverAdapter(AdapterTable& table, std::u16string& handOff, bool showMessage = true);
