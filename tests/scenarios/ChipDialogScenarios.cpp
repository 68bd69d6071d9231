#include "tests/scenarios/ChipDialogScenarios.h"

#include <optional>
#include <string>
#include <utility>

#include "res/resource.h"

namespace scenarios {

namespace {

constexpr char16_t kAntiAlias[] = u"QLDRV_SLI_AA_CONFIGURATION";
constexpr char16_t kGuardBand[] = u"QLDRV_GUARDBAND_CLIPPING";

struct ChipDialog {
  SettingsDialog dialog;
  const char* tag;
  int antiAliasId;
  int guardBandId;
};

constexpr ChipDialog kSingle{SettingsDialog::SingleChip, "Single", IDC_COMBO_SINGLE_AA,
                             IDC_COMBO_SINGLE_GUARDBAND};
constexpr ChipDialog kDual{SettingsDialog::DualChip, "Dual", IDC_COMBO_DUAL_AA, IDC_COMBO_DUAL_GUARDBAND};
constexpr ChipDialog kQuad{SettingsDialog::QuadChip, "Quad", IDC_COMBO_QUAD_AA, IDC_COMBO_QUAD_GUARDBAND};

StoredValue AntiAlias(std::u16string_view text) { return Text(DialogKey::DriverSettings, kAntiAlias, text); }
StoredValue GuardBand(std::u16string_view text) { return Text(DialogKey::DriverSettings, kGuardBand, text); }

std::vector<StoredValue> Stored(std::optional<std::u16string_view> antiAlias,
                                std::optional<std::u16string_view> guardBand) {
  std::vector<StoredValue> values;
  if (antiAlias) values.push_back(AntiAlias(*antiAlias));
  if (guardBand) values.push_back(GuardBand(*guardBand));
  return values;
}

std::string Tag(std::u16string_view text) {
  std::string tag;
  for (char16_t c : text) {
    if (c == u'-')
      tag += "minus";
    else if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
      tag.push_back(static_cast<char>(c));
    else
      tag.push_back('_');
  }
  return tag.empty() ? "empty" : tag;
}

// A stored anti-aliasing text and the entry it shows; OK without a change leaves it as stored.
struct ReadCase {
  const ChipDialog& dialog;
  std::optional<std::u16string_view> stored;  // none: the value is missing
  std::u16string_view shown;
};

const ReadCase kAntiAliasReads[] = {
    {kSingle, std::nullopt, u"Fastest"},
    {kSingle, u"0", u"Fastest"},
    {kSingle, u"1", u"2 Sample Anit-aliasing"},
    {kSingle, u"2", u"Fastest"},
    {kSingle, u"3", u"Fastest"},
    {kSingle, u"8", u"Fastest"},
    {kSingle, u"-1", u"Fastest"},
    {kSingle, u"2147483647", u"Fastest"},
    {kSingle, u"abc", u"Fastest"},
    {kSingle, u"1abc", u"2 Sample Anit-aliasing"},
    {kSingle, u"  1", u"2 Sample Anit-aliasing"},
    {kDual, std::nullopt, u"Fastest"},
    {kDual, u"0", u"Single Chip"},
    {kDual, u"1", u"Fastest"},
    {kDual, u"2", u"Fastest"},
    {kDual, u"3", u"2 Sample Anti-Aliasing"},
    {kDual, u"4", u"4 Sample Anti-Aliasing"},
    {kDual, u"5", u"Fastest"},
    {kDual, u"7", u"Fastest"},
    {kDual, u"9", u"Fastest"},
    {kDual, u"-3", u"Fastest"},
    {kDual, u"abc", u"Single Chip"},
    {kDual, u"", u"Single Chip"},
    {kDual, u"4 samples", u"4 Sample Anti-Aliasing"},
    {kDual, u"+3", u"2 Sample Anti-Aliasing"},
    {kQuad, std::nullopt, u"Fastest"},
    {kQuad, u"0", u"Single Chip"},
    {kQuad, u"1", u"Fastest"},
    {kQuad, u"4", u"Fastest"},
    {kQuad, u"5", u"Fastest"},
    {kQuad, u"6", u"2 Sample Anti-Aliasing"},
    {kQuad, u"7", u"4 Sample Anti-Aliasing"},
    {kQuad, u"8", u"8 Sample Anti-Aliasing"},
    {kQuad, u"9", u"Fastest"},
    {kQuad, u"-6", u"Fastest"},
    {kQuad, u"abc", u"Single Chip"},
    {kQuad, u"8x", u"8 Sample Anti-Aliasing"},
};

// The guard band number is its own position; a number outside the list shows no selection.
const ReadCase kGuardBandReads[] = {
    {kDual, std::nullopt, u"Disabled"},
    {kDual, u"0", u"Disabled"},
    {kDual, u"1", u"Enabled"},
    {kDual, u"abc", u"Disabled"},
    {kDual, u"1;", u"Enabled"},
    {kDual, u"2", u""},
    {kDual, u"-1", u""},
    {kSingle, u"1", u"Enabled"},
    {kQuad, u"1", u"Enabled"},
};

// Opened on a stored anti-aliasing text, the user picks an entry; OK stores this number.
struct WriteCase {
  const ChipDialog& dialog;
  std::optional<std::u16string_view> stored;
  std::u16string_view choose;
  std::int32_t written;
};

const WriteCase kAntiAliasWrites[] = {
    {kSingle, std::nullopt, u"2 Sample Anit-aliasing", 1},
    {kSingle, u"1", u"Fastest", 0},
    {kSingle, u"3", u"2 Sample Anit-aliasing", 1},
    {kDual, std::nullopt, u"Single Chip", 0},
    {kDual, std::nullopt, u"2 Sample Anti-Aliasing", 3},
    {kDual, std::nullopt, u"4 Sample Anti-Aliasing", 4},
    {kDual, u"0", u"Fastest", 2},
    {kDual, u"7", u"Single Chip", 0},
    {kQuad, std::nullopt, u"Single Chip", 0},
    {kQuad, std::nullopt, u"2 Sample Anti-Aliasing", 6},
    {kQuad, std::nullopt, u"4 Sample Anti-Aliasing", 7},
    {kQuad, std::nullopt, u"8 Sample Anti-Aliasing", 8},
    {kQuad, u"0", u"Fastest", 5},
    {kQuad, u"4", u"2 Sample Anti-Aliasing", 6},
};

Scenario Unchanged(std::string name, const ChipDialog& dialog, std::vector<StoredValue> stored,
                   std::function<void(User&, Checks&)> look) {
  Scenario scenario;
  scenario.name = std::move(name);
  scenario.dialog = dialog.dialog;
  scenario.expected = stored;
  scenario.stored = std::move(stored);
  const SettingsDialog which = dialog.dialog;
  scenario.steps = [look = std::move(look), which](User& user, Checks& checks) {
    look(user, checks);
    PressOk(user, checks, which);
  };
  scenario.writeOpens = 0;
  return scenario;
}

Scenario Changed(std::string name, const ChipDialog& dialog, std::vector<StoredValue> stored,
                 std::function<void(User&, Checks&)> edit, std::vector<StoredValue> expected) {
  Scenario scenario;
  scenario.name = std::move(name);
  scenario.dialog = dialog.dialog;
  scenario.stored = std::move(stored);
  scenario.expected = std::move(expected);
  const SettingsDialog which = dialog.dialog;
  scenario.steps = [edit = std::move(edit), which](User& user, Checks& checks) {
    edit(user, checks);
    PressOk(user, checks, which);
  };
  scenario.refreshed = true;
  return scenario;
}

}  // namespace

std::vector<Scenario> ChipDialogScenarios() {
  std::vector<Scenario> all;

  for (const ReadCase& c : kAntiAliasReads) {
    const ChipDialog& d = c.dialog;
    all.push_back(Unchanged(std::string(d.tag) + "_AntiAlias_" + (c.stored ? Tag(*c.stored) : "missing") +
                                "_shows_" + Tag(c.shown),
                            d, Stored(c.stored, std::nullopt), [c](User& user, Checks& checks) {
                              ExpectShown(user, checks, c.dialog.antiAliasId, c.shown);
                              ExpectShown(user, checks, c.dialog.guardBandId, u"Disabled");
                            }));
  }
  for (const ReadCase& c : kGuardBandReads) {
    const ChipDialog& d = c.dialog;
    all.push_back(Unchanged(std::string(d.tag) + "_GuardBand_" + (c.stored ? Tag(*c.stored) : "missing") +
                                "_shows_" + (c.shown.empty() ? "nothing" : Tag(c.shown)),
                            d, Stored(u"3", c.stored), [c](User& user, Checks& checks) {
                              ExpectShown(user, checks, c.dialog.guardBandId, c.shown);
                            }));
  }
  for (const WriteCase& c : kAntiAliasWrites) {
    const ChipDialog& d = c.dialog;
    std::vector<StoredValue> expected{Number(DialogKey::DriverSettings, kAntiAlias, c.written)};
    Scenario scenario = Changed(
        std::string(d.tag) + "_AntiAlias_" + (c.stored ? Tag(*c.stored) : "missing") + "_choose_" +
            Tag(c.choose) + "_writes_" + std::to_string(c.written),
        d, Stored(c.stored, std::nullopt),
        [c](User& user, Checks& checks) { Choose(user, checks, c.dialog.antiAliasId, c.choose); }, expected);
    scenario.writeOpens = 2;  // the probe, then the one write
    all.push_back(std::move(scenario));
  }

  // Only guard band changed: the anti-aliasing number of another dialog stays as it is.
  struct Foreign {
    ChipDialog dialog;
    std::u16string_view number;  // written only by another dialog
  };
  for (const Foreign& f : {Foreign{kSingle, u"5"}, Foreign{kDual, u"7"}, Foreign{kQuad, u"3"}}) {
    const ChipDialog d = f.dialog;
    const std::u16string_view foreign = f.number;
    Scenario scenario = Changed(std::string(d.tag) + "_only_GuardBand_changed", d, Stored(foreign, u"0"),
                                [d](User& user, Checks& checks) {
                                  ExpectShown(user, checks, d.antiAliasId, u"Fastest");
                                  Choose(user, checks, d.guardBandId, u"Enabled");
                                },
                                {AntiAlias(foreign), GuardBand(u"1")});
    scenario.writeOpens = 2;
    all.push_back(std::move(scenario));
  }
  all.push_back(
      Changed("Dual_GuardBand_disabled_AntiAlias_stays_missing", kDual, Stored(std::nullopt, u"1"),
              [](User& user, Checks& checks) { Choose(user, checks, kDual.guardBandId, u"Disabled"); },
              {GuardBand(u"0")}));
  all.push_back(Changed("Dual_both_changed", kDual, Stored(u"0", u"0"),
                        [](User& user, Checks& checks) {
                          Choose(user, checks, kDual.antiAliasId, u"4 Sample Anti-Aliasing");
                          Choose(user, checks, kDual.guardBandId, u"Enabled");
                        },
                        {AntiAlias(u"4"), GuardBand(u"1")}));
  all.back().writeOpens = 3;
  // A guard band number outside the list is replaced only when the user picks an entry.
  all.push_back(
      Changed("Dual_GuardBand_2_choose_Enabled", kDual, Stored(u"3", u"2"),
              [](User& user, Checks& checks) { Choose(user, checks, kDual.guardBandId, u"Enabled"); },
              {AntiAlias(u"3"), GuardBand(u"1")}));
  // Enter is OK: the default button.
  {
    Scenario scenario;
    scenario.name = "Dual_Enter_is_OK";
    scenario.dialog = SettingsDialog::DualChip;
    scenario.stored = Stored(u"3", u"1");
    scenario.expected = {AntiAlias(u"0"), GuardBand(u"1")};
    scenario.steps = [](User& user, Checks& checks) {
      Choose(user, checks, kDual.antiAliasId, u"Single Chip");
      checks.Expect(user.PressEnter(), "could not press Enter");
      checks.Expect(user.WaitForClose(CaptionOf(SettingsDialog::DualChip)), "Enter did not close the dialog");
    };
    scenario.refreshed = true;
    scenario.writeOpens = 2;
    all.push_back(std::move(scenario));
  }
  all.push_back(
      Unchanged("Dual_changed_and_changed_back", kDual, Stored(u"3", u"1"), [](User& user, Checks& checks) {
        Choose(user, checks, kDual.antiAliasId, u"4 Sample Anti-Aliasing");
        Choose(user, checks, kDual.guardBandId, u"Disabled");
        Choose(user, checks, kDual.antiAliasId, u"2 Sample Anti-Aliasing");
        Choose(user, checks, kDual.guardBandId, u"Enabled");
      }));
  // "Fastest" picked where a number of another dialog already shows as "Fastest" is no change.
  all.push_back(
      Unchanged("Dual_foreign_7_choose_Fastest_again", kDual, Stored(u"7", std::nullopt),
                [](User& user, Checks& checks) { Choose(user, checks, kDual.antiAliasId, u"Fastest"); }));

  // Write access refused: one message, nothing written, no refresh, the dialog still ends with OK.
  {
    Scenario scenario;
    scenario.name = "Dual_write_refused";
    scenario.dialog = SettingsDialog::DualChip;
    scenario.writable = false;
    scenario.stored = Stored(u"0", u"0");
    scenario.expected = scenario.stored;
    scenario.steps = [](User& user, Checks& checks) {
      Choose(user, checks, kDual.antiAliasId, u"4 Sample Anti-Aliasing");
      Choose(user, checks, kDual.guardBandId, u"Enabled");
      PressOkRefused(user, checks, SettingsDialog::DualChip);
    };
    scenario.writeOpens = 0;
    all.push_back(std::move(scenario));
  }
  // No D3D key: defaults shown, the probe's message on a change, and the key is not created.
  for (const ChipDialog& d : {kSingle, kQuad}) {
    Scenario scenario;
    scenario.name = std::string(d.tag) + "_no_driver_settings_key";
    scenario.dialog = d.dialog;
    scenario.driverSettingsKeyExists = false;
    scenario.steps = [d](User& user, Checks& checks) {
      ExpectShown(user, checks, d.antiAliasId, u"Fastest");
      ExpectShown(user, checks, d.guardBandId, u"Disabled");
      Choose(user, checks, d.guardBandId, u"Enabled");
      PressOkRefused(user, checks, d.dialog);
    };
    scenario.writeOpens = 0;
    all.push_back(std::move(scenario));
  }
  // Cancel, Escape: nothing written, whatever was edited.
  for (const bool escape : {false, true}) {
    Scenario scenario;
    scenario.name = escape ? "Dual_Escape_after_edits" : "Dual_Cancel_after_edits";
    scenario.dialog = SettingsDialog::DualChip;
    scenario.stored = Stored(u"3", u"0");
    scenario.expected = scenario.stored;
    scenario.steps = [escape](User& user, Checks& checks) {
      Choose(user, checks, kDual.antiAliasId, u"Single Chip");
      Choose(user, checks, kDual.guardBandId, u"Enabled");
      if (escape) {
        checks.Expect(user.PressEscape(), "could not press Escape");
        checks.Expect(user.WaitForClose(CaptionOf(SettingsDialog::DualChip)),
                      "Escape did not close the dialog");
      } else {
        PressCancel(user, checks, SettingsDialog::DualChip);
      }
    };
    scenario.result = 2;  // IDCANCEL
    scenario.writeOpens = 0;
    all.push_back(std::move(scenario));
  }
  return all;
}

}  // namespace scenarios
