#include "app/Switches.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "base/Text.h"

namespace {

struct SwitchSpec {
  SwitchId id;
  std::u16string_view windowsName;  // without its "/"; empty: the Windows programs have no such switch
  std::u16string_view posixName;
  std::u16string_view posixShort;  // a one-letter spelling, or empty
  std::u16string_view value;       // what its value is, for the messages; empty: it takes none
  bool common;                     // every program takes it; otherwise the program names it
  bool scripting;                  // it runs the program without the dialogs
};

constexpr SwitchSpec kSwitches[] = {
    {SwitchId::kQuery, u"query", u"--query", u"", u"", true, true},
    {SwitchId::kSet, u"set", u"--set", u"", u"NAME=VALUE", true, true},
    {SwitchId::kExport, u"export", u"--export", u"", u"FILE", true, true},
    {SwitchId::kImport, u"import", u"--import", u"", u"FILE", true, true},
    {SwitchId::kNoRefresh, u"norefresh", u"--no-refresh", u"", u"", true, false},
    {SwitchId::kHelp, u"?", u"--help", u"-h", u"", true, true},
    {SwitchId::kVersion, u"", u"--version", u"", u"", false, false},
    {SwitchId::kHive, u"", u"--hive", u"", u"a PATH", false, false},
    {SwitchId::kBoard, u"", u"--board", u"", u"a PATH", false, false},
    {SwitchId::kBackupDir, u"", u"--backup-dir", u"", u"a PATH", false, false},
    {SwitchId::kKeepBackups, u"", u"--keep-backups", u"", u"a number N", false, false},
    {SwitchId::kAdapter, u"", u"--adapter", u"", u"a number N from 1 (--list-adapters numbers the adapters)",
     false, false},
    {SwitchId::kListAdapters, u"", u"--list-adapters", u"", u"", false, false},
};

const SwitchSpec* Find(SwitchId id) {
  for (const SwitchSpec& spec : kSwitches)
    if (spec.id == id) return &spec;
  return nullptr;
}

// A value of --set names a setting before its "=".
bool IsNameAndValue(std::u16string_view value) {
  const std::size_t equals = value.find(u'=');
  return equals != std::u16string_view::npos && equals > 0;
}

std::u16string Quoted(std::u16string_view text) { return u"'" + std::u16string(text) + u"'"; }

class Parser {
 public:
  Parser(SwitchStyle style, std::initializer_list<SwitchId> programSwitches)
      : style_(style), programSwitches_(programSwitches) {}

  ParsedSwitches Parse(const std::vector<std::u16string>& arguments) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      const std::u16string& argument = arguments[i];
      if (style_ == SwitchStyle::kWindows) {
        if (!argument.empty() && (argument[0] == u'/' || argument[0] == u'-'))
          Windows(argument, i);
        else
          parsed_.operands.push_back(argument);
        continue;
      }
      if (optionsEnded || argument.size() < 2 || argument[0] != u'-') {
        parsed_.operands.push_back(argument);
      } else if (argument == u"--") {
        optionsEnded = true;
      } else {
        const std::u16string* next = i + 1 < arguments.size() ? &arguments[i + 1] : nullptr;
        if (Posix(argument, next, i)) ++i;
      }
    }
    return std::move(parsed_);
  }

 private:
  bool Takes(const SwitchSpec& spec) const {
    return spec.common ||
           std::find(programSwitches_.begin(), programSwitches_.end(), spec.id) != programSwitches_.end();
  }

  void Problem(std::u16string message, bool unknown = false) {
    parsed_.problems.push_back({std::move(message), unknown});
  }

  // "/name" or "-name", a value after the first colon; names in any case.
  void Windows(const std::u16string& argument, std::size_t index) {
    const std::u16string_view body = std::u16string_view(argument).substr(1);
    const std::size_t colon = body.find(u':');
    const std::u16string_view name = body.substr(0, colon);
    const SwitchSpec* spec = nullptr;
    for (const SwitchSpec& candidate : kSwitches)
      if (!candidate.windowsName.empty() && Takes(candidate) && base::NamesEqual(name, candidate.windowsName))
        spec = &candidate;
    if (spec == nullptr) return Problem(u"unknown switch " + Quoted(argument), true);

    // Messages name the argument as typed, quoted: "/set:" would otherwise read as "/set::".
    const std::u16string written = argument.substr(0, 1) + std::u16string(spec->windowsName);
    if (spec->value.empty()) {
      if (colon != std::u16string_view::npos)
        return Problem(Quoted(argument) + u": " + written + u" takes no value");
      return Given(*spec, {}, index, false);
    }
    const std::u16string value =
        colon == std::u16string_view::npos ? std::u16string() : std::u16string(body.substr(colon + 1));
    if (value.empty() || (spec->id == SwitchId::kSet && !IsNameAndValue(value)))
      return Problem(Quoted(argument) + u": expected " + written + u":" + std::u16string(spec->value));
    Given(*spec, value, index, true);
  }

  // "--name", "--name=VALUE" or "--name VALUE", or a short spelling; returns whether the next
  // argument was taken as the value.
  bool Posix(const std::u16string& argument, const std::u16string* next, std::size_t index) {
    std::u16string name = argument;
    std::optional<std::u16string> value;
    if (const std::size_t equals = argument.find(u'=');
        argument.starts_with(u"--") && equals != std::u16string::npos) {
      name = argument.substr(0, equals);
      value = argument.substr(equals + 1);
    }
    const SwitchSpec* spec = nullptr;
    for (const SwitchSpec& candidate : kSwitches)
      if (Takes(candidate) &&
          (name == candidate.posixName || (!candidate.posixShort.empty() && name == candidate.posixShort)))
        spec = &candidate;
    if (spec == nullptr) {
      Problem(u"unknown option " + argument, true);
      return false;
    }
    if (spec->value.empty()) {
      if (value)
        Problem(u"option " + name + u" takes no value");
      else
        Given(*spec, {}, index, false);
      return false;
    }
    bool tookNext = false;
    if (!value && next != nullptr) {
      value = *next;
      tookNext = true;
    }
    const std::u16string needs = u"option " + name + u" needs " + std::u16string(spec->value);
    if (!value || value->empty())
      Problem(needs);
    else if (spec->id == SwitchId::kSet && !IsNameAndValue(*value))
      Problem(needs + u", not " + Quoted(*value));
    else
      Given(*spec, *value, tookNext ? index + 1 : index, !tookNext);
    return tookNext;
  }

  void Given(const SwitchSpec& spec, std::u16string value, std::size_t argument, bool attached) {
    parsed_.given.push_back({spec.id, std::move(value), argument, attached});
  }

  SwitchStyle style_;
  std::initializer_list<SwitchId> programSwitches_;
  ParsedSwitches parsed_;
};

}  // namespace

bool ParsedSwitches::Has(SwitchId id) const {
  return std::any_of(given.begin(), given.end(), [id](const GivenSwitch& item) { return item.id == id; });
}

bool ParsedSwitches::Scripting() const {
  return std::any_of(given.begin(), given.end(),
                     [](const GivenSwitch& item) { return Find(item.id)->scripting; });
}

ParsedSwitches ParseSwitches(const std::vector<std::u16string>& arguments, SwitchStyle style,
                             std::initializer_list<SwitchId> programSwitches) {
  return Parser(style, programSwitches).Parse(arguments);
}
