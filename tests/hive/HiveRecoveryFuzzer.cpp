// libFuzzer target: a primary hive file and its two logs from outside, recovered as a dirty hive
// is at load. The input is the primary's length (4 bytes), LOG1's length (4 bytes), then the
// primary, LOG1 and LOG2 one after the other. When the length's top bit is set, the files'
// base-block checksums and the log entries' hashes are made right first, so that mutations reach
// past them. Anything but a crash is fine; a recovered hive must be clean and whole.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/ByteOrder.h"
#include "platform/posix/EmptyHive.h"
#include "platform/posix/HiveRecovery.h"

namespace {

void FixUp(std::vector<std::uint8_t>& file) {
  if (file.size() < 512) return;
  base::WriteLittleEndian32(platform::HiveHeaderChecksum(file.data()), &file[508]);
  for (std::size_t at = 512; at + 40 <= file.size() && std::memcmp(&file[at], "HvLE", 4) == 0;) {
    const std::uint32_t size = base::ReadLittleEndian32(&file[at + 4]);
    if (size < 512 || size % 512 != 0 || size > file.size() - at) break;
    base::WriteLittleEndian64(platform::Marvin32(&file[at + 40], size - 40, platform::kHiveLogSeed),
                              &file[at + 24]);
    base::WriteLittleEndian64(platform::Marvin32(&file[at], 32, platform::kHiveLogSeed), &file[at + 32]);
    at += size;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  const bool fixUp = (base::ReadLittleEndian32(data) & 0x80000000U) != 0;
  std::size_t primarySize = base::ReadLittleEndian32(data) & 0x7FFFFFFFU;
  std::size_t log1Size = base::ReadLittleEndian32(data + 4);
  data += 8, size -= 8;
  primarySize = std::min(primarySize, size);
  log1Size = std::min(log1Size, size - primarySize);
  std::vector<std::uint8_t> primary(data, data + primarySize);
  platform::HiveLogs logs;
  logs.log1 = platform::HiveLogFile{"H.LOG1", {data + primarySize, data + primarySize + log1Size}, {}};
  logs.log2 = platform::HiveLogFile{"H.LOG2", {data + primarySize + log1Size, data + size}, {}};
  if (fixUp) {
    FixUp(primary);
    FixUp(logs.log1->bytes);
    FixUp(logs.log2->bytes);
  }
  const platform::HiveRecovery result = platform::RecoverHive(std::move(primary), logs);
  if (result.outcome == platform::HiveRecovery::Outcome::kRecovered) {
    const std::uint8_t* base = result.image.data();
    if (result.image.size() < 4096 + base::ReadLittleEndian32(base + 40) ||
        base::ReadLittleEndian32(base + 4) != base::ReadLittleEndian32(base + 8) ||
        base::ReadLittleEndian32(base + 508) != platform::HiveHeaderChecksum(base))
      std::abort();
  }
  return 0;
}
