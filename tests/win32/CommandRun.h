#pragma once
// Runs a program of the Windows tests as a process of its own, with its standard handles in files
// (never pipes: Wine's helper processes could hold a pipe open), and reads what it wrote.
#include <windows.h>

#include <string>

struct Finished {
  DWORD status = 0;  // 999: it did not end in time
  DWORD processId = 0;
  std::string out;
  std::string err;
};

// A path in the temporary folder, named for these tests.
std::wstring TempFile(const std::wstring& name);
// A file's bytes; empty when it cannot be read.
std::string ReadAll(const std::wstring& path);
// Runs a command line with its output and errors in files and its input from a file (none: NUL);
// waits up to 60 s. wineDebug, when given, is the program's WINEDEBUG (see WineTrace). Without
// writableOutput, the standard output handle is one that refuses writes.
Finished RunCommand(const std::wstring& commandLine, const wchar_t* wineDebug = nullptr,
                    bool writableOutput = true, const std::wstring& inputPath = L"NUL");
// The text in double quotes, one argument of a command line.
std::wstring Quoted(const std::wstring& text);
