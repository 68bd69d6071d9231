// Windows 2000 under Wine: Wine reports Windows 2000 SP4 to every program the tests start, and
// the adapter's key is the display driver service's Services\<service>\Device0, as Windows 2000
// names it. The real Configurator.exe starts and its General dialog's OK writes under that key;
// Configurator.com sets values there; a profile exported under one key shape imports under the
// other.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <tuple>
#include <utility>

#include "res/resource.h"
#include "tests/scenarios/GeneralDialogScenarios.h"
#include "tests/scenarios/MainDialogScenarios.h"
#include "tests/win32/CommandRun.h"
#include "tests/win32/SeededAdapter.h"
#include "tests/win32/TestRegistry.h"
#include "tests/win32/Win32User.h"

namespace {

using scenarios::DialogKey;
using scenarios::StoredValue;

// While it lives, Wine reports this Windows version to every program started (the value that
// "winecfg /v" writes); then the prefix's setting is put back.
class ReportedWindowsVersion {
 public:
  explicit ReportedWindowsVersion(const std::wstring& version) {
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine", 0, nullptr, 0,
                          KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &m_key, nullptr) != ERROR_SUCCESS) {
      m_key = nullptr;
      return;
    }
    wchar_t previous[64] = {};
    DWORD size = sizeof previous - sizeof(wchar_t);
    DWORD type = REG_NONE;
    if (::RegQueryValueExW(m_key, L"Version", nullptr, &type, reinterpret_cast<BYTE*>(previous), &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ)
      m_previous = previous;
    m_set = Set(version);
  }
  ~ReportedWindowsVersion() {
    if (m_key == nullptr) return;
    if (m_previous)
      Set(*m_previous);
    else
      ::RegDeleteValueW(m_key, L"Version");
    ::RegCloseKey(m_key);
  }
  ReportedWindowsVersion(const ReportedWindowsVersion&) = delete;
  ReportedWindowsVersion& operator=(const ReportedWindowsVersion&) = delete;

  bool IsSet() const { return m_set; }

 private:
  bool Set(const std::wstring& version) {
    return ::RegSetValueExW(m_key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                            static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }

  HKEY m_key = nullptr;
  std::optional<std::wstring> m_previous;
  bool m_set = false;
};

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// Every tuning value of an adapter, as stored, by key (current device key or D3D) and name.
std::vector<StoredValue> Tuning(const SeededAdapter& adapter) {
  std::vector<StoredValue> values;
  for (const DialogKey key : {DialogKey::Device, DialogKey::DriverSettings}) {
    const std::wstring path = key == DialogKey::Device ? adapter.CurrentKey() : adapter.DriverSettingsKey();
    for (const testregistry::Value& value : testregistry::Values(path))
      values.push_back({key, std::u16string(value.name.begin(), value.name.end()), value.type, value.data});
  }
  return scenarios::SortedValues(std::move(values));
}

bool Seed(SeededAdapter& adapter) {
  return adapter.SeedHardware(u"QEL 700 M720 Dual", u"BIOS 2.00", u"QEL 700", 32u << 20) &&
         adapter.CreateCurrentKeys(true);
}

// Configurator.com (or .exe) with these switches and the adapter's hand-off string.
Finished RunOn(const SeededAdapter& adapter, const std::wstring& switches,
               const wchar_t* program = L"Configurator.com") {
  return RunCommand(Quoted(ProgramBesideTests(std::wstring(L"..\\..\\programs\\") + program)) + L" " +
                    switches + L" " + Quoted(adapter.HandOff()));
}

// What /query says of an adapter's settings (without the hardware information).
std::string Settings(const SeededAdapter& adapter) {
  const Finished query = RunOn(adapter, L"/query");
  std::string settings;
  std::istringstream lines(query.out);
  for (std::string line; std::getline(lines, line);)
    if (!line.starts_with("#")) settings += line + "\n";
  return "status " + std::to_string(query.status) + "\n" + settings;
}

class OnWindows2000 : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { s_version = std::make_unique<ReportedWindowsVersion>(L"win2k"); }
  static void TearDownTestSuite() { s_version.reset(); }

  void SetUp() override {
    ASSERT_TRUE(s_version->IsSet()) << "cannot set the Windows version Wine reports";
    ASSERT_TRUE(Seed(m_adapter));
  }

  static std::unique_ptr<ReportedWindowsVersion> s_version;
  SeededAdapter m_adapter{SeededAdapter::Shape::kDriverService};
};

std::unique_ptr<ReportedWindowsVersion> OnWindows2000::s_version;

TEST_F(OnWindows2000, WineReportsWindows2000ToTheProgramsItStarts) {
  const Finished ver = RunCommand(L"cmd.exe /c ver");
  EXPECT_EQ(ver.status, 0u);
  EXPECT_NE(ver.out.find("Windows 5.0.2195"), std::string::npos) << ver.out;
  EXPECT_EQ(m_adapter.DeviceKey().find(L"System\\ControlSet001\\Services\\qel"), 0u);
  EXPECT_TRUE(m_adapter.DeviceKey().ends_with(L"\\Device0"));
}

TEST_F(OnWindows2000, StartsAndTheGeneralDialogsOkWritesUnderTheServiceKey) {
  std::vector<scenarios::Scenario> all = scenarios::GeneralDialogScenarios();
  const auto scenario = std::find_if(
      all.begin(), all.end(), [](const scenarios::Scenario& s) { return s.name == "General_all_changed"; });
  ASSERT_NE(scenario, all.end());
  for (const StoredValue& value : scenario->stored) {
    const std::wstring path =
        value.key == DialogKey::Device ? m_adapter.CurrentKey() : m_adapter.DriverSettingsKey();
    ASSERT_TRUE(testregistry::SetValue(path, Wide(value.name), value.type, value.data));
  }

  Win32User user(ProgramBesideTests(L"..\\..\\programs\\Configurator.exe"), Quoted(m_adapter.HandOff()));
  ASSERT_TRUE(user.Started());
  ASSERT_TRUE(user.WaitForDialog(scenarios::kMainCaption)) << "no main dialog (or a message box instead)";
  EXPECT_EQ(user.Text(IDC_STATIC_ADAPTER), u"QEL 700 M720 Dual");
  EXPECT_EQ(user.Text(IDC_STATIC_CHIP), u"QEL 700");
  EXPECT_EQ(user.Text(IDC_STATIC_MEMORY), u"32 Meg");
  EXPECT_TRUE(user.IsEnabled(IDC_BUTTON_CHIP));
  user.Screenshot(L"main-windows-2000");
  ASSERT_TRUE(user.Click(IDC_BUTTON_GENERAL));
  scenarios::Checks checks;
  if (checks.Expect(user.WaitForDialog(u"General Features"), "the General dialog did not open"))
    scenario->steps(user, checks);
  for (const std::string& failure : checks.Failures()) ADD_FAILURE() << failure;
  ASSERT_TRUE(user.WaitForDialog(scenarios::kMainCaption));
  ASSERT_TRUE(user.Click(IDCANCEL));
  ASSERT_EQ(user.WaitForExit(), 0);

  std::vector<StoredValue> expected = scenario->expected;
  std::sort(expected.begin(), expected.end(), [](const StoredValue& a, const StoredValue& b) {
    return std::tie(a.key, a.name) < std::tie(b.key, b.name);
  });
  EXPECT_EQ(Tuning(m_adapter), expected) << "stored afterwards:\n"
                                         << scenarios::DescribeValues(Tuning(m_adapter)) << "expected:\n"
                                         << scenarios::DescribeValues(expected);
}

TEST_F(OnWindows2000, SetWritesUnderTheServiceKey) {
  const Finished finished = RunOn(m_adapter, L"/set:LODBias=0.50 /set:DDIVersion=7 /norefresh");
  EXPECT_EQ(finished.status, 0u) << finished.err;
  const auto lodBias = testregistry::GetValue(m_adapter.DriverSettingsKey(), L"QLDRV_LOD_BIAS");
  ASSERT_TRUE(lodBias);
  EXPECT_EQ(lodBias->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(lodBias->data, std::vector<BYTE>({'2', 0, 0, 0}));
  const auto dx8 = testregistry::GetValue(m_adapter.CurrentKey(), L"DisableDX8");
  ASSERT_TRUE(dx8);
  EXPECT_EQ(dx8->type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(dx8->data, std::vector<BYTE>({1, 0, 0, 0}));
  const Finished query = RunOn(m_adapter, L"/query");
  EXPECT_EQ(query.status, 0u) << query.err;
  EXPECT_NE(query.out.find("\r\nLODBias=0.50\r\n"), std::string::npos) << query.out;
}

TEST_F(OnWindows2000, AProfileImportsUnderTheOtherKeyShape) {
  SeededAdapter video(SeededAdapter::Shape::kVideo);
  ASSERT_TRUE(Seed(video));
  struct Direction {
    const char* what;
    const SeededAdapter& from;
    const SeededAdapter& to;
    const wchar_t* switches;    // what the exporting adapter is given
    std::vector<BYTE> lodBias;  // QLDRV_LOD_BIAS as the import must store it
  };
  const Direction directions[] = {
      {"Services to Video",
       m_adapter,
       video,
       L"/set:LODBias=-1.00 /set:TripleBuffer=off \"/set:VSync=Vsync Off\" /set:CmdFifoSize=640K",
       {'-', 0, '4', 0, 0, 0}},
      {"Video to Services",
       video,
       m_adapter,
       L"/set:LODBias=1.25 /set:DDIVersion=8 /set:FilterQuality=Normal /set:AntiAliasing=Fastest",
       {'5', 0, 0, 0}},
  };
  for (const Direction& direction : directions) {
    SCOPED_TRACE(direction.what);
    ASSERT_EQ(RunOn(direction.from, std::wstring(direction.switches) + L" /norefresh").status, 0u);
    const std::wstring profile = TempFile(L"shape.reg");
    Finished finished = RunOn(direction.from, L"/export:" + Quoted(profile));
    ASSERT_EQ(finished.status, 0u) << finished.err;
    ASSERT_NE(Settings(direction.to), Settings(direction.from));
    finished = RunOn(direction.to, L"/import:" + Quoted(profile) + L" /norefresh");
    EXPECT_EQ(finished.status, 0u) << finished.err;
    EXPECT_EQ(Settings(direction.to), Settings(direction.from));
    const auto lodBias = testregistry::GetValue(direction.to.DriverSettingsKey(), L"QLDRV_LOD_BIAS");
    EXPECT_TRUE(lodBias && lodBias->data == direction.lodBias);
  }
}

}  // namespace
