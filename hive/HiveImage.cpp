#include "hive/HiveImage.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/ByteOrder.h"
#include "base/Status.h"
#include "base/Text.h"
#include "hive/EmptyHive.h"
#include "hive/HiveFormat.h"

namespace hive {
namespace {

using namespace format;

constexpr std::size_t kBase = kHiveBaseBlockSize;  // cell offsets count from here
// Data longer than this goes into "db" segments of at most this many bytes (hives of format
// 1.4 and later).
constexpr std::size_t kBigChunk = 16344;
// What Windows allows: names of keys and values, in characters; levels of keys below the root.
constexpr std::size_t kLongestKeyName = 255;
constexpr std::size_t kLongestValueName = 16383;
constexpr std::size_t kDeepestKey = 512;

std::size_t RoundUp(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

// A stored name (Latin-1 bytes when compressed, else UTF-16LE) against a name, as Windows
// compares them.
bool SameName(const std::uint8_t* stored, std::size_t bytes, bool compressed, std::u16string_view name) {
  if (compressed) {
    if (bytes != name.size()) return false;
    for (std::size_t i = 0; i < bytes; ++i) {
      const char16_t unit = stored[i];
      if (unit != name[i] && base::UpcaseUnit(unit) != base::UpcaseUnit(name[i])) return false;
    }
    return true;
  }
  if (bytes / 2 != name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t unit = base::ReadLittleEndian16(stored + 2 * i);
    if (unit != name[i] && base::UpcaseUnit(unit) != base::UpcaseUnit(name[i])) return false;
  }
  return true;
}

std::u16string NameOf(const std::uint8_t* stored, std::size_t bytes, bool compressed) {
  if (!compressed) return base::Utf16FromBytes(stored, bytes);
  return std::u16string(stored, stored + bytes);
}

// The name of the value whose cell (already checked by ValueCell) starts at cell.
struct StoredName {
  const std::uint8_t* bytes;
  std::size_t length;
  bool compressed;
};
StoredName ValueNameAt(const std::uint8_t* b, std::size_t cell) {
  return {b + cell + kValueName, base::ReadLittleEndian16(b + cell + kValueNameLength),
          (base::ReadLittleEndian16(b + cell + kValueFlags) & kValueCompressedName) != 0};
}

// The hash of an "lh" entry: the upper-cased name's code units, each added to 37 times the
// hash so far.
std::uint32_t NameHash(std::u16string_view name) {
  std::uint32_t hash = 0;
  for (const char16_t unit : name) hash = hash * 37 + base::UpcaseUnit(unit);
  return hash;
}

// The hint of an "lf" entry: the name's first four characters (fewer for a shorter name), as
// bytes; zero for a name with a character above U+00FF, as Windows writes it (a byte of such a
// character would be another character's).
std::uint32_t NameHint(std::u16string_view name) {
  if (std::any_of(name.begin(), name.end(), [](char16_t unit) { return unit > 0xFF; })) return 0;
  std::uint8_t hint[4] = {};
  for (std::size_t i = 0; i < 4 && i < name.size(); ++i) hint[i] = static_cast<std::uint8_t>(name[i]);
  return base::ReadLittleEndian32(hint);
}

// Windows' order of subkeys: by upper-cased name, code unit by code unit.
bool SortsBefore(std::u16string_view a, std::u16string_view b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const char16_t x = base::UpcaseUnit(a[i]), y = base::UpcaseUnit(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

}  // namespace

bool HiveImage::Open(std::vector<std::uint8_t> bytes, HiveImage* image, std::string* why) {
  auto fail = [why](const char* text) {
    *why = text;
    return false;
  };
  if (bytes.size() < kBase || !HasSignature(bytes.data(), kBaseBlockSignature))
    return fail("not a registry hive file");
  if (base::ReadLittleEndian32(&bytes[kChecksum]) != HiveHeaderChecksum(bytes.data()))
    return fail("the hive's header checksum is wrong");
  if (base::ReadLittleEndian32(&bytes[kMajor]) != 1) return fail("the hive's format version is unknown");
  const std::uint32_t binsSize = base::ReadLittleEndian32(&bytes[kBinsSize]);
  if (binsSize < kBinUnit || binsSize % kBinUnit != 0 || bytes.size() - kBase < binsSize)
    return fail("the hive is truncated");
  std::vector<std::uint32_t> bins;
  for (std::uint32_t at = 0; at < binsSize;) {
    const std::uint8_t* bin = &bytes[kBase + at];
    const std::uint32_t size = base::ReadLittleEndian32(bin + kBinSize);
    if (!HasSignature(bin, kBinSignature) || base::ReadLittleEndian32(bin + kBinOffset) != at ||
        size < kBinUnit || size % kBinUnit != 0 || size > binsSize - at)
      return fail("the hive's bins are damaged");
    bins.push_back(at);
    at += size;
  }
  bytes.resize(kBase + binsSize);
  HiveImage opened;
  opened.m_bytes = std::move(bytes);
  opened.m_bins = std::move(bins);
  opened.m_root = kBase + base::ReadLittleEndian32(&opened.m_bytes[kRootCell]);
  if (opened.KeyCell(opened.m_root) == 0) return fail("the hive's root key is damaged");
  *image = std::move(opened);
  return true;
}

std::size_t HiveImage::BinsSize() const { return m_bytes.size() - kBase; }

std::size_t HiveImage::UsedCell(std::uint32_t offset, std::size_t need, std::size_t* capacity) const {
  if (offset % 8 != 0 || offset >= BinsSize() || m_bins.empty()) return 0;
  const auto next = std::upper_bound(m_bins.begin(), m_bins.end(), offset);
  const std::size_t binStart = *(next - 1);
  const std::size_t binEnd = next == m_bins.end() ? BinsSize() : *next;
  if (offset < binStart + kBinHeaderSize || offset + 4 > binEnd) return 0;
  const std::size_t cell = kBase + offset;
  const auto size = static_cast<std::int32_t>(base::ReadLittleEndian32(&m_bytes[cell]));
  if (size >= 0) return 0;
  const std::size_t length = 0U - static_cast<std::uint32_t>(size);
  if (length < 4 || length - 4 < need || length > binEnd - offset) return 0;
  if (capacity != nullptr) *capacity = length - 4;
  return cell;
}

std::size_t HiveImage::KeyCell(Node node) const {
  if (node < kBase || node - kBase > 0xFFFFFFFFU) return 0;
  std::size_t capacity = 0;
  const std::size_t cell =
      UsedCell(static_cast<std::uint32_t>(node - kBase), kKeyName - kCellData, &capacity);
  if (cell == 0 || !HasSignature(&m_bytes[cell + kCellSignature], kKeySignature) ||
      capacity < kKeyName - kCellData + base::ReadLittleEndian16(&m_bytes[cell + kKeyNameLength]))
    return 0;
  return cell;
}

std::size_t HiveImage::ValueCell(std::uint32_t offset) const {
  std::size_t capacity = 0;
  const std::size_t cell = UsedCell(offset, kValueName - kCellData, &capacity);
  if (cell == 0 || !HasSignature(&m_bytes[cell + kCellSignature], kValueSignature) ||
      capacity < kValueName - kCellData + base::ReadLittleEndian16(&m_bytes[cell + kValueNameLength]))
    return 0;
  return cell;
}

long HiveImage::SearchList(std::uint32_t list, std::u16string_view name, bool top, Node* child,
                           std::vector<std::u16string>* names) const {
  std::size_t capacity = 0;
  const std::size_t cell = UsedCell(list, 4, &capacity);
  if (cell == 0) return base::kRegistryCorrupt;
  const std::uint8_t* b = m_bytes.data();
  const bool leaves = HasSignature(b + cell + kCellSignature, kFastLeafSignature) ||
                      HasSignature(b + cell + kCellSignature, kHashLeafSignature);
  const bool index = HasSignature(b + cell + kCellSignature, kIndexLeafSignature);
  const bool root = HasSignature(b + cell + kCellSignature, kIndexRootSignature);
  if (!leaves && !index && !(root && top)) return base::kRegistryCorrupt;
  const std::size_t stride = leaves ? 8 : 4;
  const std::size_t count = base::ReadLittleEndian16(b + cell + kListCount);
  if (capacity < 4 + stride * count) return base::kRegistryCorrupt;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t entry = base::ReadLittleEndian32(b + cell + kListEntries + stride * i);
    if (root) {
      const long status = SearchList(entry, name, false, child, names);
      if (status != base::kFileNotFound && status != base::kSuccess) return status;
      if (status == base::kSuccess && names == nullptr) return status;
      continue;
    }
    const std::size_t key = KeyCell(kBase + entry);
    if (key == 0) return base::kRegistryCorrupt;
    const bool compressed = (base::ReadLittleEndian16(b + key + kKeyFlags) & kKeyCompressedName) != 0;
    const std::size_t length = base::ReadLittleEndian16(b + key + kKeyNameLength);
    if (names != nullptr) {
      names->push_back(NameOf(b + key + kKeyName, length, compressed));
    } else if (SameName(b + key + kKeyName, length, compressed, name)) {
      *child = key;
      return base::kSuccess;
    }
  }
  return names != nullptr ? base::kSuccess : base::kFileNotFound;
}

long HiveImage::Child(Node node, std::u16string_view name, Node* child) const {
  const std::size_t key = KeyCell(node);
  if (key == 0) return base::kRegistryCorrupt;
  if (base::ReadLittleEndian32(&m_bytes[key + kSubkeyCount]) == 0) return base::kFileNotFound;
  return SearchList(base::ReadLittleEndian32(&m_bytes[key + kSubkeyList]), name, true, child, nullptr);
}

long HiveImage::Subkeys(Node node, std::vector<std::u16string>* names) const {
  names->clear();
  const std::size_t key = KeyCell(node);
  if (key == 0) return base::kRegistryCorrupt;
  if (base::ReadLittleEndian32(&m_bytes[key + kSubkeyCount]) == 0) return base::kSuccess;
  return SearchList(base::ReadLittleEndian32(&m_bytes[key + kSubkeyList]), {}, true, nullptr, names);
}

long HiveImage::ValueList(std::size_t key, std::size_t* list, std::uint32_t* count) const {
  *count = base::ReadLittleEndian32(&m_bytes[key + kValueCount]);
  *list = 0;
  if (*count == 0) return base::kSuccess;
  *list = UsedCell(base::ReadLittleEndian32(&m_bytes[key + kValueList]), 4ULL * *count);
  return *list != 0 ? base::kSuccess : base::kRegistryCorrupt;
}

template <typename Visit>
long HiveImage::VisitValues(std::size_t key, Visit visit) const {
  std::size_t list = 0;
  std::uint32_t count = 0;
  if (const long status = ValueList(key, &list, &count); status != base::kSuccess) return status;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t cell =
        ValueCell(base::ReadLittleEndian32(&m_bytes[list + kCellData + std::size_t{4} * i]));
    if (cell == 0) return base::kRegistryCorrupt;
    if (visit(i, cell)) break;
  }
  return base::kSuccess;
}

long HiveImage::Find(std::size_t key, std::u16string_view name, std::uint32_t* index,
                     std::size_t* value) const {
  bool found = false;
  const long status = VisitValues(key, [&](std::uint32_t i, std::size_t cell) {
    const StoredName stored = ValueNameAt(m_bytes.data(), cell);
    if (!SameName(stored.bytes, stored.length, stored.compressed, name)) return false;
    *index = i;
    *value = cell;
    return found = true;
  });
  if (status != base::kSuccess) return status;
  return found ? base::kSuccess : base::kFileNotFound;
}

long HiveImage::ValueNames(Node node, std::vector<std::u16string>* names) const {
  names->clear();
  const std::size_t key = KeyCell(node);
  if (key == 0) return base::kRegistryCorrupt;
  return VisitValues(key, [&](std::uint32_t, std::size_t cell) {
    const StoredName stored = ValueNameAt(m_bytes.data(), cell);
    names->push_back(NameOf(stored.bytes, stored.length, stored.compressed));
    return false;
  });
}

long HiveImage::Place(std::size_t value, DataPlace* place) const {
  *place = DataPlace{};
  const std::uint32_t raw = base::ReadLittleEndian32(&m_bytes[value + kDataSize]);
  const std::size_t size = raw & ~kDataInline;
  if ((raw & kDataInline) != 0) return size <= 4 ? base::kSuccess : base::kRegistryCorrupt;
  // No data: whatever the offset names is not this value's (Windows keeps empty data inline).
  if (size == 0) return base::kSuccess;
  const std::uint32_t offset = base::ReadLittleEndian32(&m_bytes[value + kDataOffset]);
  std::size_t capacity = 0;
  const std::size_t cell = UsedCell(offset, 0, &capacity);
  if (cell == 0) return base::kRegistryCorrupt;
  const bool formatWithBigData = base::ReadLittleEndian32(&m_bytes[kMinor]) >= 4;
  if (size > kBigChunk && capacity >= 8 && HasSignature(&m_bytes[cell + kCellSignature], kBigDataSignature) &&
      (formatWithBigData || capacity < size)) {
    const std::size_t segments = base::ReadLittleEndian16(&m_bytes[cell + kListCount]);
    if (segments < (size + kBigChunk - 1) / kBigChunk) return base::kRegistryCorrupt;
    // Segments may name one cell many times over: data larger than the hive cannot be its own,
    // and a reader would otherwise make room for it.
    if (size > BinsSize()) return base::kRegistryCorrupt;
    const std::size_t list = UsedCell(base::ReadLittleEndian32(&m_bytes[cell + kListEntries]), 4 * segments);
    if (list == 0) return base::kRegistryCorrupt;
    for (std::size_t i = 0, left = size; left > 0; ++i, left -= std::min(left, kBigChunk)) {
      if (UsedCell(base::ReadLittleEndian32(&m_bytes[list + kCellData + 4 * i]), std::min(left, kBigChunk)) ==
          0)
        return base::kRegistryCorrupt;
    }
    *place = DataPlace{false, true, offset, capacity};
    return base::kSuccess;
  }
  if (capacity < size) return base::kRegistryCorrupt;
  *place = DataPlace{false, false, offset, capacity};
  return base::kSuccess;
}

long HiveImage::FindValue(Node node, std::u16string_view name, Value* value) const {
  const std::size_t key = KeyCell(node);
  if (key == 0) return base::kRegistryCorrupt;
  std::uint32_t index = 0;
  std::size_t cell = 0;
  if (const long status = Find(key, name, &index, &cell); status != base::kSuccess) return status;
  DataPlace place;
  if (const long status = Place(cell, &place); status != base::kSuccess) return status;
  value->cell = cell;
  value->type = base::ReadLittleEndian32(&m_bytes[cell + kValueType]);
  value->size = base::ReadLittleEndian32(&m_bytes[cell + kDataSize]) & ~kDataInline;
  return base::kSuccess;
}

long HiveImage::ReadValue(const Value& value, std::uint8_t* out) const {
  if (value.cell < kBase || ValueCell(static_cast<std::uint32_t>(value.cell - kBase)) != value.cell)
    return base::kRegistryCorrupt;
  const std::uint32_t raw = base::ReadLittleEndian32(&m_bytes[value.cell + kDataSize]);
  if ((raw & ~kDataInline) != value.size) return base::kRegistryCorrupt;
  DataPlace place;
  if (const long status = Place(value.cell, &place); status != base::kSuccess) return status;
  if (value.size == 0) return base::kSuccess;
  if (place.inlined) {
    std::memcpy(out, &m_bytes[value.cell + kDataOffset], value.size);
  } else if (!place.big) {
    std::memcpy(out, &m_bytes[kBase + place.cell + kCellData], value.size);
  } else {
    const std::size_t db = kBase + place.cell;
    const std::size_t list = kBase + base::ReadLittleEndian32(&m_bytes[db + kListEntries]);
    std::size_t done = 0;
    for (std::size_t i = 0; done < value.size; ++i) {
      const std::size_t chunk = std::min<std::size_t>(value.size - done, kBigChunk);
      const std::size_t segment = kBase + base::ReadLittleEndian32(&m_bytes[list + kCellData + 4 * i]);
      std::memcpy(out + done, &m_bytes[segment + kCellData], chunk);
      done += chunk;
    }
  }
  return base::kSuccess;
}

bool HiveImage::IsCellStart(std::uint32_t offset) const {
  if (UsedCell(offset, 0) == 0) return false;
  const auto next = std::upper_bound(m_bins.begin(), m_bins.end(), offset);
  const std::size_t binEnd = next == m_bins.end() ? BinsSize() : *next;
  std::size_t at = *(next - 1) + kBinHeaderSize;
  while (at < offset) {
    const auto size = static_cast<std::int32_t>(base::ReadLittleEndian32(&m_bytes[kBase + at]));
    const std::size_t length =
        size < 0 ? 0U - static_cast<std::uint32_t>(size) : static_cast<std::uint32_t>(size);
    if (length < 8 || length % 8 != 0 || length > binEnd - at) return false;
    at += length;
  }
  return at == offset;
}

// Writing frees cells and takes free ones, which a damaged hive can make destroy what the keys
// use: a value's data that is also a key would free the key, and a key inside a free cell would be
// written over. So before the first write, every cell the keys use (key, subkey lists, value
// list, values, their data, class name; security cells, which keys share by design) is looked up
// among the bins' cells: one that is not among them makes every write refused; one used twice is
// never freed. What cannot be read is not followed: reading it fails anyway.
bool HiveImage::CheckCells() {
  if (m_cellCheck != CellCheck::kNotYet) return m_cellCheck == CellCheck::kSound;
  enum : std::uint8_t { kStart = 1, kUsed = 2, kUsedBySecurity = 4, kShared = 8 };
  std::vector<std::uint8_t> cells(BinsSize() / 8);
  for (std::size_t bin = 0; bin < m_bins.size(); ++bin) {
    const std::size_t binEnd = bin + 1 < m_bins.size() ? m_bins[bin + 1] : BinsSize();
    for (std::size_t at = m_bins[bin] + kBinHeaderSize; at + 4 <= binEnd;) {
      const auto size = static_cast<std::int32_t>(base::ReadLittleEndian32(&m_bytes[kBase + at]));
      const std::size_t length =
          size < 0 ? 0U - static_cast<std::uint32_t>(size) : static_cast<std::uint32_t>(size);
      if (length < 8 || length % 8 != 0 || length > binEnd - at) break;
      cells[at / 8] = kStart;
      at += length;
    }
  }
  bool hidden = false;
  // Notes a use of a cell; true when it is its first, so that what it names is followed once.
  auto take = [&](std::uint32_t offset, bool security = false) {
    if (offset % 8 != 0 || offset / 8 >= cells.size() || (cells[offset / 8] & kStart) == 0) {
      hidden = true;
      return false;
    }
    std::uint8_t& cell = cells[offset / 8];
    const bool first = (cell & (kUsed | kUsedBySecurity)) == 0;
    if ((cell & kUsed) != 0 || (!first && !security)) cell |= kShared;
    cell |= security ? kUsedBySecurity : kUsed;
    return first;
  };
  const std::uint8_t* b = m_bytes.data();
  std::vector<std::uint32_t> next{static_cast<std::uint32_t>(m_root - kBase)};  // keys and "ri" entries
  auto list = [&](std::uint32_t offset, bool top) {
    std::size_t capacity = 0;
    const std::size_t cell = UsedCell(offset, 4, &capacity);
    if (cell == 0) return;
    const std::string_view signature(reinterpret_cast<const char*>(b + cell + kCellSignature), 2);
    const bool index = signature == "li" || (signature == "ri" && top);
    if ((!index && signature != "lf" && signature != "lh") || !take(offset)) return;
    const std::size_t stride = index ? 4 : 8;
    const std::size_t count =
        std::min<std::size_t>(base::ReadLittleEndian16(b + cell + kListCount), (capacity - 4) / stride);
    for (std::size_t i = 0; i < count; ++i)
      next.push_back(base::ReadLittleEndian32(b + cell + kListEntries + stride * i));
  };
  while (!next.empty()) {
    const std::uint32_t offset = next.back();
    next.pop_back();
    const std::size_t key = KeyCell(kBase + offset);
    if (key == 0) {
      if (UsedCell(offset, 4) != 0) list(offset, false);
      continue;
    }
    if (!take(offset)) continue;
    if (const std::uint32_t security = base::ReadLittleEndian32(b + key + kKeySecurity);
        UsedCell(security, 0))
      take(security, true);
    if (const std::uint32_t name = base::ReadLittleEndian32(b + key + kKeyClass);
        base::ReadLittleEndian16(b + key + kKeyClassLength) != 0 && UsedCell(name, 0) != 0)
      take(name);
    if (base::ReadLittleEndian32(b + key + kSubkeyCount) != 0)
      list(base::ReadLittleEndian32(b + key + kSubkeyList), true);
    std::size_t values = 0;
    std::uint32_t count = 0;
    if (ValueList(key, &values, &count) != base::kSuccess || values == 0 ||
        !take(base::ReadLittleEndian32(b + key + kValueList)))
      continue;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t entry = base::ReadLittleEndian32(b + values + kCellData + 4ULL * i);
      const std::size_t value = ValueCell(entry);
      DataPlace place;
      if (value == 0 || !take(entry) || Place(value, &place) != base::kSuccess || place.inlined ||
          !take(place.cell) || !place.big)
        continue;
      const std::uint32_t segmentList = base::ReadLittleEndian32(b + kBase + place.cell + kListEntries);
      const std::size_t segments = base::ReadLittleEndian16(b + kBase + place.cell + kListCount);
      if (!take(segmentList)) continue;
      for (std::size_t s = 0; s < segments; ++s) {
        const std::uint32_t segment = base::ReadLittleEndian32(b + kBase + segmentList + kCellData + 4 * s);
        if (UsedCell(segment, 0) != 0) take(segment);
      }
    }
  }
  m_shared.clear();
  for (std::size_t unit = 0; unit < cells.size(); ++unit) {
    if ((cells[unit] & kShared) != 0) m_shared.push_back(static_cast<std::uint32_t>(unit * 8));
  }
  m_cellCheck = hidden ? CellCheck::kHidden : CellCheck::kSound;
  return !hidden;
}

bool HiveImage::Shared(std::uint32_t offset) const {
  return std::binary_search(m_shared.begin(), m_shared.end(), offset);
}

bool HiveImage::Freeable(const DataPlace& place, std::size_t key) const {
  if (place.inlined) return true;
  // The key's own cells are never its data (a damaged hive could say so).
  std::vector<std::uint32_t> seen{static_cast<std::uint32_t>(key - kBase)};
  std::size_t list = 0;
  std::uint32_t count = 0;
  if (ValueList(key, &list, &count) != base::kSuccess) return false;
  if (list != 0) seen.push_back(static_cast<std::uint32_t>(list - kBase));
  for (std::uint32_t i = 0; i < count; ++i)
    seen.push_back(base::ReadLittleEndian32(&m_bytes[list + kCellData + std::size_t{4} * i]));
  auto fresh = [&](std::uint32_t cell) {
    if (!IsCellStart(cell) || Shared(cell) || std::find(seen.begin(), seen.end(), cell) != seen.end())
      return false;
    seen.push_back(cell);
    return true;
  };
  if (!fresh(place.cell)) return false;
  if (!place.big) return true;
  const std::size_t db = kBase + place.cell;
  const std::uint32_t segmentList = base::ReadLittleEndian32(&m_bytes[db + kListEntries]);
  const std::size_t segments = base::ReadLittleEndian16(&m_bytes[db + kListCount]);
  if (!fresh(segmentList) || UsedCell(segmentList, 4 * segments) == 0) return false;
  for (std::size_t i = 0; i < segments; ++i) {
    if (!fresh(base::ReadLittleEndian32(&m_bytes[kBase + segmentList + kCellData + 4 * i]))) return false;
  }
  return true;
}

void HiveImage::Free(std::uint32_t offset) {
  if (UsedCell(offset, 0) == 0) return;
  const auto next = std::upper_bound(m_bins.begin(), m_bins.end(), offset);
  const std::size_t binEnd = next == m_bins.end() ? BinsSize() : *next;
  std::size_t previous = 0;  // a free cell just before, if any
  std::size_t at = *(next - 1) + kBinHeaderSize;
  while (at < offset) {
    const auto size = static_cast<std::int32_t>(base::ReadLittleEndian32(&m_bytes[kBase + at]));
    const std::size_t length =
        size < 0 ? 0U - static_cast<std::uint32_t>(size) : static_cast<std::uint32_t>(size);
    if (length < 8 || length % 8 != 0 || length > binEnd - at) return;
    previous = size > 0 ? at : 0;
    at += length;
  }
  if (at != offset) return;  // not a cell: nothing is freed rather than a part of another
  std::uint8_t* b = m_bytes.data() + kBase;
  std::size_t length = 0U - base::ReadLittleEndian32(b + offset);
  // Merged with free neighbours, as Windows does, so that space freed piece by piece serves a
  // larger cell later.
  if (offset + length + 4 <= binEnd) {
    const auto size = static_cast<std::int32_t>(base::ReadLittleEndian32(b + offset + length));
    if (size >= 8 && static_cast<std::size_t>(size) <= binEnd - offset - length) length += size;
  }
  std::size_t start = offset;
  if (previous != 0) {
    start = previous;
    length += offset - previous;
  }
  base::WriteLittleEndian32(static_cast<std::uint32_t>(length), b + start);
}

void HiveImage::FreeData(const DataPlace& place) {
  if (place.inlined) return;
  if (place.big) {
    const std::size_t db = kBase + place.cell;
    const std::uint32_t list = base::ReadLittleEndian32(&m_bytes[db + kListEntries]);
    const std::size_t segments = base::ReadLittleEndian16(&m_bytes[db + kListCount]);
    for (std::size_t i = 0; i < segments; ++i)
      Free(base::ReadLittleEndian32(&m_bytes[kBase + list + kCellData + 4 * i]));
    Free(list);
  }
  Free(place.cell);
}

std::uint32_t HiveImage::Allocate(std::size_t size) {
  const std::size_t length = RoundUp(4 + size, 8);
  std::size_t found = 0;
  std::size_t foundLength = 0;
  for (std::size_t bin = 0; bin < m_bins.size() && found == 0; ++bin) {
    const std::size_t binEnd = bin + 1 < m_bins.size() ? m_bins[bin + 1] : BinsSize();
    for (std::size_t at = m_bins[bin] + kBinHeaderSize; at + 4 <= binEnd;) {
      const auto cellSize = static_cast<std::int32_t>(base::ReadLittleEndian32(&m_bytes[kBase + at]));
      const std::size_t cellLength =
          cellSize < 0 ? 0U - static_cast<std::uint32_t>(cellSize) : static_cast<std::uint32_t>(cellSize);
      if (cellLength < 8 || cellLength % 8 != 0 || cellLength > binEnd - at) break;  // damaged: not here
      if (cellSize > 0 && cellLength >= length) {
        found = at;
        foundLength = cellLength;
        break;
      }
      at += cellLength;
    }
  }
  if (found == 0) {
    found = AppendBin(length);
    foundLength = RoundUp(length + kBinHeaderSize, kBinUnit) - kBinHeaderSize;
  }
  std::uint8_t* b = m_bytes.data() + kBase;
  std::size_t taken = foundLength;
  if (foundLength - length >= 8) {
    taken = length;
    base::WriteLittleEndian32(static_cast<std::uint32_t>(foundLength - length), b + found + length);
  }
  base::WriteLittleEndian32(0U - static_cast<std::uint32_t>(taken), b + found);
  std::memset(b + found + 4, 0, taken - 4);
  return static_cast<std::uint32_t>(found);
}

std::uint32_t HiveImage::AppendBin(std::size_t length) {
  const std::size_t binSize = RoundUp(length + kBinHeaderSize, kBinUnit);
  const std::size_t at = BinsSize();
  // Grown by what is needed (plus room for more bins), never doubled: the image is the
  // program's largest allocation.
  if (m_bytes.capacity() < m_bytes.size() + binSize) m_bytes.reserve(m_bytes.size() + binSize + (1U << 20));
  m_bytes.resize(m_bytes.size() + binSize, 0);
  std::uint8_t* bin = &m_bytes[kBase + at];
  PutSignature(bin, kBinSignature);
  base::WriteLittleEndian32(static_cast<std::uint32_t>(at), bin + kBinOffset);
  base::WriteLittleEndian32(static_cast<std::uint32_t>(binSize), bin + kBinSize);
  base::WriteLittleEndian32(static_cast<std::uint32_t>(binSize - kBinHeaderSize), bin + kBinHeaderSize);
  base::WriteLittleEndian32(static_cast<std::uint32_t>(at + binSize), &m_bytes[kBinsSize]);
  m_bins.push_back(static_cast<std::uint32_t>(at));
  return static_cast<std::uint32_t>(at + kBinHeaderSize);
}

std::uint32_t HiveImage::StoreData(const std::uint8_t* data, std::uint32_t size) {
  if (size <= kBigChunk || base::ReadLittleEndian32(&m_bytes[kMinor]) < 4) {
    const std::uint32_t cell = Allocate(size);
    std::memcpy(&m_bytes[kBase + cell + kCellData], data, size);
    return cell;
  }
  const std::size_t segments = (size + kBigChunk - 1) / kBigChunk;
  const std::uint32_t list = Allocate(4 * segments);
  for (std::size_t i = 0, done = 0; i < segments; ++i) {
    const std::size_t chunk = std::min<std::size_t>(size - done, kBigChunk);
    const std::uint32_t segment = Allocate(chunk);
    std::memcpy(&m_bytes[kBase + segment + kCellData], data + done, chunk);
    base::WriteLittleEndian32(segment, &m_bytes[kBase + list + kCellData + 4 * i]);
    done += chunk;
  }
  const std::uint32_t db = Allocate(8);
  std::uint8_t* cell = &m_bytes[kBase + db];
  PutSignature(cell + kCellSignature, kBigDataSignature);
  base::WriteLittleEndian16(static_cast<std::uint16_t>(segments), cell + kListCount);
  base::WriteLittleEndian32(list, cell + kListEntries);
  return db;
}

long HiveImage::SetValue(Node node, std::u16string_view name, std::uint32_t type, const std::uint8_t* data,
                         std::uint32_t size) {
  const std::size_t key = KeyCell(node);
  if (key == 0 || !CheckCells()) return base::kRegistryCorrupt;
  if ((size > 0 && data == nullptr) || name.size() > kLongestValueName) return base::kInvalidParameter;
  std::uint32_t index = 0;
  std::size_t value = 0;
  const long found = Find(key, name, &index, &value);
  if (found != base::kSuccess && found != base::kFileNotFound) return found;
  const bool big = size > kBigChunk && base::ReadLittleEndian32(&m_bytes[kMinor]) >= 4;

  if (found == base::kSuccess) {
    DataPlace old;
    if (const long status = Place(value, &old); status != base::kSuccess) return status;
    if (!Freeable(old, key)) return base::kRegistryCorrupt;
    if (size <= 4) {
      base::WriteLittleEndian32(kDataInline | size, &m_bytes[value + kDataSize]);
      std::memset(&m_bytes[value + kDataOffset], 0, 4);
      if (size > 0) std::memcpy(&m_bytes[value + kDataOffset], data, size);
      FreeData(old);
    } else if (!old.inlined && !old.big && !big && old.capacity >= size) {
      std::memcpy(&m_bytes[kBase + old.cell + kCellData], data, size);
      base::WriteLittleEndian32(size, &m_bytes[value + kDataSize]);
    } else {
      const std::uint32_t cell = StoreData(data, size);
      base::WriteLittleEndian32(size, &m_bytes[value + kDataSize]);
      base::WriteLittleEndian32(cell, &m_bytes[value + kDataOffset]);
      FreeData(old);
    }
    base::WriteLittleEndian32(type, &m_bytes[value + kValueType]);
  } else {
    const bool compressed = std::all_of(name.begin(), name.end(), [](char16_t c) { return c <= 0xFF; });
    const std::size_t nameBytes = compressed ? name.size() : 2 * name.size();
    if (nameBytes > 0xFFFF) return base::kInvalidParameter;
    std::size_t list = 0;
    std::uint32_t count = 0;
    ValueList(key, &list, &count);  // sound: Find read it
    const std::uint32_t listOffset = base::ReadLittleEndian32(&m_bytes[key + kValueList]);
    std::size_t listCapacity = 0;
    if (count > 0) {
      UsedCell(listOffset, 0, &listCapacity);
      if (listCapacity < 4ULL * (count + 1) && (!IsCellStart(listOffset) || Shared(listOffset)))
        return base::kRegistryCorrupt;
    }
    const std::uint32_t dataCell = size > 4 ? StoreData(data, size) : 0;
    const std::uint32_t cell = Allocate(kValueName - kCellData + nameBytes);
    std::uint8_t* v = &m_bytes[kBase + cell];
    PutSignature(v + kCellSignature, kValueSignature);
    base::WriteLittleEndian16(static_cast<std::uint16_t>(nameBytes), v + kValueNameLength);
    if (size <= 4) {
      base::WriteLittleEndian32(kDataInline | size, v + kDataSize);
      if (size > 0) std::memcpy(v + kDataOffset, data, size);
    } else {
      base::WriteLittleEndian32(size, v + kDataSize);
      base::WriteLittleEndian32(dataCell, v + kDataOffset);
    }
    base::WriteLittleEndian32(type, v + kValueType);
    base::WriteLittleEndian16(compressed ? kValueCompressedName : 0, v + kValueFlags);
    for (std::size_t i = 0; i < name.size(); ++i) {
      if (compressed)
        v[kValueName + i] = static_cast<std::uint8_t>(name[i]);
      else
        base::WriteLittleEndian16(name[i], v + kValueName + 2 * i);
    }
    if (count > 0 && listCapacity >= 4ULL * (count + 1)) {
      base::WriteLittleEndian32(cell, &m_bytes[kBase + listOffset + kCellData + std::size_t{4} * count]);
    } else {
      const std::uint32_t grown = Allocate(4ULL * (count + 1));
      if (count > 0) {
        std::memmove(&m_bytes[kBase + grown + kCellData], &m_bytes[kBase + listOffset + kCellData],
                     4ULL * count);
        Free(listOffset);
      }
      base::WriteLittleEndian32(cell, &m_bytes[kBase + grown + kCellData + std::size_t{4} * count]);
      base::WriteLittleEndian32(grown, &m_bytes[key + kValueList]);
    }
    base::WriteLittleEndian32(count + 1, &m_bytes[key + kValueCount]);
    if (2 * name.size() > base::ReadLittleEndian32(&m_bytes[key + kMaxValueName]))
      base::WriteLittleEndian32(static_cast<std::uint32_t>(2 * name.size()), &m_bytes[key + kMaxValueName]);
  }
  if (size > base::ReadLittleEndian32(&m_bytes[key + kMaxValueData]))
    base::WriteLittleEndian32(size, &m_bytes[key + kMaxValueData]);
  return base::kSuccess;
}

long HiveImage::DeleteValue(Node node, std::u16string_view name) {
  const std::size_t key = KeyCell(node);
  if (key == 0 || !CheckCells()) return base::kRegistryCorrupt;
  std::uint32_t index = 0;
  std::size_t value = 0;
  if (const long status = Find(key, name, &index, &value); status != base::kSuccess) return status;
  DataPlace old;
  if (const long status = Place(value, &old); status != base::kSuccess) return status;
  const std::uint32_t listOffset = base::ReadLittleEndian32(&m_bytes[key + kValueList]);
  const auto valueOffset = static_cast<std::uint32_t>(value - kBase);
  const std::uint32_t count = base::ReadLittleEndian32(&m_bytes[key + kValueCount]);
  if (!Freeable(old, key) || !IsCellStart(valueOffset) || Shared(valueOffset) ||
      (count == 1 && (!IsCellStart(listOffset) || Shared(listOffset))))
    return base::kRegistryCorrupt;
  std::uint8_t* entries = &m_bytes[kBase + listOffset + kCellData];
  std::memmove(entries + 4ULL * index, entries + 4ULL * (index + 1), 4ULL * (count - 1 - index));
  base::WriteLittleEndian32(count - 1, &m_bytes[key + kValueCount]);
  if (count == 1) {
    base::WriteLittleEndian32(kNoCell, &m_bytes[key + kValueList]);
    Free(listOffset);
  }
  FreeData(old);
  Free(valueOffset);
  return base::kSuccess;
}

long HiveImage::CreateKey(Node node, std::u16string_view name, std::uint64_t filetime, Node* child) {
  if (name.empty() || name.size() > kLongestKeyName || name.find(u'\\') != std::u16string_view::npos)
    return base::kInvalidParameter;
  const long found = Child(node, name, child);
  if (found != base::kFileNotFound) return found;
  std::size_t key = KeyCell(node);
  if (key == 0 || !CheckCells()) return base::kRegistryCorrupt;
  // How deep the key is, by its parents: a new key 513 levels down, or below a chain of parents
  // that does not reach the root within that, is refused.
  std::size_t depth = 0;
  for (std::size_t at = key; at != m_root && depth < kDeepestKey; ++depth) {
    at = KeyCell(kBase + base::ReadLittleEndian32(&m_bytes[at + kKeyParent]));
    if (at == 0) return base::kRegistryCorrupt;
  }
  if (depth == kDeepestKey) return base::kInvalidParameter;
  const std::uint32_t security = base::ReadLittleEndian32(&m_bytes[key + kKeySecurity]);
  const std::size_t sk = UsedCell(security, kSecurityDescriptor - kCellData);
  if (sk == 0 || !HasSignature(&m_bytes[sk + kCellSignature], kSecuritySignature))
    return base::kRegistryCorrupt;

  // The names now in the key's leaf (Child found the list sound), to place the new one.
  const std::uint32_t count = base::ReadLittleEndian32(&m_bytes[key + kSubkeyCount]);
  const std::uint32_t oldList = base::ReadLittleEndian32(&m_bytes[key + kSubkeyList]);
  std::string_view signature =
      base::ReadLittleEndian32(&m_bytes[kMinor]) >= 5 ? kHashLeafSignature : kFastLeafSignature;
  std::vector<std::u16string> names;
  if (count > 0) {
    const std::size_t list = UsedCell(oldList, 4);
    const bool leaf = HasSignature(&m_bytes[list + kCellSignature], kFastLeafSignature) ||
                      HasSignature(&m_bytes[list + kCellSignature], kHashLeafSignature);
    if (!leaf || base::ReadLittleEndian16(&m_bytes[list + kListCount]) != count || Shared(oldList))
      return base::kInvalidData;
    if (count >= 0xFFFF) return base::kInvalidData;
    signature = HasSignature(&m_bytes[list + kCellSignature], kHashLeafSignature) ? kHashLeafSignature
                                                                                  : kFastLeafSignature;
    if (SearchList(oldList, {}, true, nullptr, &names) != base::kSuccess) return base::kRegistryCorrupt;
  }
  const std::size_t position =
      std::upper_bound(names.begin(), names.end(), name,
                       [](std::u16string_view a, const std::u16string& b) { return SortsBefore(a, b); }) -
      names.begin();

  const bool compressed = std::all_of(name.begin(), name.end(), [](char16_t c) { return c <= 0xFF; });
  const std::size_t nameBytes = compressed ? name.size() : 2 * name.size();
  const std::uint32_t cell = Allocate(kKeyName - kCellData + nameBytes);
  const std::uint32_t list = Allocate(4 + std::size_t{8} * (count + 1));
  key = KeyCell(node);  // the image may have grown
  std::uint8_t* n = &m_bytes[kBase + cell];
  PutSignature(n + kCellSignature, kKeySignature);
  base::WriteLittleEndian16(compressed ? kKeyCompressedName : 0, n + kKeyFlags);
  base::WriteLittleEndian64(filetime, n + kKeyTime);
  base::WriteLittleEndian32(static_cast<std::uint32_t>(key - kBase), n + kKeyParent);
  for (const std::size_t field : {kSubkeyList, kVolatileSubkeyList, kValueList, kKeyClass})
    base::WriteLittleEndian32(kNoCell, n + field);
  base::WriteLittleEndian32(security, n + kKeySecurity);
  base::WriteLittleEndian16(static_cast<std::uint16_t>(nameBytes), n + kKeyNameLength);
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (compressed)
      n[kKeyName + i] = static_cast<std::uint8_t>(name[i]);
    else
      base::WriteLittleEndian16(name[i], n + kKeyName + 2 * i);
  }
  const std::size_t skCell = kBase + security;
  base::WriteLittleEndian32(base::ReadLittleEndian32(&m_bytes[skCell + kSecurityReferences]) + 1,
                            &m_bytes[skCell + kSecurityReferences]);

  // The new list: the old entries with the new one at its place.
  std::uint8_t* l = &m_bytes[kBase + list];
  PutSignature(l + kCellSignature, signature);
  base::WriteLittleEndian16(static_cast<std::uint16_t>(count + 1), l + kListCount);
  const bool hashed = signature == kHashLeafSignature;
  for (std::size_t i = 0, from = 0; i <= count; ++i) {
    std::uint8_t* entry = l + kListEntries + 8 * i;
    if (i == position) {
      base::WriteLittleEndian32(cell, entry);
      base::WriteLittleEndian32(hashed ? NameHash(name) : NameHint(name), entry + 4);
    } else {
      std::memcpy(entry, &m_bytes[kBase + oldList + kListEntries + 8 * from++], 8);
    }
  }
  if (count > 0) Free(oldList);
  base::WriteLittleEndian32(list, &m_bytes[key + kSubkeyList]);
  base::WriteLittleEndian32(count + 1, &m_bytes[key + kSubkeyCount]);
  // The field's low 16 bits are the length; newer Windows keep flags of the key above them.
  if (2 * name.size() > base::ReadLittleEndian16(&m_bytes[key + kMaxSubkeyName]))
    base::WriteLittleEndian16(static_cast<std::uint16_t>(2 * name.size()), &m_bytes[key + kMaxSubkeyName]);
  *child = kBase + cell;
  return base::kSuccess;
}

void HiveImage::StampKey(Node node, std::uint64_t filetime) {
  if (const std::size_t key = KeyCell(node); key != 0)
    base::WriteLittleEndian64(filetime, &m_bytes[key + kKeyTime]);
}

void HiveImage::MarkClean(std::uint32_t sequence, std::uint64_t filetime) {
  base::WriteLittleEndian32(sequence, &m_bytes[kSequence1]);
  base::WriteLittleEndian32(sequence, &m_bytes[kSequence2]);
  base::WriteLittleEndian64(filetime, &m_bytes[kTimestamp]);
  base::WriteLittleEndian32(HiveHeaderChecksum(m_bytes.data()), &m_bytes[kChecksum]);
}

std::uint32_t HiveImage::Sequence() const { return base::ReadLittleEndian32(&m_bytes[kSequence1]); }

}  // namespace hive
