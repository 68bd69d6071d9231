#pragma once
// A hive that Windows left dirty, brought to what Windows itself would load by replaying its
// transaction logs (NAME.LOG1 and NAME.LOG2, or NAME.LOG on older Windows), in memory.
//
// Dirty: the base block's checksum is wrong, or its two sequence numbers differ (a write to the
// primary file started and did not finish). A clean hive is taken as it is and its logs are never
// replayed. Both log formats are read: the old one (a bitmap of dirty 512-byte pages, chosen by
// timestamp) and the new one (hashed entries, replayed in sequence-number order, possibly from
// one log into the other). Every decision that Windows leaves open is made the safe way: refuse
// rather than guess. Nothing here touches a file: hive/posix/HiveLogs finds and reads the logs.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hive {

// One log file beside the hive: its name in the folder and its bytes, or why they could not be
// read (the system's words; the bytes are then empty).
struct HiveLogFile {
  std::string name;
  std::vector<std::uint8_t> bytes;
  std::string unreadable;
};

// The logs beside a hive, by the suffix their name has (any case); none where no such file is
// beside it.
struct HiveLogs {
  std::optional<HiveLogFile> log;   // NAME.LOG
  std::optional<HiveLogFile> log1;  // NAME.LOG1
  std::optional<HiveLogFile> log2;  // NAME.LOG2
  bool ambiguous = false;           // two names in the folder fold to the same log name
};

struct HiveRecovery {
  enum class Outcome {
    kClean,      // nothing to recover: use the file as it is
    kRecovered,  // image holds what Windows would load
    kRefused,    // reason says why; the file must not be written
  };
  Outcome outcome = Outcome::kRefused;
  bool dirty = false;  // the primary file is not consistent on its own
  std::string reason;  // kRefused: why, in words
  // kRecovered: the whole recovered hive file; kClean: the primary's bytes as they were given
  // (moved, so that a caller holds the hive once).
  std::vector<std::uint8_t> image;
  std::vector<std::string> logsUsed;          // kRecovered: the names of the logs replayed
  std::vector<std::uint32_t> appliedEntries;  // kRecovered from new-format logs: their sequence numbers
  // The highest sequence number met in the primary, the usable logs' base blocks and their
  // valid entries (serial order): a hive written back must go above it, so that no log can
  // ever be replayed over it.
  std::uint32_t highestSequence = 0;
  // kRecovered, but the logs suggest that the recovery is short of what they held: a log of the
  // LOG1/LOG2 pair in use is absent or cannot be read, or a log holds valid entries beyond the
  // one where the replay stopped. The image may be shown but must never be written (nor the logs
  // emptied). Why, naming the file (and where), and what to do; empty when the recovery is whole.
  std::string notWhole;
};

// Looks at a primary file's bytes and its logs and recovers it when it is dirty.
HiveRecovery RecoverHive(std::vector<std::uint8_t> primary, const HiveLogs& logs);

// The 64-bit Marvin32 hash that new-format log entries carry.
std::uint64_t Marvin32(const std::uint8_t* data, std::size_t size, std::uint64_t seed);
inline constexpr std::uint64_t kHiveLogSeed = 0x82EF4D887A4E55C5ULL;

// a >= b for sequence numbers that wrap around (serial order).
bool SequenceAtLeast(std::uint32_t a, std::uint32_t b);

}  // namespace hive
