#pragma once
// The exit statuses of both programs, as sysexits(3) names them, and the one shape in which the
// app's steps report how they went: a status to decide by and the words to tell the user.
#include <string>

namespace sysexits {
inline constexpr int kOk = 0;
inline constexpr int kUsage = 64;         // a bad argument: unknown option, setting or value
inline constexpr int kDataError = 65;     // an import file, hive or board file that cannot be used
inline constexpr int kNoInput = 66;       // an import file, hive or board file missing or unreadable
inline constexpr int kUnavailable = 69;   // no adapter, no terminal to show the dialogs in
inline constexpr int kCantCreate = 73;    // the export file or the data folder cannot be made
inline constexpr int kIoError = 74;       // a save that failed, a value that did not stick
inline constexpr int kTempFail = 75;      // another launcher is running: try again when it has ended
inline constexpr int kNoPermission = 77;  // write access refused
}  // namespace sysexits

// How a step went: kOk, or the exit status it calls for and why, in words (with what to do).
struct Outcome {
  int status = sysexits::kOk;
  std::u16string why;

  bool Failed() const { return status != sysexits::kOk; }
};
