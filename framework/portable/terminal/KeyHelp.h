#pragma once
// The keys of the terminal front end, as a paragraph for the program's --help.
#include <string>

namespace portable::terminal {

std::u16string KeyHelpText();

}  // namespace portable::terminal
