#pragma once
// Scenarios of the general features dialog: each control's round trip from the stored form to
// what it shows and back to what OK stores (types and bytes), and when nothing is written.
#include <vector>

#include "tests/scenarios/SettingsScenario.h"

namespace scenarios {

std::vector<Scenario> GeneralDialogScenarios();

}  // namespace scenarios
