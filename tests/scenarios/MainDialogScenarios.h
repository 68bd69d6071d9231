#pragma once
// The main dialog as a person sees and uses it, on either windowing layer. The host seeds the
// adapter's hardware information, starts the program, then runs these against its User.
#include <ostream>
#include <string>
#include <vector>

#include "tests/scenarios/SettingsScenario.h"
#include "tests/support/User.h"

namespace scenarios {

inline const std::u16string kMainCaption = u"Orlo Configurator";

// What the main dialog shows for the seeded adapter.
struct MainDialogView {
  std::u16string adapter;
  std::u16string bios;
  std::u16string chipType;
  std::u16string memory;
  bool chipButtonEnabled = false;
};

// Adapter texts and the chip dialog each one opens: no model token, each dual model (the
// program counts M720 and M750 alike), and the quad token beside a dual one.
struct ChipCase {
  const char* what;  // the test's name
  std::u16string adapter;
  SettingsDialog dialog;
};
const std::vector<ChipCase>& ChipCases();
inline void PrintTo(const ChipCase& row, std::ostream* os) { *os << row.what; }

// Waits for the main dialog and checks its texts, its buttons and the focus.
void ExpectMainDialog(User& user, const MainDialogView& view);
// A button of the main dialog opens the settings dialog with this caption; Cancel closes it and
// the main dialog is unchanged afterwards.
void ButtonOpensSettingsDialog(User& user, int buttonId, const std::u16string& caption,
                               const MainDialogView& view);
// The disabled chip button cannot be pressed; nothing opens.
void ChipButtonCannotBePressed(User& user);
// A system command (0x0010 to 0x001F) opens the About box; it closes with OK and the main
// dialog is unchanged.
void SystemMenuOpensAboutBox(User& user, unsigned command, const MainDialogView& view);
// Ways out: the Exit button, the Escape key, the window's close command. The program ends.
enum class Ending { ExitButton, EscapeKey, CloseCommand };
void EndingEndsTheProgram(User& user, Ending ending);

}  // namespace scenarios
