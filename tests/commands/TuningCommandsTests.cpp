// The scripting actions on the in-memory registry and the recording display mode: the query,
// sets written as the dialogs write them, all or nothing, refused access, values that do not
// stick, profiles from this machine or another, good and bad, and conflicting values.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/RegFile.h"
#include "app/TuningCommands.h"
#include "base/Service.h"
#include "base/Text.h"
#include "settings/AdapterIdentity.h"
#include "settings/TuningSetting.h"
#include "tests/support/ForwardingRegistry.h"
#include "tests/support/TestAdapter.h"
#include "tests/support/TestServices.h"

namespace {

using testadapter::kCurrentKey;
using testadapter::kDeviceKey;
using testadapter::kDriverKey;
using testadapter::kHandOff;

std::string Narrow(const std::u16string& text) { return base::Utf8FromUtf16(text); }

// One adapter: its hardware information in the device key, its tuning in the current device key
// and its D3D subkey (the in-memory store has no CurrentControlSet link: both are seeded).
class TuningCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry().CreateKey(kDriverKey);
    SetAdapter(u"QEL 700 M940 Quad", u"QEL 700");
    m_folder = std::filesystem::temp_directory_path() /
               ("tuning-commands-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_folder);
    std::filesystem::create_directories(m_folder);
  }
  void TearDown() override { std::filesystem::remove_all(m_folder); }

  platform::MemoryRegistry& registry() { return m_services.registry; }

  void SetAdapter(std::u16string_view adapterText, std::u16string_view chipType) {
    registry().CreateKey(kDeviceKey);
    registry().SetString(kDeviceKey, u"HardwareInformation.AdapterString", adapterText);
    registry().SetString(kDeviceKey, u"HardwareInformation.ChipType", chipType);
  }

  TuningCommandsResult Run(const TuningCommands& commands) {
    registry().ResetCounters();
    m_services.displayMode.ClearCalls();
    TuningCommandsResult result = RunTuningCommands(commands, kHandOff);
    EXPECT_EQ(registry().OpenHandleCount(), 0);
    return result;
  }

  TuningCommandsResult Set(std::vector<std::u16string> sets) {
    TuningCommands commands;
    commands.sets = std::move(sets);
    return Run(commands);
  }

  TuningCommandsResult Import(const std::string& text) {
    const std::filesystem::path path = m_folder / "profile.reg";
    std::ofstream(path, std::ios::binary) << text;
    TuningCommands commands;
    commands.importPath = path.u16string();
    return Run(commands);
  }

  std::u16string Query() {
    TuningCommands commands;
    commands.query = true;
    return Run(commands).output;
  }

  // Every value of the two tuning keys, to see that nothing else changed.
  std::vector<std::tuple<std::u16string, std::uint32_t, std::vector<std::uint8_t>>> Tuning() const {
    std::vector<std::tuple<std::u16string, std::uint32_t, std::vector<std::uint8_t>>> values;
    for (const auto& path : {kCurrentKey, kDriverKey})
      for (const platform::RegistryValue& value : m_services.registry.Values(path))
        values.emplace_back(path + u"\\" + value.name, value.type, value.data);
    return values;
  }

  int WriteOpens() { return registry().OpenCount(platform::kKeyWrite); }
  // Mode sets since the last run began.
  long ModeSets() const {
    return std::ranges::count(m_services.displayMode.CallKinds(),
                              platform::DisplayModeCall::Kind::SetDisplayMode);
  }

  TestServices m_services;
  std::filesystem::path m_folder;
};

std::vector<std::uint8_t> Raw(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

TEST_F(TuningCommandsTest, QueryShowsWhatTheDialogsShowAndStoredNumbersNoEntryWrites) {
  EXPECT_EQ(
      Narrow(Query()),
      "AntiAliasing=Fastest\nGuardBandClipping=Disabled\nDDIVersion=9\nTripleBuffer=on\nVSync=Software\n"
      "LODBias=0.00\nFilterQuality=Automatic\nAlphaBlending=Automatic\nMaxPendingBuffers=Default\n"
      "MipMapDithering=Disable\nCmdFifoSize=512K\n"
      "# Adapter: QEL 700 M940 Quad\n# BIOS: \n# Chip type: QEL 700\n# Memory: 0 Meg\n"
      "# Key: " +
          Narrow(kCurrentKey) + "\n");

  registry().SetString(kDriverKey, u"QLDRV_SLI_AA_CONFIGURATION", u"8");
  registry().SetString(kDriverKey, u"QLDRV_SWAPINTERVAL", u"0");
  registry().SetString(kDriverKey, u"QLDRV_LOD_BIAS", u"17");
  registry().SetValue(kCurrentKey, u"DisableDX8", platform::kRegBinary, Raw(1));
  registry().SetValue(kCurrentKey, u"DisableDX9", platform::kRegBinary, Raw(1));
  registry().SetDword(kCurrentKey, u"MaxTileBuffers", 3);
  registry().SetValue(kCurrentKey, u"CmdFifoSize", platform::kRegBinary, Raw(700000));
  const std::string output = Narrow(Query());
  for (const char* line : {"AntiAliasing=8 Sample Anti-Aliasing\n", "VSync=Vsync Off\n",
                           "LODBias=(stored 17)\n", "DDIVersion=(stored DisableDX8=1 DisableDX9=1)\n",
                           "TripleBuffer=off\n", "CmdFifoSize=(stored 700000)\n"})
    EXPECT_NE(output.find(line), std::string::npos) << line << output;

  // No chip settings without the supported chip.
  SetAdapter(u"Other board", u"Other chip");
  EXPECT_EQ(Narrow(Query()).rfind("DDIVersion=", 0), 0u);
}

TEST_F(TuningCommandsTest, SetWritesOnlyChangedValuesAsTheDialogsDoThenRefreshesOnce) {
  registry().SetString(kDriverKey, u"QLDRV_LOD_BIAS", u"2");
  registry().SetString(kDriverKey, u"QLDRV_SWAPINTERVAL", u"1");
  auto before = Tuning();

  // Already so: no probe, no write, no refresh.
  TuningCommandsResult result = Set({u"LODBias=0.50", u"TripleBuffer=ON"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(WriteOpens(), 0);
  EXPECT_EQ(ModeSets(), 0);
  EXPECT_EQ(Tuning(), before);

  result = Set({u"lodbias=-1.75", u"VSYNC=software", u"DDIVersion=8", u"CmdFifoSize=640k",
                u"AntiAliasing=single chip"});
  EXPECT_EQ(result.status, 0) << Narrow(result.messages);
  EXPECT_EQ(ModeSets(), 1);
  const std::vector<std::tuple<std::u16string, std::uint32_t, std::vector<std::uint8_t>>> expected = {
      {kCurrentKey + u"\\DisableDX8", platform::kRegBinary, Raw(0)},
      {kCurrentKey + u"\\DisableDX9", platform::kRegBinary, Raw(1)},
      {kCurrentKey + u"\\CmdFifoSize", platform::kRegBinary, Raw(655360)},
      {kDriverKey + u"\\QLDRV_LOD_BIAS", platform::kRegSz, base::Utf16Bytes(u"-7")},
      {kDriverKey + u"\\QLDRV_SLI_AA_CONFIGURATION", platform::kRegSz, base::Utf16Bytes(u"0")},
  };
  auto after = Tuning();
  std::sort(after.begin(), after.end());
  auto sorted = expected;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(after, sorted);

  TuningCommands commands;
  commands.sets = {u"MipMapDithering=Enable"};
  commands.noRefresh = true;
  EXPECT_EQ(Run(commands).status, 0);
  EXPECT_EQ(ModeSets(), 0);
  EXPECT_EQ(WriteOpens(), 2);  // the probe and the write
}

TEST_F(TuningCommandsTest, OneBadArgumentWritesNothing) {
  registry().SetString(kDriverKey, u"QLDRV_LOD_BIAS", u"2");
  const auto before = Tuning();
  const struct {
    std::u16string argument;
    const char* says;
  } cases[] = {
      {u"Bogus=1", "no setting \"Bogus\""},
      {u"LODBias=0.60", "LODBias has no entry \"0.60\"; its entries are -2.0, -1.75"},
      {u"LODBias", "expected NAME=VALUE"},
      {u"TripleBuffer=yes", "its entries are off, on"},
      {u"AntiAliasing=2 Sample Anit-aliasing",
       "its entries are Single Chip, Fastest"},  // the one-chip list's
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.argument));
    const TuningCommandsResult result = Set({u"VSync=Vsync On", c.argument, u"MipMapDithering=Enable"});
    EXPECT_EQ(result.status, sysexits::kUsage);
    EXPECT_NE(Narrow(result.messages).find(c.says), std::string::npos) << Narrow(result.messages);
    EXPECT_EQ(WriteOpens(), 0);
    EXPECT_EQ(ModeSets(), 0);
    EXPECT_EQ(Tuning(), before);
  }

  SetAdapter(u"Other board", u"Other chip");
  const TuningCommandsResult result = Set({u"GuardBandClipping=Enabled"});
  EXPECT_EQ(result.status, sysexits::kUsage);
  EXPECT_NE(Narrow(result.messages).find("no chip settings"), std::string::npos);
}

TEST_F(TuningCommandsTest, RefusedWriteAccessIsItsOwnStatusAndWritesNothing) {
  const auto before = Tuning();
  registry().DenyWrite(kDriverKey);
  // The current device key may be written, the D3D subkey may not: nothing is written to either.
  const TuningCommandsResult result = Set({u"DDIVersion=7", u"LODBias=1.00"});
  EXPECT_EQ(result.status, sysexits::kNoPermission);
  EXPECT_NE(Narrow(result.messages).find("Execute using Administrator Account"), std::string::npos);
  EXPECT_EQ(Tuning(), before);
  EXPECT_EQ(ModeSets(), 0);
}

// A store that answers every write with success but keeps none for one value name.
class ForgetfulRegistry final : public platform::ForwardingRegistry {
 public:
  ForgetfulRegistry(platform::Registry& inner, std::u16string forgotten)
      : ForwardingRegistry(inner), m_forgotten(forgotten) {}
  long Set(platform::RegKey key, std::u16string_view name, std::uint32_t type, const std::uint8_t* data,
           std::uint32_t size) override {
    return name == m_forgotten ? platform::kSuccess : ForwardingRegistry::Set(key, name, type, data, size);
  }

 private:
  std::u16string m_forgotten;
};

TEST_F(TuningCommandsTest, AValueThatDoesNotStickFails) {
  ForgetfulRegistry forgetful(registry(), u"DisableDX9");
  const TuningCommandsResult result = [&] {
    const base::Installed<platform::SetRegistry> installed(forgetful);
    return Set({u"DDIVersion=8", u"LODBias=1.00"});
  }();
  EXPECT_EQ(result.status, sysexits::kIoError);
  EXPECT_NE(Narrow(result.messages)
                .find("DDIVersion: DisableDX9 reads back as no value after writing type 3, bytes 1 0 0 0"),
            std::string::npos)
      << Narrow(result.messages);
}

// A registry that keeps writes until it saves them: the save comes after every write and before
// the read-back. A failed save is said alone, with its own status: the values it lost are not
// read back one by one, and the driver is not told to reload.
TEST_F(TuningCommandsTest, AFailedSaveIsSaidFirstAndAlone) {
  ForgetfulRegistry forgetful(registry(), u"DisableDX9");
  for (const int failure : {sysexits::kOk, sysexits::kIoError, sysexits::kNoPermission}) {
    int saves = 0;
    TuningCommands commands;
    commands.sets = {u"DDIVersion=8", u"LODBias=1.00"};
    registry().SetString(kDriverKey, u"QLDRV_LOD_BIAS", u"0");
    const auto unwritten = registry().Value(kDriverKey, u"QLDRV_LOD_BIAS")->data;
    commands.save = [&] {
      ++saves;
      EXPECT_NE(registry().Value(kDriverKey, u"QLDRV_LOD_BIAS")->data, unwritten)
          << "saved before it was written";
      return failure == sysexits::kOk ? Outcome{} : Outcome{failure, u"not saved: the disk is full"};
    };
    const TuningCommandsResult result = [&] {
      const base::Installed<platform::SetRegistry> installed(forgetful);
      return Run(commands);
    }();
    EXPECT_EQ(saves, 1) << failure;
    if (failure == sysexits::kOk) {
      EXPECT_EQ(result.status, sysexits::kIoError);
      EXPECT_NE(Narrow(result.messages).find("DisableDX9 reads back as no value"), std::string::npos);
      EXPECT_EQ(ModeSets(), 1);
    } else {
      EXPECT_EQ(result.status, failure);
      EXPECT_EQ(Narrow(result.messages), "not saved: the disk is full\n");
      EXPECT_EQ(ModeSets(), 0);
    }
  }
}

TEST_F(TuningCommandsTest, NoAdapterAndAMissingKeyAreReported) {
  TuningCommands commands;
  commands.query = true;
  TuningCommandsResult result = RunTuningCommands(commands, u"");
  EXPECT_EQ(result.status, sysexits::kUnavailable);
  EXPECT_EQ(Narrow(result.messages), "No Adapter Found\n");
  EXPECT_TRUE(result.output.empty());

  // An adapter's key that is not there.
  result = RunTuningCommands(
      commands, u"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\System\\ControlSet001\\Services\\gone\\Device0");
  EXPECT_EQ(result.status, sysexits::kUnavailable);
  EXPECT_NE(Narrow(result.messages).find("the adapter's key cannot be opened"), std::string::npos);
}

// A reset deletes the setting's values, so that the driver takes its own defaults: every tuning
// value of the adapter, or those of the settings named; nothing else, no key; read back absent,
// one refresh; nothing at all where one is refused.
TEST_F(TuningCommandsTest, AResetDeletesTheTuningValuesAndNothingElse) {
  const auto seed = [this] {
    registry().Clear();
    registry().CreateKey(kDriverKey);
    SetAdapter(u"QEL 700 M940 Quad", u"QEL 700");
    registry().SetString(kDriverKey, u"QLDRV_LOD_BIAS", u"-3");
    registry().SetString(kDriverKey, u"QLDRV_SLI_AA_CONFIGURATION", u"7");
    registry().SetString(kDriverKey, u"QLDRV_SWAPINTERVAL", u"1");
    registry().SetString(kDriverKey, u"SomethingElse", u"kept");
    registry().SetValue(kCurrentKey, u"DisableDX8", platform::kRegBinary, Raw(1));
    registry().SetValue(kCurrentKey, u"DisableDX9", platform::kRegDword, Raw(0));
    registry().SetValue(kCurrentKey, u"MaxTileBuffers", platform::kRegBinary, Raw(3));
    registry().SetValue(kCurrentKey, u"CmdFifoSize", platform::kRegBinary, Raw(0xC0000));
    registry().SetString(kCurrentKey, u"InstalledDisplayDrivers", u"qel");
  };
  struct Row {
    const char* what;
    std::vector<std::u16string> resets;
    std::vector<std::u16string> sets;
    int status;
    std::vector<std::u16string> gone;  // value names deleted; empty with a status: nothing changes
    const char* said;
  };
  const std::vector<std::u16string> every = {u"QLDRV_LOD_BIAS",     u"QLDRV_SLI_AA_CONFIGURATION",
                                             u"QLDRV_SWAPINTERVAL", u"DisableDX8",
                                             u"DisableDX9",         u"MaxTileBuffers",
                                             u"CmdFifoSize"};
  const Row rows[] = {
      {"every setting", {u""}, {}, 0, every, ""},
      {"one, in any case", {u"lodbias"}, {}, 0, {u"QLDRV_LOD_BIAS"}, ""},
      {"both values of one", {u"DDIVersion"}, {}, 0, {u"DisableDX8", u"DisableDX9"}, ""},
      {"the same twice, and every one", {u"VSync", u"VSync", u""}, {}, 0, every, ""},
      {"one and a set of another", {u"TripleBuffer"}, {u"LODBias=0.50"}, 0, {u"MaxTileBuffers"}, ""},
      {"reset and set of one",
       {u"LODBias"},
       {u"LODBias=0.50"},
       sysexits::kUsage,
       {},
       "reset LODBias: LODBias is also given 0.50 (set LODBias=0.50); give it one value\n"},
      {"every one and a set",
       {u""},
       {u"VSync=Vsync On"},
       sysexits::kUsage,
       {},
       "reset: VSync is also given Vsync On (set VSync=Vsync On); give it one value\n"},
      {"no such setting", {u"LODBais"}, {}, sysexits::kUsage, {}, "reset LODBais: no setting \"LODBais\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    seed();
    const auto before = Tuning();
    const std::vector<std::u16string> keysBefore = registry().KeyPaths();
    TuningCommands commands;
    commands.resets = row.resets;
    commands.sets = row.sets;
    const TuningCommandsResult result = Run(commands);
    EXPECT_EQ(result.status, row.status) << Narrow(result.messages);
    EXPECT_EQ(Narrow(result.messages).substr(0, std::string(row.said).size()), row.said);
    EXPECT_EQ(registry().KeyPaths(), keysBefore) << "a key made or deleted";
    auto expected = before;
    std::erase_if(expected, [&](const auto& value) {
      const std::u16string& path = std::get<0>(value);
      return std::any_of(row.gone.begin(), row.gone.end(),
                         [&](const std::u16string& name) { return path.ends_with(u"\\" + name); });
    });
    auto after = Tuning();
    if (!row.sets.empty() && row.status == 0)
      std::erase_if(after,
                    [](const auto& value) { return std::get<0>(value).ends_with(u"\\QLDRV_LOD_BIAS"); });
    if (!row.sets.empty() && row.status == 0)
      std::erase_if(expected,
                    [](const auto& value) { return std::get<0>(value).ends_with(u"\\QLDRV_LOD_BIAS"); });
    EXPECT_EQ(after, expected);
    EXPECT_EQ(ModeSets(), row.status == 0 ? 1 : 0);
  }
  // Values already absent: nothing to write, no refresh.
  seed();
  TuningCommands again;
  again.resets = {u""};
  ASSERT_EQ(Run(again).status, 0);
  EXPECT_EQ(Run(again).status, 0);
  EXPECT_EQ(ModeSets(), 0);
  EXPECT_EQ(WriteOpens(), 0);
  // Refused write access: nothing deleted.
  seed();
  const auto before = Tuning();
  registry().DenyWrite(kDriverKey);
  EXPECT_EQ(Run(again).status, sysexits::kNoPermission);
  EXPECT_EQ(Tuning(), before);
}

// A profile's "NAME"=- deletes that value, as a registry editor's does; a value it leaves out is
// written as the entry its other values name.
TEST_F(TuningCommandsTest, AProfileThatDeletesAValueDeletesIt) {
  registry().SetString(kDriverKey, u"QLDRV_LOD_BIAS", u"-3");
  registry().SetValue(kCurrentKey, u"DisableDX8", platform::kRegBinary, Raw(1));
  registry().SetValue(kCurrentKey, u"DisableDX9", platform::kRegBinary, Raw(1));
  registry().SetValue(kCurrentKey, u"MaxTileBuffers", platform::kRegBinary, Raw(3));
  const std::string head = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\" + Narrow(kCurrentKey) + "]\n";
  const TuningCommandsResult result =
      Import(head + "\"DisableDX9\"=-\n\"MaxTileBuffers\"=-\n\n[HKEY_LOCAL_MACHINE\\" + Narrow(kDriverKey) +
             "]\n\"QLDRV_LOD_BIAS\"=-\n");
  EXPECT_EQ(result.status, 0) << Narrow(result.messages);
  EXPECT_FALSE(registry().Value(kDriverKey, u"QLDRV_LOD_BIAS"));
  EXPECT_FALSE(registry().Value(kCurrentKey, u"MaxTileBuffers"));
  EXPECT_FALSE(registry().Value(kCurrentKey, u"DisableDX9"));
  // DisableDX8 was left out: the entry DisableDX9's deletion reads as, "9", writes it as 0.
  EXPECT_EQ(registry().Value(kCurrentKey, u"DisableDX8")->data, Raw(0));
  EXPECT_EQ(ModeSets(), 1);
  // A set of a setting the profile deletes is two values for it.
  TuningCommands commands;
  const std::filesystem::path path = m_folder / "profile.reg";
  commands.importPath = path.u16string();
  commands.sets = {u"LODBias=0.50"};
  const TuningCommandsResult conflict = Run(commands);
  EXPECT_EQ(conflict.status, sysexits::kUsage);
  EXPECT_NE(Narrow(conflict.messages).find("LODBias is also given a reset"), std::string::npos)
      << Narrow(conflict.messages);
}

// The hand-off may come from whoever made a shortcut: the scripting switches write through no key
// but an adapter's, of either shape, and read nothing through another.
TEST_F(TuningCommandsTest, AHandOffThatNamesNoAdapterKeyIsRefused) {
  registry().CreateKey(u"System\\CurrentControlSet\\Services\\SomeService");
  const char16_t* const refused[] = {
      u"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\System\\CurrentControlSet\\Services\\SomeService",
      u"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\System\\ControlSet001\\Nothing",
      u"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\Software\\System\\CurrentControlSet\\Services\\x\\Device0",
      u"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\System\\CurrentControlSet\\Control\\Video\\{6C9A3E51-0D4B-"
      u"4E0C-9F1A-"
      u"2B7D5C3E8A10}\\0000\\..\\..\\..\\..\\Services\\SomeService",
      u"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\System\\CurrentControlSet\\Control\\Video\\{not a guid}\\0000",
      u"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\System\\CurrentControlSet\\Services\\..\\Device0",
      u"\\\\.\\DISPLAY1",
  };
  for (const char16_t* handOff : refused) {
    SCOPED_TRACE(Narrow(handOff));
    TuningCommands commands;
    commands.sets = {u"TripleBuffer=off"};
    const TuningCommandsResult result = RunTuningCommands(commands, handOff);
    EXPECT_EQ(result.status, sysexits::kUsage);
    EXPECT_NE(Narrow(result.messages).find("not a display adapter's hand-off"), std::string::npos)
        << Narrow(result.messages);
    EXPECT_TRUE(registry().Values(u"System\\CurrentControlSet\\Services\\SomeService").empty());
  }
  // Both shapes, in any case, as discovery reports them or from System on.
  for (const std::u16string& key :
       std::vector<std::u16string>{u"\\Registry\\Machine\\" + kDeviceKey, kDeviceKey,
                                   u"\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet001\\services\\qel\\device12"}) {
    SCOPED_TRACE(Narrow(key));
    EXPECT_TRUE(HandOffNamesAdapterKey(u"\\\\.\\DISPLAY1&&&" + key));
  }
}

TEST_F(TuningCommandsTest, ExportThenChangeThenImportRestores) {
  registry().SetString(kDriverKey, u"QLDRV_LOD_BIAS", u"-3");
  registry().SetString(kDriverKey, u"QLDRV_SLI_AA_CONFIGURATION", u"7");
  registry().SetValue(kCurrentKey, u"MaxTileBuffers", platform::kRegBinary, Raw(3));
  const auto before = Tuning();
  const std::filesystem::path profile = m_folder / "saved.reg";
  TuningCommands exportCommands;
  exportCommands.exportPath = profile.u16string();
  ASSERT_EQ(Run(exportCommands).status, 0);

  ASSERT_EQ(Set({u"LODBias=2.00", u"AntiAliasing=Fastest", u"TripleBuffer=on", u"VSync=Vsync On",
                 u"FilterQuality=High"})
                .status,
            0);
  TuningCommands importCommands;
  importCommands.importPath = profile.u16string();
  const TuningCommandsResult result = Run(importCommands);
  EXPECT_EQ(result.status, 0) << Narrow(result.messages);
  EXPECT_TRUE(result.messages.empty()) << Narrow(result.messages);
  EXPECT_EQ(ModeSets(), 1);
  // What was absent is absent again: the profile's "NAME"=- deletes the value, as a registry
  // editor's does.
  EXPECT_EQ(Tuning(), before);
  EXPECT_FALSE(registry().Value(kDriverKey, u"QLDRV_OVERLAYMODE"));
}

// A profile from another machine: another GUID, another control set, another adapter index, a
// regedit-style export with values that are no tuning values.
constexpr char kForeignProfile[] =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control\\Video\\{0AAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"
    "\\0001]\r\n"
    "\"HardwareInformation.ChipType\"=hex:51,00,45,00,4c,00,20,00,37,00,30,00,30,00,00,00\r\n"
    "\"MaxTileBuffers\"=dword:00000003\r\n"
    "\"CmdFifoSize\"=hex:00,00,10,00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control\\Video\\{0aaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee}"
    "\\0001\\D3D]\r\n"
    "\"QLDRV_LOD_BIAS\"=\"4\"\r\n"
    "@=\"\"\r\n"
    "\"QLDRV_SWAPINTERVAL\"=\"0\"\r\n";

TEST_F(TuningCommandsTest, AProfileFromAnotherMachineAppliesToThisAdapter) {
  const TuningCommandsResult result = Import(kForeignProfile);
  EXPECT_EQ(result.status, 0) << Narrow(result.messages);
  const std::string messages = Narrow(result.messages);
  EXPECT_NE(messages.find("profile.reg:4: skipped HardwareInformation.ChipType: not a tuning value"),
            std::string::npos)
      << messages;
  EXPECT_NE(messages.find("profile.reg:10: skipped @: not a tuning value"), std::string::npos) << messages;
  const std::string output = Narrow(Query());
  for (const char* line :
       {"TripleBuffer=off\n", "CmdFifoSize=1024K\n", "LODBias=1.00\n", "VSync=Vsync Off\n"})
    EXPECT_NE(output.find(line), std::string::npos) << line << output;
  // Written as the dialogs write it, not as the file had it.
  EXPECT_EQ(registry().Value(kCurrentKey, u"MaxTileBuffers")->type, platform::kRegBinary);
}

TEST_F(TuningCommandsTest, ABadProfileWritesNothing) {
  const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
  const std::string adapterKey =
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Video\\{0AAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"
      "\\0000";
  const std::string good = "\"QLDRV_LOD_BIAS\"=\"4\"\r\n";
  const struct {
    std::string text;
    int status;
    const char* says;
  } cases[] = {
      {header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n", sysexits::kDataError,
       "profile.reg: nothing for this board"},
      {header + adapterKey + "\\D3D\\More]\r\n" + good, sysexits::kDataError, "nothing for this board"},
      {header + adapterKey + "\\D3D]\r\n" + good + "[-" + adapterKey.substr(1) + "]\r\n",
       sysexits::kDataError, ":5: a profile removes no keys"},
      {header + adapterKey + "\\D3D]\r\n" + good + "\"QLDRV_OVERLAYMODE\"=dword:00000002\r\n",
       sysexits::kDataError, ":5: QLDRV_OVERLAYMODE: the wrong type"},
      {header + adapterKey + "]\r\n\"CmdFifoSize\"=\"524288\"\r\n", sysexits::kDataError,
       ":4: CmdFifoSize: the wrong type"},
      {header + adapterKey + "]\r\n\"CmdFifoSize\"=hex:00,00,08,00,00\r\n", sysexits::kDataError,
       "the wrong size"},
      {header + adapterKey + "\\D3D]\r\n\"QLDRV_LOD_BIAS\"=\"+4\"\r\n", sysexits::kDataError,
       ":4: QLDRV_LOD_BIAS: not a decimal number as the dialogs write one: \"+4\""},
      {header + adapterKey + "\\D3D]\r\n\"QLDRV_LOD_BIAS\"=\"17\"\r\n", sysexits::kDataError,
       ":4: LODBias: no entry of its list writes QLDRV_LOD_BIAS=17"},
      {header + adapterKey + "\\D3D]\r\n\"QLDRV_SWAPINTERVAL\"=\"-1\"\r\n", sysexits::kDataError,
       "VSync: no entry of its list writes QLDRV_SWAPINTERVAL=-1"},
      {header + adapterKey + "]\r\n\"DisableDX8\"=hex:01,00,00,00\r\n\"DisableDX9\"=hex:01,00,00,00\r\n",
       sysexits::kDataError, ":5: DDIVersion: no entry of its list writes DisableDX8=1, DisableDX9=1"},
      {header + adapterKey + "\\D3D]\r\n\"QLDRV_SLI_AA_CONFIGURATION\"=\"3\"\r\n", sysexits::kDataError,
       "AntiAliasing: no entry of its list writes"},  // 3 is a two-chip number: this board has four
      {header + adapterKey + "\\D3D]\r\n\"QLDRV_LOD_BIAS\"=\"4\r\n", sysexits::kDataError,
       ":4: cannot read the value's data"},
      {"[nothing]\r\n", sysexits::kDataError, ":1: not a registry file"},
      {header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\"QLDRV_LOD_BIAS\"=\"4\"\r\n", sysexits::kDataError,
       "profile.reg: nothing for this board"},
      // Another chip's adapter is not the board's, whatever its values are called.
      {header + adapterKey +
           "]\r\n\"HardwareInformation.ChipType\"=\"VGA\"\r\n\"CmdFifoSize\"=hex:00,00,08,00\r\n",
       sysexits::kDataError, "] is an adapter of another chip (VGA)"},
      {header + adapterKey + "\\D3D]\r\n" + good + adapterKey.substr(0, adapterKey.size() - 1) + "1]\r\n" +
           "\"DisableDX8\"=hex:00,00,00,00\r\n",
       sysexits::kDataError,
       "profile.reg: 2 of the board's adapters: "
       "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Video\\"
       "{0AAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}\\0000] (line 3) and "
       "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\"
       "Control\\Video\\{0AAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}\\0001] (line 5); a profile holds one"},
      // Two control sets and nothing to say which is current.
      {header + "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services\\qel\\Device0\\D3D]\r\n" + good +
           "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Services\\qel\\Device0\\D3D]\r\n" + good,
       sysexits::kDataError,
       "2 of the board's adapters: [HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services"},
  };
  registry().SetString(kDriverKey, u"QLDRV_LOD_BIAS", u"2");
  const auto before = Tuning();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const TuningCommandsResult result = Import(c.text);
    EXPECT_EQ(result.status, c.status);
    EXPECT_NE(Narrow(result.messages).find(c.says), std::string::npos) << Narrow(result.messages);
    EXPECT_EQ(WriteOpens(), 0);
    EXPECT_EQ(Tuning(), before);
  }

  TuningCommands commands;
  commands.importPath = (m_folder / "missing.reg").u16string();
  const TuningCommandsResult result = Run(commands);
  EXPECT_EQ(result.status, sysexits::kNoInput);
  EXPECT_NE(Narrow(result.messages).find("missing.reg: no such file"), std::string::npos);

  SetAdapter(u"Other board", u"Other chip");
  EXPECT_EQ(Import(header + adapterKey + "\\D3D]\r\n\"QLDRV_GUARDBAND_CLIPPING\"=\"1\"\r\n").status,
            sysexits::kDataError);
  EXPECT_EQ(Tuning(), before);
}

// Exports of a registry editor, of the adapter's parent key or a larger tree: the board's adapter
// is found among the others and its tuning values are imported; every other key is skipped
// with one note.
TEST_F(TuningCommandsTest, ALargerTreeImportsItsOneAdapterOfTheBoard) {
  const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
  const std::string system = "[HKEY_LOCAL_MACHINE\\SYSTEM\\";
  const std::string video = "\\Control\\Video\\{0AAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
  const std::string board =
      "\"HardwareInformation.ChipType\"=hex:51,00,45,00,4c,00,20,00,37,00,30,00,30,00,00,00\r\n";
  const auto lodBias = [](const char* number) {
    return std::string("\"QLDRV_LOD_BIAS\"=\"") + number + "\"\r\n";
  };
  const struct {
    const char* what;
    std::string text;
    const char* query;               // the LOD bias it sets
    std::vector<std::string> notes;  // among the notes
    std::size_t noteCount;
  } cases[] = {
      {"the parent key, with another subkey and the adapter's other values",
       header + system + "CurrentControlSet" + video + "]\r\n\r\n" + system + "CurrentControlSet" + video +
           "\\0000]\r\n" + board + "\"InstalledDisplayDrivers\"=\"qel\"\r\n" + system + "CurrentControlSet" +
           video + "\\0000\\D3D]\r\n" + lodBias("4") + system + "CurrentControlSet" + video +
           "\\0000\\Settings]\r\n\"Mode\"=\"x\"\r\n" + system + "CurrentControlSet" + video + "\\Video]\r\n",
       "LODBias=1.00",
       {"profile.reg:3: skipped [HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet" + video +
            "]: not a tuning key",
        "profile.reg:7: skipped InstalledDisplayDrivers: not a tuning value", "profile.reg:10: skipped [",
        "\\0000\\Settings]: not a tuning key", "\\Video]: not a tuning key"},
       5},
      {"a Video key with another chip's adapter, whose value names happen to be the board's",
       header + system + "ControlSet001" + video + "\\0000]\r\n\"HardwareInformation.ChipType\"=\"VGA\"\r\n" +
           "\"CmdFifoSize\"=hex:00,00,08,00\r\n" + system + "ControlSet001" + video + "\\0001]\r\n" + board +
           system + "ControlSet001" + video + "\\0001\\D3D]\r\n" + lodBias("-8"),
       "LODBias=-2.0",
       {"profile.reg:3: skipped [", "\\0000]: an adapter of another chip (VGA)"},
       2},
      {"the whole SYSTEM key: the current control set's copy",
       header + system + "ControlSet001" + video + "\\0000\\D3D]\r\n" + lodBias("-4") + system +
           "CurrentControlSet" + video + "\\0000\\D3D]\r\n" + lodBias("8") + system + "Select]\r\n" +
           "\"Current\"=dword:00000001\r\n",
       "LODBias=2.00",
       {"profile.reg:3: skipped [", "]: not the current control set",
        "profile.reg:7: skipped [HKEY_LOCAL_MACHINE\\SYSTEM\\Select]: not a tuning key"},
       2},
      {"the whole SYSTEM key of an offline hive: Select names the current control set",
       header + system + "ControlSet001\\Services\\qel\\Device0\\D3D]\r\n" + lodBias("-4") + system +
           "ControlSet002\\Services\\qel\\Device0\\D3D]\r\n" + lodBias("-2") + system + "Select]\r\n" +
           "\"Current\"=dword:00000002\r\n",
       "LODBias=-0.50",
       {"ControlSet001\\Services\\qel\\Device0\\D3D]: not the current control set"},
       2},
      {"Windows 2000's key beside the Video key of the same adapter",
       header + system + "CurrentControlSet\\Services\\qel\\Device0]\r\n" + board + system +
           "CurrentControlSet\\Services\\qel\\Device0\\D3D]\r\n" + lodBias("-4") + system +
           "CurrentControlSet" + video + "\\0000]\r\n" + board + system + "CurrentControlSet" + video +
           "\\0000\\D3D]\r\n" + lodBias("6"),
       "LODBias=1.50",
       {"profile.reg:5: skipped [", "\\Device0\\D3D]: Windows 2000's key of an adapter"},
       3},
      {"the adapter's key and its D3D key spelt in other cases: one adapter",
       header +
           "[hkey_local_machine\\system\\currentcontrolset\\control\\video\\{0aaaaaaa-bbbb-cccc-dddd-"
           "eeeeeeeeeeee}\\0000]\r\n" +
           board + system + "CurrentControlSet" + video + "\\0000\\D3D]\r\n" + lodBias("2"),
       "LODBias=0.50",
       {"profile.reg:4: skipped HardwareInformation.ChipType: not a tuning value"},
       1},
      {"Windows 2000's key alone",
       header + system + "ControlSet001\\Services\\qel700\\Device12\\D3D]\r\n" + lodBias("-6"),
       "LODBias=-1.50",
       {},
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TuningCommandsResult result = Import(c.text);
    EXPECT_EQ(result.status, 0) << Narrow(result.messages);
    const std::string messages = Narrow(result.messages);
    for (const std::string& note : c.notes)
      EXPECT_NE(messages.find(note), std::string::npos) << note << "\n" << messages;
    EXPECT_EQ(static_cast<std::size_t>(std::ranges::count(messages, '\n')), c.noteCount) << messages;
    EXPECT_NE(Narrow(Query()).find(std::string(c.query) + "\n"), std::string::npos) << c.query;
  }
}

TEST_F(TuningCommandsTest, AProfileWithNothingInItSaysSoAndWritesNothing) {
  const auto before = Tuning();
  for (const char* text : {"Windows Registry Editor Version 5.00\r\n", "REGEDIT4\n\n; only a comment\n"}) {
    const TuningCommandsResult result = Import(text);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(Narrow(result.messages), (m_folder / "profile.reg").string() + ": nothing to import\n");
    EXPECT_EQ(WriteOpens(), 0);
    EXPECT_EQ(Tuning(), before);
  }
}

TEST_F(TuningCommandsTest, AProfileLargerThanTheLimitIsRefusedUnread) {
  const std::filesystem::path path = m_folder / "large.reg";
  std::ofstream(path, std::ios::binary) << "Windows Registry Editor Version 5.00\r\n";
  std::filesystem::resize_file(path, (std::uintmax_t{16} << 20) + 1);
  TuningCommands commands;
  commands.importPath = path.u16string();
  const TuningCommandsResult result = Run(commands);
  EXPECT_EQ(result.status, sysexits::kDataError);
  EXPECT_EQ(Narrow(result.messages), path.string() + ": larger than 16 MiB, the most a profile may hold\n");
}

// One setting given two values is refused, naming both, whichever comes first; the same value
// twice, however it is spelt, is one value.
TEST_F(TuningCommandsTest, TwoValuesForOneSettingAreRefused) {
  SetAdapter(u"QEL 700 M120", u"QEL 700");  // one chip: its list spells "2 Sample Anit-aliasing"
  registry().SetString(kDriverKey, u"QLDRV_LOD_BIAS", u"0");
  const std::string profile =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Video\\{0AAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"
      "\\0000\\D3D]\r\n\"QLDRV_LOD_BIAS\"=\"2\"\r\n";
  const struct {
    std::vector<std::u16string> sets;
    bool withProfile;  // which sets LODBias to 0.50
    const char* says;  // empty: accepted
  } cases[] = {
      {{u"LODBias=0.50", u"LODBias=1.00"},
       false,
       "set LODBias=1.00: LODBias is also given 0.50 (set LODBias=0.50); give it one value"},
      {{u"LODBias=0.50", u"lodbias=0.50", u"TripleBuffer=on", u"TripleBuffer=ON"}, false, ""},
      {{u"AntiAliasing=2 Sample Anti-Aliasing", u"AntiAliasing=2 sample anit-aliasing"}, false, ""},
      {{u"AntiAliasing=Fastest", u"AntiAliasing=2 Sample Anti-Aliasing"},
       false,
       "AntiAliasing is also given Fastest"},
      {{u"LODBias=1.00"}, true, "set LODBias=1.00: LODBias is also given 0.50 ("},
      {{u"LODBias=0.50"}, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.sets.back()));
    const auto before = Tuning();
    TuningCommands commands;
    commands.sets = c.sets;
    if (c.withProfile) {
      std::ofstream(m_folder / "profile.reg", std::ios::binary) << profile;
      commands.importPath = (m_folder / "profile.reg").u16string();
    }
    const TuningCommandsResult result = Run(commands);
    if (*c.says == '\0') {
      EXPECT_EQ(result.status, 0) << Narrow(result.messages);
      continue;
    }
    EXPECT_EQ(result.status, sysexits::kUsage);
    EXPECT_NE(Narrow(result.messages).find(c.says), std::string::npos) << Narrow(result.messages);
    if (c.withProfile) {
      EXPECT_NE(Narrow(result.messages).find("profile.reg:4)"), std::string::npos);
    }
    EXPECT_EQ(Tuning(), before);
  }
}

// The one-chip list misspells an entry: a script may spell it right, in any case; the query
// keeps the dialog's text.
TEST_F(TuningCommandsTest, TheCorrectedSpellingOfAMisspeltEntryIsTakenToo) {
  SetAdapter(u"QEL 700 M120", u"QEL 700");
  for (const char16_t* value :
       {u"2 Sample Anti-Aliasing", u"2 SAMPLE ANTI-ALIASING", u"2 Sample Anit-aliasing"}) {
    SCOPED_TRACE(Narrow(value));
    ASSERT_EQ(Set({u"AntiAliasing=Fastest"}).status, 0);
    const TuningCommandsResult result = Set({u"AntiAliasing=" + std::u16string(value)});
    EXPECT_EQ(result.status, 0) << Narrow(result.messages);
    EXPECT_EQ(Narrow(Query()).rfind("AntiAliasing=2 Sample Anit-aliasing\n", 0), 0u);
  }
}

// A setting added at the end of the table is one that every action knows: --set and --reset name
// it, a profile's value of it is imported, the query shows it and the export writes it.
TEST_F(TuningCommandsTest, ASettingAddedAtTheEndOfTheTableIsKnownToEveryAction) {
  static constexpr std::u16string_view kFogTexts[] = {u"Off", u"Low", u"High"};
  std::vector<TuningRow> rows(GetTuningTable().rows.begin(), GetTuningTable().rows.end());
  rows.push_back(
      {.name = u"FogQuality", .values = {u"QLDRV_FOG"}, .list = TuningList::kFixed, .texts = kFogTexts});
  TuningTable table{rows};
  const base::Installed<SetTuningTable> installed(table);
  const auto fog = [this] {
    const auto value = registry().Value(kDriverKey, u"QLDRV_FOG");
    return value ? Narrow(base::TextFromUtf16Bytes(value->data.data(), value->data.size())) : "-";
  };

  TuningCommandsResult result = Set({u"fogquality=HIGH"});
  EXPECT_EQ(result.status, 0) << Narrow(result.messages);
  EXPECT_EQ(fog(), "2");
  EXPECT_NE(Narrow(Query()).find("\nFogQuality=High\n"), std::string::npos);

  TuningCommands exportCommands;
  exportCommands.exportPath = u"-";
  const std::string profile = Narrow(Run(exportCommands).output);
  EXPECT_NE(profile.find("\n\"QLDRV_FOG\"=\"2\"\n"), std::string::npos) << profile;

  result = Set({u"FogQuality=Low"});
  EXPECT_EQ(result.status, 0) << Narrow(result.messages);
  EXPECT_EQ(fog(), "1");
  result = Import(profile);
  EXPECT_EQ(result.status, 0) << Narrow(result.messages);
  EXPECT_EQ(fog(), "2");

  TuningCommands reset;
  reset.resets = {u"FogQuality"};
  EXPECT_EQ(Run(reset).status, 0);
  EXPECT_EQ(fog(), "-");
}

TEST_F(TuningCommandsTest, ExportToStandardOutputIsTheProfileAsText) {
  registry().SetString(kDriverKey, u"QLDRV_LOD_BIAS", u"-3");
  TuningCommands commands;
  commands.exportPath = u"-";
  const TuningCommandsResult result = Run(commands);
  EXPECT_EQ(result.status, 0) << Narrow(result.messages);
  const std::string text = Narrow(result.output);
  EXPECT_EQ(
      text.rfind("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\",
                 0),
      0u)
      << text;
  EXPECT_NE(text.find("\\D3D]\n\"QLDRV_SLI_AA_CONFIGURATION\"=-\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n\"QLDRV_LOD_BIAS\"=\"-3\"\n"), std::string::npos) << text;
  // Read back, it is this adapter's tuning.
  std::ofstream(m_folder / "profile.reg", std::ios::binary) << text;
  const auto before = Tuning();
  EXPECT_EQ(Import(text).status, 0);
  EXPECT_EQ(WriteOpens(), 0);
  EXPECT_EQ(Tuning(), before);

  // The query would share standard output with the profile.
  commands.query = true;
  const TuningCommandsResult both = Run(commands);
  EXPECT_EQ(both.status, sysexits::kUsage);
  EXPECT_TRUE(both.output.empty());
}

}  // namespace
