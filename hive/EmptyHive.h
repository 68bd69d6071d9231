#pragma once
// The first image of a new hive file: a new hive starts from these bytes, and HiveImage adds its
// keys and values. They are laid out as the hive file format describes: a 4096-byte base block
// ("regf", sequence numbers, version 1.3, root cell offset, XOR checksum of its first 508
// bytes), then one 4096-byte bin ("hbin") holding the root key cell ("nk", named ROOT, no
// subkeys, no values), the security cell it refers to ("sk", owner Administrators, read for
// everyone, full control for SYSTEM and Administrators) and one free cell for the rest.
#include <cstdint>
#include <string>
#include <vector>

#include "hive/HiveFormat.h"

namespace hive {

// The 8192 bytes of an empty hive. filetime stamps the base block, the bin and the root key
// (100 ns units since 1601, as Windows stores it).
std::vector<std::uint8_t> EmptyHiveImage(std::uint64_t filetime);

// The XOR of the base block's first 127 32-bit words, mapped as Windows maps it (0 becomes 1,
// all ones becomes all ones minus one). base must hold at least 508 bytes.
std::uint32_t HiveHeaderChecksum(const std::uint8_t* base);

// The current time as Windows stores it (100 ns units since 1601, UTC).
std::uint64_t FiletimeNow();

}  // namespace hive
