// The shared scenarios of the settings dialogs, run on the portable layer.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "tests/dialogs/DialogHost.h"
#include "tests/scenarios/ChipDialogScenarios.h"
#include "tests/scenarios/GeneralDialogScenarios.h"

namespace {

using scenarios::Checks;
using scenarios::Scenario;
using scenarios::StoredValue;

void RunScenario(const Scenario& scenario) {
  DialogHost host;
  host.Seed(scenario.stored, scenario.driverSettingsKeyExists);
  host.store.DenyWriteEverywhere(!scenario.writable);

  Checks checks;
  int result = -1;
  {
    std::unique_ptr<PortableUser> user = host.Open(scenario.dialog);
    if (checks.Expect(user->WaitForDialog(scenarios::CaptionOf(scenario.dialog)), "the dialog did not open"))
      scenario.steps(*user, checks);
    result = user->WaitForExit();
  }
  for (const std::string& failure : checks.Failures()) ADD_FAILURE() << failure;
  EXPECT_EQ(result, scenario.result);

  EXPECT_EQ(scenarios::SortedValues(host.Stored()), scenarios::SortedValues(scenario.expected))
      << "stored afterwards:\n"
      << scenarios::DescribeValues(scenarios::SortedValues(host.Stored())) << "expected:\n"
      << scenarios::DescribeValues(scenarios::SortedValues(scenario.expected));
  EXPECT_EQ(host.store.KeyExists(testadapter::kDriverKey), scenario.driverSettingsKeyExists);
  Checks refresh;
  host.ExpectRefreshes(scenario.refreshed, refresh);
  for (const std::string& failure : refresh.Failures()) ADD_FAILURE() << failure;
  EXPECT_EQ(host.store.OpenHandleCount(), 0);
  if (scenario.writeOpens) {
    EXPECT_EQ(host.store.OpenCount(platform::kKeyWrite), *scenario.writeOpens);
  }
}

class ChipDialogScenario : public testing::TestWithParam<Scenario> {};
TEST_P(ChipDialogScenario, Runs) { RunScenario(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Chip, ChipDialogScenario, testing::ValuesIn(scenarios::ChipDialogScenarios()),
                         [](const testing::TestParamInfo<Scenario>& param) { return param.param.name; });

class GeneralDialogScenario : public testing::TestWithParam<Scenario> {};
TEST_P(GeneralDialogScenario, Runs) { RunScenario(GetParam()); }
INSTANTIATE_TEST_SUITE_P(General, GeneralDialogScenario,
                         testing::ValuesIn(scenarios::GeneralDialogScenarios()),
                         [](const testing::TestParamInfo<Scenario>& param) { return param.param.name; });

}  // namespace
