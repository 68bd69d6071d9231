// The per-game launcher (/run) of the real Configurator.com and Configurator.exe under Wine, on an
// adapter seeded in the real registry, with a stand-in game that reads the tuning while it runs,
// starts a child that outlives it and ends with a chosen status: the values it saw, the values
// afterwards, the status, the two refreshes; a launcher killed while its game runs and the next
// start restoring (a value the user changed meanwhile kept); a second launcher refused; a bad
// profile changing and starting nothing. Every wait is on an event, a file or a process.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <fstream>
#include <sstream>

#include "tests/win32/CommandRun.h"
#include "tests/win32/SeededAdapter.h"
#include "tests/win32/StandInGame.h"
#include "tests/win32/TestRegistry.h"
#include "tests/win32/Win32User.h"
#include "tests/win32/WineTrace.h"

namespace {

using testregistry::SzData;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A launcher started and left running, with its standard handles in files.
class Launched {
 public:
  explicit Launched(const std::wstring& commandLine) {
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    m_out = ::CreateFileW(TempFile(L"launcher-out.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &security,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    m_err = ::CreateFileW(TempFile(L"launcher-err.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &security,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = m_out;
    startup.hStdError = m_err;
    // Not the game's folder: the launcher is to give the game its own.
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    std::wstring line = commandLine;
    wchar_t previous[256] = {};
    const DWORD previousLength = ::GetEnvironmentVariableW(L"WINEDEBUG", previous, 256);
    ::SetEnvironmentVariableW(L"WINEDEBUG", L"pid,+ddraw");
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, folder, &startup, &m_info))
      ::CloseHandle(m_info.hThread);
    ::SetEnvironmentVariableW(L"WINEDEBUG", previousLength > 0 && previousLength < 256 ? previous : nullptr);
  }
  ~Launched() {
    if (m_info.hProcess != nullptr && Running()) ::TerminateProcess(m_info.hProcess, 999);
    if (m_info.hProcess != nullptr) ::CloseHandle(m_info.hProcess);
    ::CloseHandle(m_out);
    ::CloseHandle(m_err);
  }
  Launched(const Launched&) = delete;
  Launched& operator=(const Launched&) = delete;

  HANDLE Process() const { return m_info.hProcess; }
  DWORD ProcessId() const { return m_info.dwProcessId; }
  bool Running() const { return ::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT; }
  // Its exit status once it has ended; 999 when it did not end within a minute (a hang).
  DWORD Finish() {
    DWORD status = 999;
    if (::WaitForSingleObject(m_info.hProcess, 60000) == WAIT_OBJECT_0)
      ::GetExitCodeProcess(m_info.hProcess, &status);
    return status;
  }
  void Kill() {
    ::TerminateProcess(m_info.hProcess, 1);
    ::WaitForSingleObject(m_info.hProcess, 60000);
  }
  std::string Errors() const { return ReadAll(TempFile(L"launcher-err.txt")); }

 private:
  PROCESS_INFORMATION m_info{};
  HANDLE m_out = INVALID_HANDLE_VALUE;
  HANDLE m_err = INVALID_HANDLE_VALUE;
};

class LauncherOnWine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_adapter.SeedHardware(u"QEL 700 M940 Quad", u"BIOS 1", u"QEL 700", 64u << 20));
    ASSERT_TRUE(m_adapter.CreateCurrentKeys(true));
    ASSERT_TRUE(
        testregistry::SetValue(m_adapter.DriverSettingsKey(), L"QLDRV_LOD_BIAS", REG_SZ, SzData("1")));
    m_running =
        ::CreateEventW(nullptr, TRUE, FALSE, standingame::RunningEvent(m_adapter.CurrentKey()).c_str());
    m_release =
        ::CreateEventW(nullptr, TRUE, FALSE, standingame::ReleaseEvent(m_adapter.CurrentKey()).c_str());
    ASSERT_NE(m_running, nullptr);
    ASSERT_NE(m_release, nullptr);
    for (const std::wstring& file : {SeenPath(), SeenPath() + L".child"}) ::DeleteFileW(file.c_str());
    ::DeleteFileW(RecordPath().c_str());
  }
  void TearDown() override {
    ::SetEvent(m_release);  // no child is left waiting
    ::CloseHandle(m_running);
    ::CloseHandle(m_release);
    ::DeleteFileW(RecordPath().c_str());
  }

  static std::wstring RecordPath() {
    wchar_t folder[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::wstring(folder) + L"\\Configurator\\restore-record.txt";
  }
  static bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  // Each test's own, so that no child of an earlier test writes there.
  static std::wstring SeenPath() {
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    return TempFile(L"game-seen-" + std::wstring(test.begin(), test.end()) + L".txt");
  }
  static std::wstring Game() { return ProgramBesideTests(L"stand_in_game.exe"); }
  static std::wstring Program(const wchar_t* name) {
    return Quoted(ProgramBesideTests(std::wstring(L"..\\..\\programs\\") + name));
  }

  // The game's part of a command line: its program, where it writes what it saw, the adapter's
  // key, its status, and an argument whose spacing only the command line as typed keeps.
  std::wstring GameLine(int status) const {
    return Quoted(Game()) + L" " + Quoted(SeenPath()) + L" " + Quoted(m_adapter.CurrentKey()) + L" " +
           std::to_wstring(status) + L"   \"two  spaces\"";
  }
  std::wstring LauncherLine(const wchar_t* program, const std::wstring& switches, int status) const {
    return Program(program) + L" " + switches + L" " + Quoted(m_adapter.HandOff()) + L" /run " +
           GameLine(status);
  }

  // Waits for the game to say it runs; false when the launcher ended first.
  bool GameRunning(const Launched& launcher) const {
    const HANDLE handles[] = {m_running, launcher.Process()};
    return ::WaitForMultipleObjects(2, handles, FALSE, 60000) == WAIT_OBJECT_0;
  }

  // What the game saw: the values as "KEY\NAME TYPE HEX" lines, and its other lines by their word.
  std::string Seen(const std::wstring& suffix = L"") const { return ReadAll(SeenPath() + suffix); }
  static std::string Line(const std::string& seen, const std::string& word) {
    std::istringstream lines(seen);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind(word + " ", 0) == 0) return line.substr(word.size() + 1);
    return {};
  }
  std::string SeenValue(const std::string& seen, const std::wstring& key, const std::wstring& name) const {
    std::istringstream lines(seen);
    const std::string prefix = Narrow(key + L"\\" + name) + " ";
    for (std::string line; std::getline(lines, line);)
      if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    return "absent";
  }

  Stored Tuning() const { return m_adapter.TuningValues(); }

  SeededAdapter m_adapter;
  HANDLE m_running = nullptr;
  HANDLE m_release = nullptr;
};

TEST_F(LauncherOnWine, TheGameSeesTheProfileItsTreeIsWaitedForAndEverythingIsPutBack) {
  const WineTrace trace;
  ASSERT_TRUE(trace.Available()) << "CONFIGURATOR_WINE_TRACE names no file: run through ctest";
  const Stored before = Tuning();
  Launched launcher(LauncherLine(L"Configurator.com", L"/set:LODBias=0.50 /set:TripleBuffer=off", 7));
  ASSERT_TRUE(GameRunning(launcher)) << launcher.Errors();

  const std::string seen = Seen();
  EXPECT_EQ(SeenValue(seen, m_adapter.DriverSettingsKey(), L"QLDRV_LOD_BIAS"), "1 32000000") << seen;
  EXPECT_EQ(SeenValue(seen, m_adapter.CurrentKey(), L"MaxTileBuffers"), "3 03000000") << seen;
  std::wstring gameFolder = Game();
  gameFolder.resize(gameFolder.find_last_of(L'\\'));
  EXPECT_EQ(Line(seen, "folder"), Narrow(gameFolder));
  EXPECT_EQ(Line(seen, "command line"), Narrow(GameLine(7))) << "passed on as typed";
  EXPECT_TRUE(Exists(RecordPath()));

  // The game ends at once; its child still runs, so the launcher still waits.
  const DWORD gameId = std::stoul(Line(seen, "process"));
  if (HANDLE gameProcess = ::OpenProcess(SYNCHRONIZE, FALSE, gameId)) {
    EXPECT_EQ(::WaitForSingleObject(gameProcess, 60000), WAIT_OBJECT_0);
    ::CloseHandle(gameProcess);
  }
  EXPECT_TRUE(launcher.Running()) << launcher.Errors();
  EXPECT_NE(Tuning(), before);

  ASSERT_TRUE(::SetEvent(m_release));
  EXPECT_EQ(launcher.Finish(), 7u) << launcher.Errors();
  EXPECT_EQ(SeenValue(Seen(L".child"), m_adapter.DriverSettingsKey(), L"QLDRV_LOD_BIAS"), "1 32000000")
      << "the child saw the profile to its end";
  EXPECT_EQ(Tuning(), before);
  EXPECT_FALSE(Exists(RecordPath()));
  EXPECT_EQ(launcher.Errors(), "Configurator: restored the tuning: TripleBuffer, LODBias\r\n");
  EXPECT_EQ(trace.RefreshCalls(launcher.ProcessId()), WineTrace::Calls(2, 2, 2, 2));
}

TEST_F(LauncherOnWine, AKilledLaunchersTuningIsPutBackByTheNextStartKeepingTheUsersChange) {
  const Stored before = Tuning();
  {
    Launched launcher(LauncherLine(L"Configurator.com", L"/set:LODBias=0.50 /set:TripleBuffer=off", 0));
    ASSERT_TRUE(GameRunning(launcher)) << launcher.Errors();
    launcher.Kill();
  }
  ASSERT_TRUE(Exists(RecordPath()));
  // Meanwhile the user sets the LOD bias in the dialogs.
  ASSERT_TRUE(testregistry::SetValue(m_adapter.DriverSettingsKey(), L"QLDRV_LOD_BIAS", REG_SZ, SzData("-1")));

  const Finished query = RunCommand(Program(L"Configurator.com") + L" /query " + Quoted(m_adapter.HandOff()));
  EXPECT_EQ(query.status, 0u) << query.err;
  EXPECT_EQ(
      query.err,
      "Configurator: restored the tuning that an earlier /run left changed: TripleBuffer\r\n"
      "Configurator: kept LODBias as set now: changed since the tuning that an earlier /run left changed "
      "set it\r\n");
  EXPECT_NE(query.out.find("TripleBuffer=on\r\n"), std::string::npos) << "restored before the query";
  EXPECT_FALSE(Exists(RecordPath()));
  Stored expected = before;
  for (auto& [name, type, data] : expected)
    if (name == m_adapter.DriverSettingsKey() + L"\\QLDRV_LOD_BIAS") data = SzData("-1");
  EXPECT_EQ(Tuning(), expected);
}

TEST_F(LauncherOnWine, ASecondLauncherIsRefusedAndOtherStartsLeaveTheRecordToTheFirst) {
  Launched first(LauncherLine(L"Configurator.com", L"/set:LODBias=0.50", 3));
  ASSERT_TRUE(GameRunning(first)) << first.Errors();
  const Stored applied = Tuning();

  const Finished second = RunCommand(LauncherLine(L"Configurator.com", L"/set:LODBias=1.00", 0));
  EXPECT_EQ(second.status, 75u);
  EXPECT_NE(second.err.find("Configurator: another /run is running"), std::string::npos) << second.err;
  const Finished query = RunCommand(Program(L"Configurator.com") + L" /query " + Quoted(m_adapter.HandOff()));
  EXPECT_EQ(query.status, 0u);
  EXPECT_EQ(query.err, "Configurator: a /run is running: its restore record is left to it\r\n");
  EXPECT_EQ(Tuning(), applied);
  EXPECT_TRUE(Exists(RecordPath()));

  ASSERT_TRUE(::SetEvent(m_release));
  EXPECT_EQ(first.Finish(), 3u) << first.Errors();
  EXPECT_FALSE(Exists(RecordPath()));
}

TEST_F(LauncherOnWine, RefusedRunsChangeNothingAndStartNothing) {
  const std::wstring profile = TempFile(L"bad-profile.reg");
  std::ofstream(profile.c_str(), std::ios::binary)
      << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" << Narrow(m_adapter.DriverSettingsKey())
      << "]\r\n\"QLDRV_LOD_BIAS\"=\"banana\"\r\n";
  struct Case {
    std::wstring line;
    DWORD status;
    const char* said;
  };
  const Case cases[] = {
      {LauncherLine(L"Configurator.com", L"/import:" + Quoted(profile), 0), 65, "not a decimal number"},
      {LauncherLine(L"Configurator.com", L"/set:LODBias=0.50 /set:LODBias=3", 0), 64, "LODBias has no entry"},
      {Program(L"Configurator.com") + L" /set:LODBias=0.50 " + Quoted(m_adapter.HandOff()) + L" /run ", 64,
       "expected the program to start"},
      {Program(L"Configurator.com") + L" /set:LODBias=0.50 " + Quoted(m_adapter.HandOff()) +
           L" /run no-such-game.exe -x",
       66, "cannot start the program"},
  };
  const Stored before = Tuning();
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.line));
    const Finished finished = RunCommand(c.line);
    EXPECT_EQ(finished.status, c.status);
    EXPECT_NE(finished.err.find(c.said), std::string::npos) << finished.err;
    EXPECT_EQ(Tuning(), before);
    EXPECT_FALSE(Exists(RecordPath()));
    EXPECT_EQ(::WaitForSingleObject(m_running, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the game was started";
    EXPECT_FALSE(Exists(SeenPath()));
  }
}

// The record is in the user's own folder, where any program of the user's can write, and the next
// start restores it with its own rights (an elevated one's). A planted record that names a key
// outside the board's adapter, on either shape of the adapter's key, writes nothing, and is kept
// and told.
TEST_F(LauncherOnWine, APlantedRecordWritesNothingOnEitherKeyShape) {
  const std::wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  ASSERT_TRUE(testregistry::CreateKey(run));
  SeededAdapter windows2000(SeededAdapter::Shape::kDriverService);
  ASSERT_TRUE(windows2000.SeedHardware(u"QEL 700 M940 Quad", u"BIOS 1", u"QEL 700", 64u << 20));
  ASSERT_TRUE(windows2000.CreateCurrentKeys(true));
  ASSERT_TRUE(
      testregistry::SetValue(windows2000.DriverSettingsKey(), L"QLDRV_LOD_BIAS", REG_SZ, SzData("1")));
  for (const SeededAdapter* adapter : {&m_adapter, &windows2000}) {
    SCOPED_TRACE(Narrow(adapter->CurrentKey()));
    const Stored before = adapter->TuningValues();
    const std::string record = "Configurator restore record 1\nadapter\t" + Narrow(adapter->CurrentKey()) +
                               "\nvalue\tLODBias\t" + Narrow(run) +
                               "\tQelHostile\t1:7800630000000000\t-\nend\n";
    std::ofstream(RecordPath().c_str(), std::ios::binary) << record;

    const Finished query =
        RunCommand(Program(L"Configurator.com") + L" /query " + Quoted(adapter->HandOff()));
    EXPECT_EQ(query.status, 0u) << query.err;
    EXPECT_FALSE(testregistry::GetValue(run, L"QelHostile")) << "written under the Run key";
    EXPECT_EQ(adapter->TuningValues(), before);
    EXPECT_EQ(ReadAll(RecordPath()), record) << "the record is kept as it was";
    EXPECT_EQ(query.err, "Configurator: " + Narrow(RecordPath()) +
                             ": nothing of the restore record of an earlier /run was put back: the restore "
                             "record names a value that is not one of the board's tuning values: line 3; it "
                             "is kept: check the tuning, then delete it\r\n");
    ::DeleteFileW(RecordPath().c_str());
  }
}

// A record, or the temporary name a new one goes through, that is a second name of another file is
// neither read, written nor deleted: the other file stays as it was.
TEST_F(LauncherOnWine, ARecordThatIsAHardLinkIsNotUsed) {
  const std::wstring folder = RecordPath().substr(0, RecordPath().find_last_of(L'\\'));
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring other = TempFile(L"other-file.txt");
  const Stored before = Tuning();
  // A genuine record: as another file, it would be restored and deleted.
  {
    Launched launcher(LauncherLine(L"Configurator.com", L"/set:LODBias=0.50", 0));
    ASSERT_TRUE(GameRunning(launcher)) << launcher.Errors();
    launcher.Kill();
  }
  ::ResetEvent(m_running);
  const std::string genuine = ReadAll(RecordPath());
  ASSERT_FALSE(genuine.empty());
  ::DeleteFileW(other.c_str());
  ASSERT_TRUE(::MoveFileW(RecordPath().c_str(), other.c_str()));
  ASSERT_TRUE(::CreateHardLinkW(RecordPath().c_str(), other.c_str(), nullptr));
  const Stored applied = Tuning();

  const Finished query = RunCommand(Program(L"Configurator.com") + L" /query " + Quoted(m_adapter.HandOff()));
  EXPECT_EQ(query.status, 0u) << query.err;
  EXPECT_NE(query.err.find("has another name (a hard link)"), std::string::npos) << query.err;
  EXPECT_EQ(ReadAll(other), genuine);
  EXPECT_TRUE(Exists(RecordPath()));
  EXPECT_EQ(Tuning(), applied);
  ::DeleteFileW(RecordPath().c_str());

  // The temporary name: a /run that would write through it is refused before it changes anything.
  ASSERT_TRUE(testregistry::SetValue(m_adapter.DriverSettingsKey(), L"QLDRV_LOD_BIAS", REG_SZ, SzData("1")));
  const std::wstring temporary = folder + L"\\restore-record.new";
  ::DeleteFileW(temporary.c_str());
  ASSERT_TRUE(::CreateHardLinkW(temporary.c_str(), other.c_str(), nullptr));
  const Finished refused = RunCommand(LauncherLine(L"Configurator.com", L"/set:LODBias=0.50", 0));
  EXPECT_EQ(refused.status, 73u) << refused.err;
  EXPECT_NE(refused.err.find("has another name (a hard link)"), std::string::npos) << refused.err;
  EXPECT_EQ(ReadAll(other), genuine);
  EXPECT_EQ(Tuning(), before);
  EXPECT_FALSE(Exists(RecordPath()));
  EXPECT_EQ(::WaitForSingleObject(m_running, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the game was started";
  ::DeleteFileW(temporary.c_str());
  ::DeleteFileW(other.c_str());
}

// A reset for one game: the game sees no tuning values, and afterwards exactly what was there,
// types included, is back.
TEST_F(LauncherOnWine, AResetForOneGameIsPutBackExactly) {
  ASSERT_TRUE(testregistry::SetValue(m_adapter.CurrentKey(), L"MaxTileBuffers", REG_DWORD, {3, 0, 0, 0}));
  ASSERT_TRUE(::SetEvent(m_release));
  const Stored before = Tuning();
  const Finished finished = RunCommand(LauncherLine(L"Configurator.com", L"/reset", 5));
  EXPECT_EQ(finished.status, 5u) << finished.err;
  const std::string seen = Seen();
  EXPECT_EQ(SeenValue(seen, m_adapter.DriverSettingsKey(), L"QLDRV_LOD_BIAS"), "absent") << seen;
  EXPECT_EQ(SeenValue(seen, m_adapter.CurrentKey(), L"MaxTileBuffers"), "absent") << seen;
  EXPECT_EQ(Tuning(), before);
  EXPECT_FALSE(Exists(RecordPath()));
}

TEST_F(LauncherOnWine, TheGuiProgramPassesOnTheGamesStatus) {
  ASSERT_TRUE(::SetEvent(m_release));
  const Stored before = Tuning();
  const Finished finished = RunCommand(LauncherLine(L"Configurator.exe", L"/set:LODBias=0.50", 9));
  EXPECT_EQ(finished.status, 9u) << finished.err;
  EXPECT_EQ(SeenValue(Seen(), m_adapter.DriverSettingsKey(), L"QLDRV_LOD_BIAS"), "1 32000000");
  EXPECT_EQ(Tuning(), before);
  EXPECT_FALSE(Exists(RecordPath()));
}

TEST_F(LauncherOnWine, TheGuiProgramWithoutStandardHandlesShowsAFailureInOneMessageBox) {
  const Stored before = Tuning();
  // Started from a desktop shortcut, the program has no standard handles to inherit.
  const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  ::SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
  ::SetStdHandle(STD_ERROR_HANDLE, nullptr);
  Win32User user(ProgramBesideTests(L"..\\..\\programs\\Configurator.exe"),
                 L"/set:LODBias=3 " + Quoted(m_adapter.HandOff()) + L" /run " + GameLine(0));
  ::SetStdHandle(STD_OUTPUT_HANDLE, output);
  ::SetStdHandle(STD_ERROR_HANDLE, error);
  ASSERT_TRUE(user.Started());
  ASSERT_TRUE(user.WaitForDialog(u"Configurator"));
  EXPECT_NE(user.MessageText().find(u"LODBias has no entry \"3\""), std::u16string::npos);
  ASSERT_TRUE(user.Click(IDOK));
  EXPECT_EQ(user.WaitForExit(), 64);
  EXPECT_EQ(Tuning(), before);
  EXPECT_EQ(::WaitForSingleObject(m_running, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the game was started";
}

// A bare name is looked for in the system folder, the Windows folder and PATH, never in the
// current folder, where a download could have planted a program of that name; a name with a
// folder, even ".\\", is taken as typed.
TEST_F(LauncherOnWine, ABareNameIsNeverTakenFromTheCurrentFolder) {
  ASSERT_TRUE(::SetEvent(m_release));
  const std::wstring planted = TempFile(L"bare-run-current");
  const std::wstring onPath = TempFile(L"bare-run-on-path");
  for (const std::wstring& folder : {planted, onPath}) {
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(Game().c_str(), (folder + L"\\cfgbaregame.exe").c_str(), FALSE));
  }
  wchar_t previousFolder[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, previousFolder);
  std::wstring previousPath(32767, L'\0');
  previousPath.resize(::GetEnvironmentVariableW(L"PATH", previousPath.data(), 32767));
  ASSERT_TRUE(::SetEnvironmentVariableW(L"PATH", (L".;" + onPath + L";" + previousPath).c_str()));
  ASSERT_TRUE(::SetCurrentDirectoryW(planted.c_str()));
  const struct {
    const wchar_t* typed;
    std::wstring folder;
  } cases[] = {{L"cfgbaregame", onPath}, {L"cfgbaregame.exe", onPath}, {L".\\cfgbaregame", planted}};
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.typed));
    ::DeleteFileW(SeenPath().c_str());
    const std::wstring line = Program(L"Configurator.com") + L" /set:LODBias=0.50 " +
                              Quoted(m_adapter.HandOff()) + L" /run " + c.typed + L" " + Quoted(SeenPath()) +
                              L" " + Quoted(m_adapter.CurrentKey()) + L" 0";
    const Finished finished = RunCommand(line);
    EXPECT_EQ(finished.status, 0u) << finished.err;
    const std::string ran = Line(Seen(), "folder");
    const std::wstring wanted = c.folder;
    const bool same = ::lstrcmpiW(std::wstring(ran.begin(), ran.end()).c_str(), wanted.c_str()) == 0;
    EXPECT_TRUE(same) << "the program in " << ran << " ran, not the one in " << Narrow(wanted);
  }
  ::SetCurrentDirectoryW(previousFolder);
  ::SetEnvironmentVariableW(L"PATH", previousPath.c_str());
}

// Where the outer job keeps its processes (Windows XP), the launcher waits for the game alone and
// says so; Wine, like later Windows, lets it follow the game into a job of its own. Either way the
// game's status and the old values come back.
TEST_F(LauncherOnWine, InsideAnotherJobTheLauncherStillEndsWithTheGamesStatusAndRestores) {
  const HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
  ASSERT_NE(job, nullptr);
  ASSERT_TRUE(::SetEvent(m_release));
  const Stored before = Tuning();
  const std::wstring errPath = TempFile(L"job-err.txt");
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
  HANDLE err = ::CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &security, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = err;
  PROCESS_INFORMATION info{};
  std::wstring line = LauncherLine(L"Configurator.com", L"/set:LODBias=0.50", 4);
  ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                               nullptr, &startup, &info));
  EXPECT_TRUE(::AssignProcessToJobObject(job, info.hProcess));
  ::ResumeThread(info.hThread);
  DWORD status = 999;
  if (::WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0)
    ::GetExitCodeProcess(info.hProcess, &status);
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  ::CloseHandle(err);
  ::CloseHandle(job);
  const std::string said = ReadAll(errPath);
  EXPECT_EQ(status, 4u) << said;
  EXPECT_EQ(Tuning(), before);
  const std::string note = "only the program itself is waited for";
  const std::size_t first = said.find(note);
  EXPECT_TRUE(first == std::string::npos || said.find(note, first + 1) == std::string::npos) << said;
}

}  // namespace
