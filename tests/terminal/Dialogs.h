#pragma once
// Dialog models of the program's real templates, filled as the program shows them, for
// rendering tests that need no running program.
#include "framework/portable/Model.h"

namespace terminal_test {

// The template with its list data appended and, for the main dialog, the hardware texts, the
// enabled chip button and the About entry of its system menu. Focus on the first tab stop.
portable::DialogModel ProgramDialog(int id);
// A message box as the layer makes one.
portable::DialogModel MessageBox(const std::u16string& text, const std::u16string& caption);

}  // namespace terminal_test
