#include "hive/HiveRecovery.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/ByteOrder.h"
#include "base/Text.h"
#include "hive/EmptyHive.h"
#include "hive/HiveFormat.h"

namespace hive {
namespace {

using namespace format;

using Bytes = std::vector<std::uint8_t>;

// Cells are addressed by 31 bits (the top bit of a cell index marks volatile storage), so no
// hive's bins reach past 2 GiB.
constexpr std::uint64_t kMaxBinsSize = 0x80000000U;

bool SaneBinsSize(std::uint32_t size) { return size >= kBinUnit && size % kBinUnit == 0; }

bool ChecksumOk(const std::uint8_t* base) {
  return base::ReadLittleEndian32(base + kChecksum) == HiveHeaderChecksum(base);
}

std::uint32_t SequenceMax(std::uint32_t a, std::uint32_t b) { return SequenceAtLeast(a, b) ? a : b; }

std::size_t SetBits(const std::uint8_t* bytes, std::size_t count) {
  std::size_t bits = 0;
  for (std::size_t i = 0; i < count; ++i) bits += static_cast<std::size_t>(__builtin_popcount(bytes[i]));
  return bits;
}

struct Entry {
  std::size_t at = 0;
  std::uint32_t size = 0;
  std::uint32_t flags = 0;
  std::uint32_t sequence = 0;
  std::uint32_t binsSize = 0;
  std::uint32_t pages = 0;
};

// A log file and what its base block says.
struct Log {
  const HiveLogFile* file = nullptr;
  enum class Format { kUnusable, kOld, kNew } format = Format::kUnusable;
  std::uint32_t sequence = 0;  // the base block's seq1
  std::uint64_t timestamp = 0;
  std::uint32_t binsSize = 0;
  std::string problem;  // kUnusable: why

  bool Usable() const { return format != Format::kUnusable; }
  const Bytes& Contents() const { return file->bytes; }
  std::string Name() const { return file->name; }
};

// The bitmap and page area of an old-format log.
std::size_t OldPagesAt(std::uint32_t binsSize) {
  return (kDirtyBitmap + binsSize / kBinUnit + kLogPageSize - 1) / kLogPageSize * kLogPageSize;
}

Log Classify(const std::optional<HiveLogFile>& file) {
  Log log;
  if (!file) return log;
  log.file = &*file;
  const Bytes& b = file->bytes;
  auto unusable = [&](const std::string& why) {
    log.format = Log::Format::kUnusable;
    log.problem = file->name + ": " + why;
    return log;
  };
  if (!file->unreadable.empty()) return unusable("cannot be read: " + file->unreadable);
  if (b.empty()) return unusable("empty");
  if (b.size() < kLogBaseSize || !HasSignature(b.data(), kBaseBlockSignature)) return unusable("not a log");
  if (!ChecksumOk(b.data())) return unusable("damaged header (bad checksum)");
  log.sequence = base::ReadLittleEndian32(&b[kSequence1]);
  log.timestamp = base::ReadLittleEndian64(&b[kTimestamp]);
  log.binsSize = base::ReadLittleEndian32(&b[kBinsSize]);
  const std::uint32_t type = base::ReadLittleEndian32(&b[kFileType]);
  if (log.sequence != base::ReadLittleEndian32(&b[kSequence2]) ||
      base::ReadLittleEndian32(&b[kClustering]) != 1 || !SaneBinsSize(log.binsSize))
    return unusable("unsupported header");
  if (type == kNewLogFile) {
    log.format = Log::Format::kNew;
    return log;
  }
  if (type != kOldLogFile1 && type != kOldLogFile2) return unusable("unsupported header");
  if (b.size() < 2 * kLogBaseSize || !HasSignature(&b[kLogBaseSize], kDirtyPagesSignature))
    return unusable("no dirty page map");
  const std::size_t pagesAt = OldPagesAt(log.binsSize);
  if (b.size() < pagesAt ||
      b.size() - pagesAt < kLogPageSize * SetBits(&b[kDirtyBitmap], log.binsSize / kBinUnit))
    return unusable("torn (shorter than its pages)");
  log.format = Log::Format::kOld;
  return log;
}

// The entry of a new-format log at offset at, if it is whole and its hashes match.
bool ReadEntry(const Bytes& b, std::size_t at, Entry* entry) {
  if (at + kEntryHeaderSize > b.size() || !HasSignature(&b[at], kLogEntrySignature)) return false;
  const std::uint8_t* e = &b[at];
  entry->at = at;
  entry->size = base::ReadLittleEndian32(e + kEntrySize);
  entry->flags = base::ReadLittleEndian32(e + kEntryFlags);
  entry->sequence = base::ReadLittleEndian32(e + kEntrySequence);
  entry->binsSize = base::ReadLittleEndian32(e + kEntryBinsSize);
  entry->pages = base::ReadLittleEndian32(e + kEntryPages);
  if (entry->size < kLogPageSize || entry->size % kLogPageSize != 0 || entry->size > b.size() - at)
    return false;
  if (!SaneBinsSize(entry->binsSize)) return false;
  if (entry->pages < 1 || kEntryHeaderSize + std::uint64_t{kEntryPageRef} * entry->pages > entry->size)
    return false;
  std::uint64_t total = kEntryHeaderSize + std::uint64_t{kEntryPageRef} * entry->pages;
  for (std::uint32_t j = 0; j < entry->pages; ++j) {
    const std::uint64_t offset = base::ReadLittleEndian32(e + kEntryHeaderSize + kEntryPageRef * j);
    const std::uint64_t size = base::ReadLittleEndian32(e + kEntryHeaderSize + kEntryPageRef * j + 4);
    if (offset + size > entry->binsSize) return false;
    total += size;
  }
  if (total > entry->size) return false;
  // The header's hash first: it is cheap, and most damage fails it.
  return Marvin32(e, kEntryHeaderHash, kHiveLogSeed) == base::ReadLittleEndian64(e + kEntryHeaderHash) &&
         Marvin32(e + kEntryHeaderSize, entry->size - kEntryHeaderSize, kHiveLogSeed) ==
             base::ReadLittleEndian64(e + kEntryDataHash);
}

// The hive being recovered: its bytes past the base block, and what the applied entries set.
// The image grows only as far as the hive file and the pages written into it back it: a log
// claiming more bins than that, or writing a page past them, is refused at once (refusal says
// where), so that no size read from a file makes memory that the files do not hold.
// Pages to write into the bins: offset and size.
using Pages = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

struct Replay {
  Bytes& image;
  std::uint32_t binsSize = 0;
  std::uint32_t flagBit = 0;
  std::uint32_t lastSequence = 0;
  std::vector<std::uint32_t> applied{};
  // The new-format log and the offset in it where the replay stopped.
  const Log* stoppedIn = nullptr;
  std::size_t stoppedAt = 0;
  std::string refusal{};

  // The bins' bytes that the image holds now.
  std::uint64_t Backed() const { return image.size() - kHiveBaseBlockSize; }
  // Checks pages (offset, size, in bins) about to be written and a claimed bins size against
  // the image's bytes, then grows the image to the bins size; false with refusal set when the
  // pages leave a gap past its end or the size is more than they and the image hold.
  // pagesFrom and sizeFrom name where in the log the pages and the size were read, for the refusal.
  bool Grow(Pages& pages, std::uint32_t size, const std::string& pagesFrom, const std::string& sizeFrom) {
    std::sort(pages.begin(), pages.end());
    std::uint64_t backed = Backed();
    for (const auto& [offset, length] : pages) {
      if (offset > backed) {
        refusal = pagesFrom + " writes a page at hive bins offset " + std::to_string(offset) + ", past the " +
                  std::to_string(backed) + " bytes that the hive file and the log's pages hold";
        return false;
      }
      backed = std::max<std::uint64_t>(backed, std::uint64_t{offset} + length);
    }
    if (size > kMaxBinsSize || size > backed) {
      refusal = sizeFrom + " claims " + std::to_string(size) + " bytes of hive bins, more than " +
                (size > kMaxBinsSize
                     ? std::string("a hive can hold")
                     : "the " + std::to_string(backed) + " that the hive file and the log's pages hold");
      return false;
    }
    if (Backed() < size) image.resize(kHiveBaseBlockSize + size, 0);
    return true;
  }
};

std::string LogRefusal(const Log& log, const std::string& why) {
  return "the hive is dirty and its transaction log " + log.Name() + " cannot be replayed: " + why;
}

// Applies a new-format log's entries in order from expected on, until the first one that is
// not valid or not the next in sequence; how many were applied.
std::size_t ReplayNew(const Log& log, std::uint32_t expected, Replay* replay) {
  const Bytes& b = log.Contents();
  std::size_t applied = 0;
  Entry entry;
  std::size_t at = kLogBaseSize;
  for (; ReadEntry(b, at, &entry) && entry.sequence == expected; at += entry.size, ++expected) {
    Pages pages(entry.pages);
    for (std::uint32_t j = 0; j < entry.pages; ++j)
      pages[j] = {base::ReadLittleEndian32(&b[at + kEntryHeaderSize + kEntryPageRef * j]),
                  base::ReadLittleEndian32(&b[at + kEntryHeaderSize + kEntryPageRef * j + 4])};
    const std::string where = "the entry at offset " + std::to_string(at);
    if (!replay->Grow(pages, entry.binsSize, where, where)) {
      replay->refusal = LogRefusal(log, replay->refusal);
      return 0;
    }
    replay->binsSize = entry.binsSize;
    replay->flagBit = entry.flags & 1;
    std::size_t data = at + kEntryHeaderSize + kEntryPageRef * entry.pages;
    for (std::uint32_t j = 0; j < entry.pages; ++j) {
      const std::uint32_t offset = base::ReadLittleEndian32(&b[at + kEntryHeaderSize + kEntryPageRef * j]);
      const std::uint32_t size = base::ReadLittleEndian32(&b[at + kEntryHeaderSize + kEntryPageRef * j + 4]);
      std::memcpy(&replay->image[kHiveBaseBlockSize + offset], &b[data], size);
      data += size;
    }
    replay->lastSequence = entry.sequence;
    replay->applied.push_back(entry.sequence);
    ++applied;
  }
  replay->stoppedIn = &log;
  replay->stoppedAt = at;
  return applied;
}

bool ReplayOld(const Log& log, Replay* replay) {
  const Bytes& b = log.Contents();
  Pages pages;
  for (std::size_t i = 0; i < log.binsSize / kLogPageSize; ++i) {
    if ((b[kDirtyBitmap + (i >> 3)] >> (i & 7) & 1) != 0) pages.emplace_back(kLogPageSize * i, kLogPageSize);
  }
  if (!replay->Grow(pages, log.binsSize, "its dirty page map (offset " + std::to_string(kDirtyBitmap) + ")",
                    "its header (offset " + std::to_string(kBinsSize) + ")")) {
    replay->refusal = LogRefusal(log, replay->refusal);
    return false;
  }
  replay->binsSize = log.binsSize;
  std::size_t page = OldPagesAt(log.binsSize);
  for (const auto& [offset, size] : pages) {
    std::memcpy(&replay->image[kHiveBaseBlockSize + offset], &b[page], kLogPageSize);
    page += kLogPageSize;
  }
  return true;
}

// The bins follow one another from offset 0 to the hive bins data size, and the root cell
// lies inside them.
bool BinsValid(const Bytes& image) {
  const std::uint32_t size = base::ReadLittleEndian32(&image[kBinsSize]);
  // Subtracted, not added: on a 32-bit system the sum could wrap past a size near 4 GiB.
  if (!SaneBinsSize(size) || image.size() < kHiveBaseBlockSize || image.size() - kHiveBaseBlockSize < size)
    return false;
  std::uint64_t at = 0;
  while (at < size) {
    const std::uint8_t* bin = &image[kHiveBaseBlockSize + static_cast<std::size_t>(at)];
    const std::uint32_t binSize = base::ReadLittleEndian32(bin + kBinSize);
    if (!HasSignature(bin, kBinSignature) || base::ReadLittleEndian32(bin + kBinOffset) != at ||
        binSize < kBinUnit || binSize % kBinUnit != 0 || at + binSize > size)
      return false;
    at += binSize;
  }
  return base::ReadLittleEndian32(&image[kRootCell]) < size;
}

HiveRecovery Refuse(HiveRecovery result, std::string reason) {
  result.outcome = HiveRecovery::Outcome::kRefused;
  result.reason = std::move(reason);
  result.image.clear();
  result.logsUsed.clear();
  result.appliedEntries.clear();
  return result;
}

// The name of the other log of the LOG1/LOG2 pair, spelt as this one is.
std::string OtherOfPair(const std::string& name) {
  std::string other = name;
  if (!other.empty()) other.back() = other.back() == '1' ? '2' : '1';
  return other;
}

// Why a recovery from new-format logs may be short of what the logs hold, and what to do; empty
// when nothing suggests it. Both logs of the pair must be beside the hive and readable (an absent
// one is almost always a copy that left it behind), and no log may hold a valid entry above the
// last one applied: the replay then stopped at damage, not at the torn tail of the last write.
std::string NotWhole(const HiveLogs& files, const std::vector<const Log*>& logs, const Replay& replay,
                     bool pairInUse) {
  if (pairInUse && (!files.log1 || !files.log2)) {
    const std::string present = files.log1 ? files.log1->name : files.log2->name;
    const std::string absent = OtherOfPair(present);
    return absent + " is not beside the hive: the hive is dirty and " + present +
           " alone may lack changes that only " + absent + " holds. Nothing can be saved: copy " + absent +
           " from where the hive came from beside it";
  }
  for (const std::optional<HiveLogFile>* file : {&files.log1, &files.log2}) {
    if (*file && !(*file)->unreadable.empty())
      return (*file)->name + " cannot be read (" + (*file)->unreadable +
             "): the hive is dirty and may lack changes that only it holds. Nothing can be saved: make " +
             (*file)->name + " readable";
  }
  if (replay.stoppedIn == nullptr) return {};
  for (const Log* log : logs) {
    if (log->format != Log::Format::kNew) continue;
    Entry entry;
    for (std::size_t at = kLogBaseSize; at + kEntryHeaderSize <= log->Contents().size(); at += kLogPageSize) {
      if (!ReadEntry(log->Contents(), at, &entry) ||
          !SequenceAtLeast(entry.sequence, replay.lastSequence + 1))
        continue;
      const Log& stop = *replay.stoppedIn;
      Entry stopped;
      const std::string where =
          replay.stoppedAt >= stop.Contents().size() ? "at its end"
          : ReadEntry(stop.Contents(), replay.stoppedAt, &stopped)
              ? "at the entry out of sequence at offset " + std::to_string(replay.stoppedAt)
              : "at the damaged entry at offset " + std::to_string(replay.stoppedAt);
      return stop.Name() + " is damaged: its replay stopped " + where + ", yet " + log->Name() +
             " holds a valid later entry (number " + std::to_string(entry.sequence) + " at offset " +
             std::to_string(at) +
             "), so the changes between them are lost. The hive is shown as far as the " +
             "replay got; nothing can be saved, as the hive cannot be written safely from these logs";
    }
  }
  return {};
}

std::string Problems(const std::vector<const Log*>& logs) {
  std::string text;
  for (const Log* log : logs) {
    if (log->file == nullptr || log->Usable()) continue;
    text += (text.empty() ? "" : "; ") + log->problem;
  }
  return text;
}

}  // namespace

bool SequenceAtLeast(std::uint32_t a, std::uint32_t b) {
  return static_cast<std::uint32_t>(a - b) < 0x80000000U;
}

std::uint64_t Marvin32(const std::uint8_t* data, std::size_t size, std::uint64_t seed) {
  std::uint32_t lo = static_cast<std::uint32_t>(seed);
  std::uint32_t hi = static_cast<std::uint32_t>(seed >> 32);
  auto rotl = [](std::uint32_t x, int n) { return x << n | x >> (32 - n); };
  auto mix = [&](std::uint32_t word) {
    lo += word;
    hi ^= lo;
    lo = rotl(lo, 20) + hi;
    hi = rotl(hi, 9) ^ lo;
    lo = rotl(lo, 27) + hi;
    hi = rotl(hi, 19);
  };
  std::size_t at = 0;
  for (; at + 4 <= size; at += 4) mix(base::ReadLittleEndian32(data + at));
  // The last 0 to 3 bytes, with a marker byte above them.
  std::uint32_t final = 0x80U << (8 * (size - at));
  for (std::size_t i = 0; at + i < size; ++i) final |= static_cast<std::uint32_t>(data[at + i]) << (8 * i);
  mix(final);
  mix(0);
  return static_cast<std::uint64_t>(hi) << 32 | lo;
}

HiveRecovery RecoverHive(Bytes primary, const HiveLogs& logs) {
  HiveRecovery result;
  if (primary.size() < kHiveBaseBlockSize || !HasSignature(primary.data(), kBaseBlockSignature))
    return Refuse(std::move(result), "not a registry hive file");
  const std::uint8_t* base = primary.data();
  const bool checksumOk = ChecksumOk(base);
  const std::uint32_t seq1 = base::ReadLittleEndian32(base + kSequence1);
  const std::uint32_t seq2 = base::ReadLittleEndian32(base + kSequence2);
  result.dirty = !checksumOk || seq1 != seq2;
  if (checksumOk &&
      (base::ReadLittleEndian32(base + kMajor) != 1 || base::ReadLittleEndian32(base + kMinor) < 1 ||
       base::ReadLittleEndian32(base + kMinor) > 6 ||
       base::ReadLittleEndian32(base + kFileType) != kPrimaryFile ||
       base::ReadLittleEndian32(base + kFormat) != 1 || base::ReadLittleEndian32(base + kClustering) != 1 ||
       !SaneBinsSize(base::ReadLittleEndian32(base + kBinsSize))))
    return Refuse(std::move(result), "the hive's header is of an unsupported kind");

  const Log log0 = Classify(logs.log), log1 = Classify(logs.log1), log2 = Classify(logs.log2);
  result.highestSequence = checksumOk ? SequenceMax(seq1, seq2) : 0;
  for (const Log* log : {&log0, &log1, &log2}) {
    if (!log->Usable()) continue;
    result.highestSequence = SequenceMax(result.highestSequence, log->sequence);
    if (log->format != Log::Format::kNew) continue;
    Entry entry;
    for (std::size_t at = kLogBaseSize; ReadEntry(log->Contents(), at, &entry); at += entry.size)
      result.highestSequence = SequenceMax(result.highestSequence, entry.sequence);
  }

  if (!result.dirty) {
    if (!BinsValid(primary)) return Refuse(std::move(result), "the hive's bins are damaged");
    result.outcome = HiveRecovery::Outcome::kClean;
    result.image = std::move(primary);
    return result;
  }

  if (logs.ambiguous)
    return Refuse(std::move(result),
                  "the hive is dirty and two of its log files have the same name but for case");
  // Which logs: the LOG1/LOG2 pair when either is usable (new-format ones first), else LOG.
  std::vector<const Log*> chosen;
  for (const Log* log : {&log1, &log2}) {
    if (log->format == Log::Format::kNew) chosen.push_back(log);
  }
  if (chosen.empty()) {
    for (const Log* log : {&log1, &log2}) {
      if (log->format == Log::Format::kOld) chosen.push_back(log);
    }
  }
  if (chosen.empty() && log0.Usable()) chosen.push_back(&log0);
  if (chosen.empty()) {
    const std::string problems = Problems({&log0, &log1, &log2});
    return Refuse(std::move(result), problems.empty()
                                         ? "the hive is dirty and has no transaction log beside it"
                                         : "the hive is dirty and no transaction log beside it "
                                           "is usable (" +
                                               problems + ")");
  }

  Bytes& image = primary;
  Replay replay{image};
  std::uint32_t version = checksumOk ? SequenceMax(seq1, seq2) : 0;
  const Log* baseFrom = nullptr;  // the log whose base block replaces an invalid one

  if (chosen.front()->format == Log::Format::kNew) {
    const Log* start = nullptr;
    const Log* next = nullptr;
    if (chosen.size() == 2) {
      if (chosen[0]->sequence == chosen[1]->sequence)
        return Refuse(std::move(result), "the hive is dirty and both transaction logs claim the same place");
      const bool firstEarlier = !SequenceAtLeast(chosen[0]->sequence, chosen[1]->sequence);
      const Log* earlier = firstEarlier ? chosen[0] : chosen[1];
      const Log* later = firstEarlier ? chosen[1] : chosen[0];
      if (!checksumOk) {
        start = later;
      } else if (SequenceAtLeast(earlier->sequence, seq2)) {
        start = earlier;
        next = later;
      } else if (SequenceAtLeast(later->sequence, seq2)) {
        start = later;
      }
    } else if (!checksumOk || SequenceAtLeast(chosen[0]->sequence, seq2)) {
      start = chosen[0];
    }
    if (start == nullptr)
      return Refuse(std::move(result), "the hive is dirty and its transaction logs are older than it");
    if (!checksumOk) baseFrom = start;
    const std::size_t applied = ReplayNew(*start, start->sequence, &replay);
    if (!replay.refusal.empty()) return Refuse(std::move(result), replay.refusal);
    if (applied == 0)
      return Refuse(std::move(result), "the hive is dirty and its transaction log " + start->Name() +
                                           " holds nothing that continues it");
    result.logsUsed.push_back(start->Name());
    version = SequenceMax(version, start->sequence);
    if (next != nullptr && next->sequence == replay.lastSequence + 1) {
      if (ReplayNew(*next, next->sequence, &replay) > 0) result.logsUsed.push_back(next->Name());
      if (!replay.refusal.empty()) return Refuse(std::move(result), replay.refusal);
      version = SequenceMax(version, next->sequence);
    }
    version = SequenceMax(version, replay.lastSequence + 1);
  } else {
    std::uint64_t reference = 0;
    if (checksumOk) {
      reference = base::ReadLittleEndian64(base + kTimestamp);
    } else if (image.size() >= kHiveBaseBlockSize + kBinHeaderSize &&
               HasSignature(&image[kHiveBaseBlockSize], kBinSignature) &&
               base::ReadLittleEndian32(&image[kHiveBaseBlockSize + kBinOffset]) == 0) {
      reference = base::ReadLittleEndian64(&image[kHiveBaseBlockSize + kBinTimestamp]);
    } else {
      return Refuse(std::move(result), "the hive's header and its first bin are both damaged");
    }
    const Log* first = chosen.front();
    const Log* second = chosen.size() == 2 ? chosen[1] : nullptr;
    if (second == nullptr && first == &log2) std::swap(first, second);  // LOG2 alone
    const Log* use = nullptr;
    if (first != nullptr && first->timestamp == reference) {
      use = first;
    } else if (second != nullptr && (first == nullptr || second->timestamp > first->timestamp) &&
               second->timestamp >= reference) {
      use = second;
    } else if (first != nullptr && first->timestamp > reference) {
      use = first;
    }
    if (use == nullptr)
      return Refuse(std::move(result), "the hive is dirty and its transaction logs are older than it");
    if (!ReplayOld(*use, &replay)) return Refuse(std::move(result), replay.refusal);
    result.logsUsed.push_back(use->Name());
    version = SequenceMax(version, use->sequence);
    if (!checksumOk) baseFrom = use;
  }

  // The base block: the primary's, or the log's copy when the primary's is damaged.
  if (baseFrom != nullptr) {
    std::fill(image.begin(), image.begin() + kHiveBaseBlockSize, 0);
    std::memcpy(image.data(), baseFrom->Contents().data(), kLogBaseSize);
  }
  base::WriteLittleEndian32(kPrimaryFile, &image[kFileType]);
  base::WriteLittleEndian32(replay.binsSize, &image[kBinsSize]);
  if (chosen.front()->format == Log::Format::kNew)
    base::WriteLittleEndian32((base::ReadLittleEndian32(&image[kFlags]) & ~1U) | replay.flagBit,
                              &image[kFlags]);
  base::WriteLittleEndian32(version, &image[kSequence1]);
  base::WriteLittleEndian32(version, &image[kSequence2]);
  base::WriteLittleEndian32(HiveHeaderChecksum(image.data()), &image[kChecksum]);
  if (!BinsValid(image))
    return Refuse(std::move(result),
                  "the hive is dirty and replaying its transaction logs gives damaged bins");
  result.notWhole = NotWhole(logs, {&log0, &log1, &log2}, replay,
                             chosen.front()->format == Log::Format::kNew && chosen.front() != &log0);
  result.highestSequence = SequenceMax(result.highestSequence, version);
  result.appliedEntries = std::move(replay.applied);
  result.image = std::move(image);
  result.outcome = HiveRecovery::Outcome::kRecovered;
  return result;
}

}  // namespace hive
