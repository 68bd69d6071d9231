#include "settings/TuningSetting.h"

#include <limits>

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

constexpr std::int32_t kLodBiasOffset = 8;  // list position of "0.00"
constexpr std::int32_t kTripleBufferOff = 3;
constexpr std::int32_t kTripleBufferOn = 4;

struct Description {
  std::u16string_view name;
  TuningKey key;
  TuningEncoding encoding;
  std::array<std::u16string_view, 2> values;
  int listId;  // a list of the general dialog; 0 for the chip lists and the check box
};

using enum TuningKey;
using enum TuningEncoding;

// By Tuning, in its order.
constexpr Description kDescriptions[] = {
    {u"AntiAliasing", kDriverSettingsKey, kNumberText, {u"QLDRV_SLI_AA_CONFIGURATION"}, 0},
    {u"GuardBandClipping", kDriverSettingsKey, kNumberText, {u"QLDRV_GUARDBAND_CLIPPING"}, 0},
    {u"DDIVersion", kCurrentDeviceKey, kRaw, {u"DisableDX8", u"DisableDX9"}, IDC_COMBO_DDI_VERSION},
    {u"TripleBuffer", kCurrentDeviceKey, kRaw, {u"MaxTileBuffers"}, 0},
    {u"VSync", kDriverSettingsKey, kNumberText, {u"QLDRV_SWAPINTERVAL"}, IDC_COMBO_VSYNC},
    {u"LODBias", kDriverSettingsKey, kNumberText, {u"QLDRV_LOD_BIAS"}, IDC_COMBO_LOD_BIAS},
    {u"FilterQuality", kDriverSettingsKey, kNumberText, {u"QLDRV_OVERLAYMODE"}, IDC_COMBO_FILTER},
    {u"AlphaBlending", kDriverSettingsKey, kNumberText, {u"QLDRV_ALPHADITHERMODE"}, IDC_COMBO_ALPHA},
    {u"MaxPendingBuffers",
     kDriverSettingsKey,
     kNumberText,
     {u"QLDRV_MAX_PENDING_BUFFERS"},
     IDC_COMBO_PENDING},
    {u"MipMapDithering", kDriverSettingsKey, kNumberText, {u"QLDRV_LOD_DITHER"}, IDC_COMBO_DITHER},
    {u"CmdFifoSize", kCurrentDeviceKey, kRaw, {u"CmdFifoSize"}, IDC_COMBO_FIFO_SIZE},
};

// Every Tuning has its row; the bound keeps an out-of-range value from reading past the table.
const Description& DescriptionOf(Tuning id) {
  const auto index = static_cast<std::size_t>(id);
  return kDescriptions[index < std::size(kDescriptions) ? index : 0];
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

TuningSetting::TuningSetting(Tuning id, int chipCount) : m_id(id), m_row(&ChipDialogRowFor(chipCount)) {}

std::vector<TuningSetting> TuningSetting::ForAdapter(bool chipTypeSupported, int chipCount) {
  std::vector<TuningSetting> settings;
  for (std::size_t i = 0; i < std::size(kDescriptions); ++i) {
    const auto id = static_cast<Tuning>(i);
    if (!chipTypeSupported && (id == Tuning::kAntiAliasing || id == Tuning::kGuardBandClipping)) continue;
    settings.emplace_back(id, chipCount);
  }
  return settings;
}

std::u16string_view TuningSetting::Name() const { return DescriptionOf(m_id).name; }
TuningKey TuningSetting::WhichKey() const { return DescriptionOf(m_id).key; }
TuningEncoding TuningSetting::Encoding() const { return DescriptionOf(m_id).encoding; }

std::span<const std::u16string_view> TuningSetting::ValueNames() const {
  const auto& values = DescriptionOf(m_id).values;
  return {values.data(), values[1].empty() ? 1u : 2u};
}

std::u16string TuningSetting::KeyPath(const std::u16string& currentDeviceKeyPath) const {
  return WhichKey() == kDriverSettingsKey ? platform::DriverSettingsKeyPath(currentDeviceKeyPath)
                                          : currentDeviceKeyPath;
}

std::vector<std::u16string> TuningSetting::Texts() const {
  if (!m_texts) {
    if (m_id == Tuning::kTripleBuffer)
      m_texts = std::vector<std::u16string>{u"off", u"on"};  // the check box's BST_UNCHECKED, BST_CHECKED
    else if (m_id == Tuning::kAntiAliasing)
      m_texts = GetDialogListTexts(m_row->templateId, m_row->antiAliasListId);
    else if (m_id == Tuning::kGuardBandClipping)
      m_texts = GetDialogListTexts(m_row->templateId, m_row->guardBandListId);
    else
      m_texts = GetDialogListTexts(IDD_GENERAL_DIALOG, DescriptionOf(m_id).listId);
  }
  return *m_texts;
}

int TuningSetting::PositionOf(const StoredNumbers& stored) const {
  const std::optional<std::int64_t>& number = stored[0];
  switch (m_id) {
    case Tuning::kAntiAliasing:
      if (!number) return m_row->fastestIndex;
      if (*number < std::numeric_limits<std::int32_t>::min() ||
          *number > std::numeric_limits<std::int32_t>::max())
        return m_row->fastestIndex;
      return AntiAliasIndexFor(*m_row, static_cast<std::int32_t>(*number));
    case Tuning::kDdiVersion:
      // DisableDX8 wins when both are set.
      if (number && *number != 0) return 0;
      if (stored[1] && *stored[1] != 0) return 1;
      return 2;
    case Tuning::kTripleBuffer:
      return !number || *number != kTripleBufferOff ? 1 : 0;
    case Tuning::kVSync:
      return number ? Position(*number, 1) : 0;
    case Tuning::kLodBias:
      return Position(number.value_or(0), kLodBiasOffset);
    case Tuning::kFilterQuality:
    case Tuning::kAlphaBlending:
      return number ? Position(*number, -1) : 0;
    case Tuning::kGuardBandClipping:
    case Tuning::kMaxPendingBuffers:
    case Tuning::kMipMapDithering:
      return number ? Position(*number, 0) : 0;
    case Tuning::kCmdFifoSize:
      // A size in no entry of the table shows as the first entry.
      for (std::size_t i = 0; number && i < kCmdFifoSizes.size(); ++i)
        if (kCmdFifoSizes[i] == *number) return static_cast<int>(i);
      return 0;
  }
  return -1;
}

StoredNumbers TuningSetting::NumbersFor(int position) const {
  switch (m_id) {
    case Tuning::kAntiAliasing:
      return {AntiAliasNumberFor(*m_row, position)};
    case Tuning::kDdiVersion:
      return {position == 0 ? 1 : 0, position == 1 ? 1 : 0};
    case Tuning::kTripleBuffer:
      return {position != 0 ? kTripleBufferOn : kTripleBufferOff};
    case Tuning::kVSync:
      // "Software" is the driver's own choice: no value at all.
      if (position == 0) return {};
      return {position - 1};
    case Tuning::kLodBias:
      return {position - kLodBiasOffset};
    case Tuning::kFilterQuality:
    case Tuning::kAlphaBlending:
      return {position + 1};
    case Tuning::kGuardBandClipping:
    case Tuning::kMaxPendingBuffers:
    case Tuning::kMipMapDithering:
      return {position};
    case Tuning::kCmdFifoSize:
      if (position < 0 || static_cast<std::size_t>(position) >= kCmdFifoSizes.size()) return {};
      return {kCmdFifoSizes[static_cast<std::size_t>(position)]};
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
  // Only "Software" vertical sync deletes its value; no number elsewhere is no position at all.
  if (!numbers[0] && m_id != Tuning::kVSync) return false;
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
