#include "settings/TuningSetting.h"

#include <limits>
#include <utility>

#include "framework/Dialog.h"
#include "platform/DriverSettingsKey.h"
#include "platform/Registry.h"
#include "res/resource.h"
#include "settings/SettingsKey.h"
#include "settings/ValueAccess.h"

namespace {

constexpr AntiAliasPosition kSinglePositions[] = {{0, 0}, {1, 1}};
constexpr AntiAliasPosition kDualPositions[] = {{0, 0}, {3, 2}, {4, 3}};
constexpr AntiAliasPosition kQuadPositions[] = {{0, 0}, {6, 2}, {7, 3}, {8, 4}};

constexpr ChipDialogRow kSingleChipRow{
    IDD_SINGLE_CHIP_DIALOG, IDC_COMBO_SINGLE_AA, IDC_COMBO_SINGLE_GUARDBAND, 0, kSinglePositions, 0};
constexpr ChipDialogRow kDualChipRow{
    IDD_DUAL_CHIP_DIALOG, IDC_COMBO_DUAL_AA, IDC_COMBO_DUAL_GUARDBAND, 1, kDualPositions, 1};
constexpr ChipDialogRow kQuadChipRow{
    IDD_QUAD_CHIP_DIALOG, IDC_COMBO_QUAD_AA, IDC_COMBO_QUAD_GUARDBAND, 1, kQuadPositions, 4};

constexpr std::int32_t kLodBiasOffset = 8;                         // list position of "0.00"
constexpr std::uint32_t kTripleBufferNumbers[] = {3, 4};           // off, on
constexpr std::u16string_view kCheckBoxTexts[] = {u"off", u"on"};  // BST_UNCHECKED, BST_CHECKED

using enum TuningKey;
using enum TuningEncoding;
using enum TuningList;
using enum TuningMapping;

// The dialogs' settings, by Tuning, in its order.
constexpr TuningRow kDialogRows[] = {
    {.name = u"AntiAliasing",
     .values = {u"QLDRV_SLI_AA_CONFIGURATION"},
     .list = kChipAntiAliasing,
     .mapping = kAntiAliasing},
    {.name = u"GuardBandClipping", .values = {u"QLDRV_GUARDBAND_CLIPPING"}, .list = kChipGuardBand},
    {.name = u"DDIVersion",
     .key = kCurrentDeviceKey,
     .encoding = kRaw,
     .values = {u"DisableDX8", u"DisableDX9"},
     .listId = IDC_COMBO_DDI_VERSION,
     .mapping = kDdiVersion},
    {.name = u"TripleBuffer",
     .key = kCurrentDeviceKey,
     .encoding = kRaw,
     .values = {u"MaxTileBuffers"},
     .list = kFixed,
     .texts = kCheckBoxTexts,
     .mapping = kCheckBox,
     .numbers = kTripleBufferNumbers},
    // "Software" is the driver's own choice: no value at all.
    {.name = u"VSync",
     .values = {u"QLDRV_SWAPINTERVAL"},
     .listId = IDC_COMBO_VSYNC,
     .offset = 1,
     .deletingPosition = 0},
    {.name = u"LODBias",
     .values = {u"QLDRV_LOD_BIAS"},
     .listId = IDC_COMBO_LOD_BIAS,
     .offset = kLodBiasOffset,
     .absentPosition = kLodBiasOffset},
    {.name = u"FilterQuality", .values = {u"QLDRV_OVERLAYMODE"}, .listId = IDC_COMBO_FILTER, .offset = -1},
    {.name = u"AlphaBlending", .values = {u"QLDRV_ALPHADITHERMODE"}, .listId = IDC_COMBO_ALPHA, .offset = -1},
    {.name = u"MaxPendingBuffers", .values = {u"QLDRV_MAX_PENDING_BUFFERS"}, .listId = IDC_COMBO_PENDING},
    {.name = u"MipMapDithering", .values = {u"QLDRV_LOD_DITHER"}, .listId = IDC_COMBO_DITHER},
    // A size in no entry of the table shows as the first entry.
    {.name = u"CmdFifoSize",
     .key = kCurrentDeviceKey,
     .encoding = kRaw,
     .values = {u"CmdFifoSize"},
     .listId = IDC_COMBO_FIFO_SIZE,
     .mapping = kTable,
     .numbers = kCmdFifoSizes},
};

TuningTable g_dialogTable{kDialogRows};
TuningTable* g_installedTable = nullptr;

// Every Tuning has its row; the bound keeps an out-of-range value from reading past the table.
const TuningRow& DialogRow(Tuning id) {
  const auto index = static_cast<std::size_t>(id);
  return kDialogRows[index < std::size(kDialogRows) ? index : 0];
}

// number + offset as a list position; a sum outside 32 bits is no position of any list.
int Position(std::int64_t number, std::int64_t offset) {
  const std::int64_t sum = number + offset;
  if (sum < std::numeric_limits<int>::min() || sum > std::numeric_limits<int>::max()) return -1;
  return static_cast<int>(sum);
}

}  // namespace

const ChipDialogRow& ChipDialogRowFor(int chipCount) {
  if (chipCount == 2) return kDualChipRow;
  if (chipCount == 4) return kQuadChipRow;
  return kSingleChipRow;
}

int AntiAliasIndexFor(const ChipDialogRow& row, std::int32_t number) {
  for (const AntiAliasPosition& entry : row.antiAliasPositions)
    if (entry.number == number) return entry.position;
  return row.fastestIndex;
}

std::int32_t AntiAliasNumberFor(const ChipDialogRow& row, int position) {
  return position == 0 ? 0 : position + row.antiAliasNumberOffset;
}

TuningTable& GetTuningTable() { return g_installedTable != nullptr ? *g_installedTable : g_dialogTable; }
TuningTable* SetTuningTable(TuningTable* table) { return std::exchange(g_installedTable, table); }

TuningSetting::TuningSetting(Tuning id, int chipCount)
    : m_setting(&DialogRow(id)), m_row(&ChipDialogRowFor(chipCount)) {}
TuningSetting::TuningSetting(Tuning id, const ChipDialogRow& row) : m_setting(&DialogRow(id)), m_row(&row) {}
TuningSetting::TuningSetting(const TuningRow& setting, int chipCount)
    : m_setting(&setting), m_row(&ChipDialogRowFor(chipCount)) {}

std::vector<TuningSetting> TuningSetting::All(int chipCount) {
  std::vector<TuningSetting> settings;
  for (const TuningRow& row : GetTuningTable().rows) settings.emplace_back(row, chipCount);
  return settings;
}

std::vector<TuningSetting> TuningSetting::ForAdapter(bool chipTypeSupported, int chipCount) {
  std::vector<TuningSetting> settings = All(chipCount);
  if (!chipTypeSupported) std::erase_if(settings, [](const TuningSetting& s) { return s.IsChipSetting(); });
  return settings;
}

bool TuningSetting::IsChipSetting() const { return List() == kChipAntiAliasing || List() == kChipGuardBand; }

std::span<const std::u16string_view> TuningSetting::ValueNames() const {
  const auto& values = m_setting->values;
  return {values.data(), values[1].empty() ? 1u : 2u};
}

std::u16string TuningSetting::KeyPath(const std::u16string& currentDeviceKeyPath) const {
  return WhichKey() == kDriverSettingsKey ? platform::DriverSettingsKeyPath(currentDeviceKeyPath)
                                          : currentDeviceKeyPath;
}

std::vector<std::u16string> TuningSetting::Texts() const {
  if (!m_texts) {
    switch (List()) {
      case kFixed:
        m_texts = std::vector<std::u16string>(m_setting->texts.begin(), m_setting->texts.end());
        break;
      case kChipAntiAliasing:
        m_texts = GetDialogListTexts(m_row->templateId, m_row->antiAliasListId);
        break;
      case kChipGuardBand:
        m_texts = GetDialogListTexts(m_row->templateId, m_row->guardBandListId);
        break;
      case kGeneralDialog:
        m_texts = GetDialogListTexts(IDD_GENERAL_DIALOG, m_setting->listId);
        break;
    }
  }
  return *m_texts;
}

int TuningSetting::PositionOf(const StoredNumbers& stored) const {
  const std::optional<std::int64_t>& number = stored[0];
  const std::span<const std::uint32_t> numbers = m_setting->numbers;
  switch (m_setting->mapping) {
    case kAntiAliasing:
      if (!number) return m_row->fastestIndex;
      if (*number < std::numeric_limits<std::int32_t>::min() ||
          *number > std::numeric_limits<std::int32_t>::max())
        return m_row->fastestIndex;
      return AntiAliasIndexFor(*m_row, static_cast<std::int32_t>(*number));
    case kDdiVersion:
      // DisableDX8 wins when both are set.
      if (number && *number != 0) return 0;
      if (stored[1] && *stored[1] != 0) return 1;
      return 2;
    case kCheckBox:
      return number && *number == numbers[0] ? 0 : 1;
    case kOffset:
      return number ? Position(*number, m_setting->offset) : m_setting->absentPosition;
    case kTable:
      for (std::size_t i = 0; number && i < numbers.size(); ++i)
        if (numbers[i] == *number) return static_cast<int>(i);
      return m_setting->absentPosition;
  }
  return -1;
}

StoredNumbers TuningSetting::NumbersFor(int position) const {
  const std::span<const std::uint32_t> numbers = m_setting->numbers;
  switch (m_setting->mapping) {
    case kAntiAliasing:
      return {AntiAliasNumberFor(*m_row, position)};
    case kDdiVersion:
      return {position == 0 ? 1 : 0, position == 1 ? 1 : 0};
    case kCheckBox:
      return {numbers[position != 0 ? 1 : 0]};
    case kOffset:
      if (m_setting->deletingPosition >= 0 && position == m_setting->deletingPosition) return {};
      return {std::int64_t{position} - m_setting->offset};
    case kTable:
      if (position < 0 || static_cast<std::size_t>(position) >= numbers.size()) return {};
      return {numbers[static_cast<std::size_t>(position)]};
  }
  return {};
}

int TuningSetting::EntryFor(const StoredNumbers& stored) const {
  const int position = PositionOf(stored);
  if (position < 0 || static_cast<std::size_t>(position) >= Texts().size()) return -1;
  const StoredNumbers written = NumbersFor(position);
  for (std::size_t i = 0; i < stored.size(); ++i)
    if (stored[i] && stored[i] != written[i]) return -1;
  return position;
}

bool TuningSetting::Replaces(const StoredNumbers& stored, int position) const {
  if (PositionOf(stored) != position) return true;
  if (m_setting->mapping != kTable) return false;
  const std::span<const std::uint32_t> numbers = m_setting->numbers;
  const auto absent = static_cast<std::size_t>(m_setting->absentPosition);
  return stored[0].value_or(absent < numbers.size() ? numbers[absent] : 0) != NumbersFor(position)[0];
}

StoredNumbers TuningSetting::Read(const std::u16string& currentDeviceKeyPath) const {
  StoredNumbers stored;
  const std::u16string path = KeyPath(currentDeviceKeyPath);
  const std::span<const std::u16string_view> names = ValueNames();
  CSettingsKey key;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::u16string name(names[i]);
    if (Encoding() == kRaw) {
      std::uint32_t raw = 0;
      if (ReadRaw(key, path, name, raw)) stored[i] = raw;
    } else {
      std::int32_t number = 0;
      if (ReadNumber(path, name, number)) stored[i] = number;
    }
  }
  return stored;
}

bool TuningSetting::Write(const std::u16string& currentDeviceKeyPath, int position) const {
  const StoredNumbers numbers = NumbersFor(position);
  // Only an entry that deletes its value writes no number; elsewhere that is no position at all.
  if (!numbers[0] && (m_setting->deletingPosition < 0 || position != m_setting->deletingPosition))
    return false;
  return WriteNumbers(currentDeviceKeyPath, numbers);
}

bool TuningSetting::WriteNumbers(const std::u16string& currentDeviceKeyPath,
                                 const StoredNumbers& numbers) const {
  const std::span<const std::u16string_view> names = ValueNames();
  CSettingsKey key;
  if (key.Open(KeyPath(currentDeviceKeyPath), platform::kKeyWrite) != platform::kSuccess) return false;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::u16string name(names[i]);
    if (!numbers[i])
      key.DeleteValue(name);
    else if (Encoding() == kRaw)
      key.SetBinary(name, static_cast<std::uint32_t>(*numbers[i]));
    else
      key.SetNumber(name, static_cast<std::int32_t>(*numbers[i]));
  }
  key.Close();
  return true;
}
