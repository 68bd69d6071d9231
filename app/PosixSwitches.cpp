#include <string_view>

#include "app/SwitchParser.h"

namespace {

// "--name", "--name=VALUE" or "--name VALUE", or a short spelling; returns whether the next
// argument was taken as the value.
bool Posix(SwitchParser& parser, const std::u16string& argument, const std::u16string* next,
           std::size_t index) {
  std::u16string_view name = argument;
  std::u16string_view value;
  bool hasValue = false;
  if (const std::size_t equals = name.find(u'='); name.starts_with(u"--") && equals != name.npos) {
    value = name.substr(equals + 1);
    name = name.substr(0, equals);
    hasValue = true;
  }
  const SwitchRow* row = nullptr;
  for (const SwitchRow& candidate : SwitchTable())
    if (parser.Takes(candidate) &&
        (name == candidate.posixName || (!candidate.posixShort.empty() && name == candidate.posixShort)))
      row = &candidate;
  if (row == nullptr) {
    parser.Problem({u"unknown option ", argument}, true);
    return false;
  }
  if (row->value.empty()) {
    if (hasValue)
      parser.Problem({u"option ", name, u" takes no value"});
    else
      parser.Given(*row, {}, index, false);
    return false;
  }
  // A switch whose value may be left out takes the next argument only when it is no option and
  // no hand-off string (which holds '&').
  if (TakesNoValueToo(*row) && !hasValue &&
      (next == nullptr || next->empty() || next->front() == u'-' ||
       next->find(u'&') != std::u16string::npos)) {
    parser.Given(*row, {}, index, false);
    return false;
  }
  const bool tookNext = !hasValue && next != nullptr;
  if (tookNext) value = *next;
  if (value.empty())
    parser.Problem({u"option ", name, u" needs ", row->value});
  else if (row->id == SwitchId::kSet && !IsNameAndValue(value))
    parser.Problem({u"option ", name, u" needs ", row->value, u", not '", value, u"'"});
  else
    parser.Given(*row, value, tookNext ? index + 1 : index, !tookNext);
  return tookNext;
}

}  // namespace

ParsedSwitches ParsePosixSwitches(const std::vector<std::u16string>& arguments,
                                  std::initializer_list<SwitchId> programSwitches) {
  SwitchParser parser(programSwitches);
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::u16string& argument = arguments[i];
    if (optionsEnded || argument.size() < 2 || argument[0] != u'-') {
      parser.Operand(argument);
    } else if (argument == u"--") {
      optionsEnded = true;
    } else {
      const std::u16string* next = i + 1 < arguments.size() ? &arguments[i + 1] : nullptr;
      if (Posix(parser, argument, next, i)) ++i;
    }
  }
  return parser.Result();
}
