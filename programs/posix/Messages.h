#pragma once
// What the POSIX program says on standard error, each message after its name: a note, a refusal
// that ends the run, a bad command line, and output that could not be written; and a word as
// the shell takes it, for the command lines it prints.
#include <string>

// "configurator: " and the text, as one line.
void Say(const std::string& text);
// Says why the run cannot go on and returns status, to end the run with.
int Refused(const std::string& why, int status);
// Says what is wrong with the command line, points to --help, and returns 64.
int UsageError(const std::string& why);
// Output that was not written is lost: the run failed (74), unless it failed for another reason
// already, whose status it keeps.
int OutputLost(const std::string& why, int status);

// A word as the shell takes it: quoted when it holds anything but plain characters.
std::string ShellWord(const std::string& text);
