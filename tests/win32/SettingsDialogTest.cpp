// The settings dialog scenarios against the real Configurator.exe: a representative set of
// the shared scenarios, each on an adapter of its own seeded in the real registry. The user
// opens the dialog from the main dialog's button, runs the steps and ends the program; then
// both keys are read back with exact types and bytes, and Wine's DirectDraw trace of the
// program tells whether the display mode was refreshed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <set>
#include <sstream>
#include <tuple>

#include "res/resource.h"
#include "tests/scenarios/ChipDialogScenarios.h"
#include "tests/scenarios/GeneralDialogScenarios.h"
#include "tests/scenarios/MainDialogScenarios.h"
#include "tests/win32/SeededAdapter.h"
#include "tests/win32/TestRegistry.h"
#include "tests/win32/Win32User.h"
#include "tests/win32/WineTrace.h"

namespace scenarios {
// Names a scenario in gtest's output instead of dumping its bytes.
inline void PrintTo(const Scenario& scenario, std::ostream* os) { *os << scenario.name; }
}  // namespace scenarios

namespace {

using scenarios::DialogKey;
using scenarios::Scenario;
using scenarios::SettingsDialog;
using scenarios::StoredValue;

// Each scenario costs a start of the program, so a chosen set runs here: every dual-chip
// mapping, one write of each other chip dialog, the round trips of the general dialog that
// matter on a real registry (types and bytes, a deleted value, an unreadable long text), the
// refusal by a real security descriptor and the absent D3D key. The native tests run them all.
const char* const kChosen[] = {
    "Dual_AntiAlias_0_shows_Single_Chip",
    "Dual_AntiAlias_3_shows_2_Sample_AntiminusAliasing",
    "Dual_AntiAlias_4_shows_4_Sample_AntiminusAliasing",
    "Dual_AntiAlias_7_shows_Fastest",
    "Dual_AntiAlias_missing_choose_Single_Chip_writes_0",
    "Dual_AntiAlias_missing_choose_2_Sample_AntiminusAliasing_writes_3",
    "Dual_AntiAlias_missing_choose_4_Sample_AntiminusAliasing_writes_4",
    "Dual_AntiAlias_0_choose_Fastest_writes_2",
    "Dual_AntiAlias_7_choose_Single_Chip_writes_0",
    "Dual_GuardBand_2_shows_nothing",
    "Dual_both_changed",
    "Dual_Enter_is_OK",
    "Dual_Cancel_after_edits",
    "Dual_write_refused",
    "Single_AntiAlias_missing_choose_2_Sample_Anitminusaliasing_writes_1",
    "Quad_AntiAlias_missing_choose_8_Sample_AntiminusAliasing_writes_8",
    "Single_no_driver_settings_key",
    "Quad_no_driver_settings_key",
    "General_nothing_stored",
    "General_all_stored_unchanged",
    "General_all_changed",
    "General_VSync_0_choose_Software_deletes",
    "General_VSync_1_choose_Software_deletes",
    "General_Ddi_9_choose_8",
    "General_Fifo_700000_normalised",
    "General_Box_text_3_is_51",
    "General_Lod_64_characters_unreadable",
    "General_Cancel_after_edits",
    "General_write_refused",
    "General_no_driver_settings_key",
};

std::vector<Scenario> AllScenarios() {
  std::vector<Scenario> all = scenarios::ChipDialogScenarios();
  std::vector<Scenario> general = scenarios::GeneralDialogScenarios();
  all.insert(all.end(), std::make_move_iterator(general.begin()), std::make_move_iterator(general.end()));
  return all;
}

std::vector<Scenario> ChosenScenarios() {
  std::vector<Scenario> chosen;
  for (Scenario& scenario : AllScenarios())
    if (std::find(std::begin(kChosen), std::end(kChosen), scenario.name) != std::end(kChosen))
      chosen.push_back(std::move(scenario));
  return chosen;
}

TEST(SettingsScenariosOnWine, EveryChosenScenarioExists) {
  std::set<std::string> names;
  for (const Scenario& scenario : AllScenarios()) names.insert(scenario.name);
  for (const char* name : kChosen) EXPECT_EQ(names.count(name), 1u) << name;
}

// The adapter text that gives the chip count whose chip dialog the scenario needs.
std::u16string AdapterTextFor(SettingsDialog dialog) {
  switch (dialog) {
    case SettingsDialog::SingleChip:
      return u"Orlo M600";
    case SettingsDialog::QuadChip:
      return u"Orlo M940";
    case SettingsDialog::General:
    case SettingsDialog::DualChip:
      break;
  }
  return u"Orlo M750";
}

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

std::vector<StoredValue> StoredIn(const SeededAdapter& adapter) {
  std::vector<StoredValue> values;
  for (const DialogKey key : {DialogKey::Device, DialogKey::DriverSettings}) {
    const std::wstring path = key == DialogKey::Device ? adapter.CurrentKey() : adapter.DriverSettingsKey();
    for (const testregistry::Value& value : testregistry::Values(path))
      values.push_back({key, std::u16string(value.name.begin(), value.name.end()), value.type, value.data});
  }
  return values;
}

class SettingsDialogOnWine : public ::testing::TestWithParam<Scenario> {};

TEST_P(SettingsDialogOnWine, Runs) {
  const Scenario& scenario = GetParam();
  SeededAdapter adapter;
  ASSERT_TRUE(adapter.SeedHardware(AdapterTextFor(scenario.dialog), u"BIOS 3.1", u"QEL 700", 64u << 20));
  ASSERT_TRUE(adapter.CreateCurrentKeys(scenario.driverSettingsKeyExists));
  for (const StoredValue& value : scenario.stored) {
    const std::wstring path =
        value.key == DialogKey::Device ? adapter.CurrentKey() : adapter.DriverSettingsKey();
    ASSERT_TRUE(testregistry::SetValue(path, Wide(value.name), value.type, value.data))
        << scenarios::Narrow(value.name);
  }
  if (!scenario.writable) {
    ASSERT_TRUE(testregistry::SetSecurity(adapter.CurrentKey(), testregistry::kReadOnlyForEveryone));
    if (scenario.driverSettingsKeyExists) {
      ASSERT_TRUE(testregistry::SetSecurity(adapter.DriverSettingsKey(), testregistry::kReadOnlyForEveryone));
    }
  }

  const WineTrace trace;
  ASSERT_TRUE(trace.Available()) << "CONFIGURATOR_WINE_TRACE names no file: run through ctest";
  DWORD processId = 0;
  {
    Win32User user(ProgramBesideTests(L"..\\..\\programs\\Configurator.exe"),
                   L"\"" + adapter.HandOff() + L"\"", WineTrace::Environment());
    ASSERT_TRUE(user.Started());
    processId = user.ProcessId();
    ASSERT_TRUE(user.WaitForDialog(scenarios::kMainCaption));
    ASSERT_TRUE(
        user.Click(scenario.dialog == SettingsDialog::General ? IDC_BUTTON_GENERAL : IDC_BUTTON_CHIP));

    scenarios::Checks checks;
    if (checks.Expect(user.WaitForDialog(scenarios::CaptionOf(scenario.dialog)), "the dialog did not open"))
      scenario.steps(user, checks);
    for (const std::string& failure : checks.Failures()) ADD_FAILURE() << failure;

    // Back in the main dialog, the user leaves the program.
    ASSERT_TRUE(user.WaitForDialog(scenarios::kMainCaption));
    ASSERT_TRUE(user.Click(IDCANCEL));
    ASSERT_EQ(user.WaitForExit(), 0);
  }

  EXPECT_EQ(scenarios::SortedValues(StoredIn(adapter)), scenarios::SortedValues(scenario.expected))
      << "stored afterwards:\n"
      << scenarios::DescribeValues(scenarios::SortedValues(StoredIn(adapter))) << "expected:\n"
      << scenarios::DescribeValues(scenarios::SortedValues(scenario.expected));
  EXPECT_EQ(testregistry::KeyExists(adapter.DriverSettingsKey()), scenario.driverSettingsKeyExists);
  EXPECT_EQ(trace.RefreshCalls(processId),
            scenario.refreshed ? WineTrace::Calls(1, 1, 1, 1) : WineTrace::Calls(0, 0, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(Chosen, SettingsDialogOnWine, ::testing::ValuesIn(ChosenScenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& param) { return param.param.name; });

}  // namespace
