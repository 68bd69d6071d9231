#include "app/TuningCommands.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>

#include "app/RegFile.h"
#include "base/ByteOrder.h"
#include "base/Text.h"
#include "framework/Wnd.h"
#include "mainwnd/AdapterIdentity.h"
#include "mainwnd/HardwareInformation.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "settings/RefreshDisplayMode.h"
#include "settings/Sequences.h"
#include "settings/SettingsKey.h"
#include "settings/TuningSetting.h"

namespace {

constexpr std::u16string_view kMachineRoot = u"HKEY_LOCAL_MACHINE\\";

std::u16string Decimal(std::int64_t number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string Joined(const std::vector<std::u16string>& texts) {
  std::u16string joined;
  for (const std::u16string& text : texts) joined += (joined.empty() ? u"" : u", ") + text;
  return joined;
}

// A registry status in words, as the user is told it.
std::u16string StatusWords(long status) {
  switch (status) {
    case platform::kFileNotFound:
      return u"no such key";
    case platform::kAccessDenied:
      return u"access denied";
    case platform::kBadPathName:
      return u"not a key path";
    case 1015:
      return u"the registry is damaged";
    case 1018:
      return u"the key was deleted";
    default:
      return u"error " + Decimal(status);
  }
}

// What the run found wrong; the first error decides the exit status.
class Report {
 public:
  void Error(int status, const std::u16string& message) {
    if (m_status == sysexits::kOk) m_status = status;
    m_messages += message + u"\n";
  }
  void Note(const std::u16string& message) { m_messages += message + u"\n"; }
  bool Failed() const { return m_status != sysexits::kOk; }
  TuningCommandsResult Result(std::u16string output) const {
    return {m_status, std::move(output), m_messages};
  }

 private:
  int m_status = sysexits::kOk;
  std::u16string m_messages;
};

struct Adapter {
  std::u16string keyPath;  // the current device key path
  std::vector<TuningSetting> settings;
  HardwareInformation information;
};

// Every setting by name, also those this adapter lacks, to tell "unknown" from "not here".
std::optional<Tuning> TuningNamed(std::u16string_view name) {
  for (int i = 0; i <= static_cast<int>(Tuning::kCmdFifoSize); ++i) {
    const TuningSetting setting(static_cast<Tuning>(i));
    if (base::NamesEqual(setting.Name(), name)) return setting.Id();
  }
  return std::nullopt;
}

std::u16string SettingNames() {
  std::vector<std::u16string> names;
  for (int i = 0; i <= static_cast<int>(Tuning::kCmdFifoSize); ++i)
    names.emplace_back(TuningSetting(static_cast<Tuning>(i)).Name());
  return Joined(names);
}

// The index of a setting in the adapter's list, or -1 when the adapter has no such setting.
int IndexOf(const Adapter& adapter, Tuning id) {
  for (std::size_t i = 0; i < adapter.settings.size(); ++i)
    if (adapter.settings[i].Id() == id) return static_cast<int>(i);
  return -1;
}

std::u16string NoChipSettings(std::u16string_view name) {
  return std::u16string(name) +
         u": this adapter has no chip settings (its chip type is not QEL 700, so the chip button is "
         u"disabled)";
}

// The wanted list position of each setting, by index in the adapter's list.
using Wanted = std::map<std::size_t, int>;

void ParseSets(const Adapter& adapter, const std::vector<std::u16string>& sets, Wanted* wanted,
               Report* report) {
  for (const std::u16string& argument : sets) {
    const std::size_t equals = argument.find(u'=');
    if (equals == std::u16string::npos) {
      report->Error(sysexits::kUsage, u"set " + argument + u": expected NAME=VALUE");
      continue;
    }
    const std::u16string name = argument.substr(0, equals);
    const std::u16string value = argument.substr(equals + 1);
    const std::optional<Tuning> id = TuningNamed(name);
    if (!id) {
      report->Error(sysexits::kUsage, u"set " + argument + u": no setting \"" + name +
                                          u"\"; the settings are " + SettingNames());
      continue;
    }
    const int index = IndexOf(adapter, *id);
    if (index < 0) {
      report->Error(sysexits::kUsage, u"set " + argument + u": " + NoChipSettings(TuningSetting(*id).Name()));
      continue;
    }
    const TuningSetting& setting = adapter.settings[static_cast<std::size_t>(index)];
    const std::vector<std::u16string> texts = setting.Texts();
    int position = -1;
    for (std::size_t i = 0; i < texts.size() && position < 0; ++i)
      if (base::NamesEqual(texts[i], value)) position = static_cast<int>(i);
    if (position < 0) {
      report->Error(sysexits::kUsage, u"set " + argument + u": " + std::u16string(setting.Name()) +
                                          u" has no entry \"" + value + u"\"; its entries are " +
                                          Joined(texts));
      continue;
    }
    (*wanted)[static_cast<std::size_t>(index)] = position;
  }
}

// "HKEY_LOCAL_MACHINE\SYSTEM\<control set>\Control\Video\{GUID}\NNNN", optionally with "\D3D":
// which of the two keys it is, and its "{GUID}\NNNN".
enum class KeyShape { kOther, kAdapter, kDriverSettings };

bool IsGuid(std::u16string_view text) {
  if (text.size() != 38 || text.front() != u'{' || text.back() != u'}') return false;
  for (std::size_t i = 1; i < 37; ++i) {
    const char16_t c = text[i];
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    if (dash ? c != u'-' : !hex) return false;
  }
  return true;
}

bool IsDigits(std::u16string_view text, std::size_t count) {
  if (text.size() != count) return false;
  for (char16_t c : text)
    if (c < u'0' || c > u'9') return false;
  return true;
}

KeyShape ShapeOf(std::u16string_view path, std::u16string* adapterName) {
  std::vector<std::u16string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = path.find(u'\\', start);
    parts.push_back(
        path.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start));
    if (end == std::u16string_view::npos) break;
    start = end + 1;
  }
  if (parts.size() != 7 && parts.size() != 8) return KeyShape::kOther;
  const bool controlSet = base::NamesEqual(parts[2], u"CurrentControlSet") ||
                          (parts[2].size() == 13 && base::NamesEqual(parts[2].substr(0, 10), u"ControlSet") &&
                           IsDigits(parts[2].substr(10), 3));
  if (!(base::NamesEqual(parts[0], u"HKEY_LOCAL_MACHINE") || base::NamesEqual(parts[0], u"HKLM")) ||
      !base::NamesEqual(parts[1], u"SYSTEM") || !controlSet || !base::NamesEqual(parts[3], u"Control") ||
      !base::NamesEqual(parts[4], u"Video") || !IsGuid(parts[5]) || !IsDigits(parts[6], 4))
    return KeyShape::kOther;
  if (parts.size() == 8 && !base::NamesEqual(parts[7], u"D3D")) return KeyShape::kOther;
  *adapterName = std::u16string(parts[5]) + u"\\" + std::u16string(parts[6]);
  return parts.size() == 7 ? KeyShape::kAdapter : KeyShape::kDriverSettings;
}

// The number a file's value stands for, read as the dialogs read it and written as they write it;
// an empty text when it is one, else what is wrong with it.
std::u16string NumberOf(const TuningSetting& setting, const RegData& data, std::int64_t* number) {
  if (setting.Encoding() == TuningEncoding::kRaw) {
    if (data.type != platform::kRegBinary && data.type != platform::kRegDword)
      return u"the wrong type (a raw value is hex: or dword:)";
    if (data.bytes.empty() || data.bytes.size() > 4)
      return u"the wrong size (a raw value holds 1 to 4 bytes)";
    std::uint8_t bytes[4] = {};  // zero-extended, as the dialogs read a short raw value
    std::copy(data.bytes.begin(), data.bytes.end(), bytes);
    *number = base::ReadLittleEndian32(bytes);
    return {};
  }
  if (data.type != platform::kRegSz) return u"the wrong type (a registry number is a quoted text)";
  std::u16string text = base::Utf16FromBytes(data.bytes.data(), data.bytes.size());
  if (!text.empty() && text.back() == u'\0') text.pop_back();
  const std::int32_t value = ParseDecimal(text.c_str());
  if (NumberTextBytes(value) != data.bytes)
    return u"not a decimal number as the dialogs write one: \"" + text + u"\"";
  *number = value;
  return {};
}

void ParseImport(const Adapter& adapter, const std::u16string& path, Wanted* wanted, Report* report) {
  std::vector<std::uint8_t> bytes;
  std::u16string why;
  if (const long status = platform::ReadWholeFile(path, &bytes, &why); status != platform::kSuccess) {
    report->Error(sysexits::kNoInput,
                  path + (status == platform::kFileNotFound ? std::u16string(u": no such file")
                                                            : u": cannot read the file: " + why));
    return;
  }
  std::vector<RegFileKey> keys;
  int errorLine = 0;
  std::u16string error;
  if (!ParseRegFile(bytes, &keys, &errorLine, &error)) {
    report->Error(sysexits::kDataError,
                  path + (errorLine > 0 ? u":" + Decimal(errorLine) : u"") + u": " + error);
    return;
  }

  std::map<std::size_t, StoredNumbers> stored;  // by index in the adapter's list
  std::map<std::size_t, int> lines;             // the last line of each
  std::u16string firstAdapter;
  for (const RegFileKey& key : keys) {
    const std::u16string where = path + u":" + Decimal(key.line) + u": ";
    std::u16string adapterName;
    const KeyShape shape = ShapeOf(key.path, &adapterName);
    if (key.remove) {
      report->Error(sysexits::kDataError, where + u"a profile removes no keys: [-" + key.path + u"]");
      continue;
    }
    if (shape == KeyShape::kOther) {
      report->Error(sysexits::kDataError,
                    where + u"not a display adapter's key or its D3D subkey: [" + key.path + u"]");
      continue;
    }
    if (firstAdapter.empty()) firstAdapter = adapterName;
    if (!base::NamesEqual(firstAdapter, adapterName)) {
      report->Error(sysexits::kDataError, where + u"a second display adapter (" + adapterName + u" after " +
                                              firstAdapter + u"): a profile holds one");
      continue;
    }
    const TuningKey tuningKey =
        shape == KeyShape::kAdapter ? TuningKey::kCurrentDeviceKey : TuningKey::kDriverSettingsKey;
    for (const RegFileValue& value : key.values) {
      const std::u16string at = path + u":" + Decimal(value.line) + u": ";
      const std::u16string shown = value.name.empty() ? u"@" : value.name;
      std::optional<Tuning> id;
      std::size_t valueIndex = 0;
      for (int i = 0; i <= static_cast<int>(Tuning::kCmdFifoSize) && !id; ++i) {
        const TuningSetting setting(static_cast<Tuning>(i));
        if (setting.Key() != tuningKey) continue;
        for (std::size_t v = 0; v < setting.ValueNames().size(); ++v) {
          if (!value.name.empty() && base::NamesEqual(setting.ValueNames()[v], value.name)) {
            id = setting.Id();
            valueIndex = v;
          }
        }
      }
      if (!id) {
        report->Note(at + u"skipped " + shown + u": not a tuning value");
        continue;
      }
      const int index = IndexOf(adapter, *id);
      if (index < 0) {
        report->Error(sysexits::kDataError, at + shown + u": " + NoChipSettings(TuningSetting(*id).Name()));
        continue;
      }
      const auto i = static_cast<std::size_t>(index);
      std::optional<std::int64_t> number;
      if (value.data) {
        std::int64_t read = 0;
        const std::u16string problem = NumberOf(adapter.settings[i], *value.data, &read);
        if (!problem.empty()) {
          report->Error(sysexits::kDataError, at + shown + u": " + problem);
          continue;
        }
        number = read;
      }
      stored[i][valueIndex] = number;
      lines[i] = value.line;
    }
  }
  for (const auto& [i, numbers] : stored) {
    const TuningSetting& setting = adapter.settings[i];
    const int position = setting.EntryFor(numbers);
    if (position < 0) {
      std::u16string values;
      for (std::size_t v = 0; v < setting.ValueNames().size(); ++v)
        values += (v > 0 ? u", " : u"") + std::u16string(setting.ValueNames()[v]) + u"=" +
                  (numbers[v] ? Decimal(*numbers[v]) : u"-");
      report->Error(sysexits::kDataError, path + u":" + Decimal(lines[i]) + u": " +
                                              std::u16string(setting.Name()) +
                                              u": no entry of its list writes " + values +
                                              u"; its entries are " + Joined(setting.Texts()));
      continue;
    }
    (*wanted)[i] = position;
  }
}

// Whether writing a position changes what is stored, as the dialogs' OK decides it: the shown
// position differs, or a command FIFO size in no entry of the table is replaced.
bool Changes(const TuningSetting& setting, const StoredNumbers& stored, int position) {
  if (setting.PositionOf(stored) != position) return true;
  if (setting.Id() != Tuning::kCmdFifoSize) return false;
  return stored[0].value_or(kCmdFifoSizes[0]) != setting.NumbersFor(position)[0];
}

// A value as stored: type and bytes, or none when it is missing (or its key is).
std::optional<RegData> QueryData(const std::u16string& keyPath, std::u16string_view name) {
  CSettingsKey key;
  if (key.Open(keyPath, platform::kKeyRead) != platform::kSuccess) return std::nullopt;
  platform::Registry& registry = platform::GetRegistry();
  RegData data;
  std::uint32_t size = 0;
  if (registry.Query(key.GetHandle(), name, &data.type, nullptr, &size) != platform::kSuccess)
    return std::nullopt;
  data.bytes.resize(size);
  if (registry.Query(key.GetHandle(), name, &data.type, data.bytes.data(), &size) != platform::kSuccess)
    return std::nullopt;
  data.bytes.resize(size);
  return data;
}

// What the dialogs write for a number of a setting.
RegData WrittenData(const TuningSetting& setting, std::int64_t number) {
  if (setting.Encoding() == TuningEncoding::kNumberText)
    return {platform::kRegSz, NumberTextBytes(static_cast<std::int32_t>(number))};
  const auto bytes = base::LittleEndian32(static_cast<std::uint32_t>(number));
  return {platform::kRegBinary, {bytes.begin(), bytes.end()}};
}

std::u16string Described(const std::optional<RegData>& data) {
  if (!data) return u"no value";
  if (data->type == platform::kRegSz)
    return u"\"" + base::TextFromUtf16Bytes(data->bytes.data(), data->bytes.size()) + u"\"";
  std::u16string bytes;
  for (std::uint8_t byte : data->bytes) bytes += u" " + Decimal(byte);
  return u"type " + Decimal(data->type) + u", bytes" + bytes;
}

// Writes the changed settings and saves them; returns whether anything was written and kept.
bool Apply(const Adapter& adapter, const Wanted& wanted, const TuningCommands& commands, Report* report) {
  std::vector<std::pair<std::size_t, int>> changes;
  std::set<std::u16string> keyPaths;
  for (const auto& [i, position] : wanted) {
    const TuningSetting& setting = adapter.settings[i];
    if (!Changes(setting, setting.Read(adapter.keyPath), position)) continue;
    changes.emplace_back(i, position);
    keyPaths.insert(setting.KeyPath(adapter.keyPath));
  }
  if (changes.empty()) return false;

  // Every key is probed before anything is written: all or nothing.
  for (const std::u16string& keyPath : keyPaths) {
    CSettingsKey key;
    const long status = key.Open(keyPath, platform::kKeyWrite);
    if (status == platform::kAccessDenied) {
      // The message box's own wording, misspelling included, so that it reads the same here.
      report->Error(sysexits::kNoPermission,
                    u"Insufficent Access Writes: Execute using Administrator Account (" + keyPath +
                        u" cannot be opened for writing)");
      return false;
    }
    if (status != platform::kSuccess) {
      report->Error(sysexits::kIoError, keyPath + u": cannot be opened for writing: " + StatusWords(status));
      return false;
    }
  }

  for (const auto& [i, position] : changes) adapter.settings[i].Write(adapter.keyPath, position);
  if (commands.save) {
    if (const TuningSave saved = commands.save(); saved.status != sysexits::kOk) {
      report->Error(saved.status, saved.message);
      return false;
    }
  }

  // A write that reported success but did not stick is a failure.
  for (const auto& [i, position] : changes) {
    const TuningSetting& setting = adapter.settings[i];
    const StoredNumbers numbers = setting.NumbersFor(position);
    for (std::size_t v = 0; v < setting.ValueNames().size(); ++v) {
      std::optional<RegData> expected;
      if (numbers[v]) expected = WrittenData(setting, *numbers[v]);
      const std::optional<RegData> actual =
          QueryData(setting.KeyPath(adapter.keyPath), setting.ValueNames()[v]);
      if (actual != expected)
        report->Error(sysexits::kIoError, std::u16string(setting.Name()) + u": " +
                                              std::u16string(setting.ValueNames()[v]) + u" reads back as " +
                                              Described(actual) + u" after writing " + Described(expected));
    }
  }
  return true;
}

std::u16string Query(const Adapter& adapter) {
  std::u16string output;
  for (const TuningSetting& setting : adapter.settings) {
    const StoredNumbers stored = setting.Read(adapter.keyPath);
    const int entry = setting.EntryFor(stored);
    output += std::u16string(setting.Name()) + u"=";
    if (entry >= 0) {
      output += setting.Texts()[static_cast<std::size_t>(entry)];
    } else if (setting.ValueNames().size() == 1) {
      output += u"(stored " + Decimal(stored[0].value_or(0)) + u")";
    } else {
      output += u"(stored";
      for (std::size_t v = 0; v < setting.ValueNames().size(); ++v)
        output +=
            u" " + std::u16string(setting.ValueNames()[v]) + u"=" + (stored[v] ? Decimal(*stored[v]) : u"-");
      output += u")";
    }
    output += u"\n";
  }
  const HardwareInformation& information = adapter.information;
  output += u"# Adapter: " + information.adapterText + u"\n# BIOS: " + information.biosText +
            u"\n# Chip type: " + information.chipTypeText + u"\n# Memory: " + information.memoryText +
            u"\n# Key: " + adapter.keyPath + u"\n";
  return output;
}

void Export(const Adapter& adapter, const std::u16string& path, Report* report) {
  // The registry editor's own spelling of the hive's root key.
  std::u16string adapterKey = std::u16string(kMachineRoot) + adapter.keyPath;
  if (base::NamesEqual(std::u16string_view(adapterKey).substr(kMachineRoot.size(), 7), u"System\\"))
    adapterKey.replace(kMachineRoot.size(), 6, u"SYSTEM");
  std::vector<RegFileKey> keys = {{0, adapterKey, false, {}}, {0, adapterKey + u"\\D3D", false, {}}};
  for (const TuningSetting& setting : adapter.settings) {
    RegFileKey& key = keys[setting.Key() == TuningKey::kCurrentDeviceKey ? 0 : 1];
    for (std::u16string_view name : setting.ValueNames())
      key.values.push_back({0, std::u16string(name), QueryData(setting.KeyPath(adapter.keyPath), name)});
  }
  std::u16string why;
  if (platform::WriteWholeFile(path, FormatRegFile(keys), &why) != platform::kSuccess)
    report->Error(sysexits::kCantCreate, path + u": cannot write the file: " + why);
}

}  // namespace

TuningCommandsResult RunTuningCommands(const TuningCommands& commands, const std::u16string& handOff) {
  Report report;
  if (handOff.empty()) {
    report.Error(sysexits::kUnavailable, u"No Adapter Found");
    return report.Result({});
  }
  Adapter adapter;
  {
    const AdapterIdentity identity = ParseAdapterHandOff(handOff);
    adapter.keyPath = identity.currentDeviceKeyPath;
    adapter.information = ReadHardwareInformation(identity.deviceKeyPath);
    adapter.settings = TuningSetting::ForAdapter(IsSupportedChipType(adapter.information.chipTypeText),
                                                 ChipCountFromAdapterText(adapter.information.adapterText));
  }
  {
    CSettingsKey key;
    if (const long status = key.Open(adapter.keyPath, platform::kKeyRead); status != platform::kSuccess) {
      report.Error(sysexits::kUnavailable,
                   adapter.keyPath + u": the adapter's key cannot be opened: " + StatusWords(status));
      return report.Result({});
    }
  }

  // Everything is checked before anything is written.
  Wanted wanted;
  if (commands.importPath) ParseImport(adapter, *commands.importPath, &wanted, &report);
  ParseSets(adapter, commands.sets, &wanted, &report);
  if (report.Failed()) return report.Result({});

  // The refresh takes a window of its own: the display's exclusive mode needs a top-level one.
  if (Apply(adapter, wanted, commands, &report) && !commands.noRefresh &&
      RefreshDisplayMode(CHiddenWindow().GetSafeHwnd()) != 0)
    report.Note(
        u"the display mode could not be refreshed: the driver reads the new values at its next mode change");
  if (report.Failed()) return report.Result({});

  std::u16string output;
  if (commands.query) output = Query(adapter);
  if (commands.exportPath) Export(adapter, *commands.exportPath, &report);
  return report.Result(std::move(output));
}

std::u16string TuningCommandsHelp(bool windowsSwitches) {
  const std::u16string query = windowsSwitches ? u"/query" : u"--query";
  const std::u16string set = windowsSwitches ? u"/set:NAME=VALUE" : u"--set NAME=VALUE";
  const std::u16string exportFile = windowsSwitches ? u"/export:FILE" : u"--export FILE";
  const std::u16string importFile = windowsSwitches ? u"/import:FILE" : u"--import FILE";
  const std::u16string noRefresh = windowsSwitches ? u"/norefresh" : u"--no-refresh";
  std::u16string help =
      u"Scripting (any of these runs without the dialogs):\n"
      u"  " +
      query +
      u"\n      print every setting as NAME=VALUE, then the hardware information as # lines\n"
      u"  " +
      set +
      u"\n      change a setting (repeatable), as the dialog's OK does; VALUE is a list text as\n"
      u"      the dialog shows it, in any case (LODBias=0.50, \"VSync=Vsync Off\", TripleBuffer=on)\n"
      u"  " +
      importFile +
      u"\n      apply a .reg profile, exported here or by a registry editor, from any machine:\n"
      u"      the adapter's key and its D3D subkey are matched by shape, whatever their GUID\n"
      u"  " +
      exportFile +
      u"\n      write the tuning as a .reg file that the registry editor imports\n"
      u"  " +
      noRefresh +
      u"\n      no display-mode refresh after a change\n"
      u"  Nothing is written unless every argument and the whole file are right; every value\n"
      u"  written is read back.\n"
      u"  Settings and their values:\n";
  // The chip settings exist for a QEL 700 board only; its chip count picks the anti-aliasing list.
  for (int chips : {1, 2, 4})
    help += u"    AntiAliasing (" + Decimal(chips) + (chips == 1 ? u" chip" : u" chips") + u"): " +
            Joined(TuningSetting(Tuning::kAntiAliasing, chips).Texts()) + u"\n";
  for (const TuningSetting& setting : TuningSetting::ForAdapter(true, 1))
    if (setting.Id() != Tuning::kAntiAliasing)
      help += u"    " + std::u16string(setting.Name()) + u": " + Joined(setting.Texts()) + u"\n";
  help += u"    AntiAliasing and GuardBandClipping exist for QEL 700 boards only.\n";
  return help;
}
