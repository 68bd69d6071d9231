#pragma once
// Scenarios of the three chip configuration dialogs: how stored anti-aliasing and guard band
// numbers show, what OK stores for each entry, and when nothing is written.
#include <vector>

#include "tests/scenarios/SettingsScenario.h"

namespace scenarios {

std::vector<Scenario> ChipDialogScenarios();

}  // namespace scenarios
