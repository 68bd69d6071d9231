#include "app/TuningCommands.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <span>
#include <string_view>
#include <unordered_map>

#include "app/RegFile.h"
#include "base/ByteOrder.h"
#include "base/Text.h"
#include "framework/Wnd.h"
#include "mainwnd/AdapterIdentity.h"
#include "mainwnd/HardwareInformation.h"
#include "platform/DriverSettingsKey.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/StatusWords.h"
#include "settings/AdapterKey.h"
#include "settings/RefreshDisplayMode.h"
#include "settings/SettingsKey.h"
#include "settings/TuningSetting.h"
#include "settings/ValueAccess.h"

namespace {

constexpr std::u16string_view kMachineRoot = u"HKEY_LOCAL_MACHINE\\";

using base::DecimalText;
using base::JoinedText;

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
  return JoinedText(names);
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

// What each setting is to be set to, by index in the adapter's list: its list position, the
// values it deletes instead (all of them: a reset, which leaves the driver its own default), and
// where it was asked for ("set NAME=VALUE", "reset NAME", or a profile's "FILE:LINE"), to name
// both sides of a conflict.
struct Want {
  int position = -1;
  std::array<bool, 2> deleted{};
  std::u16string from;
};
using Wanted = std::map<std::size_t, Want>;

Want ResetWant(std::u16string from) { return {-1, {true, true}, std::move(from)}; }

// Whether a want deletes every value of its setting.
bool IsReset(const TuningSetting& setting, const Want& want) {
  for (std::size_t v = 0; v < setting.ValueNames().size(); ++v)
    if (!want.deleted[v]) return false;
  return true;
}

// What a want stores: a number per value, none where it deletes the value.
StoredNumbers Target(const TuningSetting& setting, const Want& want) {
  StoredNumbers numbers = IsReset(setting, want) ? StoredNumbers{} : setting.NumbersFor(want.position);
  for (std::size_t v = 0; v < numbers.size(); ++v)
    if (want.deleted[v]) numbers[v].reset();
  return numbers;
}

std::u16string Described(const TuningSetting& setting, const Want& want) {
  if (IsReset(setting, want)) return u"a reset";
  return setting.Texts()[static_cast<std::size_t>(want.position)];
}

// Asks for a want, unless the setting is already given another: one that would store something
// else. The same value twice, however spelt, is one value.
void Ask(const TuningSetting& setting, std::size_t index, Want want, Wanted* wanted, Report* report) {
  const auto given = wanted->find(index);
  if (given == wanted->end()) {
    (*wanted)[index] = std::move(want);
    return;
  }
  if (Target(setting, given->second) == Target(setting, want)) return;
  report->Error(sysexits::kUsage, want.from + u": " + std::u16string(setting.Name()) + u" is also given " +
                                      Described(setting, given->second) + u" (" + given->second.from +
                                      u"); give it one value");
}

// List texts that the dialogs misspell, and the spelling a script may use for them as well. The
// dialogs and the query keep the dialogs' own texts.
struct Spelling {
  std::u16string_view shown;
  std::u16string_view corrected;
};
constexpr Spelling kCorrectedSpellings[] = {
    {u"2 Sample Anit-aliasing", u"2 Sample Anti-Aliasing"},  // the one-chip list's
};

// Whether a --set value names this list text: the text itself or its corrected spelling, in any case.
bool NamesEntry(std::u16string_view text, std::u16string_view value) {
  if (base::NamesEqual(text, value)) return true;
  for (const Spelling& spelling : kCorrectedSpellings)
    if (text == spelling.shown && base::NamesEqual(spelling.corrected, value)) return true;
  return false;
}

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
      if (NamesEntry(texts[i], value)) position = static_cast<int>(i);
    if (position < 0) {
      report->Error(sysexits::kUsage, u"set " + argument + u": " + std::u16string(setting.Name()) +
                                          u" has no entry \"" + value + u"\"; its entries are " +
                                          JoinedText(texts));
      continue;
    }
    Ask(setting, static_cast<std::size_t>(index), {position, {}, u"set " + argument}, wanted, report);
  }
}

// A reset of every setting of the adapter (an empty name) or of one, named in any case.
void ParseResets(const Adapter& adapter, const std::vector<std::u16string>& resets, Wanted* wanted,
                 Report* report) {
  for (const std::u16string& name : resets) {
    if (name.empty()) {
      for (std::size_t i = 0; i < adapter.settings.size(); ++i)
        Ask(adapter.settings[i], i, ResetWant(u"reset"), wanted, report);
      continue;
    }
    const std::optional<Tuning> id = TuningNamed(name);
    if (!id) {
      report->Error(sysexits::kUsage,
                    u"reset " + name + u": no setting \"" + name + u"\"; the settings are " + SettingNames());
      continue;
    }
    const int index = IndexOf(adapter, *id);
    if (index < 0) {
      report->Error(sysexits::kUsage, u"reset " + name + u": " + NoChipSettings(TuningSetting(*id).Name()));
      continue;
    }
    const auto i = static_cast<std::size_t>(index);
    Ask(adapter.settings[i], i, ResetWant(u"reset " + name), wanted, report);
  }
}

// Where a key of a profile lies: a display adapter's key, its D3D subkey, or elsewhere. Windows
// names an adapter's key "HKEY_LOCAL_MACHINE\SYSTEM\<control set>\Control\Video\{GUID}\NNNN";
// Windows 2000 names it "...\<control set>\Services\<service>\DeviceN". The control set is
// ControlSetNNN or CurrentControlSet.
enum class KeyShape { kOther, kAdapter, kDriverSettings };

struct KeyPlace {
  KeyShape shape = KeyShape::kOther;
  std::u16string adapterKey;  // the adapter's key as written, without "\D3D"
  std::u16string controlSet;  // as written
  bool windows2000 = false;   // a Services\<service>\DeviceN key
};

bool IsSystemRoot(const std::vector<std::u16string_view>& parts) {
  return parts.size() >= 2 &&
         (base::NamesEqual(parts[0], u"HKEY_LOCAL_MACHINE") || base::NamesEqual(parts[0], u"HKLM")) &&
         base::NamesEqual(parts[1], u"SYSTEM");
}

KeyPlace ShapeOf(std::u16string_view path) {
  const std::vector<std::u16string_view> parts = KeyPathParts(path);
  if (!IsSystemRoot(parts)) return {};
  // From "System" on: the adapter's key, or its D3D subkey.
  std::span<const std::u16string_view> fromSystem = std::span(parts).subspan(1);
  KeyPlace place;
  place.shape = KeyShape::kAdapter;
  AdapterKeyShape shape = AdapterKeyShapeOf(fromSystem);
  if (shape == AdapterKeyShape::kNone &&
      base::NamesEqual(fromSystem.back(), platform::kDriverSettingsSubkey)) {
    fromSystem = fromSystem.first(fromSystem.size() - 1);
    shape = AdapterKeyShapeOf(fromSystem);
    place.shape = KeyShape::kDriverSettings;
  }
  if (shape == AdapterKeyShape::kNone) return {};
  place.windows2000 = shape == AdapterKeyShape::kDriverService;
  const std::u16string_view last = fromSystem.back();
  place.adapterKey =
      std::u16string(path.substr(0, static_cast<std::size_t>(last.data() - path.data()) + last.size()));
  place.controlSet = std::u16string(fromSystem[1]);
  return place;
}

// The setting and value index a value name of a key holds, if it is a tuning value.
std::optional<std::pair<Tuning, std::size_t>> TuningValueNamed(TuningKey key, std::u16string_view name) {
  if (name.empty()) return std::nullopt;
  for (int i = 0; i <= static_cast<int>(Tuning::kCmdFifoSize); ++i) {
    const TuningSetting setting(static_cast<Tuning>(i));
    if (setting.WhichKey() != key) continue;
    for (std::size_t v = 0; v < setting.ValueNames().size(); ++v)
      if (base::NamesEqual(setting.ValueNames()[v], name)) return std::pair{setting.Id(), v};
  }
  return std::nullopt;
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

// The most a profile may hold. A registry editor's export of a whole Video key is a few hundred
// KiB; a file past this is not a profile, and a device that never ends (/dev/zero) must not be
// read until memory runs out.
constexpr std::size_t kProfileLimit = std::size_t{16} << 20;

// "-" names standard input for --import and standard output for --export.
constexpr std::u16string_view kStandardStream = u"-";

bool ReadProfile(const std::u16string& path, const std::u16string& shown, std::vector<std::uint8_t>* bytes,
                 Report* report) {
  std::u16string why;
  const long status = path == kStandardStream ? platform::ReadStandardInput(kProfileLimit, bytes, &why)
                                              : platform::ReadWholeFile(path, kProfileLimit, bytes, &why);
  if (status == platform::kSuccess) return true;
  if (status == platform::kFileTooLarge)
    report->Error(sysexits::kDataError, shown + u": larger than 16 MiB, the most a profile may hold");
  else if (status == platform::kFileNotFound)
    report->Error(sysexits::kNoInput, shown + u": no such file");
  else
    report->Error(sysexits::kNoInput, shown + u": cannot read the file: " + why);
  return false;
}

// One display adapter of a profile: its key and D3D subkey, as the file gives them.
struct FileAdapter {
  KeyPlace place;
  int line = 0;                            // of its first key in the file
  std::optional<std::u16string> chipType;  // HardwareInformation.ChipType, if the file has it
  bool tuningValues = false;
  // Why its keys are skipped; empty for the one that is imported.
  std::u16string skipped;
};

// HardwareInformation.ChipType as the dialogs read it: UTF-16 text whatever its type, up to a null.
std::u16string ChipTypeText(const RegData& data) {
  std::u16string text = base::Utf16FromBytes(data.bytes.data(), data.bytes.size() & ~std::size_t{1});
  return text.substr(0, text.find(u'\0'));
}

// Picks the board's adapter among a profile's adapters: those whose chip type is the board's,
// and, where the file gives no chip type, those with tuning values. Of several, the current
// control set's (CurrentControlSet, or the one the file's Select\Current names) and the Video
// key over Windows 2000's key of the same adapter. Returns its index, or -1 with an error given.
int BoardAdapter(std::vector<FileAdapter>& adapters, std::optional<std::uint32_t> currentSet,
                 const std::u16string& shown, Report* report) {
  std::vector<std::size_t> board;
  for (std::size_t a = 0; a < adapters.size(); ++a) {
    FileAdapter& adapter = adapters[a];
    if (adapter.chipType && !IsSupportedChipType(*adapter.chipType))
      adapter.skipped = u"an adapter of another chip (" + *adapter.chipType + u")";
    else if (!adapter.chipType && !adapter.tuningValues)
      adapter.skipped = u"an adapter without tuning values";
    else
      board.push_back(a);
  }
  if (board.empty()) {
    std::u16string found;
    for (const FileAdapter& adapter : adapters)
      found += u"; [" + adapter.place.adapterKey + u"] is " + adapter.skipped;
    report->Error(sysexits::kDataError, shown +
                                            u": nothing for this board: no key in it is a display adapter's "
                                            u"key with the board's chip type or with tuning values" +
                                            found);
    return -1;
  }
  // Ranked by, in turn: in CurrentControlSet; in the control set Select\Current names; a Video
  // key. Only the best rank is kept; the others are skipped, saying which test they lost.
  const std::u16string selected =
      currentSet ? u"ControlSet" + DecimalText(1000 + *currentSet % 1000).substr(1) : std::u16string();
  const auto rank = [&](std::size_t a) {
    const KeyPlace& place = adapters[a].place;
    return (base::NamesEqual(place.controlSet, u"CurrentControlSet") ? 4 : 0) +
           (!selected.empty() && base::NamesEqual(place.controlSet, selected) ? 2 : 0) +
           (place.windows2000 ? 0 : 1);
  };
  int best = 0;
  for (std::size_t a : board) best = std::max(best, rank(a));
  std::vector<std::size_t> kept;
  for (std::size_t a : board) {
    const int own = rank(a);
    if (own == best)
      kept.push_back(a);
    else
      adapters[a].skipped = own / 2 != best / 2
                                ? u"not the current control set"
                                : u"Windows 2000's key of an adapter (the file has its Video key)";
  }
  board = std::move(kept);
  if (board.size() > 1) {
    std::u16string names;
    for (std::size_t a : board)
      names += (names.empty() ? u"" : u" and ") +
               (u"[" + adapters[a].place.adapterKey + u"] (line " + DecimalText(adapters[a].line) + u")");
    report->Error(sysexits::kDataError, shown + u": " + DecimalText(static_cast<std::int64_t>(board.size())) +
                                            u" of the board's adapters: " + names +
                                            u"; a profile holds one (export one adapter's key)");
    return -1;
  }
  return static_cast<int>(board.front());
}

// Reads a profile: an export of this program or of a registry editor, of the adapter's key, of
// its parent key or of a larger tree (the whole SYSTEM key) that holds one of the board's
// adapters. Its tuning values are taken; every other key and value is skipped with a note.
void ParseImport(const Adapter& adapter, const std::u16string& path, Wanted* wanted, Report* report) {
  const std::u16string shown = path == kStandardStream ? u"standard input" : path;
  std::vector<std::uint8_t> bytes;
  if (!ReadProfile(path, shown, &bytes, report)) return;
  std::vector<RegFileKey> keys;
  int errorLine = 0;
  std::u16string error;
  if (!ParseRegFile(bytes, &keys, &errorLine, &error)) {
    report->Error(sysexits::kDataError,
                  shown + (errorLine > 0 ? u":" + DecimalText(errorLine) : u"") + u": " + error);
    return;
  }
  bytes = {};
  if (keys.empty()) {
    report->Note(shown + u": nothing to import");
    return;
  }

  // Each key's adapter (-1: none), the adapters in the order the file names them, and the
  // current control set if the file says it.
  std::vector<int> adapterOf(keys.size(), -1);
  std::vector<FileAdapter> adapters;
  std::unordered_map<std::u16string, std::size_t> adapterIndex;
  std::optional<std::uint32_t> currentSet;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const RegFileKey& key = keys[k];
    if (key.remove) {
      report->Error(sysexits::kDataError, shown + u":" + DecimalText(key.line) +
                                              u": a profile removes no keys: [-" + key.path + u"]");
      continue;
    }
    const std::vector<std::u16string_view> parts = KeyPathParts(key.path);
    if (parts.size() == 3 && IsSystemRoot(parts) && base::NamesEqual(parts[2], u"Select")) {
      for (const RegFileValue& value : key.values)
        if (base::NamesEqual(value.name, u"Current") && value.data && value.data->type == platform::kRegDword)
          currentSet = base::ReadLittleEndian32(value.data->bytes.data());
    }
    KeyPlace place = ShapeOf(key.path);
    if (place.shape == KeyShape::kOther) continue;
    // Found by the key upper-cased unit by unit, which is how names compare: a file of many
    // adapters takes one look each.
    std::u16string folded = place.adapterKey;
    for (char16_t& unit : folded) unit = base::UpcaseUnit(unit);
    const auto [entry, added] = adapterIndex.try_emplace(std::move(folded), adapters.size());
    if (added) adapters.push_back({place, key.line, {}, false, {}});
    FileAdapter* found = &adapters[entry->second];
    adapterOf[k] = static_cast<int>(entry->second);
    const TuningKey tuningKey =
        place.shape == KeyShape::kAdapter ? TuningKey::kCurrentDeviceKey : TuningKey::kDriverSettingsKey;
    for (const RegFileValue& value : key.values) {
      if (TuningValueNamed(tuningKey, value.name)) found->tuningValues = true;
      if (place.shape == KeyShape::kAdapter && value.data &&
          base::NamesEqual(value.name, u"HardwareInformation.ChipType"))
        found->chipType = ChipTypeText(*value.data);
    }
  }
  if (report->Failed()) return;
  const int chosen = BoardAdapter(adapters, currentSet, shown, report);
  if (chosen < 0) return;

  std::map<std::size_t, StoredNumbers> stored;         // by index in the adapter's list
  std::map<std::size_t, std::array<bool, 2>> deleted;  // the values the file deletes ("NAME"=-)
  std::map<std::size_t, int> lines;                    // the last line of each
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const RegFileKey& key = keys[k];
    const std::u16string where = shown + u":" + DecimalText(key.line) + u": ";
    if (adapterOf[k] != chosen) {
      const std::u16string why =
          adapterOf[k] < 0 ? u"not a tuning key" : adapters[static_cast<std::size_t>(adapterOf[k])].skipped;
      report->Note(where + u"skipped [" + key.path + u"]: " + why);
      continue;
    }
    const TuningKey tuningKey = ShapeOf(key.path).shape == KeyShape::kAdapter ? TuningKey::kCurrentDeviceKey
                                                                              : TuningKey::kDriverSettingsKey;
    for (const RegFileValue& value : key.values) {
      const std::u16string at = shown + u":" + DecimalText(value.line) + u": ";
      const std::u16string name = value.name.empty() ? u"@" : value.name;
      const auto tuning = TuningValueNamed(tuningKey, value.name);
      if (!tuning) {
        report->Note(at + u"skipped " + name + u": not a tuning value");
        continue;
      }
      const int index = IndexOf(adapter, tuning->first);
      if (index < 0) {
        report->Error(sysexits::kDataError,
                      at + name + u": " + NoChipSettings(TuningSetting(tuning->first).Name()));
        continue;
      }
      const auto i = static_cast<std::size_t>(index);
      std::optional<std::int64_t> number;
      deleted[i][tuning->second] = !value.data;
      if (value.data) {
        std::int64_t read = 0;
        const std::u16string problem = NumberOf(adapter.settings[i], *value.data, &read);
        if (!problem.empty()) {
          report->Error(sysexits::kDataError, at + name + u": " + problem);
          continue;
        }
        number = read;
      }
      stored[i][tuning->second] = number;
      lines[i] = value.line;
    }
  }
  if (stored.empty() && !report->Failed()) report->Note(shown + u": nothing to import");
  for (const auto& [i, numbers] : stored) {
    const TuningSetting& setting = adapter.settings[i];
    const std::u16string from = shown + u":" + DecimalText(lines[i]);
    // A value the file deletes is deleted, as a registry editor would; one it leaves out is
    // written as the entry its other values name.
    Want want{-1, deleted[i], from};
    if (IsReset(setting, want)) {
      Ask(setting, i, std::move(want), wanted, report);
      continue;
    }
    const int position = setting.EntryFor(numbers);
    if (position < 0) {
      std::u16string values;
      for (std::size_t v = 0; v < setting.ValueNames().size(); ++v)
        values += (v > 0 ? u", " : u"") + std::u16string(setting.ValueNames()[v]) + u"=" +
                  (numbers[v] ? DecimalText(*numbers[v]) : u"-");
      report->Error(sysexits::kDataError, from + u": " + std::u16string(setting.Name()) +
                                              u": no entry of its list writes " + values +
                                              u"; its entries are " + JoinedText(setting.Texts()));
      continue;
    }
    want.position = position;
    Ask(setting, i, std::move(want), wanted, report);
  }
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

// Whether a want changes what is stored. A value it deletes changes it when it is there, whatever
// it holds; otherwise as the dialogs' OK decides it: the shown position differs, or a command
// FIFO size in no entry of the table is replaced.
bool Changes(const TuningSetting& setting, const std::u16string& adapterKey, const Want& want) {
  const std::u16string keyPath = setting.KeyPath(adapterKey);
  for (std::size_t v = 0; v < setting.ValueNames().size(); ++v)
    if (want.deleted[v] && QueryData(keyPath, setting.ValueNames()[v])) return true;
  if (IsReset(setting, want)) return false;
  const StoredNumbers stored = setting.Read(adapterKey);
  if (setting.PositionOf(stored) != want.position) return true;
  if (setting.Id() != Tuning::kCmdFifoSize) return false;
  return stored[0].value_or(kCmdFifoSizes[0]) != setting.NumbersFor(want.position)[0];
}

// What a want leaves in each value: its data, or none.
std::vector<std::optional<RegData>> TargetData(const TuningSetting& setting, const Want& want) {
  const StoredNumbers numbers = Target(setting, want);
  std::vector<std::optional<RegData>> data;
  for (std::size_t v = 0; v < setting.ValueNames().size(); ++v)
    data.push_back(numbers[v] ? std::optional(WrittenData(setting, *numbers[v])) : std::nullopt);
  return data;
}

// Writes the changed settings and saves them; returns whether anything was written and kept.
bool Apply(const Adapter& adapter, const Wanted& wanted, const TuningCommands& commands, Report* report) {
  std::vector<std::pair<std::size_t, const Want*>> changes;
  std::set<std::u16string> keyPaths;
  for (const auto& [i, want] : wanted) {
    const TuningSetting& setting = adapter.settings[i];
    if (!Changes(setting, adapter.keyPath, want)) continue;
    changes.emplace_back(i, &want);
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
      report->Error(sysexits::kIoError,
                    keyPath + u": cannot be opened for writing: " + platform::StatusWords(status));
      return false;
    }
  }

  if (commands.beforeWrite) {
    std::vector<TouchedValue> touched;
    for (const auto& [i, want] : changes) {
      const TuningSetting& setting = adapter.settings[i];
      const std::vector<std::optional<RegData>> written = TargetData(setting, *want);
      const std::u16string keyPath = setting.KeyPath(adapter.keyPath);
      for (std::size_t v = 0; v < setting.ValueNames().size(); ++v) {
        TouchedValue& value = touched.emplace_back();
        value.setting = setting.Name();
        value.keyPath = keyPath;
        value.name = setting.ValueNames()[v];
        value.before = QueryData(keyPath, value.name);
        value.written = written[v];
      }
    }
    if (const TuningSave told = commands.beforeWrite(adapter.keyPath, touched);
        told.status != sysexits::kOk) {
      report->Error(told.status, told.message);
      return false;
    }
  }

  for (const auto& [i, want] : changes)
    adapter.settings[i].WriteNumbers(adapter.keyPath, Target(adapter.settings[i], *want));
  if (commands.save) {
    if (const TuningSave saved = commands.save(); saved.status != sysexits::kOk) {
      report->Error(saved.status, saved.message);
      return false;
    }
  }

  // A write that reported success but did not stick is a failure.
  for (const auto& [i, want] : changes) {
    const TuningSetting& setting = adapter.settings[i];
    const std::vector<std::optional<RegData>> expected = TargetData(setting, *want);
    for (std::size_t v = 0; v < setting.ValueNames().size(); ++v) {
      const std::optional<RegData> actual =
          QueryData(setting.KeyPath(adapter.keyPath), setting.ValueNames()[v]);
      if (actual != expected[v])
        report->Error(sysexits::kIoError, std::u16string(setting.Name()) + u": " +
                                              std::u16string(setting.ValueNames()[v]) + u" reads back as " +
                                              DescribedData(actual) + u" after writing " +
                                              DescribedData(expected[v]));
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
      output += u"(stored " + DecimalText(stored[0].value_or(0)) + u")";
    } else {
      output += u"(stored";
      for (std::size_t v = 0; v < setting.ValueNames().size(); ++v)
        output += u" " + std::u16string(setting.ValueNames()[v]) + u"=" +
                  (stored[v] ? DecimalText(*stored[v]) : u"-");
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

// Writes the adapter's tuning as a registry file, or, to "-", as text to standard output.
void Export(const Adapter& adapter, const std::u16string& path, std::u16string* output, Report* report) {
  // The registry editor's own spelling of the hive's root key.
  std::u16string adapterKey = std::u16string(kMachineRoot) + adapter.keyPath;
  if (base::NamesEqual(std::u16string_view(adapterKey).substr(kMachineRoot.size(), 7), u"System\\"))
    adapterKey.replace(kMachineRoot.size(), 6, u"SYSTEM");
  std::vector<RegFileKey> keys = {{0, adapterKey, false, {}},
                                  {0, platform::DriverSettingsKeyPath(adapterKey), false, {}}};
  for (const TuningSetting& setting : adapter.settings) {
    RegFileKey& key = keys[setting.WhichKey() == TuningKey::kCurrentDeviceKey ? 0 : 1];
    for (std::u16string_view name : setting.ValueNames())
      key.values.push_back({0, std::u16string(name), QueryData(setting.KeyPath(adapter.keyPath), name)});
  }
  if (path == kStandardStream) {
    *output += FormatRegText(keys);
    return;
  }
  std::u16string why;
  bool created = false;
  if (platform::WriteWholeFile(path, FormatRegFile(keys), &why, &created) == platform::kSuccess) return;
  if (created)
    report->Error(sysexits::kIoError,
                  path + u": the export was not written whole, nothing was replaced: " + why);
  else
    report->Error(sysexits::kCantCreate, path + u": cannot create the file: " + why);
}

}  // namespace

std::u16string DescribedData(const std::optional<RegData>& data) {
  if (!data) return u"no value";
  if (data->type == platform::kRegSz)
    return u"\"" + base::TextFromUtf16Bytes(data->bytes.data(), data->bytes.size()) + u"\"";
  std::u16string bytes;
  for (std::uint8_t byte : data->bytes) bytes += u" " + DecimalText(byte);
  return u"type " + DecimalText(data->type) + u", bytes" + bytes;
}

std::optional<RegData> StoredData(const std::u16string& keyPath, std::u16string_view name) {
  return QueryData(keyPath, name);
}

TuningCommandsResult RunTuningCommands(const TuningCommands& commands, const std::u16string& handOff) {
  Report report;
  if (commands.query && commands.exportPath == kStandardStream) {
    // Both would print to standard output, and the profile would not read back as one.
    report.Error(sysexits::kUsage,
                 u"query and export to standard output (-) cannot go together: run one, then "
                 u"the other");
    return report.Result({});
  }
  if (handOff.empty()) {
    report.Error(sysexits::kUnavailable, u"No Adapter Found");
    return report.Result({});
  }
  if (!HandOffNamesAdapterKey(handOff)) {
    report.Error(sysexits::kUsage,
                 handOff +
                     u": not a display adapter's hand-off; it is DEVICE&&&KEY, the KEY "
                     u"\\Registry\\Machine\\System\\<control set>\\Control\\Video\\{GUID}\\NNNN or "
                     u"...\\Services\\<service>\\DeviceN");
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
      report.Error(sysexits::kUnavailable, adapter.keyPath + u": the adapter's key cannot be opened: " +
                                               platform::StatusWords(status));
      return report.Result({});
    }
  }

  // Everything is checked before anything is written.
  Wanted wanted;
  if (commands.importPath) ParseImport(adapter, *commands.importPath, &wanted, &report);
  ParseSets(adapter, commands.sets, &wanted, &report);
  ParseResets(adapter, commands.resets, &wanted, &report);
  if (report.Failed()) return report.Result({});

  // The refresh takes a window of its own: the display's exclusive mode needs a top-level one.
  if (Apply(adapter, wanted, commands, &report) && !commands.noRefresh &&
      RefreshDisplayMode(CHiddenWindow().GetSafeHwnd()) != 0)
    report.Note(
        u"the display mode could not be refreshed: the driver reads the new values at its next mode change");
  if (report.Failed()) return report.Result({});

  std::u16string output;
  if (commands.query) output = Query(adapter);
  if (commands.exportPath) Export(adapter, *commands.exportPath, &output, &report);
  return report.Result(std::move(output));
}

std::u16string TuningCommandsHelp(bool windowsSwitches) {
  const std::u16string query = windowsSwitches ? u"/query" : u"--query";
  const std::u16string set = windowsSwitches ? u"/set:NAME=VALUE" : u"--set NAME=VALUE";
  const std::u16string exportFile = windowsSwitches ? u"/export:FILE" : u"--export FILE";
  const std::u16string importFile = windowsSwitches ? u"/import:FILE" : u"--import FILE";
  const std::u16string noRefresh = windowsSwitches ? u"/norefresh" : u"--no-refresh";
  const std::u16string reset = windowsSwitches ? u"/reset[:NAME]" : u"--reset [NAME]";
  std::u16string help =
      u"Scripting (any of these runs without the dialogs):\n"
      u"  " +
      query +
      u"\n      print every setting as NAME=VALUE, then the hardware information as # lines\n"
      u"  " +
      set +
      u"\n      change a setting (repeatable), as the dialog's OK does; VALUE is a list text as\n"
      u"      the dialog shows it, in any case (LODBias=0.50, \"VSync=Vsync Off\", TripleBuffer=on),\n"
      u"      or its corrected spelling: \"2 Sample Anti-Aliasing\" for the one-chip list's\n"
      u"      \"2 Sample Anit-aliasing\"\n"
      u"  " +
      reset +
      u"\n      delete a setting's values (repeatable), or without NAME every setting's, so that the\n"
      u"      driver takes its own defaults: the way back from a value that broke the display\n"
      u"  " +
      importFile +
      u"\n      apply a .reg profile (at most 16 MiB; - reads standard input), exported here or by\n"
      u"      a registry editor, from any machine: of the adapter's key, its parent or a larger\n"
      u"      tree. The one adapter of the board in it is taken, whatever its GUID: a key\n"
      u"      ...\\Control\\Video\\{GUID}\\NNNN, or Windows 2000's ...\\Services\\NAME\\DeviceN,\n"
      u"      whose chip type is QEL 700 or, given none, that holds tuning values (with its D3D\n"
      u"      subkey); of copies, the current control set's and the Video key. Other keys and\n"
      u"      values are skipped with a note; two adapters of the board are refused. A value\n"
      u"      written \"NAME\"=- is deleted, as a registry editor deletes it\n"
      u"  " +
      exportFile +
      u"\n      write the tuning as a .reg file that the registry editor imports; - writes it to\n"
      u"      standard output (not together with " +
      query +
      u", which prints there too)\n"
      u"  " +
      noRefresh +
      u"\n      no display-mode refresh after a change\n"
      u"  Nothing is written unless every argument and the whole file are right; every value\n"
      u"  written is read back. A setting given two different values, by two sets, a set and a\n"
      u"  reset or a set and the profile, is refused; the same value twice is one value.\n"
      u"  Settings and their values:\n";
  // The chip settings exist for a QEL 700 board only; its chip count picks the anti-aliasing list.
  for (int chips : {1, 2, 4})
    help += u"    AntiAliasing (" + DecimalText(chips) + (chips == 1 ? u" chip" : u" chips") + u"): " +
            JoinedText(TuningSetting(Tuning::kAntiAliasing, chips).Texts()) + u"\n";
  for (const TuningSetting& setting : TuningSetting::ForAdapter(true, 1))
    if (setting.Id() != Tuning::kAntiAliasing)
      help += u"    " + std::u16string(setting.Name()) + u": " + JoinedText(setting.Texts()) + u"\n";
  help += u"    AntiAliasing and GuardBandClipping exist for QEL 700 boards only.\n";
  return help;
}
