// The per-game launcher on the in-memory registry, with a stand-in record store and a stand-in
// game: the record made before any value changes, what the game sees, exactly the old values
// (absent ones absent) afterwards, the game's own status, the refreshes; every refusal before
// the start changing nothing; a record left by a launcher that is gone restored only where its
// values still hold what was written; the record's text; the command line as typed.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "app/GameLauncher.h"
#include "app/TuningCommandLineInfo.h"
#include "base/Service.h"
#include "base/Text.h"
#include "platform/Launcher.h"
#include "tests/support/TestAdapter.h"
#include "tests/support/TestServices.h"

namespace {

using testadapter::kCurrentKey;
using testadapter::kDeviceKey;
using testadapter::kDriverKey;
using testadapter::kHandOff;
const std::u16string kGame = u"\"C:\\Games\\UT\\System\\UnrealTournament.exe\" -nohomedir  \"a  b\"";

using Values = std::vector<std::tuple<std::u16string, std::uint32_t, std::vector<std::uint8_t>>>;

std::string Narrow(const std::u16string& text) { return base::Utf8FromUtf16(text); }

std::string Said(const std::vector<LauncherMessage>& messages) {
  std::string said;
  for (const LauncherMessage& message : messages)
    said += (message.box ? "[box] " : "") + Narrow(message.text) + "\n";
  return said;
}

// A record store in memory. A record is "held" by another launcher, or held here once found
// or created.
class MemoryRecordStore final : public platform::RecordStore {
 public:
  std::u16string Location() override { return u"C:\\AppData\\Configurator\\restore-record.txt"; }
  long Find(Found* found, std::vector<std::uint8_t>* bytes, std::u16string*) override {
    *found = !record ? Found::kNone : heldByOther ? Found::kHeld : Found::kOpened;
    if (*found == Found::kOpened) {
      *bytes = *record;
      heldHere = true;
    }
    return platform::kSuccess;
  }
  long Create(std::span<const std::uint8_t> bytes, bool* held, std::u16string* why) override {
    if (onCreate) onCreate();
    *held = appearsOnCreate;
    if (appearsOnCreate) return platform::kSuccess;
    if (createFails) {
      *why = u"the disk is full";
      return platform::kDiskFull;
    }
    record.emplace(bytes.begin(), bytes.end());
    created = *record;
    heldHere = true;
    return platform::kSuccess;
  }
  long Remove(std::u16string*) override {
    record.reset();
    heldHere = false;
    return platform::kSuccess;
  }
  void Release() override { heldHere = false; }

  std::optional<std::vector<std::uint8_t>> record;
  std::vector<std::uint8_t> created;  // the last record made
  bool heldByOther = false;
  bool appearsOnCreate = false;  // another launcher makes its record meanwhile
  bool createFails = false;
  bool heldHere = false;
  std::function<void()> onCreate;
};

// A game: what it does while it runs, and its exit status.
class StandInGame final : public platform::ProcessStarter {
 public:
  long Start(const std::u16string& line, std::u16string* why) override {
    commandLine = line;
    if (startStatus != platform::kSuccess) *why = u"no such file";
    started = startStatus == platform::kSuccess;
    return startStatus;
  }
  long Wait(std::uint32_t* status, std::u16string* note, std::u16string*) override {
    if (runs) runs();
    *status = exitStatus;
    *note = waitNote;
    return platform::kSuccess;
  }

  std::u16string commandLine;
  bool started = false;
  long startStatus = platform::kSuccess;
  std::uint32_t exitStatus = 0;
  std::u16string waitNote;
  std::function<void()> runs;
};

class GameLauncherTest : public ::testing::Test {
 public:
  void SetUp() override {
    registry().CreateKey(kDriverKey);
    registry().SetString(kDeviceKey, u"HardwareInformation.AdapterString", u"QEL 700 M940 Quad");
    registry().SetString(kDeviceKey, u"HardwareInformation.ChipType", u"QEL 700");
    registry().SetString(kDriverKey, u"QLDRV_LOD_BIAS", u"1");
    registry().SetValue(kCurrentKey, u"DisableDX8", platform::kRegDword, {1, 0, 0, 0});
  }

  platform::MemoryRegistry& registry() { return m_services.registry; }

  Values Tuning() const {
    Values values;
    for (const auto& path : {kCurrentKey, kDriverKey})
      for (const platform::RegistryValue& value : m_services.registry.Values(path))
        values.emplace_back(path + u"\\" + value.name, value.type, value.data);
    std::sort(values.begin(), values.end());
    return values;
  }

  LauncherResult Run(std::vector<std::u16string> sets, const std::u16string& program = kGame) {
    TuningCommands commands;
    commands.sets = std::move(sets);
    m_services.displayMode.ClearCalls();
    LauncherResult result = RunGame(commands, kHandOff, program);
    EXPECT_EQ(registry().OpenHandleCount(), 0);
    EXPECT_FALSE(store.heldHere) << "the record is let go";
    return result;
  }

  std::optional<std::u16string> Text(const std::u16string& key, std::u16string_view name) const {
    const auto value = m_services.registry.Value(key, name);
    if (!value) return std::nullopt;
    return base::TextFromUtf16Bytes(value->data.data(), value->data.size());
  }

  long ModeSets() const {
    return std::ranges::count(m_services.displayMode.CallKinds(),
                              platform::DisplayModeCall::Kind::SetDisplayMode);
  }

  TestServices m_services;
  MemoryRecordStore store;
  StandInGame game;

 private:
  base::Installed<platform::SetRecordStore> m_store{store};
  base::Installed<platform::SetProcessStarter> m_game{game};
};

TEST_F(GameLauncherTest, AppliesRecordsFirstStartsWaitsAndPutsBackExactlyWhatWasThere) {
  const Values before = Tuning();
  std::optional<Values> atRecord;
  store.onCreate = [&] { atRecord = Tuning(); };
  std::optional<std::u16string> lodBiasSeen;
  std::optional<platform::RegistryValue> dx9Seen;
  long modeSetsBeforeGame = -1;
  game.exitStatus = 3;
  game.runs = [&] {
    lodBiasSeen = Text(kDriverKey, u"QLDRV_LOD_BIAS");
    dx9Seen = m_services.registry.Value(kCurrentKey, u"DisableDX9");
    modeSetsBeforeGame = ModeSets();
    EXPECT_TRUE(store.record.has_value()) << "the record stays while the game runs";
  };

  const LauncherResult result = Run({u"LODBias=0.50", u"DDIVersion=9"});

  EXPECT_EQ(result.status, 3) << Said(result.messages);
  EXPECT_TRUE(result.started);
  EXPECT_EQ(game.commandLine, kGame) << "passed on as typed";
  ASSERT_TRUE(atRecord);
  EXPECT_EQ(*atRecord, before) << "the record is made before any value changes";
  EXPECT_EQ(lodBiasSeen, u"2");
  ASSERT_TRUE(dx9Seen);
  EXPECT_EQ(dx9Seen->type, platform::kRegBinary);
  EXPECT_EQ(modeSetsBeforeGame, 1);
  EXPECT_EQ(ModeSets(), 2) << "one refresh after applying, one after restoring";
  EXPECT_EQ(Tuning(), before) << "the DWORD stays a DWORD, the absent DisableDX9 is absent again";
  EXPECT_FALSE(store.record) << "the record is deleted";
  EXPECT_EQ(Said(result.messages), "restored the tuning: DDIVersion, LODBias\n");

  RestoreRecord record;
  ASSERT_FALSE(ParseRestoreRecord(store.created, &record).Failed());
  EXPECT_EQ(record.adapterKey, kCurrentKey);
  ASSERT_EQ(record.values.size(), 3u);  // DisableDX8 and DisableDX9, QLDRV_LOD_BIAS
  EXPECT_EQ(record.values[0].name, u"DisableDX8");
  EXPECT_EQ(record.values[0].before, (RegData{platform::kRegDword, {1, 0, 0, 0}}));
  EXPECT_EQ(record.values[0].written, (RegData{platform::kRegBinary, {0, 0, 0, 0}}));
  EXPECT_EQ(record.values[1].name, u"DisableDX9");
  EXPECT_FALSE(record.values[1].before);
}

// A reset for one game: the game sees the driver's defaults (no values), and afterwards exactly
// what was there is back, types included.
TEST_F(GameLauncherTest, AResetForOneGameIsPutBackExactly) {
  registry().SetValue(kCurrentKey, u"MaxTileBuffers", platform::kRegBinary, {3, 0, 0, 0});
  const Values before = Tuning();
  std::optional<Values> seen;
  game.runs = [&] { seen = Tuning(); };
  TuningCommands commands;
  commands.resets = {u""};
  const LauncherResult result = RunGame(commands, kHandOff, kGame);
  EXPECT_EQ(result.status, 0) << Said(result.messages);
  ASSERT_TRUE(seen);
  EXPECT_TRUE(seen->empty()) << "the game saw tuning values";
  EXPECT_EQ(Tuning(), before);
  EXPECT_FALSE(store.record);
  EXPECT_EQ(Said(result.messages), "restored the tuning: DDIVersion, TripleBuffer, LODBias\n");
}

TEST_F(GameLauncherTest, NothingToChangeStillRunsTheGameWithoutARecordOrARefresh) {
  game.exitStatus = 0;
  game.waitNote = u"only the program itself is waited for";
  const LauncherResult result = Run({u"LODBias=0.25"});  // "1" is what it holds
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(Said(result.messages), "only the program itself is waited for\n") << "told once, in no box";
  EXPECT_TRUE(game.started);
  EXPECT_TRUE(store.created.empty());
  EXPECT_EQ(ModeSets(), 0);
}

TEST_F(GameLauncherTest, RefusedBeforeTheStartChangesNothingAndStartsNothing) {
  struct Row {
    const char* what;
    std::vector<std::u16string> sets;
    std::u16string game;
    std::function<void(GameLauncherTest&)> arrange;
    int status;
    const char* said;
  };
  const Row rows[] = {
      {"bad value", {u"LODBias=0.50", u"LODBias=3"}, kGame, nullptr, 64, "LODBias has no entry \"3\""},
      {"no program", {u"LODBias=0.50"}, u"  ", nullptr, 64, "the program to start"},
      {"write access refused",
       {u"LODBias=0.50"},
       kGame,
       [](GameLauncherTest& t) { t.registry().DenyWrite(kDriverKey); },
       77,
       "Administrator"},
      {"record not written",
       {u"LODBias=0.50"},
       kGame,
       [](GameLauncherTest& t) { t.store.createFails = true; },
       73,
       "restore-record.txt: the restore record cannot be written: the disk is full"},
      {"another launcher runs",
       {u"LODBias=0.50"},
       kGame,
       [](GameLauncherTest& t) {
         t.store.record.emplace();
         t.store.heldByOther = true;
       },
       75,
       "another /run is running"},
      {"another launcher starts meanwhile",
       {u"LODBias=0.50"},
       kGame,
       [](GameLauncherTest& t) { t.store.appearsOnCreate = true; },
       75,
       "another /run started meanwhile"},
      {"damaged record left",
       {u"LODBias=0.50"},
       kGame,
       [](GameLauncherTest& t) { t.store.record = std::vector<std::uint8_t>{'x'}; },
       74,
       "is damaged (it is no restore record); it is kept: check the tuning, then delete it\nthe program is "
       "not "
       "started while that record is kept"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    store = {};
    game = {};
    if (row.arrange) row.arrange(*this);
    const std::optional<std::vector<std::uint8_t>> recordBefore = store.record;
    const Values before = Tuning();
    const LauncherResult result = Run(row.sets, row.game);
    EXPECT_EQ(result.status, row.status);
    EXPECT_FALSE(result.started);
    EXPECT_FALSE(game.started);
    EXPECT_EQ(Tuning(), before);
    EXPECT_EQ(store.record, recordBefore) << "a record of another launcher, or a damaged one, is left alone";
    EXPECT_EQ(ModeSets(), 0);
    EXPECT_NE(Said(result.messages).find(row.said), std::string::npos) << Said(result.messages);
    ASSERT_FALSE(result.messages.empty());
    EXPECT_TRUE(result.messages.back().box) << "a failure is shown to the GUI program's user";
    registry().DenyWrite(kDriverKey, false);
  }
}

TEST_F(GameLauncherTest, AProgramThatCannotBeStartedGetsItsValuesBackAndNoInput) {
  const Values before = Tuning();
  game.startStatus = platform::kFileNotFound;
  const LauncherResult result = Run({u"LODBias=0.50"});
  EXPECT_EQ(result.status, 66);
  EXPECT_FALSE(result.started);
  EXPECT_EQ(Tuning(), before);
  EXPECT_FALSE(store.record);
  EXPECT_NE(Said(result.messages).find("cannot start the program: no such file"), std::string::npos);
}

TEST_F(GameLauncherTest, AfterTheGameASettingTheUserChangedIsKeptAndAFailedRestoreIsTold) {
  struct Row {
    const char* what;
    std::uint32_t gameStatus;
    bool denyRestore;
    int status;
  };
  const Row rows[] = {
      {"restored; the user's change kept", 0, false, 0},
      {"restore refused, the game succeeded", 0, true, 74},
      {"restore refused, the game failed", 5, true, 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    store = {};
    game = {};
    registry().DenyWrite(kCurrentKey, false);
    registry().SetString(kDriverKey, u"QLDRV_LOD_BIAS", u"1");
    registry().SetValue(kCurrentKey, u"DisableDX8", platform::kRegDword, {1, 0, 0, 0});
    registry().RemoveValue(kCurrentKey, u"DisableDX9");
    game.exitStatus = row.gameStatus;
    game.runs = [&] {
      registry().SetString(kDriverKey, u"QLDRV_LOD_BIAS", u"-1");  // the user's own change
      registry().DenyWrite(kCurrentKey, row.denyRestore);
    };
    const LauncherResult result = Run({u"LODBias=0.50", u"DDIVersion=9"});
    EXPECT_EQ(result.status, row.status) << Said(result.messages);
    EXPECT_EQ(Text(kDriverKey, u"QLDRV_LOD_BIAS"), u"-1");
    const std::string said = Said(result.messages);
    EXPECT_NE(said.find("kept LODBias as set now: changed since the tuning set it"), std::string::npos)
        << said;
    if (row.denyRestore) {
      EXPECT_TRUE(store.record) << "kept for the next start";
      EXPECT_NE(said.find("[box] DDIVersion: " + Narrow(kCurrentKey) + " cannot be opened for writing"),
                std::string::npos)
          << said;
      EXPECT_NE(said.find("the restore record is kept"), std::string::npos) << said;
    } else {
      EXPECT_FALSE(store.record);
      EXPECT_EQ(m_services.registry.Value(kCurrentKey, u"DisableDX8")->type, platform::kRegDword);
      EXPECT_FALSE(m_services.registry.Value(kCurrentKey, u"DisableDX9"));
    }
  }
}

// A launcher that was killed while its game ran: its record, and the values as it wrote them.
TEST_F(GameLauncherTest, ARecordLeftBehindIsRestoredWhereItsValuesStillHoldWhatWasWritten) {
  const Values before = Tuning();
  std::optional<Values> applied;
  game.runs = [&] { applied = Tuning(); };
  ASSERT_EQ(Run({u"LODBias=0.50", u"DDIVersion=9", u"VSync=Vsync Off"}).status, 0);
  ASSERT_TRUE(applied);
  const std::vector<std::uint8_t> left = store.created;

  struct Row {
    const char* what;
    std::function<void(GameLauncherTest&)> meanwhile;
    const char* said;
  };
  const Row rows[] = {
      {"untouched", nullptr,
       "restored the tuning that an earlier /run left changed: DDIVersion, VSync, LODBias\n"},
      {"LODBias changed by the user",
       [](GameLauncherTest& t) { t.registry().SetString(kDriverKey, u"QLDRV_LOD_BIAS", u"-2"); },
       "restored the tuning that an earlier /run left changed: DDIVersion, VSync\n"
       "[box] kept LODBias as set now: changed since the tuning that an earlier /run left changed set it\n"},
      // One of the two values of the DDI version changed: the pair is kept as it is.
      {"half of DDIVersion changed",
       [](GameLauncherTest& t) { t.registry().RemoveValue(kCurrentKey, u"DisableDX9"); },
       "restored the tuning that an earlier /run left changed: VSync, LODBias\n"
       "[box] kept DDIVersion as set now: changed since the tuning that an earlier /run left changed set "
       "it\n"},
      {"VSync already put back",
       [](GameLauncherTest& t) { t.registry().RemoveValue(kDriverKey, u"QLDRV_SWAPINTERVAL"); },
       "restored the tuning that an earlier /run left changed: DDIVersion, LODBias\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    // The values as the launcher left them.
    registry().Clear();
    registry().CreateKey(kDriverKey);
    registry().SetString(kDeviceKey, u"HardwareInformation.ChipType", u"QEL 700");
    for (const auto& [path, type, data] : *applied) {
      const std::size_t slash = path.rfind(u'\\');
      registry().SetValue(path.substr(0, slash), path.substr(slash + 1), type, data);
    }
    if (row.meanwhile) row.meanwhile(*this);
    const std::optional<std::u16string> lodBias = Text(kDriverKey, u"QLDRV_LOD_BIAS");
    store = {};
    store.record = left;
    m_services.displayMode.ClearCalls();
    std::vector<LauncherMessage> messages;
    EXPECT_EQ(RestoreLeftRecord(&messages), LeftRecord::kRestored);
    EXPECT_EQ(Said(messages), row.said);
    EXPECT_FALSE(store.record);
    EXPECT_EQ(ModeSets(), 1);
    if (std::string(row.what).starts_with("LODBias"))
      EXPECT_EQ(Text(kDriverKey, u"QLDRV_LOD_BIAS"), lodBias);
    else
      EXPECT_EQ(Text(kDriverKey, u"QLDRV_LOD_BIAS"), u"1");
  }
  // Untouched, everything is back as before.
  registry().Clear();
  registry().CreateKey(kDriverKey);
  registry().SetString(kDeviceKey, u"HardwareInformation.AdapterString", u"QEL 700 M940 Quad");
  registry().SetString(kDeviceKey, u"HardwareInformation.ChipType", u"QEL 700");
  for (const auto& [path, type, data] : *applied) {
    const std::size_t slash = path.rfind(u'\\');
    registry().SetValue(path.substr(0, slash), path.substr(slash + 1), type, data);
  }
  store = {};
  store.record = left;
  std::vector<LauncherMessage> messages;
  EXPECT_EQ(RestoreLeftRecord(&messages), LeftRecord::kRestored);
  EXPECT_EQ(Tuning(), before);
}

TEST_F(GameLauncherTest, ARecordHeldOrDamagedIsLeftInPlace) {
  std::vector<LauncherMessage> messages;
  EXPECT_EQ(RestoreLeftRecord(&messages), LeftRecord::kNone);
  store.record.emplace();
  store.heldByOther = true;
  EXPECT_EQ(RestoreLeftRecord(&messages), LeftRecord::kHeld);
  EXPECT_TRUE(messages.empty());
  store.heldByOther = false;
  store.record = std::vector<std::uint8_t>{'C'};
  EXPECT_EQ(RestoreLeftRecord(&messages), LeftRecord::kFailed);
  EXPECT_TRUE(store.record);
  EXPECT_FALSE(store.heldHere);
  EXPECT_EQ(
      Said(messages),
      "[box] C:\\AppData\\Configurator\\restore-record.txt: the restore record of an earlier /run is damaged "
      "(it is no restore record); it is kept: check the tuning, then delete it\n");
}

// The record is the user's own file: a program of the user's can write anything into it, and the
// next start restores with the rights of whoever runs it. A record that names anything but the
// board's tuning values of one of the board's adapters, as the setting stores them, puts back
// nothing at all, and is kept with a message that says which line.
TEST_F(GameLauncherTest, AHostileRecordWritesNothingAnywhereAndIsKept) {
  const std::u16string run = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::u16string service = u"System\\CurrentControlSet\\Services\\Svc";
  const std::u16string otherVideo =
      u"System\\CurrentControlSet\\Control\\Video\\{0B0A0C0D-0000-4000-8000-000000000001}";
  const std::u16string other = otherVideo + u"\\0000";  // another of the board's adapters
  registry().CreateKey(run);
  registry().CreateKey(service);
  registry().CreateKey(other + u"\\D3D");
  registry().SetString(other, u"HardwareInformation.ChipType", u"QEL 700");
  registry().SetString(u"System\\ControlSet001\\Control\\Video\\{0B0A0C0D-0000-4000-8000-000000000002}\\0000",
                       u"HardwareInformation.ChipType", u"QEL 600");
  registry().CreateKey(
      u"System\\CurrentControlSet\\Control\\Video\\{0B0A0C0D-0000-4000-8000-000000000002}\\0000\\D3D");
  const std::u16string d3d = kCurrentKey + u"\\D3D";
  const std::string xc = "1:7800630000000000";  // "xc"
  const std::string sz = "1:3200";              // "2" without its terminator
  struct Row {
    const char* what;
    std::u16string adapter;
    std::vector<std::u16string> values;  // setting, key, name, before, written
    const char* said;
  };
  const auto u = [](const std::string& data) { return base::Utf16FromUtf8(data); };
  const std::string notTuning = "names a value that is not one of the board's tuning values: line 3";
  const Row rows[] = {
      {"the Run key", kCurrentKey, {u"LODBias", run, u"QelHostile", u(xc), u"-"}, notTuning.c_str()},
      {"a service's ImagePath",
       kCurrentKey,
       {u"LODBias", service, u"ImagePath", u(xc), u"-"},
       notTuning.c_str()},
      {"a service's key as the adapter",
       service,
       {u"LODBias", service + u"\\D3D", u"QLDRV_LOD_BIAS", u(sz), u"-"},
       "names a key that is not a display adapter's key: line 2"},
      {"not a tuning value of the adapter's key",
       kCurrentKey,
       {u"LODBias", kCurrentKey, u"HardwareInformation.ChipType", u(xc), u"-"},
       notTuning.c_str()},
      {"a tuning value of another setting",
       kCurrentKey,
       {u"VSync", d3d, u"QLDRV_LOD_BIAS", u(sz), u"-"},
       notTuning.c_str()},
      {"a tuning value in the other key",
       kCurrentKey,
       {u"LODBias", kCurrentKey, u"QLDRV_LOD_BIAS", u(sz), u"-"},
       notTuning.c_str()},
      {"a tuning value's name spelt otherwise",
       kCurrentKey,
       {u"LODBias", d3d, u"qldrv_lod_bias", u(sz), u"-"},
       notTuning.c_str()},
      {"no such setting", kCurrentKey, {u"Hostile", d3d, u"QLDRV_LOD_BIAS", u(sz), u"-"}, notTuning.c_str()},
      {"a number text as a DWORD",
       kCurrentKey,
       {u"LODBias", d3d, u"QLDRV_LOD_BIAS", u"4:01000000", u"-"},
       "holds data that LODBias never stores (its type or size): line 3"},
      {"a number text of 65 characters",
       kCurrentKey,
       {u"LODBias", d3d, u"QLDRV_LOD_BIAS", u"1:" + std::u16string(260, u'3'), u"-"},
       "holds data that LODBias never stores (its type or size): line 3"},
      {"a raw value of 8 bytes",
       kCurrentKey,
       {u"TripleBuffer", kCurrentKey, u"MaxTileBuffers", u"3:0100000000000000", u"-"},
       "holds data that TripleBuffer never stores (its type or size): line 3"},
      {"a raw value as a text",
       kCurrentKey,
       {u"TripleBuffer", kCurrentKey, u"MaxTileBuffers", u(sz), u"-"},
       "holds data that TripleBuffer never stores (its type or size): line 3"},
      {"an adapter that does not exist",
       u"System\\CurrentControlSet\\Control\\Video\\{0B0A0C0D-0000-4000-8000-00000000000F}\\0000",
       {u"LODBias",
        u"System\\CurrentControlSet\\Control\\Video\\{0B0A0C0D-0000-4000-8000-00000000000F}\\0000\\D3D",
        u"QLDRV_LOD_BIAS", u(sz), u"-"},
       "names an adapter that is not one of the board's (no chip type where QEL 700 was expected): line 2"},
      {"an adapter of another chip",
       u"System\\CurrentControlSet\\Control\\Video\\{0B0A0C0D-0000-4000-8000-000000000002}\\0000",
       {u"LODBias",
        u"System\\CurrentControlSet\\Control\\Video\\{0B0A0C0D-0000-4000-8000-000000000002}\\0000\\D3D",
        u"QLDRV_LOD_BIAS", u(sz), u"-"},
       "names an adapter that is not one of the board's (chip type \"QEL 600\" where QEL 700 was expected): "
       "line 2"},
      {"a value of a second adapter",
       kCurrentKey,
       {u"LODBias", other + u"\\D3D", u"QLDRV_LOD_BIAS", u(sz), u"-"},
       notTuning.c_str()},
      {"a path with ..",
       kCurrentKey,
       {u"LODBias", d3d + u"\\..\\..\\..\\..\\..\\..\\Services\\Svc", u"QLDRV_LOD_BIAS", u(sz), u"-"},
       notTuning.c_str()},
      {"an adapter with ..",
       kCurrentKey + u"\\D3D\\..",
       {u"LODBias", kCurrentKey + u"\\D3D\\..\\D3D", u"QLDRV_LOD_BIAS", u(sz), u"-"},
       "names a key that is not a display adapter's key: line 2"},
      {"a leading backslash",
       u"\\" + kCurrentKey,
       {u"LODBias", u"\\" + d3d, u"QLDRV_LOD_BIAS", u(sz), u"-"},
       "names a key that is not a display adapter's key: line 2"},
      // A genuine value first: nothing of a record with one bad line is put back.
      {"a genuine value, then the Run key",
       kCurrentKey,
       {u"LODBias", d3d, u"QLDRV_LOD_BIAS", u(sz), u"-", u"VSync", run, u"QelHostile", u(xc), u"-"},
       "names a value that is not one of the board's tuning values: line 4"},
      {"a value twice",
       kCurrentKey,
       {u"LODBias", d3d, u"QLDRV_LOD_BIAS", u(sz), u"-", u"LODBias", d3d, u"QLDRV_LOD_BIAS", u"-", u"-"},
       "names a value twice: line 4"},
  };
  registry().RemoveValue(kDriverKey, u"QLDRV_LOD_BIAS");
  const auto everything = [this] {
    Values values;
    for (const std::u16string& path : registry().KeyPaths())
      for (const platform::RegistryValue& value : registry().Values(path))
        values.emplace_back(path + u"\\" + value.name, value.type, value.data);
    return values;
  };
  const Values before = everything();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::u16string text = u"Configurator restore record 1\nadapter\t" + row.adapter + u"\n";
    for (std::size_t i = 0; i < row.values.size(); i += 5)
      text += u"value\t" + row.values[i] + u"\t" + row.values[i + 1] + u"\t" + row.values[i + 2] + u"\t" +
              row.values[i + 3] + u"\t" + row.values[i + 4] + u"\n";
    text += u"end\n";
    const std::string bytes = Narrow(text);
    store = {};
    store.record = std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    m_services.displayMode.ClearCalls();
    std::vector<LauncherMessage> messages;
    EXPECT_EQ(RestoreLeftRecord(&messages), LeftRecord::kFailed);
    EXPECT_EQ(everything(), before);
    EXPECT_EQ(store.record, std::vector<std::uint8_t>(bytes.begin(), bytes.end())) << "the record is kept";
    EXPECT_FALSE(store.heldHere);
    EXPECT_EQ(ModeSets(), 0);
    EXPECT_EQ(Said(messages),
              std::string("[box] C:\\AppData\\Configurator\\restore-record.txt: nothing of the "
                          "restore record of an earlier /run was put back: the restore record ") +
                  row.said + "; it is kept: check the tuning, then delete it\n");
    EXPECT_EQ(registry().OpenHandleCount(), 0);
  }
}

// The same checks before a record is made: /run on an adapter that is not one of the board's, or
// over a value the record could not put back, changes nothing and starts nothing.
TEST_F(GameLauncherTest, NoRecordIsMadeThatTheNextStartWouldRefuse) {
  struct Row {
    const char* what;
    std::function<void(GameLauncherTest&)> seed;
    const char* said;
  };
  const Row rows[] = {
      {"another chip",
       [](GameLauncherTest& t) {
         t.registry().SetString(kDeviceKey, u"HardwareInformation.ChipType", u"QEL 600");
       },
       "no restore record can be made, so /run changes nothing: the restore record names an adapter that is "
       "not "
       "one of the board's (chip type \"QEL 600\" where QEL 700 was expected)"},
      {"a number text stored as a DWORD",
       [](GameLauncherTest& t) { t.registry().SetDword(kDriverKey, u"QLDRV_LOD_BIAS", 1); },
       "no restore record can be made, so /run changes nothing: the restore record holds data that LODBias "
       "never "
       "stores (its type or size)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SetUp();
    row.seed(*this);
    const Values before = Tuning();
    store = {};
    game = {};
    const LauncherResult result = Run({u"LODBias=0.50"});
    EXPECT_EQ(result.status, sysexits::kDataError);
    EXPECT_FALSE(game.started);
    EXPECT_FALSE(store.record);
    EXPECT_EQ(Tuning(), before);
    EXPECT_NE(Said(result.messages).find(row.said), std::string::npos) << Said(result.messages);
  }
}

TEST(RunSwitch, TheProgramIsEverythingAfterItAsTyped) {
  struct Parse {
    std::vector<std::u16string> arguments;
    std::u16string commandLine;
    bool run;
    std::u16string program;
    std::vector<std::u16string> errors;
  };
  const Parse parses[] = {
      {{u"/import:ut.reg", u"-RUN", u"UT.exe", u"-nohomedir", u"/set:x"},
       u"C.exe /import:ut.reg -RUN UT.exe  -nohomedir /set:x",
       true,
       u"UT.exe  -nohomedir /set:x",
       {}},
      {{u"/run", u"my game.exe", u"-x"}, u"", true, u"\"my game.exe\" -x", {}},
      {{u"/run"},
       u"C.exe /run ",
       true,
       u"",
       {u"'/run': expected the program to start and its arguments after it"}},
      {{u"/run:x.exe"},
       u"C.exe /run:x.exe",
       true,
       u"",
       {u"'/run:x.exe': /run takes no value: the program to start and its arguments follow it"}},
      {{u"/runner", u"/query"}, u"C.exe /runner /query", false, u"", {u"unknown switch '/runner'"}},
      // What follows is the program's, however it looks; before it, switches are ours.
      {{u"/bogus", u"/run", u"g.exe", u"/bogus"},
       u"C.exe /bogus /run g.exe /bogus",
       true,
       u"g.exe /bogus",
       {u"unknown switch '/bogus'"}},
  };
  for (const Parse& parse : parses) {
    SCOPED_TRACE(Narrow(parse.commandLine));
    CTuningCommandLineInfo info;
    info.Parse(parse.arguments, false, parse.commandLine);
    EXPECT_EQ(info.m_run, parse.run);
    EXPECT_EQ(info.m_program, parse.program);
    EXPECT_EQ(info.m_errors, parse.errors);
    EXPECT_TRUE(info.Scripted());
  }
}

}  // namespace
