// Both switch parsers on any arguments (UTF-16 units, split at null units): every argument is
// accounted for, and each value is where the parser says it was read, as the POSIX program
// relies on to take a file name's own bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Switches.h"

namespace {

void Check(const ParsedSwitches& parsed, const std::vector<std::u16string>& arguments) {
  for (const GivenSwitch& given : parsed.given) {
    if (given.argument >= arguments.size()) std::abort();
    const std::u16string& argument = arguments[given.argument];
    if (given.attached) {
      if (argument.size() < given.value.size() + 1) std::abort();
      if (argument.compare(argument.size() - given.value.size(), given.value.size(), given.value) != 0)
        std::abort();
    } else if (!given.value.empty() && argument != given.value) {
      std::abort();
    }
  }
  if (parsed.given.size() + parsed.operands.size() + parsed.problems.size() > arguments.size()) std::abort();
  for (const SwitchProblem& problem : parsed.problems)
    if (problem.message.empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::u16string> arguments(1);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (unit == 0)
      arguments.emplace_back();
    else
      arguments.back().push_back(unit);
  }
  Check(ParseWindowsSwitches(arguments), arguments);
  Check(ParsePosixSwitches(arguments, {SwitchId::kHive, SwitchId::kAdapter, SwitchId::kVersion}), arguments);
  return 0;
}
