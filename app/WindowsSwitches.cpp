#include <string_view>

#include "app/SwitchParser.h"
#include "base/Text.h"

namespace {

// "/name" or "-name", a value after the first colon; names in any case. Messages name the
// argument as typed, quoted: "/set:" would otherwise read as "/set::".
void Windows(SwitchParser& parser, const std::u16string& argument, std::size_t index) {
  const std::u16string_view prefix = std::u16string_view(argument).substr(0, 1);
  const std::u16string_view body = std::u16string_view(argument).substr(1);
  const std::size_t colon = body.find(u':');
  const std::u16string_view name = body.substr(0, colon);
  const SwitchRow* row = nullptr;
  for (const SwitchRow& candidate : SwitchTable())
    if (!candidate.windowsName.empty() && parser.Takes(candidate) &&
        base::NamesEqual(name, candidate.windowsName))
      row = &candidate;
  if (row == nullptr) return parser.Problem({u"unknown switch '", argument, u"'"}, true);
  if (row->value.empty()) {
    if (colon != std::u16string_view::npos)
      return parser.Problem({u"'", argument, u"': ", prefix, row->windowsName, u" takes no value"});
    return parser.Given(*row, {}, index, false);
  }
  const std::u16string_view value =
      colon == std::u16string_view::npos ? std::u16string_view() : body.substr(colon + 1);
  if (colon == std::u16string_view::npos && TakesNoValueToo(*row))
    return parser.Given(*row, {}, index, false);
  if (value.empty() || (row->id == SwitchId::kSet && !IsNameAndValue(value)))
    return parser.Problem({u"'", argument, u"': expected ", prefix, row->windowsName, u":", row->value});
  parser.Given(*row, value, index, true);
}

}  // namespace

// The Windows programs' own: an adapter found in the registry when no display device answers.
constexpr std::initializer_list<SwitchId> kWindowsSwitches = {SwitchId::kAdapter, SwitchId::kListAdapters};

ParsedSwitches ParseWindowsSwitches(const std::vector<std::u16string>& arguments) {
  SwitchParser parser(kWindowsSwitches);
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::u16string& argument = arguments[i];
    if (!argument.empty() && (argument[0] == u'/' || argument[0] == u'-'))
      Windows(parser, argument, i);
    else
      parser.Operand(argument);
  }
  return parser.Result();
}
