#pragma once
// A Windows command line as typed, split into arguments as the Windows programs' start-up splits
// it: the program's name up to white space (or its closing quote when it starts with one), then
// arguments separated by white space, in which white space inside quotes belongs to the
// argument, a quote after an odd number of backslashes is a quote character, and "" inside quotes
// is one.
#include <cstddef>
#include <string>
#include <string_view>

// The command line after the argument of this index (0 being the first argument after the
// program's name) and the white space that follows it, as typed. Empty when there is nothing
// after it.
std::u16string CommandLineAfter(std::u16string_view commandLine, std::size_t argument);
