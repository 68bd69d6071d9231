// libFuzzer target: a primary hive file and its two logs from outside (see HiveFuzzInput.h),
// recovered as a dirty hive is at load. Anything but a crash is fine; a recovered hive must be
// clean and whole, and never larger than the files hold.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/ByteOrder.h"
#include "hive/EmptyHive.h"
#include "hive/HiveRecovery.h"
#include "tests/fuzz/HiveFuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::HiveFiles files;
  if (!fuzz::SplitHiveInput(data, size, &files)) return 0;
  hive::HiveLogs logs;
  const std::size_t held = files.primary.size() + files.log1.size() + files.log2.size();
  if (!files.log1.empty() || files.emptyLogsPresent)
    logs.log1 = hive::HiveLogFile{"H.LOG1", std::move(files.log1), {}};
  if (!files.log2.empty() || files.emptyLogsPresent)
    logs.log2 = hive::HiveLogFile{"H.LOG2", std::move(files.log2), {}};
  const hive::HiveRecovery result = hive::RecoverHive(std::move(files.primary), logs);
  if (result.outcome == hive::HiveRecovery::Outcome::kRecovered) {
    const std::uint8_t* base = result.image.data();
    if (result.image.size() < 4096 + base::ReadLittleEndian32(base + 40) ||
        base::ReadLittleEndian32(base + 4) != base::ReadLittleEndian32(base + 8) ||
        base::ReadLittleEndian32(base + 508) != hive::HiveHeaderChecksum(base) || result.image.size() > held)
      std::abort();
  }
  return 0;
}
