#include "app/SwitchParser.h"

#include <algorithm>
#include <string>

namespace {

constexpr SwitchRow kSwitches[] = {
    {SwitchId::kQuery, u"query", u"--query", u"", u"", true, true},
    {SwitchId::kSet, u"set", u"--set", u"", u"NAME=VALUE", true, true},
    {SwitchId::kExport, u"export", u"--export", u"", u"FILE", true, true},
    {SwitchId::kImport, u"import", u"--import", u"", u"FILE", true, true},
    {SwitchId::kReset, u"reset", u"--reset", u"", u"NAME", true, true},
    {SwitchId::kNoRefresh, u"norefresh", u"--no-refresh", u"", u"", true, false},
    {SwitchId::kHelp, u"?", u"--help", u"-h", u"", true, true},
    {SwitchId::kVersion, u"", u"--version", u"", u"", false, false},
    {SwitchId::kHive, u"", u"--hive", u"", u"a PATH", false, false},
    {SwitchId::kBoard, u"", u"--board", u"", u"a PATH", false, false},
    {SwitchId::kBackupDir, u"", u"--backup-dir", u"", u"a PATH", false, false},
    {SwitchId::kKeepBackups, u"", u"--keep-backups", u"", u"a number N", false, false},
    {SwitchId::kAdapter, u"adapter", u"--adapter", u"",
     u"a number N from 1 (the list of adapters numbers them)", false, false},
    {SwitchId::kListAdapters, u"list-adapters", u"--list-adapters", u"", u"", false, false},
    {SwitchId::kListBackups, u"", u"--list-backups", u"", u"", false, false},
    {SwitchId::kRestoreBackup, u"", u"--restore-backup", u"",
     u"a number N from 1 (--list-backups numbers the backups)", false, false},
    {SwitchId::kCheckHive, u"", u"--check-hive", u"", u"a FILE", false, false},
};

}  // namespace

std::span<const SwitchRow> SwitchTable() { return kSwitches; }

bool IsNameAndValue(std::u16string_view value) {
  const std::size_t equals = value.find(u'=');
  return equals != std::u16string_view::npos && equals > 0;
}

bool TakesNoValueToo(const SwitchRow& row) { return row.id == SwitchId::kReset; }

bool SwitchParser::Takes(const SwitchRow& row) const {
  return row.common ||
         std::find(m_programSwitches.begin(), m_programSwitches.end(), row.id) != m_programSwitches.end();
}

// The message is made of its parts here, once, rather than by concatenations at every call.
void SwitchParser::Problem(std::initializer_list<std::u16string_view> parts, bool unknown) {
  std::u16string message;
  for (std::u16string_view part : parts) message += part;
  m_parsed.problems.push_back({std::move(message), unknown});
}

void SwitchParser::Given(const SwitchRow& row, std::u16string_view value, std::size_t argument,
                         bool attached) {
  m_parsed.given.push_back({row.id, std::u16string(value), argument, attached});
}

bool ParsedSwitches::Scripting() const {
  return std::any_of(given.begin(), given.end(), [](const GivenSwitch& item) {
    for (const SwitchRow& row : kSwitches)
      if (row.id == item.id) return row.scripting;
    return false;
  });
}
