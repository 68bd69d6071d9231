#include "tests/scenarios/GeneralDialogScenarios.h"

#include <map>
#include <string>
#include <utility>

#include "res/resource.h"

namespace scenarios {

namespace {

constexpr SettingsDialog kGeneral = SettingsDialog::General;

constexpr char16_t kMaxTileBuffers[] = u"MaxTileBuffers";
constexpr char16_t kDisableDX8[] = u"DisableDX8";
constexpr char16_t kDisableDX9[] = u"DisableDX9";
constexpr char16_t kCmdFifoSize[] = u"CmdFifoSize";
constexpr char16_t kLodBias[] = u"QLDRV_LOD_BIAS";
constexpr char16_t kSwapInterval[] = u"QLDRV_SWAPINTERVAL";
constexpr char16_t kOverlayMode[] = u"QLDRV_OVERLAYMODE";
constexpr char16_t kAlphaDitherMode[] = u"QLDRV_ALPHADITHERMODE";
constexpr char16_t kMaxPendingBuffers[] = u"QLDRV_MAX_PENDING_BUFFERS";
constexpr char16_t kLodDither[] = u"QLDRV_LOD_DITHER";

StoredValue Raw(std::u16string name, std::uint32_t value) {
  return Binary(DialogKey::Device, std::move(name), value);
}
StoredValue D3D(std::u16string name, std::u16string_view text) {
  return Text(DialogKey::DriverSettings, std::move(name), text);
}

// What every list shows when none of the values is stored.
const std::map<int, std::u16string_view> kDefaults = {
    {IDC_COMBO_DDI_VERSION, u"9"},    {IDC_COMBO_VSYNC, u"Software"},  {IDC_COMBO_LOD_BIAS, u"0.00"},
    {IDC_COMBO_FILTER, u"Automatic"}, {IDC_COMBO_ALPHA, u"Automatic"}, {IDC_COMBO_PENDING, u"Default"},
    {IDC_COMBO_DITHER, u"Disable"},   {IDC_COMBO_FIFO_SIZE, u"512K"},
};

// One list: stored values → the entry shown → (optionally) an entry chosen → every value after
// OK. Nothing chosen and nothing to normalise: OK writes nothing.
struct ListCase {
  std::string name;
  std::vector<StoredValue> stored;
  int id;
  std::u16string_view shown;   // empty: no selection
  std::u16string_view choose;  // empty: nothing chosen
  std::vector<StoredValue> expected;
};

std::vector<ListCase> ListCases() {
  const auto lod = [](std::u16string_view text) { return D3D(kLodBias, text); };
  const auto vsync = [](std::u16string_view text) { return D3D(kSwapInterval, text); };
  const auto expandSz = [](std::u16string_view text) {
    StoredValue value = D3D(kLodBias, text);
    value.type = 2;  // REG_EXPAND_SZ: read as stored, never expanded
    return value;
  };
  const std::u16string text63 = std::u16string(62, u'0') + u"4";
  const std::u16string text64 = std::u16string(63, u'0') + u"4";
  return {
      // DDI version: DisableDX8 wins; the pair is always written together, as REG_BINARY.
      {"Ddi_none", {}, IDC_COMBO_DDI_VERSION, u"9", u"", {}},
      {"Ddi_both_set",
       {Raw(kDisableDX8, 1), Raw(kDisableDX9, 1)},
       IDC_COMBO_DDI_VERSION,
       u"7",
       u"",
       {Raw(kDisableDX8, 1), Raw(kDisableDX9, 1)}},
      {"Ddi_dx9_5",
       {Raw(kDisableDX8, 0), Raw(kDisableDX9, 5)},
       IDC_COMBO_DDI_VERSION,
       u"8",
       u"",
       {Raw(kDisableDX8, 0), Raw(kDisableDX9, 5)}},
      {"Ddi_dword_dx8",
       {Dword(DialogKey::Device, kDisableDX8, 1)},
       IDC_COMBO_DDI_VERSION,
       u"7",
       u"",
       {Dword(DialogKey::Device, kDisableDX8, 1)}},
      {"Ddi_9_choose_8", {}, IDC_COMBO_DDI_VERSION, u"9", u"8", {Raw(kDisableDX8, 0), Raw(kDisableDX9, 1)}},
      {"Ddi_9_choose_7", {}, IDC_COMBO_DDI_VERSION, u"9", u"7", {Raw(kDisableDX8, 1), Raw(kDisableDX9, 0)}},
      {"Ddi_7_choose_9",
       {Raw(kDisableDX8, 1), Raw(kDisableDX9, 1)},
       IDC_COMBO_DDI_VERSION,
       u"7",
       u"9",
       {Raw(kDisableDX8, 0), Raw(kDisableDX9, 0)}},
      {"Ddi_dword_8_choose_7",
       {Dword(DialogKey::Device, kDisableDX9, 1)},
       IDC_COMBO_DDI_VERSION,
       u"8",
       u"7",
       {Raw(kDisableDX8, 1), Raw(kDisableDX9, 0)}},

      // Command FIFO size: raw, of any type; a short value is little-endian, zero-extended.
      {"Fifo_640K",
       {Raw(kCmdFifoSize, 655360)},
       IDC_COMBO_FIFO_SIZE,
       u"640K",
       u"",
       {Raw(kCmdFifoSize, 655360)}},
      {"Fifo_dword_1024K",
       {Dword(DialogKey::Device, kCmdFifoSize, 1048576)},
       IDC_COMBO_FIFO_SIZE,
       u"1024K",
       u"",
       {Dword(DialogKey::Device, kCmdFifoSize, 1048576)}},
      {"Fifo_3_bytes",
       {Bytes(DialogKey::Device, kCmdFifoSize, kRegBinary, {0x00, 0x00, 0x0A})},
       IDC_COMBO_FIFO_SIZE,
       u"640K",
       u"",
       {Bytes(DialogKey::Device, kCmdFifoSize, kRegBinary, {0x00, 0x00, 0x0A})}},
      {"Fifo_5_bytes_unreadable",
       {Bytes(DialogKey::Device, kCmdFifoSize, kRegBinary, {0, 0, 0x0A, 0, 0})},
       IDC_COMBO_FIFO_SIZE,
       u"512K",
       u"",
       {Bytes(DialogKey::Device, kCmdFifoSize, kRegBinary, {0, 0, 0x0A, 0, 0})}},
      {"Fifo_none_choose_1024K", {}, IDC_COMBO_FIFO_SIZE, u"512K", u"1024K", {Raw(kCmdFifoSize, 1048576)}},
      {"Fifo_640K_choose_512K",
       {Raw(kCmdFifoSize, 655360)},
       IDC_COMBO_FIFO_SIZE,
       u"640K",
       u"512K",
       {Raw(kCmdFifoSize, 524288)}},
      // A size in no entry shows as "512K" and OK puts the table's size in its place.
      {"Fifo_700000_normalised",
       {Raw(kCmdFifoSize, 700000)},
       IDC_COMBO_FIFO_SIZE,
       u"512K",
       u"",
       {Raw(kCmdFifoSize, 524288)}},

      // LOD bias in quarter steps: position = number + 8.
      {"Lod_none_choose_minus2", {}, IDC_COMBO_LOD_BIAS, u"0.00", u"-2.0", {lod(u"-8")}},
      {"Lod_none_choose_0p25", {}, IDC_COMBO_LOD_BIAS, u"0.00", u"0.25", {lod(u"1")}},
      {"Lod_none_choose_2p00", {}, IDC_COMBO_LOD_BIAS, u"0.00", u"2.00", {lod(u"8")}},
      {"Lod_minus3", {lod(u"-3")}, IDC_COMBO_LOD_BIAS, u"-0.75", u"", {lod(u"-3")}},
      {"Lod_minus8_choose_0", {lod(u"-8")}, IDC_COMBO_LOD_BIAS, u"-2.0", u"0.00", {lod(u"0")}},
      {"Lod_12_outside", {lod(u"12")}, IDC_COMBO_LOD_BIAS, u"", u"", {lod(u"12")}},
      {"Lod_12_choose_1p00", {lod(u"12")}, IDC_COMBO_LOD_BIAS, u"", u"1.00", {lod(u"4")}},
      {"Lod_max_int_outside", {lod(u"2147483647")}, IDC_COMBO_LOD_BIAS, u"", u"", {lod(u"2147483647")}},
      {"Lod_expand_sz", {expandSz(u"4")}, IDC_COMBO_LOD_BIAS, u"1.00", u"", {expandSz(u"4")}},
      {"Lod_63_characters", {lod(text63)}, IDC_COMBO_LOD_BIAS, u"1.00", u"", {lod(text63)}},
      {"Lod_64_characters_unreadable", {lod(text64)}, IDC_COMBO_LOD_BIAS, u"0.00", u"", {lod(text64)}},

      // VSync: position = number + 1; "Software" removes the value.
      {"VSync_0", {vsync(u"0")}, IDC_COMBO_VSYNC, u"Vsync Off", u"", {vsync(u"0")}},
      {"VSync_1", {vsync(u"1")}, IDC_COMBO_VSYNC, u"Vsync On", u"", {vsync(u"1")}},
      {"VSync_minus1", {vsync(u"-1")}, IDC_COMBO_VSYNC, u"Software", u"", {vsync(u"-1")}},
      {"VSync_2_outside", {vsync(u"2")}, IDC_COMBO_VSYNC, u"", u"", {vsync(u"2")}},
      {"VSync_max_int_outside", {vsync(u"2147483647")}, IDC_COMBO_VSYNC, u"", u"", {vsync(u"2147483647")}},
      {"VSync_minus1_choose_On", {vsync(u"-1")}, IDC_COMBO_VSYNC, u"Software", u"Vsync On", {vsync(u"1")}},
      {"VSync_1_choose_Off", {vsync(u"1")}, IDC_COMBO_VSYNC, u"Vsync On", u"Vsync Off", {vsync(u"0")}},
      {"VSync_none_choose_Off", {}, IDC_COMBO_VSYNC, u"Software", u"Vsync Off", {vsync(u"0")}},
      {"VSync_0_choose_Software_deletes", {vsync(u"0")}, IDC_COMBO_VSYNC, u"Vsync Off", u"Software", {}},
      {"VSync_1_choose_Software_deletes", {vsync(u"1")}, IDC_COMBO_VSYNC, u"Vsync On", u"Software", {}},

      // 3D filter quality and alpha blending: position = number - 1.
      {"Filter_2", {D3D(kOverlayMode, u"2")}, IDC_COMBO_FILTER, u"Normal", u"", {D3D(kOverlayMode, u"2")}},
      {"Filter_none_choose_High", {}, IDC_COMBO_FILTER, u"Automatic", u"High", {D3D(kOverlayMode, u"3")}},
      {"Filter_3_choose_Automatic",
       {D3D(kOverlayMode, u"3")},
       IDC_COMBO_FILTER,
       u"High",
       u"Automatic",
       {D3D(kOverlayMode, u"1")}},
      {"Filter_dword_unreadable",
       {Dword(DialogKey::DriverSettings, kOverlayMode, 2)},
       IDC_COMBO_FILTER,
       u"Automatic",
       u"",
       {Dword(DialogKey::DriverSettings, kOverlayMode, 2)}},
      {"Filter_0_outside", {D3D(kOverlayMode, u"0")}, IDC_COMBO_FILTER, u"", u"", {D3D(kOverlayMode, u"0")}},
      {"Filter_text_outside",
       {D3D(kOverlayMode, u"abc")},
       IDC_COMBO_FILTER,
       u"",
       u"",
       {D3D(kOverlayMode, u"abc")}},
      {"Filter_min_int_outside",
       {D3D(kOverlayMode, u"-2147483648")},
       IDC_COMBO_FILTER,
       u"",
       u"",
       {D3D(kOverlayMode, u"-2147483648")}},
      {"Alpha_3",
       {D3D(kAlphaDitherMode, u"3")},
       IDC_COMBO_ALPHA,
       u"Smoother",
       u"",
       {D3D(kAlphaDitherMode, u"3")}},
      {"Alpha_none_choose_Sharper",
       {},
       IDC_COMBO_ALPHA,
       u"Automatic",
       u"Sharper",
       {D3D(kAlphaDitherMode, u"2")}},

      // Pending buffers and dithering: position = number.
      {"Pending_6_choose_Default",
       {D3D(kMaxPendingBuffers, u"6")},
       IDC_COMBO_PENDING,
       u"6",
       u"Default",
       {D3D(kMaxPendingBuffers, u"0")}},
      {"Pending_none_choose_3", {}, IDC_COMBO_PENDING, u"Default", u"3", {D3D(kMaxPendingBuffers, u"3")}},
      {"Pending_9_outside",
       {D3D(kMaxPendingBuffers, u"9")},
       IDC_COMBO_PENDING,
       u"",
       u"",
       {D3D(kMaxPendingBuffers, u"9")}},
      {"Pending_minus1_outside",
       {D3D(kMaxPendingBuffers, u"-1")},
       IDC_COMBO_PENDING,
       u"",
       u"",
       {D3D(kMaxPendingBuffers, u"-1")}},
      {"Dither_1_choose_Disable",
       {D3D(kLodDither, u"1")},
       IDC_COMBO_DITHER,
       u"Enable",
       u"Disable",
       {D3D(kLodDither, u"0")}},
      {"Dither_none_choose_Enable", {}, IDC_COMBO_DITHER, u"Disable", u"Enable", {D3D(kLodDither, u"1")}},
  };
}

// The check box: stored MaxTileBuffers → ticked or not → after a click (or none) → stored.
struct BoxCase {
  std::string name;
  std::vector<StoredValue> stored;
  bool ticked;
  bool click;
  std::vector<StoredValue> expected;
};

std::vector<BoxCase> BoxCases() {
  return {
      {"Box_none", {}, true, false, {}},
      {"Box_3", {Raw(kMaxTileBuffers, 3)}, false, false, {Raw(kMaxTileBuffers, 3)}},
      {"Box_0", {Raw(kMaxTileBuffers, 0)}, true, false, {Raw(kMaxTileBuffers, 0)}},
      {"Box_2", {Raw(kMaxTileBuffers, 2)}, true, false, {Raw(kMaxTileBuffers, 2)}},
      {"Box_4", {Raw(kMaxTileBuffers, 4)}, true, false, {Raw(kMaxTileBuffers, 4)}},
      {"Box_5", {Raw(kMaxTileBuffers, 5)}, true, false, {Raw(kMaxTileBuffers, 5)}},
      {"Box_dword_3",
       {Dword(DialogKey::Device, kMaxTileBuffers, 3)},
       false,
       false,
       {Dword(DialogKey::Device, kMaxTileBuffers, 3)}},
      {"Box_1_byte_3",
       {Bytes(DialogKey::Device, kMaxTileBuffers, kRegBinary, {3})},
       false,
       false,
       {Bytes(DialogKey::Device, kMaxTileBuffers, kRegBinary, {3})}},
      // The text "3" with its terminator is the 4 bytes 33 00 00 00: the number 51.
      {"Box_text_3_is_51",
       {Text(DialogKey::Device, kMaxTileBuffers, u"3")},
       true,
       false,
       {Text(DialogKey::Device, kMaxTileBuffers, u"3")}},
      {"Box_3_tick_writes_4", {Raw(kMaxTileBuffers, 3)}, false, true, {Raw(kMaxTileBuffers, 4)}},
      {"Box_none_clear_writes_3", {}, true, true, {Raw(kMaxTileBuffers, 3)}},
      {"Box_dword_5_clear_writes_3",
       {Dword(DialogKey::Device, kMaxTileBuffers, 5)},
       true,
       true,
       {Raw(kMaxTileBuffers, 3)}},
  };
}

// Every value stored, none at its default, with what each control shows.
std::vector<StoredValue> AllStored() {
  return {Raw(kMaxTileBuffers, 3),   Raw(kDisableDX8, 0),         Raw(kDisableDX9, 1),
          Raw(kCmdFifoSize, 786432), D3D(kLodBias, u"-4"),        D3D(kSwapInterval, u"1"),
          D3D(kOverlayMode, u"3"),   D3D(kAlphaDitherMode, u"2"), D3D(kMaxPendingBuffers, u"4"),
          D3D(kLodDither, u"1")};
}

void ExpectAllStoredShown(User& user, Checks& checks) {
  checks.Expect(!user.IsChecked(IDC_CHECK_TRIPLE_BUFFER), "the box is ticked");
  ExpectShown(user, checks, IDC_COMBO_DDI_VERSION, u"8");
  ExpectShown(user, checks, IDC_COMBO_FIFO_SIZE, u"768K");
  ExpectShown(user, checks, IDC_COMBO_LOD_BIAS, u"-1.00");
  ExpectShown(user, checks, IDC_COMBO_VSYNC, u"Vsync On");
  ExpectShown(user, checks, IDC_COMBO_FILTER, u"High");
  ExpectShown(user, checks, IDC_COMBO_ALPHA, u"Sharper");
  ExpectShown(user, checks, IDC_COMBO_PENDING, u"4");
  ExpectShown(user, checks, IDC_COMBO_DITHER, u"Enable");
}

Scenario Make(std::string name, std::vector<StoredValue> stored, std::function<void(User&, Checks&)> steps,
              std::vector<StoredValue> expected, bool refreshed) {
  Scenario scenario;
  scenario.name = "General_" + std::move(name);
  scenario.dialog = kGeneral;
  scenario.stored = std::move(stored);
  scenario.steps = std::move(steps);
  scenario.expected = std::move(expected);
  scenario.refreshed = refreshed;
  return scenario;
}

}  // namespace

std::vector<Scenario> GeneralDialogScenarios() {
  std::vector<Scenario> all;

  for (ListCase& c : ListCases()) {
    const bool changed = c.expected != c.stored;
    Scenario scenario = Make(
        std::move(c.name), c.stored,
        [id = c.id, shown = c.shown, choose = c.choose](User& user, Checks& checks) {
          ExpectShown(user, checks, id, shown);
          // The other lists keep their defaults when their values are absent.
          for (const auto& [other, text] : kDefaults)
            if (other != id && other != IDC_COMBO_DDI_VERSION && other != IDC_COMBO_FIFO_SIZE)
              ExpectShown(user, checks, other, text);
          if (!choose.empty()) Choose(user, checks, id, choose);
          PressOk(user, checks, kGeneral);
        },
        std::move(c.expected), changed);
    scenario.writeOpens = changed ? 2 : 0;  // the probe, then the one write step
    all.push_back(std::move(scenario));
  }
  for (BoxCase& c : BoxCases()) {
    const bool changed = c.expected != c.stored;
    Scenario scenario = Make(
        std::move(c.name), c.stored,
        [ticked = c.ticked, click = c.click](User& user, Checks& checks) {
          checks.Expect(user.IsChecked(IDC_CHECK_TRIPLE_BUFFER) == ticked,
                        ticked ? "the box is not ticked" : "the box is ticked");
          if (click) checks.Expect(user.Click(IDC_CHECK_TRIPLE_BUFFER), "could not click the box");
          PressOk(user, checks, kGeneral);
        },
        std::move(c.expected), changed);
    scenario.writeOpens = changed ? 2 : 0;
    all.push_back(std::move(scenario));
  }

  // None of the ten values: every default shown, and OK touches nothing.
  all.push_back(Make(
      "nothing_stored", {},
      [](User& user, Checks& checks) {
        checks.Expect(user.IsChecked(IDC_CHECK_TRIPLE_BUFFER), "the box is not ticked");
        for (const auto& [id, text] : kDefaults) ExpectShown(user, checks, id, text);
        PressOk(user, checks, kGeneral);
      },
      {}, false));
  all.back().writeOpens = 0;

  // Every value at once, each in its own stored form.
  all.push_back(Make(
      "all_stored_unchanged", AllStored(),
      [](User& user, Checks& checks) {
        ExpectAllStoredShown(user, checks);
        PressOk(user, checks, kGeneral);
      },
      AllStored(), false));
  all.back().writeOpens = 0;
  all.push_back(Make(
      "all_changed", AllStored(),
      [](User& user, Checks& checks) {
        checks.Expect(user.Click(IDC_CHECK_TRIPLE_BUFFER), "could not click the box");
        Choose(user, checks, IDC_COMBO_DDI_VERSION, u"7");
        Choose(user, checks, IDC_COMBO_FIFO_SIZE, u"896K");
        Choose(user, checks, IDC_COMBO_LOD_BIAS, u"1.75");
        Choose(user, checks, IDC_COMBO_VSYNC, u"Software");
        Choose(user, checks, IDC_COMBO_FILTER, u"Normal");
        Choose(user, checks, IDC_COMBO_ALPHA, u"Smoother");
        Choose(user, checks, IDC_COMBO_PENDING, u"Default");
        Choose(user, checks, IDC_COMBO_DITHER, u"Disable");
        PressOk(user, checks, kGeneral);
      },
      {Raw(kMaxTileBuffers, 4), Raw(kDisableDX8, 1), Raw(kDisableDX9, 0), Raw(kCmdFifoSize, 917504),
       D3D(kLodBias, u"7"), D3D(kOverlayMode, u"2"), D3D(kAlphaDitherMode, u"3"),
       D3D(kMaxPendingBuffers, u"0"), D3D(kLodDither, u"0")},
      true));
  all.back().writeOpens = 10;  // the probe and nine write steps

  // Only the box changed: the probe, MaxTileBuffers, the refresh; nothing else touched.
  {
    std::vector<StoredValue> expected = AllStored();
    expected[0] = Raw(kMaxTileBuffers, 4);
    all.push_back(Make(
        "only_box_changed", AllStored(),
        [](User& user, Checks& checks) {
          checks.Expect(user.Click(IDC_CHECK_TRIPLE_BUFFER), "could not click the box");
          PressOk(user, checks, kGeneral);
        },
        expected, true));
    all.back().writeOpens = 2;
  }
  all.push_back(Make(
      "changed_and_changed_back", AllStored(),
      [](User& user, Checks& checks) {
        checks.Expect(user.Click(IDC_CHECK_TRIPLE_BUFFER), "could not click the box");
        Choose(user, checks, IDC_COMBO_LOD_BIAS, u"2.00");
        Choose(user, checks, IDC_COMBO_VSYNC, u"Software");
        checks.Expect(user.Click(IDC_CHECK_TRIPLE_BUFFER), "could not click the box");
        Choose(user, checks, IDC_COMBO_LOD_BIAS, u"-1.00");
        Choose(user, checks, IDC_COMBO_VSYNC, u"Vsync On");
        PressOk(user, checks, kGeneral);
      },
      AllStored(), false));
  all.back().writeOpens = 0;

  // Cancel and Escape after edits: nothing written, no refresh.
  for (const bool escape : {false, true}) {
    all.push_back(Make(
        escape ? "Escape_after_edits" : "Cancel_after_edits", AllStored(),
        [escape](User& user, Checks& checks) {
          checks.Expect(user.Click(IDC_CHECK_TRIPLE_BUFFER), "could not click the box");
          Choose(user, checks, IDC_COMBO_DDI_VERSION, u"9");
          Choose(user, checks, IDC_COMBO_VSYNC, u"Software");
          Choose(user, checks, IDC_COMBO_FIFO_SIZE, u"1024K");
          if (escape) {
            checks.Expect(user.PressEscape(), "could not press Escape");
            checks.Expect(user.WaitForClose(CaptionOf(kGeneral)), "Escape did not close the dialog");
          } else {
            PressCancel(user, checks, kGeneral);
          }
        },
        AllStored(), false));
    all.back().result = 2;
    all.back().writeOpens = 0;
  }

  // Write access refused: one message, nothing written, no refresh, the dialog ends with OK.
  all.push_back(Make(
      "write_refused", AllStored(),
      [](User& user, Checks& checks) {
        checks.Expect(user.Click(IDC_CHECK_TRIPLE_BUFFER), "could not click the box");
        Choose(user, checks, IDC_COMBO_LOD_BIAS, u"0.00");
        Choose(user, checks, IDC_COMBO_VSYNC, u"Software");
        PressOkRefused(user, checks, kGeneral);
      },
      AllStored(), false));
  all.back().writable = false;
  all.back().writeOpens = 0;

  // No D3D key, the device key writable: the probe passes, the raw value is written, the text
  // values silently are not, and the refresh still runs.
  all.push_back(Make(
      "no_driver_settings_key", {Raw(kMaxTileBuffers, 4)},
      [](User& user, Checks& checks) {
        checks.Expect(user.IsChecked(IDC_CHECK_TRIPLE_BUFFER), "the box is not ticked");
        for (const auto& [id, text] : kDefaults) ExpectShown(user, checks, id, text);
        checks.Expect(user.Click(IDC_CHECK_TRIPLE_BUFFER), "could not click the box");
        Choose(user, checks, IDC_COMBO_LOD_BIAS, u"0.50");
        Choose(user, checks, IDC_COMBO_VSYNC, u"Vsync On");
        Choose(user, checks, IDC_COMBO_DITHER, u"Enable");
        PressOk(user, checks, kGeneral);
      },
      {Raw(kMaxTileBuffers, 3)}, true));
  all.back().driverSettingsKeyExists = false;
  all.back().writeOpens = 2;
  return all;
}

}  // namespace scenarios
