#pragma once
// The input of the hive fuzz targets: a primary hive file and its two logs in one buffer. It is
// the primary's length (4 bytes), LOG1's length (4 bytes), then the primary, LOG1 and LOG2 one
// after the other (lengths beyond the input are cut to it). The top bit of the primary's length
// asks for the base blocks' checksums and the new-format log entries' hashes to be made right
// first, so that mutations reach past them; the top bit of LOG1's length asks for empty logs to
// be present as empty files rather than absent.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/ByteOrder.h"
#include "hive/EmptyHive.h"
#include "hive/HiveRecovery.h"

namespace fuzz {

struct HiveFiles {
  std::vector<std::uint8_t> primary, log1, log2;
  bool emptyLogsPresent = false;
};

inline void FixUpHiveFile(std::vector<std::uint8_t>& file) {
  if (file.size() < 512) return;
  base::WriteLittleEndian32(hive::HiveHeaderChecksum(file.data()), &file[508]);
  for (std::size_t at = 512; at + 40 <= file.size() && std::memcmp(&file[at], "HvLE", 4) == 0;) {
    const std::uint32_t size = base::ReadLittleEndian32(&file[at + 4]);
    if (size < 512 || size % 512 != 0 || size > file.size() - at) break;
    base::WriteLittleEndian64(hive::Marvin32(&file[at + 40], size - 40, hive::kHiveLogSeed), &file[at + 24]);
    base::WriteLittleEndian64(hive::Marvin32(&file[at], 32, hive::kHiveLogSeed), &file[at + 32]);
    at += size;
  }
}

// False when the input is too short to hold the two lengths.
inline bool SplitHiveInput(const std::uint8_t* data, std::size_t size, HiveFiles* files) {
  if (size < 8) return false;
  const bool fixUp = (base::ReadLittleEndian32(data) & 0x80000000U) != 0;
  files->emptyLogsPresent = (base::ReadLittleEndian32(data + 4) & 0x80000000U) != 0;
  std::size_t primarySize = base::ReadLittleEndian32(data) & 0x7FFFFFFFU;
  std::size_t log1Size = base::ReadLittleEndian32(data + 4) & 0x7FFFFFFFU;
  data += 8, size -= 8;
  primarySize = std::min(primarySize, size);
  log1Size = std::min(log1Size, size - primarySize);
  files->primary.assign(data, data + primarySize);
  files->log1.assign(data + primarySize, data + primarySize + log1Size);
  files->log2.assign(data + primarySize + log1Size, data + size);
  if (fixUp) {
    FixUpHiveFile(files->primary);
    FixUpHiveFile(files->log1);
    FixUpHiveFile(files->log2);
  }
  return true;
}

}  // namespace fuzz
