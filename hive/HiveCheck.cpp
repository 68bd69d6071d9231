#include "hive/HiveCheck.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string_view>
#include <utility>

#include "base/ByteOrder.h"
#include "base/Text.h"
#include "hive/EmptyHive.h"
#include "hive/HiveFormat.h"

namespace hive {
namespace {

using namespace format;
using Severity = HiveFinding::Severity;
using Kind = HiveFindingKind;

constexpr std::size_t kBase = kHiveBaseBlockSize;  // cell offsets count from here
// Data above this many bytes is kept in "db" segments of at most this many (format 1.4 on).
constexpr std::size_t kBigChunk = 16344;
constexpr std::size_t kDeepestKey = 512;  // levels of keys below the root that Windows allows
constexpr std::size_t kLongestKeyName = 255;
constexpr std::size_t kLongestValueName = 16383;
// The room a cell must have after its size field for each fixed part.
constexpr std::size_t kKeyRoom = kKeyName - kCellData;
constexpr std::size_t kValueRoom = kValueName - kCellData;
constexpr std::size_t kSecurityRoom = kSecurityDescriptor - kCellData;
constexpr std::size_t kBigDataRoom = kListEntries + 4 - kCellData;
// Security descriptor: the control bits and where its parts are, from its start.
constexpr std::uint16_t kSelfRelative = 0x8000;
constexpr std::uint16_t kSaclPresent = 0x0010;
constexpr std::uint16_t kDaclPresent = 0x0004;
constexpr std::size_t kDescriptorHeader = 20;

std::string Hex(std::size_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%zx", value);
  return text;
}

// A name as the messages show it: quoted, control characters escaped (a damaged hive's bytes must
// not reach a terminal as its commands), a long one cut short.
std::string Quoted(std::u16string_view name) {
  constexpr std::size_t kShown = 64;
  std::u16string shown;
  for (std::size_t i = 0; i < name.size() && i < kShown; ++i) {
    const char16_t unit = name[i];
    if (unit < 0x20 || (unit >= 0x7F && unit < 0xA0)) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(unit));
      shown.append(escaped, escaped + std::strlen(escaped));
    } else {
      shown += unit;
    }
  }
  return "\"" + base::Utf8FromUtf16(shown) + (name.size() > kShown ? "...\"" : "\"");
}

std::string Count(std::size_t count, const char* thing) {
  return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

// Whether UpcaseUnit upper-cases the unit as Windows does (ASCII, Latin-1, basic Greek and
// Cyrillic). Names with other units are not judged on their order or hash: a check that cannot
// know Windows' answer says nothing rather than something wrong.
bool Judged(char16_t unit) {
  return (unit < 0x100 && unit != 0xB5) || (unit >= 0x391 && unit <= 0x3CB) ||
         (unit >= 0x400 && unit <= 0x45F);
}
bool Judged(std::u16string_view name) {
  return std::all_of(name.begin(), name.end(), [](char16_t unit) { return Judged(unit); });
}

// Windows' order of names: by upper-cased unit, a prefix first. <0, 0 or >0.
int Compare(std::u16string_view a, std::u16string_view b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const char16_t x = base::UpcaseUnit(a[i]), y = base::UpcaseUnit(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

std::u16string Upcased(std::u16string name) {
  for (char16_t& unit : name) unit = base::UpcaseUnit(unit);
  return name;
}

// An "lh" entry's hash of the name.
std::uint32_t NameHash(std::u16string_view name) {
  std::uint32_t hash = 0;
  for (const char16_t unit : name) hash = hash * 37 + base::UpcaseUnit(unit);
  return hash;
}

// An "lf" entry's hint: the name's first four characters as bytes; zero when one of them is
// above U+00FF.
std::uint32_t NameHint(std::u16string_view name) {
  std::uint32_t hint = 0;
  for (std::size_t i = 0; i < 4 && i < name.size(); ++i) {
    if (name[i] > 0xFF) return 0;
    hint |= static_cast<std::uint32_t>(name[i]) << (8 * i);
  }
  return hint;
}

// The same hint, byte by byte upper-cased: Windows compares hints without case.
std::uint32_t UpcasedHint(std::uint32_t hint) {
  std::uint32_t upcased = 0;
  for (int i = 0; i < 4; ++i) {
    const auto unit = static_cast<char16_t>((hint >> (8 * i)) & 0xFF);
    upcased |= static_cast<std::uint32_t>(base::UpcaseUnit(unit) & 0xFF) << (8 * i);
  }
  return upcased;
}

class Checker {
 public:
  explicit Checker(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
  HiveCheckReport Run();

 private:
  // What is known of each 8-byte unit of the bins.
  enum : std::uint8_t {
    kStart = 1,            // a cell starts here
    kAllocated = 2,        // ... and is in use (a negative size)
    kUsed = 4,             // something refers to it
    kUsedBySecurity = 8,   // a key uses it as its security cell, or the list of them holds it
    kInSecurityList = 16,  // the list of security cells passes through it
  };
  struct CellAt {
    std::size_t at = 0;  // its file offset; 0: no cell starts there
    std::size_t room = 0;
    bool allocated = false;
  };
  // A subkey list's entry: where it is, the key it names and what it carries beside it.
  struct Entry {
    std::size_t field;
    std::uint32_t offset;
    std::string_view list;  // the leaf's signature
  };
  struct PendingKey {
    std::size_t field;  // the reference to it
    std::uint32_t offset;
    std::uint32_t parent;  // kNoCell: the root
    std::size_t depth;
  };
  struct KeyName {
    std::u16string name;
    std::size_t nameBytes = 0;  // as the largest-name fields count: UTF-16 bytes
    std::size_t classBytes = 0;
  };

  std::uint16_t U16(std::size_t at) const {
    return at <= m_bytes.size() && m_bytes.size() - at >= 2 ? base::ReadLittleEndian16(&m_bytes[at]) : 0;
  }
  std::uint32_t U32(std::size_t at) const {
    return at <= m_bytes.size() && m_bytes.size() - at >= 4 ? base::ReadLittleEndian32(&m_bytes[at]) : 0;
  }
  bool Signature(std::size_t at, std::string_view signature) const {
    return at <= m_bytes.size() && m_bytes.size() - at >= signature.size() &&
           HasSignature(&m_bytes[at], signature);
  }
  void Add(Severity severity, Kind kind, std::size_t offset, std::string text);
  void Fault(Kind kind, std::size_t offset, std::string text) {
    Add(Severity::kFault, kind, offset, std::move(text));
  }
  void Warn(Kind kind, std::size_t offset, std::string text) {
    Add(Severity::kWarning, kind, offset, std::move(text));
  }
  // A cell offset as the messages name it: its file offset.
  std::string Place(std::uint32_t offset) const;

  bool CheckBaseBlock();
  void CheckBins();
  void CheckCells(std::size_t start, std::size_t end);
  CellAt Cell(std::uint32_t offset) const;
  std::size_t Use(std::size_t field, std::uint32_t offset, std::uint64_t need, Kind small, const char* what,
                  std::size_t* room = nullptr);
  bool ReadKeyName(std::size_t key, std::size_t room, KeyName* name) const;
  void CheckKey(const PendingKey& pending, std::vector<PendingKey>* next);
  bool ReadList(std::size_t field, std::uint32_t offset, bool top, std::vector<Entry>* entries);
  void CheckEntries(std::size_t key, const std::vector<Entry>& entries);
  void CheckValues(std::size_t key);
  std::size_t CheckData(std::size_t value);
  void UseSecurity(std::size_t field, std::uint32_t offset);
  bool IsSecurityCell(std::uint32_t offset) const;
  void CheckSecurityList();
  void CheckDescriptor(std::size_t cell, std::size_t room);
  void CheckSid(std::size_t descriptor, std::size_t size, std::size_t field, const char* what);
  void CheckAcl(std::size_t descriptor, std::size_t size, std::size_t field, const char* what);
  void ReportLeaks();

  std::span<const std::uint8_t> m_bytes;
  HiveCheckReport m_report;
  std::size_t m_kept[2] = {};
  std::uint32_t m_minor = 0;
  std::size_t m_binsEnd = kBase;      // the file offset where the bins that were checked end
  std::vector<std::uint8_t> m_cells;  // per 8 bytes of the bins
  std::vector<std::uint32_t>
      m_users;  // per 8 bytes: the field (its file offset / 4) that first used the cell
  std::map<std::uint32_t, std::size_t> m_security;  // the security cells keys use: how many keys each
  std::uint32_t m_rootSecurity = kNoCell;
};

void Checker::Add(Severity severity, Kind kind, std::size_t offset, std::string text) {
  const int index = severity == Severity::kFault ? 0 : 1;
  ++(severity == Severity::kFault ? m_report.faults : m_report.warnings);
  if (m_kept[index] == HiveCheckReport::kKeptFindings) return;
  ++m_kept[index];
  m_report.findings.push_back({offset, severity, kind, std::move(text)});
}

std::string Checker::Place(std::uint32_t offset) const {
  if (offset == kNoCell) return "none (0xffffffff)";
  if (offset >= m_binsEnd - kBase) return Hex(kBase + std::size_t{offset}) + ", past the bins";
  return Hex(kBase + std::size_t{offset});
}

HiveCheckReport Checker::Run() {
  if (CheckBaseBlock()) {
    m_cells.assign((m_binsEnd - kBase) / 8, 0);
    m_users.assign(m_cells.size(), 0);
    CheckBins();
    std::vector<PendingKey> keys{{kRootCell, U32(kRootCell), kNoCell, 0}};
    while (!keys.empty()) {
      const PendingKey key = keys.back();
      keys.pop_back();
      CheckKey(key, &keys);
    }
    CheckSecurityList();
    ReportLeaks();
  }
  std::stable_sort(m_report.findings.begin(), m_report.findings.end(),
                   [](const HiveFinding& a, const HiveFinding& b) { return a.offset < b.offset; });
  return std::move(m_report);
}

bool Checker::CheckBaseBlock() {
  if (m_bytes.size() < kBase) {
    Fault(Kind::kBaseBlock, 0,
          "the file is " + Count(m_bytes.size(), "byte") + " long, shorter than a hive's base block of 4096");
    return false;
  }
  if (!Signature(0, kBaseBlockSignature)) {
    Fault(Kind::kBaseBlock, 0, "no \"regf\" signature: not a hive file");
    return false;
  }
  if (U32(kSequence1) != U32(kSequence2))
    Fault(Kind::kBaseBlock, kSequence1,
          "the sequence numbers " + std::to_string(U32(kSequence1)) + " and " +
              std::to_string(U32(kSequence2)) +
              " differ: the hive is dirty (a write did not finish; its logs recover it)");
  if (U32(kChecksum) != HiveHeaderChecksum(m_bytes.data()))
    Fault(Kind::kBaseBlock, kChecksum,
          "the checksum is " + Hex(U32(kChecksum)) + ", not " + Hex(HiveHeaderChecksum(m_bytes.data())));
  m_minor = U32(kMinor);
  if (U32(kMajor) != 1 || m_minor < 3 || m_minor > 6)
    Fault(Kind::kBaseBlock, U32(kMajor) != 1 ? kMajor : kMinor,
          "format version " + std::to_string(U32(kMajor)) + "." + std::to_string(m_minor) +
              " is none of 1.3 to 1.6");
  if (U32(kFileType) != kPrimaryFile)
    Fault(Kind::kBaseBlock, kFileType, "file type " + std::to_string(U32(kFileType)) + ", not 0 (a hive)");
  if (U32(kFormat) != 1)
    Fault(Kind::kBaseBlock, kFormat, "file format " + std::to_string(U32(kFormat)) + ", not 1");
  if (U32(kClustering) != 1)
    Fault(Kind::kBaseBlock, kClustering, "clustering factor " + std::to_string(U32(kClustering)) + ", not 1");
  const std::size_t declared = U32(kBinsSize);
  const std::size_t held = m_bytes.size() - kBase;
  if (declared == 0 || declared % kBinUnit != 0)
    Fault(Kind::kBaseBlock, kBinsSize,
          "the bins' size " + Hex(declared) + " is not a multiple of 4096 above zero");
  if (declared > held)
    Fault(Kind::kBaseBlock, kBinsSize,
          "the bins' size is " + Hex(declared) + ", but the file holds " + Hex(held) +
              " bytes after its base block");
  else if (held > declared)
    Warn(Kind::kTrailing, kBase + declared, Count(held - declared, "byte") + " past the last bin");
  m_binsEnd = kBase + std::min(declared, held) / kBinUnit * kBinUnit;
  return true;
}

void Checker::CheckBins() {
  for (std::size_t at = kBase; at < m_binsEnd;) {
    const std::size_t offset = at - kBase;
    const bool signature = Signature(at, kBinSignature);
    const std::size_t size = U32(at + kBinSize);
    if (signature && U32(at + kBinOffset) == offset && size != 0 && size % kBinUnit == 0) {
      std::size_t end = at + std::min(size, m_binsEnd - at);
      if (size > m_binsEnd - at)
        Fault(Kind::kBins, at + kBinSize,
              "the bin at " + Hex(at) + " is " + Hex(size) + " bytes long, past the end of the bins at " +
                  Hex(m_binsEnd));
      ++m_report.bins;
      CheckCells(at, end);
      at = end;
      continue;
    }
    if (!signature)
      Fault(Kind::kBins, at, "no bin at " + Hex(at) + ": no \"hbin\" signature there");
    else if (U32(at + kBinOffset) != offset)
      Fault(Kind::kBins, at + kBinOffset,
            "the bin at " + Hex(at) + " says it is at " + Hex(kBase + std::size_t{U32(at + kBinOffset)}));
    else
      Fault(Kind::kBins, at + kBinSize,
            "the bin at " + Hex(at) + " has size " + Hex(size) + ", no multiple of 4096");
    // On at the next bin that says where it is: what lies before it is no bin.
    at += kBinUnit;
    while (at < m_binsEnd && !(Signature(at, kBinSignature) && U32(at + kBinOffset) == at - kBase))
      at += kBinUnit;
  }
}

void Checker::CheckCells(std::size_t start, std::size_t end) {
  for (std::size_t at = start + kBinHeaderSize; at < end;) {
    const std::uint32_t raw = U32(at);
    const bool allocated = (raw & 0x80000000U) != 0;
    const std::size_t length = allocated ? 0U - raw : raw;
    if (length == 0 || length % 8 != 0 || length > end - at) {
      Fault(Kind::kCells, at,
            length == 0 ? "a cell of size 0: the rest of the bin cannot be read"
            : length % 8 != 0
                ? "a cell of size " + Hex(length) + ", no multiple of 8"
                : "a cell of " + Hex(length) + " bytes runs past the end of its bin at " + Hex(end));
      return;
    }
    m_cells[(at - kBase) / 8] = allocated ? kStart | kAllocated : kStart;
    ++m_report.cells;
    at += length;
  }
}

Checker::CellAt Checker::Cell(std::uint32_t offset) const {
  if (offset % 8 != 0 || offset >= m_binsEnd - kBase || (m_cells[offset / 8] & kStart) == 0) return {};
  const std::size_t at = kBase + offset;
  const std::uint32_t raw = U32(at);
  const bool allocated = (raw & 0x80000000U) != 0;
  return {at, (allocated ? 0U - raw : raw) - 4, allocated};
}

// Notes a reference from field to the cell at offset, which must hold need bytes; the cell's
// file offset when it is to be read (its room in *room), else 0 after saying why.
std::size_t Checker::Use(std::size_t field, std::uint32_t offset, std::uint64_t need, Kind small,
                         const char* what, std::size_t* room) {
  const CellAt cell = Cell(offset);
  if (cell.at == 0) {
    Fault(Kind::kReference, field,
          std::string("the ") + what + " " + Place(offset) + " is not the start of a cell");
    return 0;
  }
  if (!cell.allocated) {
    Fault(Kind::kReference, field, std::string("the ") + what + " " + Place(offset) + " is a free cell");
    return 0;
  }
  std::uint8_t& flags = m_cells[offset / 8];
  if ((flags & (kUsed | kUsedBySecurity)) != 0) {
    Fault(Kind::kSharedCell, cell.at,
          "the cell at " + Hex(cell.at) + " is used twice: as the " + what + " that " + Hex(field) +
              " refers to, and by " + Hex(std::size_t{m_users[offset / 8]} * 4));
    return 0;
  }
  flags |= kUsed;
  m_users[offset / 8] = static_cast<std::uint32_t>(field / 4);
  if (cell.room < need) {
    Fault(small, field,
          std::string("the ") + what + " " + Place(offset) + " holds " + Count(cell.room, "byte") +
              ", fewer than the " + std::to_string(need) + " it needs");
    return 0;
  }
  if (room != nullptr) *room = cell.room;
  return cell.at;
}

bool Checker::ReadKeyName(std::size_t key, std::size_t room, KeyName* name) const {
  const std::size_t length = U16(key + kKeyNameLength);
  if (room < kKeyRoom + length) return false;
  const std::uint8_t* stored = m_bytes.data() + key + kKeyName;
  if ((U16(key + kKeyFlags) & kKeyCompressedName) != 0) {
    name->name.assign(stored, stored + length);
    name->nameBytes = 2 * length;
  } else {
    name->name = base::Utf16FromBytes(stored, length);
    name->nameBytes = length;
  }
  name->classBytes = U16(key + kKeyClassLength);
  return true;
}

void Checker::CheckKey(const PendingKey& pending, std::vector<PendingKey>* next) {
  if (pending.depth > kDeepestKey) {
    Fault(Kind::kKey, pending.field,
          "the key " + Place(pending.offset) + " lies deeper than 512 levels below the root");
    return;
  }
  std::size_t room = 0;
  const std::size_t key = Use(pending.field, pending.offset, kKeyRoom, Kind::kReference, "key", &room);
  if (key == 0) return;
  if (!Signature(key + kCellSignature, kKeySignature)) {
    Fault(Kind::kKey, key + kCellSignature,
          "the cell at " + Hex(key) + ", listed as a key, is no key node (\"nk\")");
    return;
  }
  ++m_report.keys;
  const bool root = pending.parent == kNoCell;
  const std::uint16_t flags = U16(key + kKeyFlags);
  if (root && (flags & kKeyHiveEntry) == 0)
    Fault(Kind::kKey, key + kKeyFlags, "the root key " + Hex(key) + " lacks the hive-entry flag");
  if (!root && (flags & kKeyHiveEntry) != 0)
    Fault(Kind::kKey, key + kKeyFlags, "the key " + Hex(key) + " carries the root key's hive-entry flag");
  KeyName name;
  if (!ReadKeyName(key, room, &name)) {
    Fault(Kind::kKey, key + kKeyNameLength,
          "the key " + Hex(key) + "'s name of " + Count(U16(key + kKeyNameLength), "byte") +
              " runs past its cell");
  } else {
    const bool compressed = (flags & kKeyCompressedName) != 0;
    if (!compressed && name.nameBytes % 2 != 0)
      Fault(Kind::kKey, key + kKeyNameLength,
            "the key " + Hex(key) + "'s UTF-16 name has an odd number of bytes");
    if (name.name.empty())
      Fault(Kind::kKey, key + kKeyNameLength, "the key " + Hex(key) + " has an empty name");
    else if (name.name.size() > kLongestKeyName)
      Fault(Kind::kKey, key + kKeyNameLength,
            "the key " + Hex(key) + "'s name has " + std::to_string(name.name.size()) +
                " characters, more than 255");
    if (name.name.find(u'\\') != std::u16string::npos)
      Fault(Kind::kKey, key + kKeyName,
            "the key " + Hex(key) + "'s name " + Quoted(name.name) + " holds a backslash");
  }
  if (!root && U32(key + kKeyParent) != pending.parent)
    Fault(Kind::kParent, key + kKeyParent,
          "the key " + Hex(key) + " names " + Place(U32(key + kKeyParent)) + " as its parent, but " +
              Place(pending.parent) + " lists it");
  if (root) m_rootSecurity = U32(key + kKeySecurity);
  UseSecurity(key + kKeySecurity, U32(key + kKeySecurity));
  if (const std::size_t classBytes = U16(key + kKeyClassLength); classBytes != 0)
    Use(key + kKeyClass, U32(key + kKeyClass), classBytes, Kind::kReference, "class name");

  const std::uint32_t subkeys = U32(key + kSubkeyCount);
  std::vector<Entry> entries;
  if (subkeys != 0 && ReadList(key + kSubkeyList, U32(key + kSubkeyList), true, &entries) &&
      entries.size() != subkeys)
    Fault(Kind::kSubkeyCount, key + kSubkeyCount,
          "the key " + Hex(key) + " counts " + Count(subkeys, "subkey") + ", but its lists hold " +
              std::to_string(entries.size()));
  CheckEntries(key, entries);
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
    next->push_back({entry->field, entry->offset, pending.offset, pending.depth + 1});
  CheckValues(key);
}

// Reads a subkey list (an index root's leaves too, when top) into entries; false when not all of
// it could be read.
bool Checker::ReadList(std::size_t field, std::uint32_t offset, bool top, std::vector<Entry>* entries) {
  std::size_t room = 0;
  const std::size_t list =
      Use(field, offset, 4, Kind::kReference, top ? "subkey list" : "leaf of an index root", &room);
  if (list == 0) return false;
  std::string_view signature;
  for (const std::string_view known :
       {kFastLeafSignature, kHashLeafSignature, kIndexLeafSignature, kIndexRootSignature})
    if (Signature(list + kCellSignature, known)) signature = known;
  if (signature.empty()) {
    Fault(Kind::kSubkeyList, list + kCellSignature,
          "the cell at " + Hex(list) +
              ", listed as subkeys, is no subkey list (\"lf\", \"lh\", \"li\" or \"ri\")");
    return false;
  }
  if (signature == kIndexRootSignature && !top) {
    Fault(Kind::kSubkeyList, list + kCellSignature,
          "the index root at " + Hex(list) + " lies inside another");
    return false;
  }
  if (signature == kHashLeafSignature && m_minor < 5)
    Fault(Kind::kSubkeyList, list + kCellSignature,
          "the \"lh\" list at " + Hex(list) + " is in a hive of format 1." + std::to_string(m_minor) +
              ": they exist from 1.5 on");
  const std::size_t stride = signature == kFastLeafSignature || signature == kHashLeafSignature ? 8 : 4;
  std::size_t count = U16(list + kListCount);
  bool whole = true;
  if (4 + stride * count > room) {
    Fault(Kind::kSubkeyList, list + kListCount,
          "the subkey list at " + Hex(list) + " counts " + std::to_string(count) +
              " entries, more than its " + Count(room, "byte") + " hold");
    count = (room - 4) / stride;
    whole = false;
  }
  if (count == 0 && whole)
    Fault(Kind::kSubkeyList, list + kListCount, "the subkey list at " + Hex(list) + " is empty");
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = list + kListEntries + stride * i;
    if (signature == kIndexRootSignature)
      whole = ReadList(at, U32(at), false, entries) && whole;
    else
      entries->push_back({at, U32(at), signature});
  }
  return whole;
}

// The order, hints and hashes of a key's subkeys, and the key's largest-name fields.
void Checker::CheckEntries(std::size_t key, const std::vector<Entry>& entries) {
  std::size_t largestName = 0, largestClass = 0;
  std::u16string previous;
  bool havePrevious = false;
  for (const Entry& entry : entries) {
    const CellAt cell = Cell(entry.offset);
    KeyName child;
    if (cell.at == 0 || !cell.allocated || cell.room < kKeyRoom ||
        !Signature(cell.at + kCellSignature, kKeySignature) || !ReadKeyName(cell.at, cell.room, &child)) {
      havePrevious = false;
      continue;  // what is wrong with it is said where it is checked
    }
    largestName = std::max(largestName, child.nameBytes);
    largestClass = std::max(largestClass, child.classBytes);
    const bool judged = Judged(child.name);
    if (havePrevious && judged) {
      if (const int order = Compare(previous, child.name); order >= 0)
        Fault(Kind::kOrder, entry.field,
              order == 0 ? "a second subkey named " + Quoted(child.name) + " (names compare upper-cased)"
                         : "the subkey " + Quoted(child.name) + " is listed after " + Quoted(previous) +
                               ": out of order");
    }
    previous = child.name;
    havePrevious = judged;
    const std::uint32_t stored = U32(entry.field + 4);
    if (entry.list == kFastLeafSignature) {
      const std::uint32_t hint = NameHint(child.name);
      const bool wide =
          std::any_of(child.name.begin(), child.name.end(), [](char16_t unit) { return unit > 0xFF; });
      if (stored == 0 && hint != 0 && !wide)
        Warn(Kind::kHint, entry.field + 4, "the \"lf\" hint of " + Quoted(child.name) + " is zero");
      else if (stored != 0 && stored != hint && UpcasedHint(stored) != UpcasedHint(hint))
        Fault(Kind::kHint, entry.field + 4,
              "the \"lf\" hint of " + Quoted(child.name) + " is " + Hex(stored) + ", not " + Hex(hint));
    } else if (entry.list == kHashLeafSignature && judged && stored != NameHash(child.name)) {
      Fault(Kind::kHint, entry.field + 4,
            "the \"lh\" hash of " + Quoted(child.name) + " is " + Hex(stored) + ", not " +
                Hex(NameHash(child.name)));
    }
  }
  if ((U32(key + kMaxSubkeyName) & 0xFFFF) < largestName)
    Fault(Kind::kLargest, key + kMaxSubkeyName,
          "the key " + Hex(key) + "'s largest subkey name is " +
              std::to_string(U32(key + kMaxSubkeyName) & 0xFFFF) + " bytes, but a subkey's takes " +
              std::to_string(largestName));
  if (U32(key + kMaxSubkeyClass) < largestClass)
    Fault(Kind::kLargest, key + kMaxSubkeyClass,
          "the key " + Hex(key) + "'s largest subkey class name is " +
              std::to_string(U32(key + kMaxSubkeyClass)) + " bytes, but a subkey's takes " +
              std::to_string(largestClass));
}

void Checker::CheckValues(std::size_t key) {
  const std::uint32_t count = U32(key + kValueCount);
  if (count == 0) return;
  std::size_t room = 0;
  const std::size_t list =
      Use(key + kValueList, U32(key + kValueList), 0, Kind::kReference, "value list", &room);
  if (list == 0) return;
  if (room / 4 < count) {
    Fault(Kind::kValueCount, key + kValueCount,
          "the key " + Hex(key) + " counts " + Count(count, "value") + ", but its value list at " +
              Hex(list) + " holds " + std::to_string(room / 4));
    return;
  }
  std::size_t largestName = 0, largestData = 0;
  struct Named {
    std::u16string upcased;
    std::u16string name;
    std::size_t cell;
  };
  std::vector<Named> names;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t field = list + kCellData + 4 * i;
    const std::size_t value = Use(field, U32(field), kValueRoom, Kind::kReference, "value", &room);
    if (value == 0) continue;
    if (!Signature(value + kCellSignature, kValueSignature)) {
      Fault(Kind::kValue, value + kCellSignature,
            "the cell at " + Hex(value) + ", listed as a value, is no value node (\"vk\")");
      continue;
    }
    ++m_report.values;
    const std::size_t length = U16(value + kValueNameLength);
    const bool compressed = (U16(value + kValueFlags) & kValueCompressedName) != 0;
    if (room < kValueRoom + length) {
      Fault(Kind::kValue, value + kValueNameLength,
            "the value " + Hex(value) + "'s name of " + Count(length, "byte") + " runs past its cell");
    } else {
      const std::uint8_t* stored = m_bytes.data() + value + kValueName;
      std::u16string name =
          compressed ? std::u16string(stored, stored + length) : base::Utf16FromBytes(stored, length);
      if (!compressed && length % 2 != 0)
        Fault(Kind::kValue, value + kValueNameLength,
              "the value " + Hex(value) + "'s UTF-16 name has an odd number of bytes");
      if (name.size() > kLongestValueName)
        Fault(Kind::kValue, value + kValueNameLength,
              "the value " + Hex(value) + "'s name has " + std::to_string(name.size()) +
                  " characters, more than 16383");
      largestName = std::max(largestName, compressed ? 2 * length : length);
      names.push_back({Upcased(name), name, value});
    }
    largestData = std::max(largestData, CheckData(value));
  }
  // Two values of one name: the later one in the list is the one said.
  std::stable_sort(names.begin(), names.end(),
                   [](const Named& a, const Named& b) { return a.upcased < b.upcased; });
  for (std::size_t i = 1; i < names.size(); ++i)
    if (names[i].upcased == names[i - 1].upcased)
      Fault(Kind::kValue, names[i].cell + kValueName,
            "the value " + Hex(names[i].cell) + " has the name of the value " + Hex(names[i - 1].cell) +
                ", " + Quoted(names[i].name) + " (names compare upper-cased)");
  if (U32(key + kMaxValueName) < largestName)
    Fault(Kind::kLargest, key + kMaxValueName,
          "the key " + Hex(key) + "'s largest value name is " + std::to_string(U32(key + kMaxValueName)) +
              " bytes, but a value's takes " + std::to_string(largestName));
  if (U32(key + kMaxValueData) < largestData)
    Fault(Kind::kLargest, key + kMaxValueData,
          "the key " + Hex(key) + "'s largest value data is " + std::to_string(U32(key + kMaxValueData)) +
              " bytes, but a value holds " + std::to_string(largestData));
}

// A value's data: where it is kept and that it is all there. Its size.
std::size_t Checker::CheckData(std::size_t value) {
  const std::uint32_t raw = U32(value + kDataSize);
  const std::size_t size = raw & ~kDataInline;
  if ((raw & kDataInline) != 0) {
    if (size > 4)
      Fault(Kind::kData, value + kDataSize,
            "the value " + Hex(value) + " keeps " + Count(size, "byte") +
                " of data in itself: at most 4 fit there");
    return size;
  }
  if (size == 0) return size;
  if (size <= 4)
    Warn(Kind::kData, value + kDataSize,
         "the value " + Hex(value) + " keeps " + Count(size, "byte") +
             " of data in a cell; Windows keeps 4 bytes or fewer in the value");
  const std::size_t field = value + kDataOffset;
  if (size > kBigChunk && m_minor >= 4) {
    std::size_t room = 0;
    const std::size_t big = Use(field, U32(field), kBigDataRoom, Kind::kData, "big-data record", &room);
    if (big == 0) return size;
    if (!Signature(big + kCellSignature, kBigDataSignature)) {
      Fault(Kind::kData, big + kCellSignature,
            "the data of " + Count(size, "byte") + " at " + Hex(big) +
                " is no big-data record (\"db\"), which format 1." + std::to_string(m_minor) +
                " needs above 16344 bytes");
      return size;
    }
    const std::size_t segments = U16(big + kListCount);
    const std::size_t needed = (size + kBigChunk - 1) / kBigChunk;
    if (segments != needed)
      Fault(Kind::kData, big + kListCount,
            "the big-data record at " + Hex(big) + " has " + Count(segments, "segment") + ", but " +
                Count(size, "byte") + " take " + std::to_string(needed));
    const std::size_t list =
        Use(big + kListEntries, U32(big + kListEntries), 4ULL * segments, Kind::kData, "segment list");
    if (list == 0) return size;
    std::size_t left = size;
    for (std::size_t i = 0; i < segments; ++i) {
      const std::size_t chunk = std::min(left, kBigChunk);
      const std::size_t at = list + kCellData + 4 * i;
      Use(at, U32(at), chunk, Kind::kData, "data segment");
      left -= chunk;
    }
    return size;
  }
  std::size_t room = 0;
  const std::size_t data = Use(field, U32(field), 0, Kind::kData, "data cell", &room);
  if (data != 0 && room < size)
    Fault(Kind::kData, field,
          Signature(data + kCellSignature, kBigDataSignature) && size > kBigChunk
              ? "the big-data record at " + Hex(data) + " is in a hive of format 1." +
                    std::to_string(m_minor) + ": they exist from 1.4 on"
              : "the data cell at " + Hex(data) + " holds " + Count(room, "byte") +
                    ", fewer than the value's " + std::to_string(size));
  return size;
}

bool Checker::IsSecurityCell(std::uint32_t offset) const {
  const CellAt cell = Cell(offset);
  return cell.at != 0 && cell.allocated && cell.room >= kSecurityRoom &&
         Signature(cell.at + kCellSignature, kSecuritySignature);
}

void Checker::UseSecurity(std::size_t field, std::uint32_t offset) {
  const CellAt cell = Cell(offset);
  if (cell.at == 0 || !cell.allocated) {
    Fault(Kind::kReference, field,
          "the security cell " + Place(offset) +
              (cell.at == 0 ? " is not the start of a cell" : " is a free cell"));
    return;
  }
  std::uint8_t& flags = m_cells[offset / 8];
  if ((flags & kUsed) != 0) {
    Fault(Kind::kSharedCell, cell.at,
          "the cell at " + Hex(cell.at) + " is used twice: as the security cell that " + Hex(field) +
              " refers to, and by " + Hex(std::size_t{m_users[offset / 8]} * 4));
    return;
  }
  if (!IsSecurityCell(offset)) {
    Fault(Kind::kSecurity, field, "the security cell " + Place(offset) + " is no security cell (\"sk\")");
    flags |= kUsed;
    m_users[offset / 8] = static_cast<std::uint32_t>(field / 4);
    return;
  }
  if ((flags & kUsedBySecurity) == 0) m_users[offset / 8] = static_cast<std::uint32_t>(field / 4);
  flags |= kUsedBySecurity;
  ++m_security[offset];
}

// The security cells form one list, linked both ways into a ring, from the root key's; each
// counts the keys that use it.
void Checker::CheckSecurityList() {
  if (m_security.empty()) return;
  const std::uint32_t first =
      m_security.count(m_rootSecurity) != 0 ? m_rootSecurity : m_security.begin()->first;
  std::vector<std::uint32_t> ring;
  for (std::uint32_t cell = first;;) {
    ring.push_back(cell);
    std::uint8_t& flags = m_cells[cell / 8];
    if ((flags & kUsed) != 0)
      Fault(Kind::kSharedCell, kBase + cell,
            "the cell at " + Hex(kBase + cell) + " is in the list of security cells and is also used by " +
                Hex(std::size_t{m_users[cell / 8]} * 4));
    flags |= kInSecurityList | kUsedBySecurity;
    const std::size_t at = kBase + cell;
    const std::uint32_t next = U32(at + kSecurityNext);
    if (!IsSecurityCell(next)) {
      Fault(Kind::kSecurity, at + kSecurityNext,
            "the security cell after " + Hex(at) + " is " + Place(next) + ", no security cell");
      break;
    }
    if (const std::uint32_t back = U32(kBase + next + kSecurityPrevious); back != cell)
      Fault(Kind::kSecurity, kBase + next + kSecurityPrevious,
            "the security cell " + Place(next) + " names " + Place(back) + " as the one before it, but " +
                Hex(at) + " links to it");
    if (next == first) break;
    if ((m_cells[next / 8] & kInSecurityList) != 0) {
      Fault(Kind::kSecurity, at + kSecurityNext,
            "the list of security cells runs back to " + Place(next) + " without closing at " + Place(first));
      break;
    }
    cell = next;
  }
  for (const auto& [cell, keys] : m_security)
    if ((m_cells[cell / 8] & kInSecurityList) == 0)
      Fault(Kind::kSecurity, kBase + cell,
            "the security cell at " + Place(cell) + ", used by " + Count(keys, "key") +
                ", is not in the list of security cells");
  for (const auto& [cell, keys] : m_security)
    if ((m_cells[cell / 8] & kInSecurityList) == 0) ring.push_back(cell);
  for (const std::uint32_t cell : ring) {
    const auto found = m_security.find(cell);
    const std::size_t keys = found == m_security.end() ? 0 : found->second;
    const std::size_t at = kBase + cell;
    const std::uint32_t references = U32(at + kSecurityReferences);
    if (references < keys)
      Fault(Kind::kSecurityCount, at + kSecurityReferences,
            "the security cell at " + Hex(at) + " counts " + Count(references, "reference") + ", but " +
                Count(keys, "key") + " use it");
    else if (references > keys)
      Warn(Kind::kSecurityCount, at + kSecurityReferences,
           "the security cell at " + Hex(at) + " counts " + Count(references, "reference") + ", but " +
               Count(keys, "key") + (keys == 1 ? " uses" : " use") + " it");
    else if (keys == 0)
      Warn(Kind::kSecurityCount, at, "no key uses the security cell at " + Hex(at));
    CheckDescriptor(at, Cell(cell).room);
  }
}

// A security cell's descriptor: self-relative, with an owner, and its parts inside it.
void Checker::CheckDescriptor(std::size_t cell, std::size_t room) {
  const std::size_t size = U32(cell + kSecuritySize);
  const std::size_t descriptor = cell + kSecurityDescriptor;
  if (size > room - kSecurityRoom || size < kDescriptorHeader) {
    Fault(Kind::kSecurity, cell + kSecuritySize,
          "the security descriptor at " + Hex(descriptor) + " of " + Count(size, "byte") +
              (size < kDescriptorHeader ? " is shorter than its header" : " runs past its cell"));
    return;
  }
  if (m_bytes[descriptor] != 1)
    Fault(Kind::kSecurity, descriptor,
          "the security descriptor at " + Hex(descriptor) + " has revision " +
              std::to_string(m_bytes[descriptor]) + ", not 1");
  const std::uint16_t control = U16(descriptor + 2);
  if ((control & kSelfRelative) == 0)
    Fault(Kind::kSecurity, descriptor + 2,
          "the security descriptor at " + Hex(descriptor) + " is not self-relative");
  if (U32(descriptor + 4) == 0)
    Fault(Kind::kSecurity, descriptor + 4, "the security descriptor at " + Hex(descriptor) + " has no owner");
  else
    CheckSid(descriptor, size, descriptor + 4, "owner");
  if (U32(descriptor + 8) != 0) CheckSid(descriptor, size, descriptor + 8, "group");
  if ((control & kSaclPresent) != 0 && U32(descriptor + 12) != 0)
    CheckAcl(descriptor, size, descriptor + 12, "SACL");
  if ((control & kDaclPresent) != 0 && U32(descriptor + 16) != 0)
    CheckAcl(descriptor, size, descriptor + 16, "DACL");
}

void Checker::CheckSid(std::size_t descriptor, std::size_t size, std::size_t field, const char* what) {
  const std::size_t at = U32(field);
  const bool header = at < size && size - at >= 8;
  const std::size_t parts = header ? m_bytes[descriptor + at + 1] : 0;
  if (!header || m_bytes[descriptor + at] != 1 || parts > 15 || size - at - 8 < 4 * parts)
    Fault(Kind::kSecurity, field,
          std::string("the ") + what + " of the security descriptor at " + Hex(descriptor) +
              " is no SID inside it");
}

void Checker::CheckAcl(std::size_t descriptor, std::size_t size, std::size_t field, const char* what) {
  const std::size_t at = U32(field);
  const bool header = at < size && size - at >= 8;
  const std::size_t length = header ? U16(descriptor + at + 2) : 0;
  if (!header || length < 8 || length > size - at)
    Fault(Kind::kSecurity, field,
          std::string("the ") + what + " of the security descriptor at " + Hex(descriptor) +
              " is no ACL inside it");
}

void Checker::ReportLeaks() {
  for (std::size_t unit = 0; unit < m_cells.size(); ++unit) {
    if ((m_cells[unit] & (kStart | kAllocated)) != (kStart | kAllocated) ||
        (m_cells[unit] & (kUsed | kUsedBySecurity)) != 0)
      continue;
    const CellAt cell = Cell(static_cast<std::uint32_t>(unit * 8));
    Warn(Kind::kLeak, cell.at,
         "the cell at " + Hex(cell.at) + " of " + Count(cell.room + 4, "byte") +
             " is allocated, but nothing refers to it");
  }
}

}  // namespace

HiveCheckReport CheckHive(std::span<const std::uint8_t> bytes) { return Checker(bytes).Run(); }

}  // namespace hive
