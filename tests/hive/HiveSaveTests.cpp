// The engine's own reader and writer against independent readers: every value of hives that
// Windows wrote reads as libhivex reads it; saves reuse the space they free, so a hive saved
// again and again does not grow; and every saved hive reads without a complaint in regfexport,
// reged and hivexregedit.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/ByteOrder.h"
#include "base/Status.h"
#include "base/Text.h"
#include "hive/EmptyHive.h"
#include "hive/HiveFormat.h"
#include "hive/HiveImage.h"
#include "hive/posix/HiveFile.h"
#include "tests/hive/HiveTestSupport.h"

namespace {

using hivetest::Bytes;
using hivetest::kRegBinary;
using hivetest::kRegSz;

// The hives Windows wrote: HIVE_REFERENCE_DIR from the environment, else the build's default.
std::string ReferenceDir() {
  const char* set = std::getenv("HIVE_REFERENCE_DIR");
  return set != nullptr && set[0] != 0 ? set : HIVE_REFERENCE_DIR;
}

// Every value of the hive as the engine reads it, in HivexValues' form.
std::string EngineValues(const std::string& hive) {
  hive::HiveFile file(hive);
  if (const base::Failure failure = file.Load(); failure.Failed()) return "does not load: " + failure.Text();
  return hivetest::ImageValues(file.Image());
}

long Save(const std::string& hive, const std::u16string& key, std::u16string_view name, std::uint32_t type,
          const Bytes& data) {
  return hivetest::SaveValue(hive, key, name, type, data);
}

long Remove(const std::string& hive, const std::u16string& key, std::u16string_view name) {
  return hivetest::SaveValue(hive, key, name, 0, std::nullopt);
}

off_t FileSize(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 ? status.st_size : -1;
}

// reged aborts on any value name stored as UTF-16 (beyond Latin-1), in hives libhivex writes too.
void ExpectReadersAgree(const std::string& hive, const std::string& when, bool utf16Names = false) {
  std::string skipped;
  EXPECT_EQ(hivetest::ReaderComplaints(hive, &skipped, utf16Names ? "reged" : ""), "") << when;
  if (!skipped.empty())
    std::printf("skipped: that %s reads the hive, %s (not installed)\n", skipped.c_str(), when.c_str());
  const std::string theirs = hivetest::HivexValues(hive);
  if (theirs.find("Can't locate") != std::string::npos) {
    std::printf("skipped: that libhivex reads every value as we do, %s (Win::Hivex is not installed)\n",
                when.c_str());
    return;
  }
  EXPECT_EQ(EngineValues(hive), theirs) << when;
}

// A hive to save into: one of our own making and, when the reference data is there, hives that Windows
// wrote (format 1.5 and 1.6, so long data goes into "db" segments there).
struct Subject {
  std::string name;
  std::string hive;
  std::u16string key;  // where the test writes, below the root
};

std::vector<Subject> Subjects(const hivetest::TempFolder& folder) {
  std::vector<Subject> subjects{{"ours", hivetest::WriteTestHive(folder), hivetest::kSettingsKeyPath}};
  for (const char* reference :
       {"NewDirtyHive1/RecoveredHive_Windows10", "OldDirtyHive/RecoveredHive_Windows7"}) {
    const std::string bytes = hivetest::ReadFile(ReferenceDir() + "/" + reference);
    if (bytes.empty()) {
      std::printf(
          "skipped: that a hive Windows wrote (%s) reads and saves soundly (no reference hives in %s; set "
          "HIVE_REFERENCE_DIR)\n",
          reference, ReferenceDir().c_str());
      continue;
    }
    const std::string path = folder / std::string(reference).substr(std::string(reference).find('/') + 1);
    hivetest::WriteFile(path, bytes);
    subjects.push_back({reference, path, u""});
  }
  return subjects;
}

TEST(HiveReading, EveryValueOfHivesWindowsWroteReadsAsLibhivexReadsIt) {
  hivetest::TempFolder folder;
  for (const Subject& subject : Subjects(folder)) {
    const std::string theirs = hivetest::HivexValues(subject.hive);
    if (theirs.find("Can't locate") != std::string::npos)
      GTEST_SKIP() << "that libhivex reads every value as we do (Win::Hivex is not installed)";
    EXPECT_NE(theirs.find('\t'), std::string::npos) << subject.name << ": " << theirs;
    EXPECT_EQ(EngineValues(subject.hive), theirs) << subject.name;
  }
}

// A long value's segment list may name one 16 KiB cell many times over: data larger than the
// whole hive cannot be its own, and is refused as corrupt before any reader makes room for it.
TEST(HiveReading, ALongValueLargerThanTheHiveIsCorrupt) {
  using namespace hive::format;
  using hive::HiveImage;
  std::vector<std::uint8_t> empty = hive::EmptyHiveImage(0);
  base::WriteLittleEndian32(5, &empty[kMinor]);  // a format that keeps long data in segments
  base::WriteLittleEndian32(hive::HiveHeaderChecksum(empty.data()), &empty[kChecksum]);
  HiveImage image;
  std::string why;
  ASSERT_TRUE(HiveImage::Open(std::move(empty), &image, &why)) << why;
  constexpr std::uint32_t kSegments = 8;
  constexpr std::uint32_t kSegmentSize = 16344;
  const std::vector<std::uint8_t> twoSegments(kSegmentSize + 1, 7);
  const std::vector<std::uint8_t> room(4 * kSegments);  // a cell to serve as the long segment list
  ASSERT_EQ(image.SetValue(image.Root(), u"Long", kRegBinary, twoSegments.data(), kSegmentSize + 1), 0);
  ASSERT_EQ(image.SetValue(image.Root(), u"Room", kRegBinary, room.data(), 4 * kSegments), 0);
  HiveImage::Value longValue, roomValue;
  ASSERT_EQ(image.FindValue(image.Root(), u"Long", &longValue), 0);
  ASSERT_EQ(image.FindValue(image.Root(), u"Room", &roomValue), 0);

  image.MarkClean(1, 0);
  std::vector<std::uint8_t> bytes = image.Bytes();
  auto cell = [&bytes](std::size_t field) {
    return hive::kHiveBaseBlockSize + base::ReadLittleEndian32(&bytes[field]);
  };
  const std::size_t db = cell(longValue.cell + kDataOffset);
  const std::uint32_t firstSegment = base::ReadLittleEndian32(&bytes[cell(db + kListEntries) + kCellData]);
  const std::uint32_t list = base::ReadLittleEndian32(&bytes[roomValue.cell + kDataOffset]);
  for (std::uint32_t i = 0; i < kSegments; ++i)
    base::WriteLittleEndian32(firstSegment, &bytes[cell(roomValue.cell + kDataOffset) + kCellData + 4 * i]);
  base::WriteLittleEndian16(kSegments, &bytes[db + kListCount]);
  base::WriteLittleEndian32(list, &bytes[db + kListEntries]);
  base::WriteLittleEndian32(kSegments * kSegmentSize, &bytes[longValue.cell + kDataSize]);
  ASSERT_GT(kSegments * kSegmentSize, bytes.size()) << "the claim must be larger than the hive";

  HiveImage damaged;
  ASSERT_TRUE(HiveImage::Open(std::move(bytes), &damaged, &why)) << why;
  HiveImage::Value value;
  EXPECT_EQ(damaged.FindValue(damaged.Root(), u"Long", &value), base::kRegistryCorrupt);
  EXPECT_EQ(damaged.FindValue(damaged.Root(), u"Room", &value), 0) << "the rest of the key reads";
}

std::vector<std::uint8_t> Text(std::u16string_view text) { return base::Utf16Bytes(text); }

// The program's typical save: a number as decimal text and four raw bytes, changed back and forth.
// After the first save (which adds the new values), no save may grow the file.
TEST(HiveSaving, HundredSavesOfChangingValuesDoNotGrowTheHive) {
  hivetest::TempFolder folder;
  for (const Subject& subject : Subjects(folder)) {
    off_t first = -1;
    for (int save = 0; save < 100; ++save) {
      const bool odd = save % 2 != 0;
      hive::HiveFile file(subject.hive);
      ASSERT_FALSE(file.Load().Failed()) << subject.name;
      hive::HiveImage& image = file.Image();
      const hive::HiveImage::Node key = hivetest::KeyAt(image, subject.key);
      ASSERT_NE(key, 0u) << subject.name;
      const std::vector<std::uint8_t> text = Text(odd ? u"-100" : u"2");
      const std::vector<std::uint8_t> raw =
          odd ? std::vector<std::uint8_t>{5, 6, 7, 8} : std::vector<std::uint8_t>{1, 0, 0, 0};
      ASSERT_EQ(
          image.SetValue(key, u"QLDRV_TEXT", kRegSz, text.data(), static_cast<std::uint32_t>(text.size())),
          0);
      ASSERT_EQ(image.SetValue(key, u"QLDRV_RAW", kRegBinary, raw.data(), 4), 0);
      const std::vector<std::uint8_t> number = Text(odd ? u"-100" : u"25");  // both in a data cell
      ASSERT_EQ(image.SetValue(key, u"QLDRV_NUMBER", kRegSz, number.data(),
                               static_cast<std::uint32_t>(number.size())),
                0);
      ASSERT_EQ(file.Commit([] { return false; }, [key] { return std::vector<std::uintptr_t>{key}; }), 0)
          << subject.name << ": " << file.CommitError();
      if (save == 0) first = FileSize(subject.hive);
      if (save == 0 || save == 99)
        ExpectReadersAgree(subject.hive, subject.name + " save " + std::to_string(save));
    }
    EXPECT_LE(FileSize(subject.hive), first) << subject.name;
  }
}

// A value outgrows its data cell and shrinks back, a long one comes and goes, a new value with a
// name beyond Latin-1 comes, one is deleted: each save reads cleanly in the independent readers,
// and space that a save freed serves the next save.
TEST(HiveSaving, ValuesThatGrowShrinkComeAndGoKeepTheHiveSound) {
  hivetest::TempFolder folder;
  for (const Subject& subject : Subjects(folder)) {
    std::vector<std::uint8_t> large(3000);
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<std::uint8_t>(i * 7);
    std::vector<std::uint8_t> huge(40000);
    for (std::size_t i = 0; i < huge.size(); ++i) huge[i] = static_cast<std::uint8_t>(i / 3);
    struct Step {
      const char* what;
      std::u16string name;
      std::vector<std::uint8_t> data;  // empty: delete
      bool utf16Name = false;
    } steps[] = {
        {"small", u"QLDRV_GROW", {1, 2, 3, 4, 5, 6, 7, 8}},
        {"grown past its cell", u"QLDRV_GROW", large},
        {"shrunk", u"QLDRV_GROW", {9, 8, 7, 6, 5, 4, 3, 2, 1}},
        {"grown again", u"QLDRV_GROW", large},
        {"long", u"QLDRV_HUGE", huge},
        {"short again", u"qldrv_huge", {1, 2, 3, 4, 5}},
        {"long again", u"QLDRV_HUGE", huge},
        {"deleted", u"QLDRV_GROW", {}},
        {"deleted too", u"QLDRV_HUGE", {}},
        {"new name beyond Latin-1", u"QLDRV_\u03A9\u0416", Text(u"7"), true},
        {"deleted by its name in another case", u"qldrv_\u03C9\u0436", {}},
    };
    std::vector<off_t> sizes;
    for (const Step& step : steps) {
      const long status = step.data.empty()
                              ? Remove(subject.hive, subject.key, step.name)
                              : Save(subject.hive, subject.key, step.name, kRegBinary, step.data);
      ASSERT_EQ(status, 0) << subject.name << ": " << step.what;
      ExpectReadersAgree(subject.hive, subject.name + ": " + step.what, step.utf16Name);
      sizes.push_back(FileSize(subject.hive));
    }
    EXPECT_EQ(sizes[3], sizes[1]) << subject.name << ": the grown value took the space it had before";
    EXPECT_EQ(sizes[6], sizes[4]) << subject.name << ": the long value took the space it had before";
    EXPECT_EQ(sizes.back(), sizes[6]) << subject.name;
  }
}

}  // namespace
