// The structural check of hive files: one fault of each kind planted into a small sound hive is
// found where it is, what Windows' own hives show is a warning and no fault, Windows' hives and
// ours (the demo hive, the keys and values our edits make) pass, and damaged input never leads
// it astray.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/ByteOrder.h"
#include "hive/EmptyHive.h"
#include "hive/HiveCheck.h"
#include "hive/HiveFormat.h"
#include "hive/HiveImage.h"
#include "hive/HiveRecovery.h"
#include "tests/hive/HiveTestSupport.h"

#ifndef HIVE_REFERENCE_DIR
#define HIVE_REFERENCE_DIR ""
#endif

namespace {

using hive::CheckHive;
using hive::HiveCheckReport;
using hive::HiveFinding;
using hive::HiveImage;
using Kind = hive::HiveFindingKind;
using Severity = HiveFinding::Severity;
using Bytes = std::vector<std::uint8_t>;
namespace format = hive::format;

constexpr std::size_t kBase = hive::kHiveBaseBlockSize;
constexpr std::uint64_t kTime = 0x01DA000000000000ULL;

std::uint32_t Get32(const Bytes& bytes, std::size_t at) { return base::ReadLittleEndian32(&bytes[at]); }
void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  base::WriteLittleEndian32(value, &bytes[at]);
}
void Put16(Bytes& bytes, std::size_t at, std::uint16_t value) {
  base::WriteLittleEndian16(value, &bytes[at]);
}
void FixChecksum(Bytes& bytes) { Put32(bytes, format::kChecksum, hive::HiveHeaderChecksum(bytes.data())); }
// The file offset of the cell that the field at `at` refers to.
std::size_t Target(const Bytes& bytes, std::size_t at) { return kBase + Get32(bytes, at); }

std::string Findings(const HiveCheckReport& report) {
  std::string text;
  for (const HiveFinding& finding : report.findings) {
    char offset[24];
    std::snprintf(offset, sizeof offset, "0x%zx", finding.offset);
    text += std::string("\n  ") + offset +
            (finding.severity == Severity::kFault ? " fault: " : " warning: ") + finding.text;
  }
  return text;
}

bool Has(const HiveCheckReport& report, std::size_t offset, Kind kind, Severity severity) {
  return std::any_of(report.findings.begin(), report.findings.end(), [&](const HiveFinding& finding) {
    return finding.offset == offset && finding.kind == kind && finding.severity == severity;
  });
}

// A small hive as our engine makes it, of format 1.minor ("lf" lists in 1.3, "lh" lists and
// big data in 1.5): keys Alpha (with Deep under it), bravo and Gamma under the root; Alpha holds
// the values Small (4 bytes, in the value), Text (20 bytes, in a cell) and Long (40000 bytes: one
// cell in 1.3, "db" segments in 1.5), so the hive has more than one bin.
struct SmallHive {
  Bytes bytes;
  std::size_t root = 0, alpha = 0, bravo = 0, gamma = 0, deep = 0;  // key cells
  std::size_t small = 0, text = 0, longValue = 0;                   // value cells

  std::size_t RootList() const { return Target(bytes, root + format::kSubkeyList); }
  std::size_t ValueList() const { return Target(bytes, alpha + format::kValueList); }
  std::size_t Security() const { return Target(bytes, root + format::kKeySecurity); }
  std::size_t BigData() const { return Target(bytes, longValue + format::kDataOffset); }
  std::size_t Segments() const { return Target(bytes, BigData() + format::kListEntries); }
};

SmallHive MakeSmallHive(std::uint32_t minor) {
  Bytes empty = hive::EmptyHiveImage(kTime);
  Put32(empty, format::kMinor, minor);
  FixChecksum(empty);
  HiveImage image;
  std::string why;
  EXPECT_TRUE(HiveImage::Open(std::move(empty), &image, &why)) << why;
  SmallHive hive;
  HiveImage::Node alpha = 0, bravo = 0, gamma = 0, deep = 0;
  EXPECT_EQ(image.CreateKey(image.Root(), u"Gamma", kTime, &gamma), 0);
  EXPECT_EQ(image.CreateKey(image.Root(), u"Alpha", kTime, &alpha), 0);
  EXPECT_EQ(image.CreateKey(image.Root(), u"bravo", kTime, &bravo), 0);
  EXPECT_EQ(image.CreateKey(alpha, u"Deep", kTime, &deep), 0);
  const std::uint8_t dword[4] = {1, 2, 3, 4};
  const Bytes text = hivetest::Utf16(u"some text");
  const Bytes long40000(40000, 0x5A);
  EXPECT_EQ(image.SetValue(alpha, u"Small", 4, dword, 4), 0);
  EXPECT_EQ(image.SetValue(alpha, u"Text", 1, text.data(), static_cast<std::uint32_t>(text.size())), 0);
  EXPECT_EQ(image.SetValue(alpha, u"Long", 3, long40000.data(), 40000), 0);
  for (auto [name, cell] : {std::pair{u"Small", &hive.small}, std::pair{u"Text", &hive.text},
                            std::pair{u"Long", &hive.longValue}}) {
    HiveImage::Value value;
    EXPECT_EQ(image.FindValue(alpha, name, &value), 0);
    *cell = value.cell;
  }
  image.MarkClean(2, kTime);  // as a save leaves it
  hive.bytes = image.Bytes();
  hive.root = image.Root();
  hive.alpha = alpha;
  hive.bravo = bravo;
  hive.gamma = gamma;
  hive.deep = deep;
  return hive;
}

// A cell of these payload bytes made out of free space in the hive; its file offset.
std::size_t PlantCell(Bytes& bytes, const Bytes& payload) {
  const std::size_t length = (payload.size() + 4 + 7) / 8 * 8;
  const std::size_t end = kBase + Get32(bytes, format::kBinsSize);
  for (std::size_t bin = kBase; bin < end; bin += Get32(bytes, bin + format::kBinSize)) {
    const std::size_t binEnd = bin + Get32(bytes, bin + format::kBinSize);
    for (std::size_t at = bin + format::kBinHeaderSize; at < binEnd;) {
      const auto size = static_cast<std::int32_t>(Get32(bytes, at));
      if (size > 0 &&
          (static_cast<std::size_t>(size) == length || static_cast<std::size_t>(size) >= length + 8)) {
        if (static_cast<std::size_t>(size) > length)
          Put32(bytes, at + length, static_cast<std::uint32_t>(static_cast<std::size_t>(size) - length));
        Put32(bytes, at, 0U - static_cast<std::uint32_t>(length));
        std::copy(payload.begin(), payload.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
        return at;
      }
      at += size < 0 ? 0U - static_cast<std::uint32_t>(size) : static_cast<std::uint32_t>(size);
    }
  }
  ADD_FAILURE() << "no free cell for " << payload.size() << " bytes";
  return 0;
}

// A list cell's payload: its signature, count and 32-bit entries.
Bytes ListPayload(const char* signature, std::initializer_list<std::uint32_t> entries) {
  Bytes payload{static_cast<std::uint8_t>(signature[0]), static_cast<std::uint8_t>(signature[1]),
                static_cast<std::uint8_t>(entries.size()), 0};
  for (const std::uint32_t entry : entries) {
    payload.resize(payload.size() + 4);
    base::WriteLittleEndian32(entry, &payload[payload.size() - 4]);
  }
  return payload;
}

struct Planted {
  std::size_t offset;
  Kind kind;
  Severity severity = Severity::kFault;
};

struct PlantRow {
  const char* what;
  std::uint32_t minor;
  std::function<Planted(SmallHive&)> plant;
};

TEST(HiveCheck, OurSmallHivesAreSound) {
  for (const std::uint32_t minor : {3U, 5U}) {
    const SmallHive hive = MakeSmallHive(minor);
    const HiveCheckReport report = CheckHive(hive.bytes);
    EXPECT_TRUE(report.findings.empty()) << "format 1." << minor << Findings(report);
    EXPECT_EQ(report.keys, 5U);
    EXPECT_EQ(report.values, 3U);
    EXPECT_GT(report.bins, 1U);
  }
}

TEST(HiveCheck, FindsEachPlantedFaultWhereItIs) {
  const PlantRow rows[] = {
      // The base block.
      {"no hive signature", 3,
       [](SmallHive& h) {
         h.bytes[0] = 'x';
         return Planted{0, Kind::kBaseBlock};
       }},
      {"a checksum that is not the header's", 3,
       [](SmallHive& h) {
         h.bytes[format::kChecksum] ^= 1;
         return Planted{format::kChecksum, Kind::kBaseBlock};
       }},
      {"sequence numbers that differ (dirty)", 3,
       [](SmallHive& h) {
         Put32(h.bytes, format::kSequence2, 7);
         FixChecksum(h.bytes);
         return Planted{format::kSequence1, Kind::kBaseBlock};
       }},
      {"format 1.7", 3,
       [](SmallHive& h) {
         Put32(h.bytes, format::kMinor, 7);
         FixChecksum(h.bytes);
         return Planted{format::kMinor, Kind::kBaseBlock};
       }},
      {"a log's file type", 3,
       [](SmallHive& h) {
         Put32(h.bytes, format::kFileType, format::kNewLogFile);
         FixChecksum(h.bytes);
         return Planted{format::kFileType, Kind::kBaseBlock};
       }},
      {"file format 2", 3,
       [](SmallHive& h) {
         Put32(h.bytes, format::kFormat, 2);
         FixChecksum(h.bytes);
         return Planted{format::kFormat, Kind::kBaseBlock};
       }},
      {"clustering factor 2", 3,
       [](SmallHive& h) {
         Put32(h.bytes, format::kClustering, 2);
         FixChecksum(h.bytes);
         return Planted{format::kClustering, Kind::kBaseBlock};
       }},
      {"bins larger than the file holds", 3,
       [](SmallHive& h) {
         Put32(h.bytes, format::kBinsSize, Get32(h.bytes, format::kBinsSize) + 4096);
         FixChecksum(h.bytes);
         return Planted{format::kBinsSize, Kind::kBaseBlock};
       }},
      {"a root cell inside a cell", 3,
       [](SmallHive& h) {
         Put32(h.bytes, format::kRootCell, Get32(h.bytes, format::kRootCell) + 8);
         FixChecksum(h.bytes);
         return Planted{format::kRootCell, Kind::kReference};
       }},
      {"a root key without the hive-entry flag", 3,
       [](SmallHive& h) {
         h.bytes[h.root + format::kKeyFlags] &= ~format::kKeyHiveEntry;
         return Planted{h.root + format::kKeyFlags, Kind::kKey};
       }},
      {"a second key with the hive-entry flag", 3,
       [](SmallHive& h) {
         h.bytes[h.bravo + format::kKeyFlags] |= format::kKeyHiveEntry;
         return Planted{h.bravo + format::kKeyFlags, Kind::kKey};
       }},
      // Bins and cells.
      {"a bin without its signature", 3,
       [](SmallHive& h) {
         h.bytes[kBase + 4096] = 'x';
         return Planted{kBase + 4096, Kind::kBins};
       }},
      {"a bin that says it is elsewhere", 3,
       [](SmallHive& h) {
         Put32(h.bytes, kBase + 4096 + format::kBinOffset, 0);
         return Planted{kBase + 4096 + format::kBinOffset, Kind::kBins};
       }},
      {"a bin size no multiple of 4096", 3,
       [](SmallHive& h) {
         Put32(h.bytes, kBase + 4096 + format::kBinSize, Get32(h.bytes, kBase + 4096 + format::kBinSize) + 8);
         return Planted{kBase + 4096 + format::kBinSize, Kind::kBins};
       }},
      {"a cell size no multiple of 8", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.bravo, Get32(h.bytes, h.bravo) + 4);
         return Planted{h.bravo, Kind::kCells};
       }},
      {"a cell past its bin's end", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.root, 0U - 4096);
         return Planted{h.root, Kind::kCells};
       }},
      // References.
      {"a value that is a free cell", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.text, 0U - Get32(h.bytes, h.text));
         return Planted{h.ValueList() + format::kCellData + 4, Kind::kReference};
       }},
      {"a subkey list used twice: a loop back to the root's", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.alpha + format::kSubkeyList, Get32(h.bytes, h.root + format::kSubkeyList));
         Put32(h.bytes, h.alpha + format::kSubkeyCount, 3);
         return Planted{h.RootList(), Kind::kSharedCell};
       }},
      {"a value's data that is a key", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.text + format::kDataOffset, static_cast<std::uint32_t>(h.gamma - kBase));
         return Planted{h.gamma, Kind::kSharedCell};
       }},
      {"a cell that nothing refers to", 3,
       [](SmallHive& h) {
         return Planted{PlantCell(h.bytes, Bytes(12, 0)), Kind::kLeak, Severity::kWarning};
       }},
      // Security cells.
      {"a reference count below the keys that use it", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.Security() + format::kSecurityReferences, 4);
         return Planted{h.Security() + format::kSecurityReferences, Kind::kSecurityCount};
       }},
      {"a reference count above them", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.Security() + format::kSecurityReferences, 9);
         return Planted{h.Security() + format::kSecurityReferences, Kind::kSecurityCount, Severity::kWarning};
       }},
      {"a security cell in the list that no key uses", 3,
       [](SmallHive& h) {
         const std::size_t sk = h.Security();
         const auto length = static_cast<std::size_t>(0U - Get32(h.bytes, sk));
         Bytes copy(h.bytes.begin() + static_cast<std::ptrdiff_t>(sk + 4),
                    h.bytes.begin() + static_cast<std::ptrdiff_t>(sk + length));
         const std::size_t unused = PlantCell(h.bytes, copy);
         const auto skOffset = static_cast<std::uint32_t>(sk - kBase);
         const auto unusedOffset = static_cast<std::uint32_t>(unused - kBase);
         Put32(h.bytes, unused + format::kSecurityPrevious, skOffset);
         Put32(h.bytes, unused + format::kSecurityNext, skOffset);
         Put32(h.bytes, unused + format::kSecurityReferences, 0);
         Put32(h.bytes, sk + format::kSecurityPrevious, unusedOffset);
         Put32(h.bytes, sk + format::kSecurityNext, unusedOffset);
         return Planted{unused, Kind::kSecurityCount, Severity::kWarning};
       }},
      {"a list of security cells that leaves for a key", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.Security() + format::kSecurityNext, static_cast<std::uint32_t>(h.alpha - kBase));
         return Planted{h.Security() + format::kSecurityNext, Kind::kSecurity};
       }},
      {"a list of security cells linked back wrong", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.Security() + format::kSecurityPrevious,
               static_cast<std::uint32_t>(h.alpha - kBase));
         return Planted{h.Security() + format::kSecurityPrevious, Kind::kSecurity};
       }},
      {"a key whose security is no security cell", 3,
       [](SmallHive& h) {
         const std::size_t cell = PlantCell(h.bytes, Bytes(20, 'z'));
         Put32(h.bytes, h.bravo + format::kKeySecurity, static_cast<std::uint32_t>(cell - kBase));
         return Planted{h.bravo + format::kKeySecurity, Kind::kSecurity};
       }},
      {"a security descriptor without its owner", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.Security() + format::kSecurityDescriptor + 4, 0);
         return Planted{h.Security() + format::kSecurityDescriptor + 4, Kind::kSecurity};
       }},
      // Key nodes.
      {"a key node without its signature", 3,
       [](SmallHive& h) {
         h.bytes[h.bravo + format::kCellSignature] = 'x';
         return Planted{h.bravo + format::kCellSignature, Kind::kKey};
       }},
      {"a parent that is not the key that lists it", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.deep + format::kKeyParent, static_cast<std::uint32_t>(h.root - kBase));
         return Planted{h.deep + format::kKeyParent, Kind::kParent};
       }},
      {"a name with a backslash", 3,
       [](SmallHive& h) {
         h.bytes[h.deep + format::kKeyName + 1] = '\\';
         return Planted{h.deep + format::kKeyName, Kind::kKey};
       }},
      {"more subkeys counted than listed", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.root + format::kSubkeyCount, 4);
         return Planted{h.root + format::kSubkeyCount, Kind::kSubkeyCount};
       }},
      {"more values counted than the list holds", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.alpha + format::kValueCount, 100);
         return Planted{h.alpha + format::kValueCount, Kind::kValueCount};
       }},
      // The largest-name fields count UTF-16 bytes: "Alpha" takes 10.
      {"a largest subkey name too small", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.root + format::kMaxSubkeyName, 8);
         return Planted{h.root + format::kMaxSubkeyName, Kind::kLargest};
       }},
      {"a largest subkey name too small under the flags above it", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.root + format::kMaxSubkeyName, 0x00F00008);
         return Planted{h.root + format::kMaxSubkeyName, Kind::kLargest};
       }},
      {"a largest value name too small", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.alpha + format::kMaxValueName, 8);
         return Planted{h.alpha + format::kMaxValueName, Kind::kLargest};
       }},
      {"a largest value data too small", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.alpha + format::kMaxValueData, 39999);
         return Planted{h.alpha + format::kMaxValueData, Kind::kLargest};
       }},
      // Subkey lists.
      {"a subkey list of no kind", 3,
       [](SmallHive& h) {
         h.bytes[h.RootList() + format::kCellSignature] = 'z';
         return Planted{h.RootList() + format::kCellSignature, Kind::kSubkeyList};
       }},
      {"an \"lh\" list in a hive of format 1.3", 3,
       [](SmallHive& h) {
         h.bytes[h.RootList() + format::kCellSignature + 1] = 'h';
         return Planted{h.RootList() + format::kCellSignature, Kind::kSubkeyList};
       }},
      {"an index root inside an index root", 3,
       [](SmallHive& h) {
         const auto list = static_cast<std::uint32_t>(h.RootList() - kBase);
         const std::size_t inner = PlantCell(h.bytes, ListPayload("ri", {list}));
         const std::size_t outer =
             PlantCell(h.bytes, ListPayload("ri", {static_cast<std::uint32_t>(inner - kBase)}));
         Put32(h.bytes, h.root + format::kSubkeyList, static_cast<std::uint32_t>(outer - kBase));
         return Planted{inner + format::kCellSignature, Kind::kSubkeyList};
       }},
      {"an empty leaf in an index root", 3,
       [](SmallHive& h) {
         const auto list = static_cast<std::uint32_t>(h.RootList() - kBase);
         const std::size_t empty = PlantCell(h.bytes, ListPayload("lf", {}));
         const std::size_t root =
             PlantCell(h.bytes, ListPayload("ri", {static_cast<std::uint32_t>(empty - kBase), list}));
         Put32(h.bytes, h.root + format::kSubkeyList, static_cast<std::uint32_t>(root - kBase));
         return Planted{empty + format::kListCount, Kind::kSubkeyList};
       }},
      {"subkeys out of order", 3,
       [](SmallHive& h) {
         const std::size_t entries = h.RootList() + format::kListEntries;
         std::swap_ranges(h.bytes.begin() + static_cast<std::ptrdiff_t>(entries),
                          h.bytes.begin() + static_cast<std::ptrdiff_t>(entries + 8),
                          h.bytes.begin() + static_cast<std::ptrdiff_t>(entries + 8));
         return Planted{entries + 8, Kind::kOrder};
       }},
      {"two subkeys of one name in two cases", 3,
       [](SmallHive& h) {
         std::copy_n("ALPHA", 5, h.bytes.begin() + static_cast<std::ptrdiff_t>(h.bravo + format::kKeyName));
         return Planted{h.RootList() + format::kListEntries + 8, Kind::kOrder};
       }},
      {"an \"lf\" hint that is not the name's", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.RootList() + format::kListEntries + 4, 0x78787878);
         return Planted{h.RootList() + format::kListEntries + 4, Kind::kHint};
       }},
      {"an \"lf\" hint of zero", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.RootList() + format::kListEntries + 4, 0);
         return Planted{h.RootList() + format::kListEntries + 4, Kind::kHint, Severity::kWarning};
       }},
      {"an \"lh\" hash that is not the name's", 5,
       [](SmallHive& h) {
         Put32(h.bytes, h.RootList() + format::kListEntries + 12, 12345);
         return Planted{h.RootList() + format::kListEntries + 12, Kind::kHint};
       }},
      // Values and their data.
      {"a value node without its signature", 3,
       [](SmallHive& h) {
         h.bytes[h.text + format::kCellSignature] = 'x';
         return Planted{h.text + format::kCellSignature, Kind::kValue};
       }},
      {"two values of one name", 3,
       [](SmallHive& h) {
         std::copy_n("LONG", 4, h.bytes.begin() + static_cast<std::ptrdiff_t>(h.text + format::kValueName));
         return Planted{h.longValue + format::kValueName, Kind::kValue};
       }},
      {"5 bytes of data in the value", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.small + format::kDataSize, format::kDataInline | 5);
         return Planted{h.small + format::kDataSize, Kind::kData};
       }},
      {"a data cell smaller than its data", 3,
       [](SmallHive& h) {
         Put32(h.bytes, h.text + format::kDataSize, 200);
         return Planted{h.text + format::kDataOffset, Kind::kData};
       }},
      {"a big-data record with a segment too few", 5,
       [](SmallHive& h) {
         Put16(h.bytes, h.BigData() + format::kListCount, 2);
         return Planted{h.BigData() + format::kListCount, Kind::kData};
       }},
      {"a data segment too small", 5,
       [](SmallHive& h) {
         const std::size_t small = PlantCell(h.bytes, Bytes(16, 0));
         Put32(h.bytes, h.Segments() + format::kCellData, static_cast<std::uint32_t>(small - kBase));
         return Planted{h.Segments() + format::kCellData, Kind::kData};
       }},
      {"a big-data record in a hive of format 1.3", 5,
       [](SmallHive& h) {
         Put32(h.bytes, format::kMinor, 3);
         FixChecksum(h.bytes);
         return Planted{h.longValue + format::kDataOffset, Kind::kData};
       }},
      {"bytes past the last bin", 3,
       [](SmallHive& h) {
         h.bytes.resize(h.bytes.size() + 4096);
         return Planted{h.bytes.size() - 4096, Kind::kTrailing, Severity::kWarning};
       }},
  };
  for (const PlantRow& row : rows) {
    SmallHive hive = MakeSmallHive(row.minor);
    const Planted planted = row.plant(hive);
    const HiveCheckReport report = CheckHive(hive.bytes);
    EXPECT_TRUE(Has(report, planted.offset, planted.kind, planted.severity))
        << row.what << ": expected at 0x" << std::hex << planted.offset << std::dec << Findings(report);
    // What Windows' own hives show is no fault.
    if (planted.severity == Severity::kWarning) {
      EXPECT_EQ(report.faults, 0U) << row.what << Findings(report);
    }
  }
}

// Keys 512 levels below the root are as deep as Windows lets keys go: CreateKey makes none
// deeper, and the check says so of one at the reference to it.
TEST(HiveCheck, KeysBelow512LevelsAreAFault) {
  HiveImage image;
  std::string why;
  ASSERT_TRUE(HiveImage::Open(hive::EmptyHiveImage(kTime), &image, &why)) << why;
  std::vector<HiveImage::Node> chain{image.Root()};
  for (int level = 1; level <= 512; ++level) {
    HiveImage::Node node = 0;
    ASSERT_EQ(image.CreateKey(chain.back(), u"k", kTime, &node), 0) << level;
    chain.push_back(node);
  }
  HiveImage::Node deeper = 0;
  EXPECT_EQ(image.CreateKey(chain[512], u"x", kTime, &deeper), 87);
  ASSERT_EQ(image.CreateKey(chain[511], u"x", kTime, &deeper), 0);
  image.MarkClean(2, kTime);
  ASSERT_TRUE(CheckHive(image.Bytes()).Sound()) << Findings(CheckHive(image.Bytes()));

  // x moved from level 512 to below the last k, by bytes: its old list keeps only that k.
  Bytes bytes = image.Bytes();
  const std::size_t parent = chain[511], last = chain[512];
  Put32(bytes, parent + format::kSubkeyCount, 1);
  Put16(bytes, Target(bytes, parent + format::kSubkeyList) + format::kListCount, 1);
  Bytes list{'l', 'f', 1, 0, 0, 0, 0, 0, 'x', 0, 0, 0};
  base::WriteLittleEndian32(static_cast<std::uint32_t>(deeper - kBase), &list[4]);
  const std::size_t moved = PlantCell(bytes, list);
  Put32(bytes, last + format::kSubkeyCount, 1);
  Put32(bytes, last + format::kSubkeyList, static_cast<std::uint32_t>(moved - kBase));
  Put32(bytes, deeper + format::kKeyParent, static_cast<std::uint32_t>(last - kBase));
  Put32(bytes, last + format::kMaxSubkeyName, 2);
  const HiveCheckReport report = CheckHive(bytes);
  EXPECT_EQ(report.faults, 1U) << Findings(report);
  EXPECT_TRUE(Has(report, moved + format::kListEntries, Kind::kKey, Severity::kFault)) << Findings(report);
}

// Keys and values that our edits make pass, whatever their names: "lf" hints of names beyond
// Latin-1 are zero, the largest-name field of a key whose upper bits hold flags grows in its low
// bits, and no value name is longer than Windows allows.
TEST(HiveCheck, NamesOurEditsMakePass) {
  const std::u16string names[] = {u"x", u"Grösse", u"Ключ", u"Ωμέγα", u"日本語のキー", u"AZaz09"};
  for (const std::uint32_t minor : {3U, 5U}) {
    Bytes bytes = hive::EmptyHiveImage(kTime);
    Put32(bytes, format::kMinor, minor);
    FixChecksum(bytes);
    HiveImage image;
    std::string why;
    ASSERT_TRUE(HiveImage::Open(std::move(bytes), &image, &why)) << why;
    HiveImage::Node node = 0;
    ASSERT_EQ(image.CreateKey(image.Root(), u"ab", kTime, &node), 0);
    Bytes flagged = image.Bytes();
    Put32(flagged, image.Root() + format::kMaxSubkeyName, 0x00F00004);
    ASSERT_TRUE(HiveImage::Open(std::move(flagged), &image, &why)) << why;
    for (const std::u16string& name : names) {
      ASSERT_EQ(image.CreateKey(image.Root(), name, kTime, &node), 0);
      ASSERT_EQ(image.SetValue(node, name, 1, nullptr, 0), 0);
    }
    const std::uint8_t one = 1;
    EXPECT_EQ(image.SetValue(node, std::u16string(16383, u'\u0416'), 3, &one, 1), 0);
    EXPECT_EQ(image.SetValue(node, std::u16string(16384, u'\u0416'), 3, &one, 1), 87);
    image.MarkClean(2, kTime);
    const HiveCheckReport report = CheckHive(image.Bytes());
    EXPECT_TRUE(report.findings.empty()) << "format 1." << minor << Findings(report);
    EXPECT_EQ(Get32(image.Bytes(), image.Root() + format::kMaxSubkeyName), 0x00F0000CU)
        << "format 1." << minor;
  }
}

std::string ReferenceDir() {
  const char* set = std::getenv("HIVE_REFERENCE_DIR");
  return set != nullptr && set[0] != 0 ? set : HIVE_REFERENCE_DIR;
}

// Windows' own hives, as Windows wrote them and as we recover them from their logs: no fault.
TEST(HiveCheck, WindowsHivesHaveNoFault) {
  const std::string dir = ReferenceDir();
  if (access((dir + "/NewDirtyHive1").c_str(), R_OK) != 0)
    GTEST_SKIP() << "that the hive check passes Windows' own hives (no reference hives in " << dir
                 << "; set HIVE_REFERENCE_DIR)";
  auto read = [](const std::string& path) {
    Bytes bytes;
    EXPECT_EQ(base::ReadFileBytes(path, &bytes), 0) << path;
    return bytes;
  };
  struct Row {
    std::string primary, log1, log2;
  } rows[] = {
      {dir + "/NewDirtyHive1/RecoveredHive_Windows10", "", ""},
      {dir + "/OldDirtyHive/RecoveredHive_Windows7", "", ""},
      {dir + "/NewDirtyHive1/NewDirtyHive", dir + "/NewDirtyHive1/NewDirtyHive.LOG1",
       dir + "/NewDirtyHive1/NewDirtyHive.LOG2"},
      {dir + "/OldDirtyHive/OldDirtyHive", dir + "/OldDirtyHive/OldDirtyHive.LOG1",
       dir + "/OldDirtyHive/OldDirtyHive.LOG2"},
  };
  for (const Row& row : rows) {
    hive::HiveLogs logs;
    if (!row.log1.empty()) {
      logs.log1 = hive::HiveLogFile{"LOG1", read(row.log1), {}};
      logs.log2 = hive::HiveLogFile{"LOG2", read(row.log2), {}};
    }
    hive::HiveRecovery recovery = hive::RecoverHive(read(row.primary), logs);
    ASSERT_NE(recovery.outcome, hive::HiveRecovery::Outcome::kRefused) << row.primary;
    const HiveCheckReport report = CheckHive(recovery.image);
    EXPECT_TRUE(report.Sound()) << row.primary << Findings(report);
    EXPECT_GT(report.keys, 4U) << row.primary;
  }
}

// Damaged input: whatever the bytes, the check ends, reads only what it was given and says
// something; a cut anywhere in a sound hive is a fault.
TEST(HiveCheck, DamagedInputEndsInFindings) {
  const SmallHive hive = MakeSmallHive(5);
  for (std::size_t size = 0; size < hive.bytes.size(); size += 4093) {
    const Bytes cut(hive.bytes.begin(), hive.bytes.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_FALSE(CheckHive(cut).Sound()) << size;
  }
  // Every bin's bytes the same 32-bit word: sizes, offsets and counts all wrong at once.
  for (const std::uint32_t word :
       {0x00000000U, 0xFFFFFFFFU, 0x80000000U, 0xFFFFFFF8U, 0x00001000U, 0x00000020U}) {
    Bytes bytes = hive.bytes;
    for (std::size_t at = kBase + format::kBinHeaderSize; at + 4 <= bytes.size(); at += 4)
      Put32(bytes, at, word);
    EXPECT_FALSE(CheckHive(bytes).Sound()) << word;
  }
}

}  // namespace
