#pragma once
// A structural check of a hive file's bytes, as a file system check looks at a disk: it changes
// nothing, trusts no offset or size it reads, and says what is wrong and where.
//
// It checks the base block (signature, checksum, sequence numbers, version, file type, format,
// clustering, the size of the bins against the file, the root key), the chain of bins, the cells
// that tile each bin, and then everything reachable from the root key: key nodes (name, flags,
// parent, subkey and value counts, the largest-name and largest-data fields), subkey lists and
// their order, hints and hashes, values and their data (resident, in a cell, or in "db"
// segments), class names and security cells (their list, reference counts and descriptors).
// Every cell that something refers to must be an allocated cell, referred to once (security
// cells excepted).
//
// Faults are what Windows, or a reader that trusts the format, would trip over. Warnings are what
// Windows' own hives show and what does no harm: allocated cells that nothing refers to,
// reference counts that are too high, unused security cells, zero "lf" hints, bytes past the
// last bin. A dirty hive is checked after its recovery (the base block of a dirty primary is a
// fault here).
//
// Damaged input is safe: every read is bounded by the bytes given, every cell is followed at
// most once, and lists are at most two levels deep; key nesting is checked to Windows' limit of
// 512 levels and not followed further.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hive {

// What a finding is about.
enum class HiveFindingKind {
  kBaseBlock,      // a field of the base block
  kBins,           // a bin's header, or the chain of bins
  kCells,          // a cell's size: zero, not a multiple of 8, past its bin's end
  kReference,      // a reference that lands on no cell, on a free cell, or on one too small
  kSharedCell,     // a cell that two owners refer to
  kLeak,           // an allocated cell that nothing refers to (a warning)
  kKey,            // a key node: signature, name, flags, nesting
  kParent,         // a key's parent field is not the key that lists it
  kSubkeyCount,    // a key's subkey count against the entries of its lists
  kValueCount,     // a key's value count against its value list
  kLargest,        // a largest-name, largest-class or largest-data field below the real one
  kSubkeyList,     // a subkey list's signature or shape ("ri" inside "ri", empty leaf, "lh" in 1.3)
  kOrder,          // subkeys out of order, or two of the same name
  kHint,           // an "lf" hint or "lh" hash that is not the name's
  kValue,          // a value node: signature, name, two of the same name
  kData,           // value data: resident size, data cell size, big-data record and segments
  kSecurity,       // a security cell, its descriptor, or the list that links them
  kSecurityCount,  // a security cell's reference count against the keys that use it
  kTrailing,       // bytes past the last bin (a warning)
};

struct HiveFinding {
  enum class Severity { kFault, kWarning };
  std::size_t offset = 0;  // in the file: where the bytes in question are
  Severity severity = Severity::kFault;
  HiveFindingKind kind = HiveFindingKind::kBaseBlock;
  std::string text;  // what is wrong, naming other places by their file offsets
};

struct HiveCheckReport {
  // By offset. At most kKeptFindings of each severity are kept; faults and warnings count all.
  std::vector<HiveFinding> findings;
  std::size_t faults = 0;
  std::size_t warnings = 0;
  // What was checked.
  std::size_t bins = 0;
  std::size_t cells = 0;
  std::size_t keys = 0;
  std::size_t values = 0;

  static constexpr std::size_t kKeptFindings = 500;
  bool Sound() const { return faults == 0; }
};

// Checks a whole hive file's bytes (a clean one, or one recovered from its logs).
HiveCheckReport CheckHive(std::span<const std::uint8_t> bytes);

}  // namespace hive
