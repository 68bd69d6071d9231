#include "programs/posix/Messages.h"

#include <cstdio>

#include "app/ExitStatus.h"

void Say(const std::string& text) { std::fprintf(stderr, "configurator: %s\n", text.c_str()); }

int Refused(const std::string& why, int status) {
  Say(why);
  return status;
}

int UsageError(const std::string& why) {
  std::fprintf(stderr, "configurator: %s\nTry 'configurator --help' for more information.\n", why.c_str());
  return sysexits::kUsage;
}

int OutputLost(const std::string& why, int status) {
  Say("cannot write the output: " + why);
  return status != sysexits::kOk ? status : sysexits::kIoError;
}

std::string ShellWord(const std::string& text) {
  if (!text.empty() &&
      text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._-+,:@%") ==
          std::string::npos)
    return text;
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}
