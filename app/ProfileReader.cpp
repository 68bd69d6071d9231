#include "app/ProfileReader.h"

#include <algorithm>
#include <span>
#include <unordered_map>

#include "app/RegFile.h"
#include "base/ByteOrder.h"
#include "base/Text.h"
#include "platform/DriverSettingsKey.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "settings/AdapterKey.h"
#include "settings/SettingsKey.h"
#include "settings/ValueAccess.h"

namespace {

using base::DecimalText;
using base::JoinedText;

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
std::optional<std::pair<TuningSetting, std::size_t>> TuningValueNamed(TuningKey key,
                                                                      std::u16string_view name) {
  if (name.empty()) return std::nullopt;
  for (const TuningSetting& setting : TuningSetting::All(1)) {
    if (setting.WhichKey() != key) continue;
    for (std::size_t v = 0; v < setting.ValueNames().size(); ++v)
      if (base::NamesEqual(setting.ValueNames()[v], name)) return std::pair{setting, v};
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

bool ReadProfileBytes(const std::u16string& path, const std::u16string& shown,
                      std::vector<std::uint8_t>* bytes, RunReport* report) {
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
                 const std::u16string& shown, RunReport* report) {
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

}  // namespace

// Reads a profile: an export of this program or of a registry editor, of the adapter's key, of
// its parent key or of a larger tree (the whole SYSTEM key) that holds one of the board's
// adapters. Its tuning values are taken; every other key and value is skipped with a note.
void ReadProfile(const RunAdapter& adapter, const std::u16string& path, Wanted* wanted, RunReport* report) {
  const std::u16string shown = path == kStandardStream ? u"standard input" : path;
  std::vector<std::uint8_t> bytes;
  if (!ReadProfileBytes(path, shown, &bytes, report)) return;
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
        report->Error(sysexits::kDataError, at + name + u": " + NoChipSettings(tuning->first.Name()));
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
