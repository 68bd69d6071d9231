// The simulated board of the demo: its devices as discovery meets them, its driver's escape
// replies, and the driver's reload after a dialog has saved through the hive store.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include "app/AdapterDiscovery.h"
#include "base/Service.h"
#include "platform/posix/DemoHive.h"
#include "platform/posix/HiveStore.h"
#include "platform/posix/SimulatedBoard.h"
#include "settings/RefreshDisplayMode.h"
#include "settings/SettingsKey.h"
#include "settings/ValueAccess.h"
#include "tests/hive/StoreTestSupport.h"
#include "tests/support/TestServices.h"

namespace {

using platform::SimulatedBoard;

class DemoBoardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base::Failure failure;
    ASSERT_EQ(platform::EnsureDemoFolder(data, &failure), platform::DemoFolder::kCreated) << failure.Text();
    ASSERT_TRUE(board.Load(data + "/board", &failure)) << failure.Text();
    store = platform::HiveStore::Load(data + "/SYSTEM", &failure);
    ASSERT_TRUE(store);
    registry.emplace(*store);
    devices.emplace(board.Devices());
    mode.emplace(board.DisplayMode());
  }

  hivetest::TempFolder folder;
  std::string data = folder / "configurator";
  SimulatedBoard board;
  std::unique_ptr<platform::HiveStore> store;
  // Installed once SetUp has loaded the board and the store.
  std::optional<base::Installed<platform::SetRegistry>> registry;
  std::optional<base::Installed<platform::SetDisplayDevices>> devices;
  std::optional<base::Installed<platform::SetDisplayMode>> mode;
};

TEST_F(DemoBoardTest, ListsThePlainAdapterFirstAndTheBoardSecond) {
  platform::DisplayDevice device;
  ASSERT_TRUE(board.Devices().Enumerate(0, &device));
  EXPECT_EQ(device.name, u"\\\\.\\DISPLAY1");
  EXPECT_EQ(device.key, platform::kDemoPlainKey);
  ASSERT_TRUE(board.Devices().Enumerate(1, &device));
  EXPECT_EQ(device.name, u"\\\\.\\DISPLAY2");
  EXPECT_EQ(device.key, platform::kDemoBoardKey);
  EXPECT_FALSE(board.Devices().Enumerate(2, &device));
}

TEST_F(DemoBoardTest, OnlyTheBoardsDriverAnswersTheIdentificationEscape) {
  const std::uint8_t input[4] = {0xFC, 0x3D, 0x01, 0x00};
  struct Row {
    std::u16string device;
    bool board;
  } rows[] = {{u"\\\\.\\DISPLAY1", false}, {u"\\\\.\\DISPLAY2", true}};
  for (const Row& row : rows) {
    const platform::DeviceContext context = board.Devices().CreateContext(row.device);
    ASSERT_NE(context, 0u);
    EXPECT_EQ(board.Devices().Escape(context, platform::kQueryEscSupport, 4, input, 0, nullptr) != 0,
              row.board);
    std::uint8_t reply[28] = {};
    const int result = board.Devices().Escape(context, 81404, 4, input, sizeof reply, reply);
    EXPECT_EQ(result != 0, row.board);
    EXPECT_EQ(std::memcmp(reply, "ORLO was here", 14) == 0, row.board);
    EXPECT_TRUE(board.Devices().DeleteContext(context));
  }
}

TEST_F(DemoBoardTest, DiscoveryFindsTheBoard) {
  AnsweringFrontEnd frontEnd;
  AdapterTable table;
  std::u16string handOff;
  EXPECT_TRUE(DiscoverAdapter(table, handOff));
  EXPECT_EQ(handOff, u"\\\\.\\DISPLAY2&&&" + std::u16string(platform::kDemoBoardKey));
  EXPECT_TRUE(frontEnd.shown.empty());
  EXPECT_EQ(board.Devices().LiveContexts(), 0);
}

TEST_F(DemoBoardTest, TheDriverReloadsWhatADialogSavedAfterItIsOnDisk) {
  const std::u16string current = hivetest::kBoardCurrentPath;
  WriteNumber(current + u"\\D3D", u"QLDRV_LOD_BIAS", 2);
  WriteNumber(current + u"\\D3D", u"QLDRV_SLI_AA_CONFIGURATION", 4);
  CSettingsKey key;
  ASSERT_EQ(key.Open(current + u"\\D3D", platform::kKeyWrite), 0);
  key.DeleteValue(u"QLDRV_SWAPINTERVAL");
  ASSERT_EQ(key.Open(current, platform::kKeyWrite), 0);
  key.SetBinary(u"MaxTileBuffers", 3);
  key.Close();
  EXPECT_TRUE(store->HasPendingEdits());

  int window = 0;
  EXPECT_EQ(RefreshDisplayMode(&window), 0);

  EXPECT_FALSE(store->HasPendingEdits()) << "saved before the driver read it";
  EXPECT_EQ(store->Commits(), 1u);
  const std::string line = board.LastReload();
  EXPECT_NE(line.find("\\\\.\\DISPLAY2 reloaded: anti-aliasing 4 samples on 2 chips, guard band clipping on, "
                      "LOD bias +0.50, vsync by software, 3D filter automatic"),
            std::string::npos)
      << line;
  EXPECT_NE(line.find("triple buffering off, Direct3D 9, command FIFO 512K"), std::string::npos) << line;
  const std::string log = hivetest::ReadFile(data + "/driver.log");
  EXPECT_EQ(log, line + "\n");
  const std::string settings =
      hivetest::Hivexget(data + "/SYSTEM", std::string(hivetest::kBoardKey) + "\\D3D");
  EXPECT_NE(settings.find("\"QLDRV_LOD_BIAS\"=\"2\""), std::string::npos) << settings;
}

// A board made of a hive's adapters: each answers as the board's driver, in the order given, so
// discovery takes the first; none claims a reload, as no driver runs on that installation.
TEST(HiveBoard, AdaptersAnswerInOrderAndReloadNothing) {
  const std::u16string keys[] = {u"\\Registry\\Machine\\System\\ControlSet002\\Control\\Video\\{B}\\0000",
                                 u"\\Registry\\Machine\\System\\ControlSet002\\Control\\Video\\{B}\\0001"};
  SimulatedBoard board;
  board.UseAdapters({keys[0], keys[1]});
  platform::DisplayDevice device;
  for (std::uint32_t i = 0; i < 2; ++i) {
    ASSERT_TRUE(board.Devices().Enumerate(i, &device));
    EXPECT_EQ(device.name, u"\\\\.\\DISPLAY" + std::u16string(1, static_cast<char16_t>(u'1' + i)));
    EXPECT_EQ(device.key, keys[i]);
  }
  EXPECT_FALSE(board.Devices().Enumerate(2, &device));

  const base::Installed<platform::SetDisplayDevices> devices(board.Devices());
  AnsweringFrontEnd frontEnd;
  AdapterTable table;
  std::u16string handOff;
  EXPECT_TRUE(DiscoverAdapter(table, handOff));
  EXPECT_EQ(handOff, u"\\\\.\\DISPLAY1&&&" + keys[0]);
  EXPECT_EQ(board.Devices().EscapesTo(u"\\\\.\\DISPLAY2").size(), 0u) << "the first that answers wins";

  board.Reload();
  EXPECT_EQ(board.LastReload(), "");
  EXPECT_EQ(board.LogPath(), "");
}

TEST(BoardFile, ErrorsNameTheLine) {
  using namespace std::literals;
  struct Row {
    std::string_view text;
    const char* error;  // empty: accepted
  } rows[] = {
      {"# nothing\n\n", ""},
      {"device \\\\.\\DISPLAY1 \\Registry\\Machine\\System\\X board\r\nlog x.log\n", ""},
      {"device \\\\.\\DISPLAY99 K plain\ndevice \\\\.\\DISPLAY10 K board\nlog .driver.log\n", ""},
      {"device \\\\.\\DISPLAY1 KEY\n", "1: expected \"device NAME DEVICE-KEY board|plain\""},
      {"\ndevice \\\\.\\DISPLAY1 B fancy\n", "2: expected"},
      {"screen 1\n", "1: unknown entry \"screen\""},
      {"scr\x1b]2;x\aeen 1\n", "1: unknown entry \"scr?]2;x?een\""},
      {"log\n", "1: expected \"log FILE\""},
      {"# a comment\nscre\0en 1\n"sv, "2: the line holds a NUL byte (a board file is text)"},
      {"log driver.log\0\n"sv, "1: the line holds a NUL byte"},
      // The name goes into the driver's log line: only the form Windows gives it.
      {"device \\\\.\\DISPLAY2;echo${IFS}x;# K board\n",
       "1: a device name is \\\\.\\DISPLAYn, n from 1 to 99"},
      {"device A&B KEY board\n", "1: a device name is \\\\.\\DISPLAYn"},
      {"device \\\\.\\DISPLAY0 K board\n", "1: a device name is"},
      {"device \\\\.\\DISPLAY01 K board\n", "1: a device name is"},
      {"device \\\\.\\DISPLAY100 K board\n", "1: a device name is"},
      {"device \\\\.\\DISPLAY K board\n", "1: a device name is"},
      {"device \\\\.\\display1 K board\n", "1: a device name is"},
      {"device \\\\.\\DISPLAY1\x1b[2J K board\n",
       "1: a device name is \\\\.\\DISPLAYn, n from 1 to 99 (not \"\\\\.\\DISPLAY1?[2J\")"},
      {"device \\\\.\\DISPLAY1 A&B board\n", "1: a device key may not contain '&' or control characters"},
      {"device \\\\.\\DISPLAY1 A\x1b[2J board\n", "1: a device key may not contain"},
      // The log is a file beside the board file, never a path.
      {"log /home/u/.bashrc\n",
       "1: the log is a file beside the board file: a name without '/' (not \"/home/u/.bashrc\")"},
      {"log ~/.bashrc\n", "1: the log is a file beside the board file"},
      {"log ../driver.log\n", "1: the log is a file beside the board file"},
      {"log sub/driver.log\n", "1: the log is a file beside the board file"},
      {"log ..\n", "1: the log is a file beside the board file"},
      {"log .\n", "1: the log is a file beside the board file"},
  };
  for (const Row& row : rows) {
    SimulatedBoard board;
    base::Failure failure;
    EXPECT_EQ(board.Parse(std::string(row.text), "/tmp", &failure), row.error[0] == 0) << row.text;
    EXPECT_EQ(failure.Text().rfind(row.error, 0), 0u) << row.text << " gave " << failure.Text();
  }
  SimulatedBoard board;
  base::Failure failure;
  EXPECT_FALSE(board.Load("/nonexistent/board", &failure));
  EXPECT_NE(failure.Text().find("/nonexistent/board"), std::string::npos);
  EXPECT_EQ(failure.error, ENOENT) << "unreadable";
}

// A folder, or a file whose reading fails, is refused as unreadable; a bad text as invalid.
TEST(BoardFile, TellsAnUnreadableFileFromABadOne) {
  SimulatedBoard board;
  base::Failure failure;
  EXPECT_FALSE(board.Load("/tmp", &failure));
  EXPECT_EQ(failure.error, EISDIR) << "unreadable";
  EXPECT_EQ(failure.Text(), "cannot read board file /tmp: Is a directory");
  EXPECT_FALSE(board.Load("/proc/self/mem", &failure));  // reading offset 0 fails
  EXPECT_NE(failure.error, 0) << "unreadable";
  EXPECT_NE(failure.Text().find("/proc/self/mem"), std::string::npos) << failure.Text();

  const hivetest::TempFolder folder;
  const std::string path = folder / "board";
  using namespace std::literals;
  hivetest::WriteFile(path, std::string("device \\\\.\\DISPLAY1 B board\nlog dr\0ver.log\n"sv));
  failure = {};
  EXPECT_FALSE(board.Load(path, &failure));
  EXPECT_EQ(failure.error, 0) << "not unreadable: invalid";
  EXPECT_EQ(failure.Text(), path + ":2: the line holds a NUL byte (a board file is text)");
  EXPECT_TRUE(board.DeviceNameFor(u"B").empty()) << "the board is unchanged";
}

// The log is appended to only while it is a plain file of the user's with one name: a link,
// planted before the board file is read or after, never leads the driver's lines elsewhere.
TEST(BoardFile, TheLogIsAPlainFileBesideTheBoardFile) {
  const hivetest::TempFolder folder;
  const std::string path = folder / "board";
  const std::string log = folder / "driver.log";
  const std::string other = folder / "other";
  hivetest::WriteFile(path, "device \\\\.\\DISPLAY1 K board\nlog driver.log\n");
  hivetest::WriteFile(other, "keep\n");
  SimulatedBoard board;
  base::Failure failure;
  struct Planted {
    const char* what;
    std::function<int()> plant;
  } refused[] = {
      {"a link", [&] { return symlink(other.c_str(), log.c_str()); }},
      {"a link to nothing", [&] { return symlink((folder / "none").c_str(), log.c_str()); }},
      {"a FIFO", [&] { return mkfifo(log.c_str(), 0600); }},
      {"a folder", [&] { return mkdir(log.c_str(), 0700); }},
  };
  for (const Planted& planted : refused) {
    ASSERT_EQ(planted.plant(), 0) << planted.what;
    EXPECT_FALSE(board.Load(path, &failure)) << planted.what;
    EXPECT_EQ(failure.error, 0) << planted.what << ": a bad board file";
    EXPECT_EQ(failure.Text(),
              path + ": its log " + log + " is not a plain file (a link, a folder or a device)")
        << planted.what;
    EXPECT_TRUE(board.Listed().empty()) << planted.what << ": the board is unchanged";
    ASSERT_EQ(remove(log.c_str()), 0);
  }

  ASSERT_TRUE(board.Load(path, &failure)) << failure.Text();
  EXPECT_EQ(board.LogPath(), log);
  board.Reload();
  struct stat made {};
  ASSERT_EQ(stat(log.c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 07777, 0600u) << "private when made";
  EXPECT_NE(hivetest::ReadFile(log).find("\\\\.\\DISPLAY1 reloaded: "), std::string::npos);

  // Planted after the board file was read: a link, a FIFO (no waiting for a reader), another
  // name of a file.
  const std::function<int()> afterwards[] = {
      [&] { return symlink(other.c_str(), log.c_str()); },
      [&] { return link(other.c_str(), log.c_str()); },
      [&] { return mkfifo(log.c_str(), 0600); },
  };
  for (const auto& plant : afterwards) {
    ASSERT_EQ(remove(log.c_str()), 0);
    ASSERT_EQ(plant(), 0);
    board.Reload();
    EXPECT_NE(board.LastReload().find("reloaded: "), std::string::npos) << "the reload happened";
    EXPECT_EQ(hivetest::ReadFile(other), "keep\n");
  }
}

TEST(BoardFile, TheDriverReadsThroughCurrentControlSet) {
  EXPECT_EQ(
      SimulatedBoard::DriverKeyPath(u"\\Registry\\Machine\\System\\ControlSet002\\Control\\Video\\{X}\\0000"),
      u"System\\CurrentControlSet\\Control\\Video\\{X}\\0000");
  EXPECT_EQ(
      SimulatedBoard::DriverKeyPath(u"\\Registry\\Machine\\System\\ControlSet001\\Services\\qel\\Device0"),
      u"System\\CurrentControlSet\\Services\\qel\\Device0");
  EXPECT_EQ(SimulatedBoard::DriverKeyPath(u"\\REGISTRY\\MACHINE\\SYSTEM\\CurrentControlSet\\Video"),
            u"System\\CurrentControlSet\\Video");
}

}  // namespace
