#include "app/TuningCommandLineInfo.h"

#include <string_view>

#include "app/AdapterDiscovery.h"
#include "base/Text.h"
#include "framework/Wnd.h"

namespace {

constexpr char16_t kProgram[] = u"Configurator";

// The switch's name up to a colon, and what follows the colon.
bool IsSwitch(std::u16string_view param, std::u16string_view name, std::u16string* value) {
  const std::size_t colon = param.find(u':');
  if (!base::NamesEqual(param.substr(0, colon), name)) return false;
  *value = colon == std::u16string_view::npos ? std::u16string() : std::u16string(param.substr(colon + 1));
  return true;
}

void WriteLines(const std::u16string& text, bool standardError) {
  if (!standardError) {
    AfxWriteStandardStream(text);
    return;
  }
  std::u16string prefixed;
  for (std::u16string_view rest = text; !rest.empty();) {
    const std::size_t end = rest.find(u'\n');
    prefixed += std::u16string(kProgram) + u": " + std::u16string(rest.substr(0, end)) + u"\n";
    rest.remove_prefix(end == std::u16string_view::npos ? rest.size() : end + 1);
  }
  AfxWriteStandardStream(prefixed, true);
}

const char16_t kUsage[] =
    u"Usage: Configurator [SWITCH]... [HAND-OFF]\n"
    u"Tune the display driver of a QEL 700 board. Without a switch below, the dialogs open.\n"
    u"HAND-OFF names the adapter as DEVICE&&&DEVICE-KEY; without it the display devices are\n"
    u"probed for the board's driver.\n"
    u"  /?   this help\n"
    u"\n";

}  // namespace

void CTuningCommandLineInfo::ParseParam(const std::u16string& param, bool flag, bool last) {
  if (!flag) {
    CCommandLineInfo::ParseParam(param, flag, last);
    return;
  }
  std::u16string value;
  if (param == u"?") {
    m_help = true;
  } else if (base::NamesEqual(param, u"query")) {
    m_commands.query = true;
  } else if (base::NamesEqual(param, u"norefresh")) {
    m_commands.noRefresh = true;
  } else if (IsSwitch(param, u"set", &value)) {
    if (value.empty())
      m_errors.push_back(u"/" + param + u": expected /set:NAME=VALUE");
    else
      m_commands.sets.push_back(value);
  } else if (IsSwitch(param, u"export", &value) || IsSwitch(param, u"import", &value)) {
    const bool isExport = base::NamesEqual(std::u16string_view(param).substr(0, 6), u"export");
    if (value.empty())
      m_errors.push_back(u"/" + param + u": expected /" + (isExport ? u"export" : u"import") + u":FILE");
    else
      (isExport ? m_commands.exportPath : m_commands.importPath) = value;
  }
}

int CTuningCommandLineInfo::Run() const {
  if (m_help) {
    const std::u16string help = kUsage + TuningCommandsHelp(true);
    if (!AfxWriteStandardStream(help)) ShowMessageBox(nullptr, help, kProgram, MB_OK);
    return sysexits::kOk;
  }
  if (!m_errors.empty()) {
    std::u16string messages;
    for (const std::u16string& error : m_errors) messages += error + u"\n";
    WriteLines(messages + u"Try 'Configurator /?' for more information.", true);
    return sysexits::kUsage;
  }
  // The adapter of the hand-off argument, or the one discovery finds, without its message box.
  std::u16string handOff = m_strFileName;
  if (handOff.empty()) DiscoverAdapter(g_adapterTable, handOff, false);
  const TuningCommandsResult result = RunTuningCommands(m_commands, handOff);
  if (!result.output.empty()) WriteLines(result.output, false);
  if (!result.messages.empty()) WriteLines(result.messages, true);
  return result.status;
}
