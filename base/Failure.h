#pragma once
// Why something the POSIX platform was asked to do failed, as the user is told: what failed
// (an action and its file, or a file and line) and why, in the system's words (strerror of the
// errno taken where the call failed) or in ours. Every failure that the platform hands to the
// program for a message travels in this one type, so the program prints them all one way.
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

namespace base {

enum class HiveProblem {
  kNone,
  kMissing,     // no such file (or folder)
  kUnreadable,  // exists but cannot be read (permissions, a folder, an I/O error)
  kNotHive,     // readable, but not a registry hive file
  kCorrupt,     // begins like a hive, but cannot be read (truncated, damaged)
};

struct Failure {
  std::string what;  // what failed; may be empty when why says it all
  std::string why;   // empty: nothing failed
  int error = 0;     // the system's error (errno) behind the failure; 0 when it is not the system's
  HiveProblem problem = HiveProblem::kNone;  // for a hive file, the kind of problem

  // what failed because of the system's error (an errno value).
  static Failure FromErrno(std::string what, int error) {
    return Failure{std::move(what), std::strerror(error), error};
  }
  static Failure Because(std::string what, std::string why) {
    return Failure{std::move(what), std::move(why)};
  }

  bool Failed() const { return !why.empty() || problem != HiveProblem::kNone; }
  // "what: why", or why alone.
  std::string Text() const { return what.empty() ? why : what + ": " + why; }
};

}  // namespace base
