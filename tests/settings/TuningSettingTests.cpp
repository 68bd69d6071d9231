// The model of the eleven settings: every list entry of every dialog with the numbers it writes,
// both ways (entry to stored numbers, stored numbers back to the entry), the defaults of absent
// values, stored numbers that no entry writes, and the model's reads and writes on a store.
#include <gtest/gtest.h>

#include "base/Text.h"
#include "platform/Registry.h"
#include "settings/TuningSetting.h"
#include "tests/support/TestServices.h"

namespace {

struct Entry {
  std::u16string text;
  StoredNumbers numbers;  // what choosing the entry writes; none: the value is deleted
};

struct ListCase {
  Tuning id;
  int chipCount;
  std::vector<Entry> entries;  // in the order the dialog shows them
};

const std::vector<ListCase>& ListCases() {
  static const std::vector<ListCase> cases = {
      {Tuning::kAntiAliasing, 1, {{u"Fastest", {0}}, {u"2 Sample Anit-aliasing", {1}}}},
      {Tuning::kAntiAliasing,
       2,
       {{u"Single Chip", {0}},
        {u"Fastest", {2}},
        {u"2 Sample Anti-Aliasing", {3}},
        {u"4 Sample Anti-Aliasing", {4}}}},
      {Tuning::kAntiAliasing,
       4,
       {{u"Single Chip", {0}},
        {u"Fastest", {5}},
        {u"2 Sample Anti-Aliasing", {6}},
        {u"4 Sample Anti-Aliasing", {7}},
        {u"8 Sample Anti-Aliasing", {8}}}},
      {Tuning::kGuardBandClipping, 1, {{u"Disabled", {0}}, {u"Enabled", {1}}}},
      {Tuning::kGuardBandClipping, 2, {{u"Disabled", {0}}, {u"Enabled", {1}}}},
      {Tuning::kGuardBandClipping, 4, {{u"Disabled", {0}}, {u"Enabled", {1}}}},
      {Tuning::kDdiVersion, 1, {{u"7", {1, 0}}, {u"8", {0, 1}}, {u"9", {0, 0}}}},
      {Tuning::kTripleBuffer, 1, {{u"off", {3}}, {u"on", {4}}}},
      // A sorted list: the dialog shows "Vsync Off" before "Vsync On".
      {Tuning::kVSync, 1, {{u"Software", {}}, {u"Vsync Off", {0}}, {u"Vsync On", {1}}}},
      {Tuning::kLodBias,
       1,
       {{u"-2.0", {-8}},
        {u"-1.75", {-7}},
        {u"-1.50", {-6}},
        {u"-1.25", {-5}},
        {u"-1.00", {-4}},
        {u"-0.75", {-3}},
        {u"-0.50", {-2}},
        {u"-0.25", {-1}},
        {u"0.00", {0}},
        {u"0.25", {1}},
        {u"0.50", {2}},
        {u"0.75", {3}},
        {u"1.00", {4}},
        {u"1.25", {5}},
        {u"1.50", {6}},
        {u"1.75", {7}},
        {u"2.00", {8}}}},
      {Tuning::kFilterQuality, 1, {{u"Automatic", {1}}, {u"Normal", {2}}, {u"High", {3}}}},
      {Tuning::kAlphaBlending, 1, {{u"Automatic", {1}}, {u"Sharper", {2}}, {u"Smoother", {3}}}},
      {Tuning::kMaxPendingBuffers,
       1,
       {{u"Default", {0}}, {u"1", {1}}, {u"2", {2}}, {u"3", {3}}, {u"4", {4}}, {u"5", {5}}, {u"6", {6}}}},
      {Tuning::kMipMapDithering, 1, {{u"Disable", {0}}, {u"Enable", {1}}}},
      {Tuning::kCmdFifoSize,
       1,
       {{u"512K", {524288}},
        {u"640K", {655360}},
        {u"768K", {786432}},
        {u"896K", {917504}},
        {u"1024K", {1048576}}}},
  };
  return cases;
}

std::string Describe(const TuningSetting& setting, int chipCount) {
  return std::string(setting.Name().begin(), setting.Name().end()) + " (" + std::to_string(chipCount) +
         " chips)";
}

TEST(TuningSetting, EveryEntryWritesItsNumbersAndReadsBackAsItself) {
  for (const ListCase& list : ListCases()) {
    const TuningSetting setting(list.id, list.chipCount);
    SCOPED_TRACE(Describe(setting, list.chipCount));
    ASSERT_EQ(setting.Texts().size(), list.entries.size());
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
      const int position = static_cast<int>(i);
      const Entry& entry = list.entries[i];
      SCOPED_TRACE(std::string(entry.text.begin(), entry.text.end()));
      EXPECT_EQ(setting.Texts()[i], entry.text);
      EXPECT_EQ(setting.NumbersFor(position), entry.numbers);
      EXPECT_EQ(setting.PositionOf(entry.numbers), position);
      EXPECT_EQ(setting.EntryFor(entry.numbers), position);
    }
  }
}

struct StoredCase {
  Tuning id;
  int chipCount;
  StoredNumbers stored;
  int shown;  // the position the dialog selects; outside the list: no selection
  int entry;  // the entry that writes exactly this, -1 for none
};

TEST(TuningSetting, StoredNumbersShowAsTheDialogShowsThem) {
  const StoredCase cases[] = {
      // Absent values show the dialog's defaults, which are entries of their own.
      {Tuning::kAntiAliasing, 1, {}, 0, 0},
      {Tuning::kAntiAliasing, 2, {}, 1, 1},
      {Tuning::kGuardBandClipping, 2, {}, 0, 0},
      {Tuning::kDdiVersion, 1, {}, 2, 2},
      {Tuning::kTripleBuffer, 1, {}, 1, 1},
      {Tuning::kVSync, 1, {}, 0, 0},
      {Tuning::kLodBias, 1, {}, 8, 8},
      {Tuning::kFilterQuality, 1, {}, 0, 0},
      {Tuning::kMaxPendingBuffers, 1, {}, 0, 0},
      {Tuning::kCmdFifoSize, 1, {}, 0, 0},
      // Numbers the dialog shows at an entry that writes something else.
      {Tuning::kAntiAliasing, 2, {1}, 1, -1},
      {Tuning::kAntiAliasing, 4, {2}, 1, -1},
      {Tuning::kDdiVersion, 1, {1, 1}, 0, -1},
      {Tuning::kDdiVersion, 1, {0, 5}, 1, -1},
      {Tuning::kDdiVersion, 1, {std::nullopt, 1}, 1, 1},
      {Tuning::kTripleBuffer, 1, {0}, 1, -1},
      {Tuning::kVSync, 1, {-1}, 0, -1},
      {Tuning::kCmdFifoSize, 1, {700000}, 0, -1},
      // Numbers outside the lists: no selection.
      {Tuning::kGuardBandClipping, 1, {2}, 2, -1},
      {Tuning::kLodBias, 1, {12}, 20, -1},
      {Tuning::kLodBias, 1, {-9}, -1, -1},
      {Tuning::kLodBias, 1, {2147483647}, -1, -1},
      {Tuning::kFilterQuality, 1, {0}, -1, -1},
      {Tuning::kAlphaBlending, 1, {4}, 3, -1},
      {Tuning::kMaxPendingBuffers, 1, {9}, 9, -1},
      {Tuning::kMipMapDithering, 1, {-2147483647 - 1}, -2147483647 - 1, -1},
  };
  for (const StoredCase& c : cases) {
    const TuningSetting setting(c.id, c.chipCount);
    SCOPED_TRACE(Describe(setting, c.chipCount) + " stored " +
                 (c.stored[0] ? std::to_string(*c.stored[0]) : "-"));
    EXPECT_EQ(setting.PositionOf(c.stored), c.shown);
    EXPECT_EQ(setting.EntryFor(c.stored), c.entry);
  }
}

// Whether choosing an entry writes, as the dialogs' OK decides it: when the shown entry changes,
// and for the FIFO size's table also when what is stored is in no entry of it.
TEST(TuningSetting, ChoosingAnEntryReplacesWhatItDoesNotShowAsWritten) {
  struct Row {
    Tuning id;
    StoredNumbers stored;
    int position;
    bool replaces;
  };
  const Row rows[] = {
      {Tuning::kCmdFifoSize, {524288}, 0, false},
      {Tuning::kCmdFifoSize, {}, 0, false},
      {Tuning::kCmdFifoSize, {700000}, 0, true},
      {Tuning::kCmdFifoSize, {}, 1, true},
      {Tuning::kTripleBuffer, {7}, 1, false},
      {Tuning::kTripleBuffer, {7}, 0, true},
      {Tuning::kLodBias, {2}, 10, false},
      {Tuning::kLodBias, {2}, 9, true},
      {Tuning::kVSync, {}, 0, false},
      {Tuning::kDdiVersion, {1, 1}, 0, false},
  };
  for (const Row& row : rows) {
    const TuningSetting setting(row.id);
    SCOPED_TRACE(Describe(setting, 1) + " at " + std::to_string(row.position));
    EXPECT_EQ(setting.Replaces(row.stored, row.position), row.replaces);
  }
}

TEST(TuningSetting, AdapterSettingsInDialogOrderWithChipSettingsOnlyForTheSupportedChip) {
  std::vector<std::u16string> names;
  for (const TuningSetting& setting : TuningSetting::ForAdapter(true, 4)) names.emplace_back(setting.Name());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"AntiAliasing", u"GuardBandClipping", u"DDIVersion",
                                                u"TripleBuffer", u"VSync", u"LODBias", u"FilterQuality",
                                                u"AlphaBlending", u"MaxPendingBuffers", u"MipMapDithering",
                                                u"CmdFifoSize"}));
  EXPECT_EQ(TuningSetting::ForAdapter(true, 4)[0].Texts().size(), 5u);
  EXPECT_EQ(TuningSetting::ForAdapter(false, 4).size(), 9u);
  EXPECT_EQ(TuningSetting::ForAdapter(false, 4)[0].Name(), u"DDIVersion");
}

const std::u16string kCurrent = u"System\\CurrentControlSet\\Control\\Video\\{A}\\0000";
const std::u16string kDriverSettings = kCurrent + u"\\D3D";

// A stored value's type and bytes.
std::pair<std::uint32_t, std::vector<std::uint8_t>> TypeAndBytes(const platform::MemoryRegistry& registry,
                                                                 const std::u16string& path,
                                                                 std::u16string_view name) {
  const auto value = registry.Value(path, name);
  if (!value) return {};
  return {value->type, value->data};
}

using Stored = std::pair<std::uint32_t, std::vector<std::uint8_t>>;

TEST(TuningSetting, WritesTheDialogsTypesAndBytesAndReadsThemBack) {
  TestServices services;
  services.registry.CreateKey(kCurrent);
  services.registry.CreateKey(kDriverSettings);
  const TuningSetting lodBias(Tuning::kLodBias);
  const TuningSetting ddi(Tuning::kDdiVersion);
  const TuningSetting vSync(Tuning::kVSync);
  const TuningSetting fifo(Tuning::kCmdFifoSize);

  EXPECT_TRUE(lodBias.Write(kCurrent, 0));
  EXPECT_TRUE(ddi.Write(kCurrent, 1));
  EXPECT_TRUE(vSync.Write(kCurrent, 2));
  EXPECT_TRUE(fifo.Write(kCurrent, 1));
  EXPECT_EQ(TypeAndBytes(services.registry, kDriverSettings, u"QLDRV_LOD_BIAS"),
            (Stored{platform::kRegSz, base::Utf16Bytes(u"-8")}));
  EXPECT_EQ(TypeAndBytes(services.registry, kCurrent, u"DisableDX8"),
            (Stored{platform::kRegBinary, {0, 0, 0, 0}}));
  EXPECT_EQ(TypeAndBytes(services.registry, kCurrent, u"DisableDX9"),
            (Stored{platform::kRegBinary, {1, 0, 0, 0}}));
  EXPECT_EQ(TypeAndBytes(services.registry, kCurrent, u"CmdFifoSize"),
            (Stored{platform::kRegBinary, {0x00, 0x00, 0x0A, 0x00}}));
  EXPECT_EQ(lodBias.Read(kCurrent), (StoredNumbers{-8}));
  EXPECT_EQ(ddi.Read(kCurrent), (StoredNumbers{0, 1}));
  EXPECT_EQ(vSync.Read(kCurrent), (StoredNumbers{1}));
  EXPECT_EQ(fifo.Read(kCurrent), (StoredNumbers{655360}));

  // "Software" deletes the value.
  EXPECT_TRUE(vSync.Write(kCurrent, 0));
  EXPECT_FALSE(services.registry.Value(kDriverSettings, u"QLDRV_SWAPINTERVAL"));
  EXPECT_EQ(vSync.Read(kCurrent), StoredNumbers{});

  // No position past the list, and nothing without write access.
  EXPECT_FALSE(fifo.Write(kCurrent, 5));
  services.registry.DenyWriteEverywhere(true);
  EXPECT_FALSE(lodBias.Write(kCurrent, 16));
  services.registry.DenyWriteEverywhere(false);
  EXPECT_EQ(lodBias.Read(kCurrent), (StoredNumbers{-8}));
  EXPECT_EQ(services.registry.OpenHandleCount(), 0);
}

}  // namespace
