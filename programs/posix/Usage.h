#pragma once
// What --help prints: the program's options, the scripting actions and the terminal's keys.

// Prints it to standard output; a failed write shows in the stream's error state.
void PrintHelp();
