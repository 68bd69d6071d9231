// The command line for scripts on the real Configurator.com and Configurator.exe under Wine, on
// adapters seeded in the real registry, with their standard handles in files: the query, sets,
// refused commands that leave the registry as it was, the missing adapter without a message box,
// and profiles that Wine's own registry editor reads (regedit /s) and writes (regedit /e).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "res/resource.h"
#include "tests/win32/CommandRun.h"
#include "tests/win32/SeededAdapter.h"
#include "tests/win32/TestRegistry.h"
#include "tests/win32/Win32User.h"
#include "tests/win32/WineTrace.h"

namespace {

using testregistry::SzData;

std::vector<BYTE> Raw(DWORD value) {
  return {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
          static_cast<BYTE>(value >> 24)};
}

class CommandLineOnWine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_adapter.SeedHardware(u"QEL 700 M940 Quad", u"BIOS 1", u"QEL 700", 64u << 20));
    ASSERT_TRUE(m_adapter.CreateCurrentKeys(true));
  }

  // Configurator.com (or .exe) with these switches and the seeded adapter's hand-off.
  Finished Run(const std::wstring& switches, const wchar_t* program = L"Configurator.com",
               const wchar_t* wineDebug = nullptr, bool writableOutput = true,
               const std::wstring& inputPath = L"NUL") {
    return RunCommand(Quoted(ProgramBesideTests(std::wstring(L"..\\..\\programs\\") + program)) + L" " +
                          switches + L" " + Quoted(m_adapter.HandOff()),
                      wineDebug, writableOutput, inputPath);
  }

  // Every value of both tuning keys, as stored, by name.
  Stored Tuning() const { return m_adapter.TuningValues(); }

  SeededAdapter m_adapter;
};

TEST_F(CommandLineOnWine, QueryPrintsEverySettingFromTheConsoleAndTheGuiProgram) {
  ASSERT_TRUE(testregistry::SetValue(m_adapter.DriverSettingsKey(), L"QLDRV_LOD_BIAS", REG_SZ, SzData("-3")));
  for (const wchar_t* program : {L"Configurator.com", L"Configurator.exe"}) {
    SCOPED_TRACE(std::string(program, program + wcslen(program)));
    const Finished finished = Run(L"/query", program);
    EXPECT_EQ(finished.status, 0u) << finished.err;
    EXPECT_EQ(finished.out.rfind("AntiAliasing=Fastest\r\nGuardBandClipping=Disabled\r\nDDIVersion=9\r\n", 0),
              0u)
        << finished.out;
    EXPECT_NE(finished.out.find("\r\nLODBias=-0.75\r\n"), std::string::npos) << finished.out;
    EXPECT_NE(finished.out.find("# Chip type: QEL 700\r\n"), std::string::npos) << finished.out;
  }
  const Finished help = Run(L"/?");
  EXPECT_EQ(help.status, 0u);
  EXPECT_NE(help.out.find("/set:NAME=VALUE"), std::string::npos) << help.out;
}

TEST_F(CommandLineOnWine, WithoutAnAdapterTheMessageGoesToStandardErrorNotToABox) {
  // Discovery finds no board under Wine, and the registry holds none of the board's adapters
  // (the seeded one is another chip's); a message box would keep the program from ending.
  ASSERT_TRUE(m_adapter.SeedHardware(u"QEL 600", u"BIOS 1", u"QEL 600", 64u << 20));
  const Finished finished =
      RunCommand(Quoted(ProgramBesideTests(L"..\\..\\programs\\Configurator.com")) + L" /query");
  EXPECT_EQ(finished.status, 69u);
  EXPECT_EQ(finished.err, "Configurator: No Adapter Found\r\n");
  EXPECT_TRUE(finished.out.empty());
}

// As in Safe Mode: no display device answers as the board's (none does under Wine), but the
// board's keys are in the registry. The scripting switches work on them, without a hand-off, on
// either key shape; several need /adapter:N.
TEST_F(CommandLineOnWine, WithNoDeviceAnsweringTheScriptingSwitchesFindTheBoardInTheRegistry) {
  const std::wstring program = Quoted(ProgramBesideTests(L"..\\..\\programs\\Configurator.com"));
  Finished finished = RunCommand(program + L" /set:LODBias=0.50 /norefresh");
  EXPECT_EQ(finished.status, 0u) << finished.err;
  EXPECT_EQ(testregistry::GetValue(m_adapter.DriverSettingsKey(), L"QLDRV_LOD_BIAS")->data, SzData("2"));
  finished = RunCommand(program + L" /query");
  EXPECT_NE(finished.out.find("LODBias=0.50\r\n"), std::string::npos) << finished.out << finished.err;
  EXPECT_NE(finished.out.find("# Chip type: QEL 700\r\n"), std::string::npos) << finished.out;
  finished = RunCommand(program + L" /reset:LODBias /norefresh");
  EXPECT_EQ(finished.status, 0u) << finished.err;
  EXPECT_FALSE(testregistry::GetValue(m_adapter.DriverSettingsKey(), L"QLDRV_LOD_BIAS"));

  SeededAdapter windows2000(SeededAdapter::Shape::kDriverService);
  ASSERT_TRUE(windows2000.SeedHardware(u"QEL 700 M720 Dual", u"BIOS 1", u"QEL 700", 64u << 20));
  ASSERT_TRUE(windows2000.CreateCurrentKeys(true));
  finished = RunCommand(program + L" /set:LODBias=0.50");
  EXPECT_EQ(finished.status, 64u) << finished.err;
  EXPECT_NE(finished.err.find("choose one with /adapter:N"), std::string::npos) << finished.err;
  const Finished listed = RunCommand(program + L" /list-adapters");
  EXPECT_EQ(listed.status, 0u) << listed.err;
  const std::string serviceKey(windows2000.DeviceKey().begin(), windows2000.DeviceKey().end());
  const std::size_t at = listed.out.find(serviceKey);
  ASSERT_NE(at, std::string::npos) << listed.out;
  const std::string number = listed.out.substr(listed.out.rfind('[', at) + 1, 1);
  finished = RunCommand(program + L" /adapter:" + std::wstring(number.begin(), number.end()) +
                        L" /set:LODBias=0.50 /norefresh");
  EXPECT_EQ(finished.status, 0u) << finished.err;
  EXPECT_EQ(testregistry::GetValue(windows2000.DriverSettingsKey(), L"QLDRV_LOD_BIAS")->data, SzData("2"));
  EXPECT_FALSE(testregistry::GetValue(m_adapter.DriverSettingsKey(), L"QLDRV_LOD_BIAS"));
}

TEST_F(CommandLineOnWine, SetWritesAsTheDialogsAndRefusedCommandsWriteNothing) {
  Finished finished = Run(L"/set:LODBias=0.50 /SET:ddiversion=7 /norefresh");
  EXPECT_EQ(finished.status, 0u) << finished.err;
  const auto lodBias = testregistry::GetValue(m_adapter.DriverSettingsKey(), L"QLDRV_LOD_BIAS");
  ASSERT_TRUE(lodBias);
  EXPECT_EQ(lodBias->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(lodBias->data, SzData("2"));
  const auto dx8 = testregistry::GetValue(m_adapter.CurrentKey(), L"DisableDX8");
  ASSERT_TRUE(dx8);
  EXPECT_EQ(dx8->type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(dx8->data, Raw(1));

  const Stored before = Tuning();
  finished = Run(L"\"/set:VSync=Vsync On\" /set:LODBias=3");
  EXPECT_EQ(finished.status, 64u);
  EXPECT_NE(finished.err.find("LODBias has no entry \"3\""), std::string::npos) << finished.err;
  EXPECT_EQ(Tuning(), before);

  finished = Run(L"/set");
  EXPECT_EQ(finished.status, 64u);
  EXPECT_NE(finished.err.find("expected /set:NAME=VALUE"), std::string::npos) << finished.err;

  ASSERT_TRUE(testregistry::SetSecurity(m_adapter.CurrentKey(), testregistry::kReadOnlyForEveryone));
  finished = Run(L"/set:DDIVersion=8 /set:LODBias=1.00");
  EXPECT_EQ(finished.status, 77u);
  EXPECT_NE(finished.err.find("Execute using Administrator Account"), std::string::npos) << finished.err;
  EXPECT_EQ(Tuning(), before);
}

TEST_F(CommandLineOnWine, BadSwitchesAreRefusedNamingThemAsTyped) {
  struct Case {
    const wchar_t* program;
    const wchar_t* switches;
    const char* message;
  };
  const Case cases[] = {
      {L"Configurator.com", L"/qeury", "Configurator: unknown switch '/qeury'\r\n"},
      {L"Configurator.com", L"--query", "Configurator: unknown switch '--query'\r\n"},
      {L"Configurator.com", L"/norefresh /bogus", "Configurator: unknown switch '/bogus'\r\n"},
      {L"Configurator.exe", L"/query -qeury", "Configurator: unknown switch '-qeury'\r\n"},
      {L"Configurator.exe", L"/bogus /set:LODBias=0.50", "Configurator: unknown switch '/bogus'\r\n"},
      {L"Configurator.com", L"/set::", "Configurator: '/set::': expected /set:NAME=VALUE\r\n"},
      {L"Configurator.exe", L"/set:", "Configurator: '/set:': expected /set:NAME=VALUE\r\n"},
      {L"Configurator.com", L"/set:=", "Configurator: '/set:=': expected /set:NAME=VALUE\r\n"},
      {L"Configurator.com", L"/export:", "Configurator: '/export:': expected /export:FILE\r\n"},
      {L"Configurator.exe", L"-IMPORT:", "Configurator: '-IMPORT:': expected -import:FILE\r\n"},
  };
  const Stored before = Tuning();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const Finished finished = Run(c.switches, c.program);
    EXPECT_EQ(finished.status, 64u);
    EXPECT_EQ(finished.err.rfind(c.message, 0), 0u) << finished.err;
    EXPECT_NE(finished.err.find("Try 'Configurator /?' for more information.\r\n"), std::string::npos);
    EXPECT_TRUE(finished.out.empty()) << finished.out;
  }
  EXPECT_EQ(Tuning(), before);
}

TEST_F(CommandLineOnWine, TheGuiProgramAloneIgnoresAnUnknownSwitchAndOpensTheDialogs) {
  Win32User user(ProgramBesideTests(L"..\\..\\programs\\Configurator.exe"),
                 L"/bogus " + Quoted(m_adapter.HandOff()));
  ASSERT_TRUE(user.Started());
  ASSERT_TRUE(user.WaitForDialog(u"Orlo Configurator"));
  ASSERT_TRUE(user.Click(IDCANCEL));
  EXPECT_EQ(user.WaitForExit(), 0);
}

TEST_F(CommandLineOnWine, OutputThatCannotBeWrittenIsAnError) {
  const char* const kSaid = "Configurator: cannot write the output: ";
  for (const wchar_t* switches : {L"/query", L"/?", L"/set:LODBias=0.75 /query /norefresh"}) {
    SCOPED_TRACE(std::string(switches, switches + wcslen(switches)));
    const Finished finished = Run(switches, L"Configurator.com", nullptr, false);
    EXPECT_EQ(finished.status, 74u);
    EXPECT_EQ(finished.err.rfind(kSaid, 0), 0u) << finished.err;
    EXPECT_NE(finished.err.find("(error 5)\r\n"), std::string::npos) << finished.err;
  }
  // What was asked is done; only its output is lost.
  const auto lodBias = testregistry::GetValue(m_adapter.DriverSettingsKey(), L"QLDRV_LOD_BIAS");
  ASSERT_TRUE(lodBias);
  EXPECT_EQ(lodBias->data, SzData("3"));
}

TEST_F(CommandLineOnWine, AChangeRefreshesTheDisplayModeOnceWithAWindowOfItsOwn) {
  const WineTrace trace;
  ASSERT_TRUE(trace.Available()) << "CONFIGURATOR_WINE_TRACE names no file: run through ctest";
  const wchar_t* debug = L"pid,+ddraw";
  Finished finished = Run(L"/set:LODBias=0.50 /set:MipMapDithering=Enable", L"Configurator.com", debug);
  EXPECT_EQ(finished.status, 0u);
  EXPECT_EQ(trace.RefreshCalls(finished.processId), WineTrace::Calls(1, 1, 1, 1));
  // Nothing changed, or told not to: no refresh.
  finished = Run(L"/set:LODBias=0.50", L"Configurator.com", debug);
  EXPECT_EQ(trace.RefreshCalls(finished.processId), WineTrace::Calls(0, 0, 0, 0));
  finished = Run(L"/set:LODBias=1.00 /norefresh", L"Configurator.exe", debug);
  EXPECT_EQ(finished.status, 0u);
  EXPECT_EQ(trace.RefreshCalls(finished.processId), WineTrace::Calls(0, 0, 0, 0));
}

// A reset in the real registry, on both shapes of the adapter's key: every tuning value, or one
// setting's, deleted and nothing else; one refresh; a reset and a set of one setting refused
// with nothing changed.
TEST_F(CommandLineOnWine, AResetDeletesTheTuningValuesOnBothKeyShapes) {
  const WineTrace trace;
  ASSERT_TRUE(trace.Available()) << "CONFIGURATOR_WINE_TRACE names no file: run through ctest";
  SeededAdapter windows2000(SeededAdapter::Shape::kDriverService);
  ASSERT_TRUE(windows2000.SeedHardware(u"QEL 700 M940 Quad", u"BIOS 1", u"QEL 700", 64u << 20));
  ASSERT_TRUE(windows2000.CreateCurrentKeys(true));
  for (SeededAdapter* adapter : {&m_adapter, &windows2000}) {
    SCOPED_TRACE(std::string(adapter->CurrentKey().begin(), adapter->CurrentKey().end()));
    const auto run = [&](const std::wstring& switches) {
      return RunCommand(Quoted(ProgramBesideTests(L"..\\..\\programs\\Configurator.com")) + L" " + switches +
                            L" " + Quoted(adapter->HandOff()),
                        L"pid,+ddraw");
    };
    ASSERT_TRUE(
        testregistry::SetValue(adapter->DriverSettingsKey(), L"QLDRV_LOD_BIAS", REG_SZ, SzData("-3")));
    ASSERT_TRUE(testregistry::SetValue(adapter->DriverSettingsKey(), L"Other", REG_SZ, SzData("kept")));
    ASSERT_TRUE(testregistry::SetValue(adapter->CurrentKey(), L"MaxTileBuffers", REG_BINARY, {3, 0, 0, 0}));
    ASSERT_TRUE(testregistry::SetValue(adapter->CurrentKey(), L"DisableDX8", REG_DWORD, {1, 0, 0, 0}));
    const Stored before = adapter->TuningValues();

    Finished finished = run(L"/reset:LODBias /set:LODBias=0.50");
    EXPECT_EQ(finished.status, 64u) << finished.err;
    EXPECT_EQ(adapter->TuningValues(), before);

    finished = run(L"/reset:TripleBuffer");
    EXPECT_EQ(finished.status, 0u) << finished.err;
    EXPECT_FALSE(testregistry::GetValue(adapter->CurrentKey(), L"MaxTileBuffers"));
    EXPECT_TRUE(testregistry::GetValue(adapter->DriverSettingsKey(), L"QLDRV_LOD_BIAS"));
    EXPECT_EQ(trace.RefreshCalls(finished.processId), WineTrace::Calls(1, 1, 1, 1));

    finished = run(L"/reset");
    EXPECT_EQ(finished.status, 0u) << finished.err;
    const Stored expected = {{adapter->DriverSettingsKey() + L"\\Other", REG_SZ, SzData("kept")}};
    EXPECT_EQ(adapter->TuningValues(), expected);
    EXPECT_EQ(trace.RefreshCalls(finished.processId), WineTrace::Calls(1, 1, 1, 1));
    EXPECT_EQ(run(L"/query").out.find("LODBias=0.00\r\n") != std::string::npos, true);
  }
}

TEST_F(CommandLineOnWine, WinesRegeditImportsOurExportExactly) {
  ASSERT_EQ(Run(L"/set:LODBias=-2.0 /set:TripleBuffer=off \"/set:AntiAliasing=8 Sample Anti-Aliasing\" "
                L"/norefresh")
                .status,
            0u);
  ASSERT_TRUE(
      testregistry::SetValue(m_adapter.DriverSettingsKey(), L"QLDRV_OVERLAYMODE", REG_SZ, SzData("3")));
  const Stored exported = Tuning();
  const std::wstring profile = TempFile(L"ours.reg");
  Finished finished = Run(L"/export:" + Quoted(profile));
  ASSERT_EQ(finished.status, 0u) << finished.err;

  ASSERT_EQ(Run(L"/set:LODBias=2.00 /set:TripleBuffer=on \"/set:VSync=Vsync On\" /set:FilterQuality=Normal "
                L"/set:AntiAliasing=Fastest /norefresh")
                .status,
            0u);
  ASSERT_NE(Tuning(), exported);
  finished = RunCommand(L"regedit.exe /s " + Quoted(profile));
  EXPECT_EQ(finished.status, 0u) << finished.err;
  EXPECT_EQ(Tuning(), exported);
}

// An export goes to a new file beside its target and is then moved over it: the target holds
// the old export or the new one whole, and nothing else is left in the folder. A device is
// written where it is.
TEST_F(CommandLineOnWine, AnExportReplacesItsFileWholeAndLeavesNothingBeside) {
  const std::wstring folder = TempFile(L"export-folder");
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring profile = folder + L"\\profile.reg";
  std::ofstream(profile.c_str(), std::ios::binary) << "an older file, longer than nothing";
  Finished finished = Run(L"/export:" + Quoted(profile));
  ASSERT_EQ(finished.status, 0u) << finished.err;
  const std::string exported = ReadAll(profile);
  EXPECT_EQ(exported.substr(0, 2), "\xFF\xFE");

  // Held open by another program that lets no one replace it: not made, and the old file stays.
  ASSERT_EQ(Run(L"/set:LODBias=1.00 /norefresh").status, 0u);
  const HANDLE held = ::CreateFileW(profile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  finished = Run(L"/export:" + Quoted(profile));
  ::CloseHandle(held);
  EXPECT_EQ(finished.status, 73u) << finished.err;
  EXPECT_EQ(ReadAll(profile), exported);

  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  std::vector<std::wstring> names;
  do {
    if (found.cFileName[0] != L'.') names.push_back(found.cFileName);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  EXPECT_EQ(names, std::vector<std::wstring>{L"profile.reg"});

  finished = Run(L"/export:NUL");
  EXPECT_EQ(finished.status, 0u) << finished.err;
}

TEST_F(CommandLineOnWine, AnExportOfWinesRegeditAppliesOnlyTheTuningValues) {
  ASSERT_TRUE(
      testregistry::SetValue(m_adapter.CurrentKey(), L"InstalledDisplayDrivers", REG_SZ, SzData("qel700")));
  ASSERT_EQ(Run(L"/set:LODBias=1.25 /set:CmdFifoSize=896K \"/set:VSync=Vsync Off\" /norefresh").status, 0u);
  const Stored saved = Tuning();
  const std::wstring profile = TempFile(L"regedit.reg");
  Finished finished = RunCommand(L"regedit.exe /e " + Quoted(profile) + L" " +
                                 Quoted(L"HKEY_LOCAL_MACHINE\\" + m_adapter.CurrentKey()));
  ASSERT_EQ(finished.status, 0u) << finished.err;
  const std::string bytes = ReadAll(profile);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");  // UTF-16 with its byte-order mark

  ASSERT_EQ(Run(L"/set:LODBias=0.00 /set:CmdFifoSize=512K /set:VSync=Software /norefresh").status, 0u);
  ASSERT_TRUE(
      testregistry::SetValue(m_adapter.CurrentKey(), L"InstalledDisplayDrivers", REG_SZ, SzData("other")));
  finished = Run(L"/import:" + Quoted(profile));
  EXPECT_EQ(finished.status, 0u) << finished.err;
  EXPECT_NE(finished.err.find("skipped InstalledDisplayDrivers: not a tuning value"), std::string::npos)
      << finished.err;
  const auto other = testregistry::GetValue(m_adapter.CurrentKey(), L"InstalledDisplayDrivers");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->data, SzData("other"));
  Stored restored = Tuning();
  std::erase_if(restored,
                [](const auto& value) { return std::get<0>(value).ends_with(L"InstalledDisplayDrivers"); });
  Stored expected = saved;
  std::erase_if(expected,
                [](const auto& value) { return std::get<0>(value).ends_with(L"InstalledDisplayDrivers"); });
  EXPECT_EQ(restored, expected);
}

// The parent {GUID} key as the registry editor exports it, with a subkey of the adapter's that
// holds no tuning: the adapter's tuning values are applied, the rest is skipped with notes.
TEST_F(CommandLineOnWine, AnExportOfTheParentKeyAppliesTheAdaptersTuning) {
  const std::wstring settings = m_adapter.CurrentKey() + L"\\Settings";
  ASSERT_TRUE(testregistry::CreateKey(settings, true));
  ASSERT_TRUE(testregistry::SetValue(settings, L"Mode", REG_SZ, SzData("x")));
  ASSERT_EQ(Run(L"/set:LODBias=-1.00 /set:DDIVersion=8 /norefresh").status, 0u);
  const Stored saved = Tuning();
  const std::wstring parent = m_adapter.CurrentKey().substr(0, m_adapter.CurrentKey().rfind(L'\\'));
  const std::wstring profile = TempFile(L"parent.reg");
  Finished finished =
      RunCommand(L"regedit.exe /e " + Quoted(profile) + L" " + Quoted(L"HKEY_LOCAL_MACHINE\\" + parent));
  ASSERT_EQ(finished.status, 0u) << finished.err;

  ASSERT_EQ(Run(L"/set:LODBias=2.00 /set:DDIVersion=9 /norefresh").status, 0u);
  finished = Run(L"/import:" + Quoted(profile));
  EXPECT_EQ(finished.status, 0u) << finished.err;
  EXPECT_NE(finished.err.find("\\Settings]: not a tuning key"), std::string::npos) << finished.err;
  EXPECT_EQ(Tuning(), saved);
  ASSERT_TRUE(testregistry::DeleteKey(settings));
}

// "-" is the standard handle: an export to it reads back through an import from it.
TEST_F(CommandLineOnWine, ExportAndImportThroughTheStandardHandles) {
  ASSERT_EQ(Run(L"/set:LODBias=0.75 \"/set:VSync=Vsync On\" /norefresh").status, 0u);
  const Stored saved = Tuning();
  Finished finished = Run(L"/export:-");
  ASSERT_EQ(finished.status, 0u) << finished.err;
  EXPECT_EQ(
      finished.out.rfind("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\", 0), 0u)
      << finished.out;
  const std::wstring profile = TempFile(L"stdout.reg");
  std::ofstream(profile.c_str(), std::ios::binary) << finished.out;

  ASSERT_EQ(Run(L"/set:LODBias=0.00 /set:VSync=Software /norefresh").status, 0u);
  finished = Run(L"/import:- /norefresh", L"Configurator.com", nullptr, true, profile);
  EXPECT_EQ(finished.status, 0u) << finished.err;
  EXPECT_EQ(Tuning(), saved);

  finished = Run(L"/query /export:-");
  EXPECT_EQ(finished.status, 64u);
  EXPECT_TRUE(finished.out.empty()) << finished.out;
}

// Files refused, with the system's words beside the number; nothing is written.
TEST_F(CommandLineOnWine, BadFilesAndConflictsAreRefusedInWords) {
  const std::wstring large = TempFile(L"large.reg");
  {
    HANDLE file = ::CreateFileW(large.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size{};
    size.QuadPart = (16LL << 20) + 1;
    ASSERT_TRUE(::SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && ::SetEndOfFile(file));
    ::CloseHandle(file);
  }
  const std::wstring header = TempFile(L"header.reg");
  std::ofstream(header.c_str(), std::ios::binary) << "Windows Registry Editor Version 5.00\r\n";
  const Stored before = Tuning();
  const struct {
    std::wstring switches;
    DWORD status;
    const char* says;
  } cases[] = {
      {L"/import:" + Quoted(large), 65, "large.reg: larger than 16 MiB, the most a profile may hold"},
      {L"/import:" + Quoted(header), 0, "header.reg: nothing to import"},
      {L"/set:LODBias=0.50 /set:LODBias=1.00", 64, "LODBias is also given 0.50 (set LODBias=0.50)"},
      {L"/export:C:\\no-such-folder\\x.reg", 73, " (error 3)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.switches.begin(), c.switches.end()));
    const Finished finished = Run(c.switches);
    EXPECT_EQ(finished.status, c.status) << finished.err;
    EXPECT_NE(finished.err.find(c.says), std::string::npos) << finished.err;
    EXPECT_EQ(finished.err.find(": error "), std::string::npos) << "a number without words: " << finished.err;
    EXPECT_EQ(Tuning(), before);
  }
  ::DeleteFileW(large.c_str());
}

// The one-chip list spells an entry "2 Sample Anit-aliasing"; a script may spell it right.
TEST_F(CommandLineOnWine, TheCorrectedSpellingIsTakenOnAOneChipBoard) {
  ASSERT_TRUE(m_adapter.SeedHardware(u"QEL 700 M700 Single", u"BIOS 1", u"QEL 700", 64u << 20));
  Finished finished = Run(L"\"/set:AntiAliasing=2 sample anti-aliasing\" /norefresh /query");
  EXPECT_EQ(finished.status, 0u) << finished.err;
  EXPECT_EQ(finished.out.rfind("AntiAliasing=2 Sample Anit-aliasing\r\n", 0), 0u) << finished.out;
}

}  // namespace
