#include "app/WindowsCommandLine.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

std::u16string CommandLineAfter(std::u16string_view commandLine, std::size_t argument) {
  std::size_t at = 0;
  const std::size_t size = commandLine.size();
  // The program's name: up to the closing quote when it starts with one, then to white space.
  bool quoted = false;
  for (; at < size && (quoted || !IsBlank(commandLine[at])); ++at)
    if (commandLine[at] == u'"') quoted = !quoted;
  for (std::size_t index = 0;; ++index) {
    while (at < size && IsBlank(commandLine[at])) ++at;
    if (at == size) return {};
    if (index == argument + 1) return std::u16string(commandLine.substr(at));
    // An argument: white space inside quotes is part of it; a quote after an odd number of
    // backslashes is a quote character, and "" inside quotes is one.
    quoted = false;
    std::size_t backslashes = 0;
    for (; at < size && (quoted || !IsBlank(commandLine[at])); ++at) {
      const char16_t c = commandLine[at];
      if (c == u'\\') {
        ++backslashes;
        continue;
      }
      if (c == u'"' && backslashes % 2 == 0) {
        if (quoted && at + 1 < size && commandLine[at + 1] == u'"')
          ++at;
        else
          quoted = !quoted;
      }
      backslashes = 0;
    }
  }
}
