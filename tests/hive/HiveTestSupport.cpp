#include "tests/hive/HiveTestSupport.h"

#include <algorithm>
#include <cstdio>

#include "base/ByteOrder.h"
#include "base/Text.h"
#include "hive/HiveCheck.h"
#include "hive/HiveFormat.h"
#include "hive/HiveRecovery.h"

namespace hivetest {
namespace {

namespace format = hive::format;

// In a new-format log with one entry: the entry follows the log's copy of the base block, and
// its one page reference the entry's header.
constexpr std::size_t kFirstEntry = format::kLogBaseSize;
constexpr std::size_t kFirstPageRef = format::kEntryHeaderSize;
constexpr std::size_t kFirstPage = kFirstPageRef + format::kEntryPageRef;

Bytes Number(std::uint32_t value) {
  const auto bytes = base::LittleEndian32(value);
  return {bytes.begin(), bytes.end()};
}

struct Value {
  std::u16string_view name;
  std::uint32_t type;
  Bytes data;
};

bool Fill(hive::HiveImage& image, std::u16string_view path, std::uint64_t filetime,
          const std::vector<Value>& values) {
  hive::HiveImage::Node node = image.Root();
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t end = std::min(path.find(u'\\', start), path.size());
    if (image.CreateKey(node, path.substr(start, end - start), filetime, &node) != 0) return false;
    start = end + 1;
  }
  for (const Value& value : values)
    if (image.SetValue(node, value.name, value.type, value.data.data(),
                       static_cast<std::uint32_t>(value.data.size())) != 0)
      return false;
  return true;
}

std::string Hex(const Bytes& bytes) {
  std::string text;
  char digits[3];
  for (const std::uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    text += digits;
  }
  return text;
}

// Every value below node, one line each, into *lines; the first status that is not 0 (a key or
// value that cannot be read), with where in *where.
long Walk(const hive::HiveImage& image, hive::HiveImage::Node node, const std::string& shown,
          std::vector<std::string>* lines, std::string* where) {
  *where = shown.empty() ? "the root key" : shown;
  std::vector<std::u16string> names;
  if (const long status = image.ValueNames(node, &names); status != 0) return status;
  for (const std::u16string& name : names) {
    *where = shown + " value " + base::Utf8FromUtf16(name);
    hive::HiveImage::Value value;
    if (const long status = image.FindValue(node, name, &value); status != 0) return status;
    Bytes data(value.size);
    if (const long status = image.ReadValue(value, data.data()); status != 0) return status;
    lines->push_back(shown + "\t" + base::Utf8FromUtf16(name) + "\t" + std::to_string(value.type) + "\t" +
                     Hex(data) + "\n");
  }
  std::vector<std::u16string> subkeys;
  if (const long status = image.Subkeys(node, &subkeys); status != 0) return status;
  for (const std::u16string& subkey : subkeys) {
    const std::string path = shown + "\\" + base::Utf8FromUtf16(subkey);
    *where = path;
    hive::HiveImage::Node child = 0;
    if (const long status = image.Child(node, subkey, &child); status != 0) return status;
    if (const long status = Walk(image, child, path, lines, where); status != 0) return status;
  }
  return 0;
}

}  // namespace

Bytes TestHive(std::uint64_t filetime) {
  hive::HiveImage image;
  std::string why;
  const std::u16string board = kBoardKeyPath;
  const bool made =
      hive::HiveImage::Open(hive::EmptyHiveImage(filetime), &image, &why) &&
      Fill(image, u"Select", filetime,
           {{u"Current", kRegDword, Number(1)},
            {u"Default", kRegDword, Number(1)},
            {u"Failed", kRegDword, Number(0)},
            {u"LastKnownGood", kRegDword, Number(1)}}) &&
      Fill(image, board, filetime,
           {{u"HardwareInformation.ChipType", kRegSz, Utf16(u"QEL 700")},
            {u"HardwareInformation.MemorySize", kRegBinary, Number(64 << 20)},
            {u"MaxTileBuffers", kRegBinary, Number(4)}}) &&
      Fill(image, kSettingsKeyPath, filetime,
           {{u"QLDRV_LOD_BIAS", kRegSz, Utf16(u"0")}, {u"QLDRV_SWAPINTERVAL", kRegSz, Utf16(u"1")}}) &&
      Fill(image, board.substr(0, board.rfind(u'\\')) + u"\\Video", filetime,
           {{u"Service", kRegSz, Utf16(u"qel700")}});
  EXPECT_TRUE(made) << why;
  return image.Bytes();
}

std::string WriteTestHive(const TempFolder& folder, const std::string& name) {
  const std::string path = folder / name;
  WriteBytes(path, TestHive());
  return path;
}

hive::HiveImage::Node KeyAt(const hive::HiveImage& image, std::u16string_view path) {
  hive::HiveImage::Node node = image.Root();
  for (std::size_t start = 0; node != 0 && start < path.size();) {
    const std::size_t end = std::min(path.find(u'\\', start), path.size());
    if (image.Child(node, path.substr(start, end - start), &node) != 0) return 0;
    start = end + 1;
  }
  return node;
}

Bytes Edited(const Bytes& hive, std::u16string_view key, std::u16string_view name, std::uint32_t type,
             const std::optional<Bytes>& data) {
  hive::HiveImage image;
  std::string why;
  if (!hive::HiveImage::Open(Bytes(hive), &image, &why)) {
    ADD_FAILURE() << why;
    return hive;
  }
  const hive::HiveImage::Node node = KeyAt(image, key);
  const long status =
      node == 0 ? 2
      : data    ? image.SetValue(node, name, type, data->data(), static_cast<std::uint32_t>(data->size()))
                : image.DeleteValue(node, name);
  EXPECT_EQ(status, 0) << "editing " << base::Utf8FromUtf16(name);
  return image.Bytes();
}

void SetChecksum(Bytes& base) {
  base::WriteLittleEndian32(hive::HiveHeaderChecksum(base.data()), &base[format::kChecksum]);
}

void HashEntry(Bytes& log, std::size_t at) {
  const std::uint32_t size = base::ReadLittleEndian32(&log[at + format::kEntrySize]);
  base::WriteLittleEndian64(hive::Marvin32(&log[at + format::kEntryHeaderSize],
                                           size - format::kEntryHeaderSize, hive::kHiveLogSeed),
                            &log[at + format::kEntryDataHash]);
  base::WriteLittleEndian64(hive::Marvin32(&log[at], format::kEntryHeaderHash, hive::kHiveLogSeed),
                            &log[at + format::kEntryHeaderHash]);
}

Bytes NewFormatLog(const Bytes& after, std::uint32_t sequence) {
  const std::uint32_t bins = base::ReadLittleEndian32(&after[format::kBinsSize]);
  Bytes log(format::kLogBaseSize, 0);
  std::copy(after.begin(), after.begin() + format::kLogBaseSize, log.begin());
  base::WriteLittleEndian32(sequence, &log[format::kSequence1]);
  base::WriteLittleEndian32(sequence, &log[format::kSequence2]);
  base::WriteLittleEndian32(format::kNewLogFile, &log[format::kFileType]);
  SetChecksum(log);
  const std::size_t pageSize = format::kLogPageSize;
  Bytes entry((kFirstPage + bins + pageSize - 1) / pageSize * pageSize, 0);
  std::copy(after.begin() + hive::kHiveBaseBlockSize, after.begin() + hive::kHiveBaseBlockSize + bins,
            entry.begin() + kFirstPage);
  format::PutSignature(entry.data(), format::kLogEntrySignature);
  base::WriteLittleEndian32(static_cast<std::uint32_t>(entry.size()), &entry[format::kEntrySize]);
  base::WriteLittleEndian32(sequence, &entry[format::kEntrySequence]);
  base::WriteLittleEndian32(bins, &entry[format::kEntryBinsSize]);
  base::WriteLittleEndian32(1, &entry[format::kEntryPages]);
  // One reference: offset 0, every byte of the bins.
  base::WriteLittleEndian32(0, &entry[kFirstPageRef]);
  base::WriteLittleEndian32(bins, &entry[kFirstPageRef + 4]);
  log.insert(log.end(), entry.begin(), entry.end());
  HashEntry(log, kFirstEntry);
  return log;
}

DirtyFiles MakeDirty(const Bytes& before, const Bytes& after, std::uint32_t sequence) {
  DirtyFiles files{before, NewFormatLog(after, sequence)};
  base::WriteLittleEndian32(sequence + 1, &files.primary[format::kSequence1]);
  base::WriteLittleEndian32(sequence, &files.primary[format::kSequence2]);
  SetChecksum(files.primary);
  return files;
}

std::string ImageValues(const hive::HiveImage& image) {
  std::vector<std::string> lines;
  std::string where;
  if (const long status = Walk(image, image.Root(), "", &lines, &where); status != 0)
    return "status " + std::to_string(status) + " at " + where + "\n";
  std::sort(lines.begin(), lines.end());
  std::string text;
  for (const std::string& line : lines) text += line;
  return text;
}

std::string StructuralFaults(const Bytes& bytes) {
  std::string faults;
  for (const hive::HiveFinding& finding : hive::CheckHive(bytes).findings)
    if (finding.severity == hive::HiveFinding::Severity::kFault)
      faults += "fault at " + std::to_string(finding.offset) + ": " + finding.text + "\n";
  if (!faults.empty()) return faults;
  hive::HiveImage image;
  std::string why;
  if (!hive::HiveImage::Open(Bytes(bytes), &image, &why)) return "does not open: " + why;
  std::vector<std::string> lines;
  std::string where;
  if (const long status = Walk(image, image.Root(), "", &lines, &where); status != 0)
    return "status " + std::to_string(status) + " reading " + where;
  return {};
}

long SaveValue(const std::string& hive, std::u16string_view key, std::u16string_view name, std::uint32_t type,
               const std::optional<Bytes>& data, const hive::BackupPlaces& places, std::string* backup,
               std::string* error) {
  hive::HiveFile file(hive);
  if (file.Load().Failed()) return -1;
  file.RemoveLeftovers();
  file.SetBackupPlaces(places);
  const hive::HiveImage::Node node = KeyAt(file.Image(), key);
  if (node == 0) return -1;
  long status =
      data ? file.Image().SetValue(node, name, type, data->data(), static_cast<std::uint32_t>(data->size()))
           : file.Image().DeleteValue(node, name);
  if (status == 0)
    status = file.Commit([] { return false; }, [node] { return std::vector<std::uintptr_t>{node}; });
  if (backup != nullptr) *backup = file.Backup();
  if (error != nullptr) *error = file.CommitError();
  return status;
}

}  // namespace hivetest
