#include "app/TuningWants.h"

#include "base/Text.h"

namespace {

using base::JoinedText;

std::u16string SettingNames() {
  std::vector<std::u16string> names;
  for (const TuningSetting& setting : TuningSetting::All(1)) names.emplace_back(setting.Name());
  return JoinedText(names);
}

std::u16string Described(const TuningSetting& setting, const Want& want) {
  if (IsReset(setting, want)) return u"a reset";
  return setting.Texts()[static_cast<std::size_t>(want.position)];
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

}  // namespace

Want ResetWant(std::u16string from) { return {-1, {true, true}, std::move(from)}; }

bool IsReset(const TuningSetting& setting, const Want& want) {
  for (std::size_t v = 0; v < setting.ValueNames().size(); ++v)
    if (!want.deleted[v]) return false;
  return true;
}

StoredNumbers Target(const TuningSetting& setting, const Want& want) {
  StoredNumbers numbers = IsReset(setting, want) ? StoredNumbers{} : setting.NumbersFor(want.position);
  for (std::size_t v = 0; v < numbers.size(); ++v)
    if (want.deleted[v]) numbers[v].reset();
  return numbers;
}

void Ask(const TuningSetting& setting, std::size_t index, Want want, Wanted* wanted, RunReport* report) {
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

std::optional<TuningSetting> SettingNamed(std::u16string_view name) {
  for (const TuningSetting& setting : TuningSetting::All(1))
    if (base::NamesEqual(setting.Name(), name)) return setting;
  return std::nullopt;
}

int IndexOf(const RunAdapter& adapter, const TuningSetting& setting) {
  for (std::size_t i = 0; i < adapter.settings.size(); ++i)
    if (adapter.settings[i].Name() == setting.Name()) return static_cast<int>(i);
  return -1;
}

std::u16string NoChipSettings(std::u16string_view name) {
  return std::u16string(name) +
         u": this adapter has no chip settings (its chip type is not QEL 700, so the chip button is "
         u"disabled)";
}

void ParseSets(const RunAdapter& adapter, const std::vector<std::u16string>& sets, Wanted* wanted,
               RunReport* report) {
  for (const std::u16string& argument : sets) {
    const std::size_t equals = argument.find(u'=');
    if (equals == std::u16string::npos) {
      report->Error(sysexits::kUsage, u"set " + argument + u": expected NAME=VALUE");
      continue;
    }
    const std::u16string name = argument.substr(0, equals);
    const std::u16string value = argument.substr(equals + 1);
    const std::optional<TuningSetting> named = SettingNamed(name);
    if (!named) {
      report->Error(sysexits::kUsage, u"set " + argument + u": no setting \"" + name +
                                          u"\"; the settings are " + SettingNames());
      continue;
    }
    const int index = IndexOf(adapter, *named);
    if (index < 0) {
      report->Error(sysexits::kUsage, u"set " + argument + u": " + NoChipSettings(named->Name()));
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
void ParseResets(const RunAdapter& adapter, const std::vector<std::u16string>& resets, Wanted* wanted,
                 RunReport* report) {
  for (const std::u16string& name : resets) {
    if (name.empty()) {
      for (std::size_t i = 0; i < adapter.settings.size(); ++i)
        Ask(adapter.settings[i], i, ResetWant(u"reset"), wanted, report);
      continue;
    }
    const std::optional<TuningSetting> named = SettingNamed(name);
    if (!named) {
      report->Error(sysexits::kUsage,
                    u"reset " + name + u": no setting \"" + name + u"\"; the settings are " + SettingNames());
      continue;
    }
    const int index = IndexOf(adapter, *named);
    if (index < 0) {
      report->Error(sysexits::kUsage, u"reset " + name + u": " + NoChipSettings(named->Name()));
      continue;
    }
    const auto i = static_cast<std::size_t>(index);
    Ask(adapter.settings[i], i, ResetWant(u"reset " + name), wanted, report);
  }
}
