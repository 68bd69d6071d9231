#pragma once
// The layout of a registry hive file and its transaction logs: the offsets and sizes that every
// reader and writer of hive bytes here uses. All numbers are little-endian. A hive file is a base
// block, then bins of 4096-byte units; a bin holds cells, each starting with its 32-bit size
// (negative when allocated) followed by a two-letter signature. Cell offsets count from the end
// of the base block.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace hive {

// The base block at the start of every hive file; the bins follow it.
inline constexpr std::size_t kHiveBaseBlockSize = 4096;

namespace format {

// Signatures: the bytes that open a base block, a bin, a cell's contents or a log's parts.
inline constexpr std::string_view kBaseBlockSignature = "regf";
inline constexpr std::string_view kBinSignature = "hbin";
inline constexpr std::string_view kKeySignature = "nk";
inline constexpr std::string_view kValueSignature = "vk";
inline constexpr std::string_view kFastLeafSignature = "lf";   // subkeys with name hints
inline constexpr std::string_view kHashLeafSignature = "lh";   // subkeys with name hashes
inline constexpr std::string_view kIndexLeafSignature = "li";  // subkeys, bare offsets
inline constexpr std::string_view kIndexRootSignature = "ri";  // a list of subkey lists
inline constexpr std::string_view kSecuritySignature = "sk";
inline constexpr std::string_view kBigDataSignature = "db";
inline constexpr std::string_view kDirtyPagesSignature = "DIRT";  // old-format log
inline constexpr std::string_view kLogEntrySignature = "HvLE";    // new-format log

// Whether the bytes at `at` begin with a signature; the caller has checked that they are there.
inline bool HasSignature(const std::uint8_t* at, std::string_view signature) {
  return std::memcmp(at, signature.data(), signature.size()) == 0;
}
inline void PutSignature(std::uint8_t* at, std::string_view signature) {
  std::memcpy(at, signature.data(), signature.size());
}

// Base block fields ("regf" at 0).
inline constexpr std::size_t kSequence1 = 0x04;
inline constexpr std::size_t kSequence2 = 0x08;
inline constexpr std::size_t kTimestamp = 0x0C;
inline constexpr std::size_t kMajor = 0x14;
inline constexpr std::size_t kMinor = 0x18;
inline constexpr std::size_t kFileType = 0x1C;
inline constexpr std::size_t kFormat = 0x20;
inline constexpr std::size_t kRootCell = 0x24;
inline constexpr std::size_t kBinsSize = 0x28;
inline constexpr std::size_t kClustering = 0x2C;
inline constexpr std::size_t kFileName = 0x30;
inline constexpr std::size_t kFlags = 0x90;
inline constexpr std::size_t kChecksum = 0x1FC;  // XOR of the words before it

// File types: the hive itself, an old-format log (either), a new-format log.
inline constexpr std::uint32_t kPrimaryFile = 0;
inline constexpr std::uint32_t kOldLogFile1 = 1;
inline constexpr std::uint32_t kOldLogFile2 = 2;
inline constexpr std::uint32_t kNewLogFile = 6;

// Bins ("hbin" at 0). Their sizes are multiples of kBinUnit.
inline constexpr std::size_t kBinUnit = 4096;
inline constexpr std::size_t kBinOffset = 0x04;  // of this bin, from the first
inline constexpr std::size_t kBinSize = 0x08;
inline constexpr std::size_t kBinTimestamp = 0x14;
inline constexpr std::size_t kBinHeaderSize = 0x20;

// Cells: every field below counts from the start of its cell (the size field).
inline constexpr std::size_t kCellSignature = 0x04;
inline constexpr std::uint32_t kNoCell = 0xFFFFFFFF;

// Key node ("nk").
inline constexpr std::size_t kKeyFlags = 0x06;
inline constexpr std::size_t kKeyTime = 0x08;
inline constexpr std::size_t kKeyParent = 0x14;
inline constexpr std::size_t kSubkeyCount = 0x18;
inline constexpr std::size_t kVolatileSubkeyCount = 0x1C;
inline constexpr std::size_t kSubkeyList = 0x20;
inline constexpr std::size_t kVolatileSubkeyList = 0x24;
inline constexpr std::size_t kValueCount = 0x28;
inline constexpr std::size_t kValueList = 0x2C;
inline constexpr std::size_t kKeySecurity = 0x30;
inline constexpr std::size_t kKeyClass = 0x34;
inline constexpr std::size_t kMaxSubkeyName = 0x38;
inline constexpr std::size_t kMaxSubkeyClass = 0x3C;
inline constexpr std::size_t kMaxValueName = 0x40;
inline constexpr std::size_t kMaxValueData = 0x44;
inline constexpr std::size_t kKeyNameLength = 0x4C;
inline constexpr std::size_t kKeyClassLength = 0x4E;
inline constexpr std::size_t kKeyName = 0x50;
inline constexpr std::uint16_t kKeyHiveEntry = 0x04;
inline constexpr std::uint16_t kKeyNoDelete = 0x08;
inline constexpr std::uint16_t kKeyCompressedName = 0x20;

// Value node ("vk").
inline constexpr std::size_t kValueNameLength = 0x06;
inline constexpr std::size_t kDataSize = 0x08;
inline constexpr std::size_t kDataOffset = 0x0C;
inline constexpr std::size_t kValueType = 0x10;
inline constexpr std::size_t kValueFlags = 0x14;
inline constexpr std::size_t kValueName = 0x18;
inline constexpr std::uint16_t kValueCompressedName = 0x01;
inline constexpr std::uint32_t kDataInline = 0x80000000;  // in the data size: data in the offset

// Lists: subkey lists ("lf", "lh", "li", "ri") and big data ("db") hold a 16-bit count, then
// their entries (for "db", the offset of its segment list). A value list and a segment list are
// bare cells of 32-bit offsets.
inline constexpr std::size_t kListCount = 0x06;
inline constexpr std::size_t kListEntries = 0x08;
inline constexpr std::size_t kCellData = 0x04;

// Security cell ("sk").
inline constexpr std::size_t kSecurityPrevious = 0x08;
inline constexpr std::size_t kSecurityNext = 0x0C;
inline constexpr std::size_t kSecurityReferences = 0x10;
inline constexpr std::size_t kSecuritySize = 0x14;
inline constexpr std::size_t kSecurityDescriptor = 0x18;

// Transaction logs: a 512-byte copy of the base block, then either (old format) "DIRT" and a
// bitmap of dirty 512-byte pages followed by those pages, or (new format) entries ("HvLE").
inline constexpr std::size_t kLogBaseSize = 512;
inline constexpr std::size_t kLogPageSize = 512;
inline constexpr std::size_t kDirtyBitmap = 516;  // after "DIRT" at 512

// Log entry fields, from the start of the entry; then a (bins offset, size) pair of 32-bit
// numbers per page, then the pages.
inline constexpr std::size_t kEntrySize = 0x04;
inline constexpr std::size_t kEntryFlags = 0x08;
inline constexpr std::size_t kEntrySequence = 0x0C;
inline constexpr std::size_t kEntryBinsSize = 0x10;
inline constexpr std::size_t kEntryPages = 0x14;
inline constexpr std::size_t kEntryDataHash = 0x18;
inline constexpr std::size_t kEntryHeaderHash = 0x20;  // of the header's first 32 bytes
inline constexpr std::size_t kEntryHeaderSize = 0x28;
inline constexpr std::size_t kEntryPageRef = 8;  // one page's offset and size

}  // namespace format
}  // namespace hive
