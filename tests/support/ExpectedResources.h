#pragma once
// What the program's resources must hold, as data: every dialog template with its controls, the
// list data of each dialog, the string table, the icon images, the version block and the
// manifest. Native tests check the compiled .res through the portable reader; Windows-side
// tests check the same table against the executable's own resources.
//
// Self-contained on purpose: no <windows.h> (the style values are spelled out here under names
// that cannot collide with its macros) and nothing from the portable layer.
#include <cstdint>
#include <span>
#include <string_view>

#include "Version.h"
#include "res/resource.h"

namespace expected {

// Window and control styles, as the templates store them.
inline constexpr std::uint32_t kWsPopup = 0x80000000;
inline constexpr std::uint32_t kWsChild = 0x40000000;
inline constexpr std::uint32_t kWsVisible = 0x10000000;
inline constexpr std::uint32_t kWsDisabled = 0x08000000;
inline constexpr std::uint32_t kWsCaption = 0x00C00000;
inline constexpr std::uint32_t kWsVScroll = 0x00200000;
inline constexpr std::uint32_t kWsSysMenu = 0x00080000;
inline constexpr std::uint32_t kWsGroup = 0x00020000;
inline constexpr std::uint32_t kWsTabStop = 0x00010000;
inline constexpr std::uint32_t kWsExAppWindow = 0x00040000;
inline constexpr std::uint32_t kDsModalFrame = 0x80;
inline constexpr std::uint32_t kDsSetFont = 0x40;
inline constexpr std::uint32_t kDsFixedSys = 0x08;
inline constexpr std::uint32_t kBsPushButton = 0x0;
inline constexpr std::uint32_t kBsDefPushButton = 0x1;
inline constexpr std::uint32_t kBsAutoCheckBox = 0x3;
inline constexpr std::uint32_t kBsGroupBox = 0x7;
inline constexpr std::uint32_t kSsLeft = 0x0;
inline constexpr std::uint32_t kSsIcon = 0x3;
inline constexpr std::uint32_t kSsNoPrefix = 0x80;
inline constexpr std::uint32_t kCbsDropDownList = 0x3;
inline constexpr std::uint32_t kCbsSort = 0x100;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kNoId = -1;  // stored as 0xFFFF / 0xFFFFFFFF

// Every resource is English (United Kingdom).
inline constexpr std::uint16_t kLanguage = 2057;

// Styles of the settings dialogs (0x80C800C8) and of the main dialog (0x90C800C8).
inline constexpr std::uint32_t kDialogStyle =
    kWsPopup | kWsCaption | kWsSysMenu | kDsModalFrame | kDsSetFont | kDsFixedSys;
inline constexpr std::uint32_t kMainDialogStyle = kDialogStyle | kWsVisible;

// Control styles as stored: every control is a visible child.
inline constexpr std::uint32_t kChild = kWsChild | kWsVisible;
inline constexpr std::uint32_t kPushButton = kChild | kBsPushButton | kWsTabStop;
inline constexpr std::uint32_t kDefPushButton = kChild | kBsDefPushButton | kWsTabStop;
inline constexpr std::uint32_t kGroupBox = kChild | kBsGroupBox;
inline constexpr std::uint32_t kLabel = kChild | kSsLeft;  // left-aligned text
inline constexpr std::uint32_t kGroupLabel = kLabel | kWsGroup;
inline constexpr std::uint32_t kDropList = kChild | kCbsDropDownList | kWsVScroll | kWsTabStop;
inline constexpr std::uint32_t kSortedDropList = kDropList | kCbsSort;

struct Control {
  int id;
  std::u16string_view className;  // "Button", "Static" or "ComboBox"
  std::u16string_view text;       // empty when the text is a resource ordinal
  int textOrdinal;                // the resource id given as text (the About box's icon), else -1
  int x, y, cx, cy;               // dialog units
  std::uint32_t style;
  std::uint32_t exStyle;
};

struct Dialog {
  int id;
  std::u16string_view caption;
  int cx, cy;  // dialog units; every template is at 0, 0
  std::uint32_t style;
  std::uint32_t exStyle;
  std::u16string_view fontName;
  int pointSize;
  int weight;
  bool italic;
  int charset;
  std::span<const Control> controls;  // template order, which is the tab order
};

inline constexpr std::u16string_view kButton = u"Button";
inline constexpr std::u16string_view kStatic = u"Static";
inline constexpr std::u16string_view kComboBox = u"ComboBox";

inline constexpr Control kAboutControls[] = {
    {kNoId, kStatic, u"", IDR_MAINFRAME, 11, 17, 20, 20, kChild | kSsIcon, 0},
    {kNoId, kStatic, u"Configurator Version 1.1", -1, 40, 10, 119, 8, kGroupLabel | kSsNoPrefix, 0},
    {kNoId, kStatic, u"Driver tuning for QEL 700", -1, 40, 25, 119, 8, kGroupLabel, 0},
    {kIdOk, kButton, u"OK", -1, 178, 7, 50, 16, kDefPushButton | kWsGroup, 0},
};

inline constexpr Control kMainControls[] = {
    {IDC_BUTTON_GENERAL, kButton, u"General", -1, 223, 23, 50, 14, kPushButton, 0},
    {IDC_BUTTON_CHIP, kButton, u"QEL 700", -1, 224, 49, 50, 14, kPushButton | kWsDisabled, 0},
    {kIdCancel, kButton, u"Exit", -1, 224, 77, 50, 16, kPushButton, 0},
    {IDC_STATIC_ADAPTER_LABEL, kStatic, u"Adapter", -1, 23, 20, 38, 13, kGroupLabel, 0},
    {IDC_STATIC_ADAPTER, kStatic, u"", -1, 60, 20, 110, 15, kGroupLabel, 0},
    {IDC_STATIC_BIOS_LABEL, kStatic, u"BIOS", -1, 26, 41, 17, 8, kGroupLabel, 0},
    {IDC_STATIC_BIOS, kStatic, u"", -1, 60, 41, 109, 16, kGroupLabel, 0},
    {IDC_STATIC_CHIP_LABEL, kStatic, u"Chip", -1, 25, 61, 15, 8, kGroupLabel, 0},
    {IDC_STATIC_CHIP, kStatic, u"", -1, 62, 60, 110, 17, kGroupLabel, 0},
    {IDC_STATIC_MEMORY_LABEL, kStatic, u"Memory", -1, 27, 82, 26, 8, kGroupLabel, 0},
    {IDC_STATIC_MEMORY, kStatic, u"", -1, 63, 81, 64, 13, kGroupLabel, 0},
    {IDC_GROUP_INFORMATION, kButton, u"Information", -1, 15, 7, 174, 96, kGroupBox, 0},
};

inline constexpr Control kGeneralControls[] = {
    {IDC_COMBO_DDI_VERSION, kComboBox, u"", -1, 63, 28, 29, 29, kSortedDropList, 0},
    {IDC_CHECK_TRIPLE_BUFFER, kButton, u"Enable Tripple Buffer", -1, 23, 68, 83, 21,
     kChild | kBsAutoCheckBox | kWsTabStop, 0},
    {IDC_COMBO_VSYNC, kComboBox, u"", -1, 50, 113, 64, 34, kSortedDropList, 0},
    {IDC_COMBO_LOD_BIAS, kComboBox, u"", -1, 54, 159, 64, 30, kDropList, 0},
    {IDC_COMBO_FILTER, kComboBox, u"", -1, 197, 27, 57, 30, kDropList, 0},
    {IDC_COMBO_ALPHA, kComboBox, u"", -1, 200, 70, 56, 30, kDropList, 0},
    {IDC_COMBO_PENDING, kComboBox, u"", -1, 203, 111, 48, 30, kDropList, 0},
    {IDC_COMBO_DITHER, kComboBox, u"", -1, 202, 159, 48, 30, kDropList, 0},
    {kIdOk, kButton, u"OK", -1, 293, 117, 50, 14, kDefPushButton, 0},
    {kIdCancel, kButton, u"Cancel", -1, 294, 150, 50, 14, kPushButton, 0},
    {IDC_STATIC_DDI_VERSION, kStatic, u"DDI Version", -1, 19, 31, 44, 8, kGroupLabel, 0},
    {kNoId, kButton, u"Driver Interface", -1, 15, 14, 104, 39, kGroupBox, 0},
    {kNoId, kButton, u"Memory Allocation", -1, 16, 60, 104, 32, kGroupBox, 0},
    {IDC_STATIC_VSYNC, kStatic, u"VSync", -1, 23, 116, 20, 8, kGroupLabel, 0},
    {kNoId, kButton, u"Performance", -1, 15, 97, 105, 41, kGroupBox, 0},
    {IDC_STATIC_LOD_BIAS, kStatic, u"LOD Bias", -1, 21, 161, 29, 8, kGroupLabel, 0},
    {kNoId, kButton, u"Level of Detail Bias", -1, 15, 146, 108, 33, kGroupBox, 0},
    {IDC_STATIC_FILTER, kStatic, u"3D Filter Quality", -1, 136, 31, 60, 8, kGroupLabel, 0},
    {kNoId, kButton, u"3D Filter", -1, 129, 15, 130, 38, kGroupBox, 0},
    {IDC_STATIC_ALPHA, kStatic, u"Alpha-Blending", -1, 135, 72, 56, 13, kGroupLabel, 0},
    {kNoId, kButton, u"Alpha-Blending", -1, 129, 60, 131, 31, kGroupBox, 0},
    {IDC_STATIC_PENDING, kStatic, u"Max Pending Buffers", -1, 134, 113, 66, 13, kGroupLabel, 0},
    {kNoId, kButton, u"Max Pending Buffers", -1, 129, 97, 132, 41, kGroupBox, 0},
    {IDC_STATIC_DITHER, kStatic, u"MipMap Dithering", -1, 133, 160, 62, 8, kGroupLabel, 0},
    {kNoId, kButton, u"MIpMap LOD Dithering", -1, 125, 146, 135, 33, kGroupBox, 0},
    {kNoId, kButton, u"Command Fifo", -1, 273, 19, 82, 32, kGroupBox, 0},
    {kNoId, kStatic, u"Size", -1, 280, 34, 14, 8, kGroupLabel, 0},
    {IDC_COMBO_FIFO_SIZE, kComboBox, u"", -1, 303, 30, 48, 30, kDropList, 0},
};

inline constexpr Control kSingleChipControls[] = {
    {IDC_COMBO_SINGLE_AA, kComboBox, u"", -1, 75, 17, 86, 30, kDropList, 0},
    {IDC_COMBO_SINGLE_GUARDBAND, kComboBox, u"", -1, 91, 40, 48, 30, kDropList, 0},
    {kIdOk, kButton, u"OK", -1, 31, 62, 50, 14, kDefPushButton, 0},
    {kIdCancel, kButton, u"Cancel", -1, 111, 62, 50, 14, kPushButton, 0},
    {IDC_STATIC_SINGLE_AA, kStatic, u"Anti-Aliasing", -1, 18, 20, 54, 8, kLabel, 0},
    {IDC_STATIC_SINGLE_GUARDBAND, kStatic, u"Guard Band Clipping", -1, 17, 40, 72, 14, kLabel, 0},
};

inline constexpr Control kDualChipControls[] = {
    {IDC_COMBO_DUAL_AA, kComboBox, u"", -1, 84, 18, 87, 30, kDropList, 0},
    {IDC_COMBO_DUAL_GUARDBAND, kComboBox, u"", -1, 105, 39, 48, 30, kDropList, 0},
    {kIdOk, kButton, u"OK", -1, 30, 62, 50, 14, kDefPushButton, 0},
    {kIdCancel, kButton, u"Cancel", -1, 105, 62, 50, 14, kPushButton, 0},
    {IDC_STATIC_DUAL_AA, kStatic, u"Anti-Aliasing", -1, 18, 19, 62, 8, kLabel, 0},
    {IDC_STATIC_DUAL_GUARDBAND, kStatic, u"Guard Band Clipping", -1, 18, 42, 82, 8, kLabel, 0},
};

inline constexpr Control kQuadChipControls[] = {
    {IDC_COMBO_QUAD_AA, kComboBox, u"", -1, 70, 16, 95, 30, kDropList, 0},
    {IDC_COMBO_QUAD_GUARDBAND, kComboBox, u"", -1, 104, 39, 48, 30, kDropList, 0},
    {kIdOk, kButton, u"OK", -1, 27, 62, 50, 14, kDefPushButton, 0},
    {kIdCancel, kButton, u"Cancel", -1, 103, 62, 50, 14, kPushButton, 0},
    {IDC_STATIC_QUAD_AA, kStatic, u"Anti-Aliasing", -1, 16, 19, 46, 8, kLabel, 0},
    {IDC_STATIC_QUAD_GUARDBAND, kStatic, u"Guard Band Clipping", -1, 16, 41, 78, 8, kLabel, 0},
};

// Font of every template: "MS Shell Dlg", 8 points, weight 400, not italic, default character set.
inline constexpr Dialog kDialogs[] = {
    {IDD_ABOUTBOX, u"About Configurator", 235, 55, kDialogStyle, 0, u"MS Shell Dlg", 8, 400, false, 1,
     kAboutControls},
    {IDD_CONFIGURATOR_DIALOG, u"Orlo Configurator", 320, 121, kMainDialogStyle, kWsExAppWindow,
     u"MS Shell Dlg", 8, 400, false, 1, kMainControls},
    {IDD_GENERAL_DIALOG, u"General Features", 370, 193, kDialogStyle, 0, u"MS Shell Dlg", 8, 400, false, 1,
     kGeneralControls},
    {IDD_SINGLE_CHIP_DIALOG, u"Single Chip QEL 700", 186, 90, kDialogStyle, 0, u"MS Shell Dlg", 8, 400, false,
     1, kSingleChipControls},
    {IDD_DUAL_CHIP_DIALOG, u"Dual Chip QEL 700", 186, 90, kDialogStyle, 0, u"MS Shell Dlg", 8, 400, false, 1,
     kDualChipControls},
    {IDD_QUAD_CHIP_DIALOG, u"Quad Chip QEL 700", 186, 90, kDialogStyle, 0, u"MS Shell Dlg", 8, 400, false, 1,
     kQuadChipControls},
};

// List data (initialisation data, resource type 240 with the dialog's id): one add-string
// message (0x0403) per entry, in the order the entries are added.
inline constexpr int kListDataType = 240;
inline constexpr std::uint16_t kAddString = 0x0403;

struct ListEntry {
  int controlId;
  std::string_view text;  // 8-bit, stored with a terminator
};

struct ListData {
  int dialogId;
  std::span<const ListEntry> entries;
};

inline constexpr ListEntry kGeneralLists[] = {
    {IDC_COMBO_DDI_VERSION, "7"},   {IDC_COMBO_DDI_VERSION, "8"},  {IDC_COMBO_DDI_VERSION, "9"},
    {IDC_COMBO_VSYNC, "Software"},  {IDC_COMBO_VSYNC, "Vsync On"}, {IDC_COMBO_VSYNC, "Vsync Off"},
    {IDC_COMBO_LOD_BIAS, "-2.0"},   {IDC_COMBO_LOD_BIAS, "-1.75"}, {IDC_COMBO_LOD_BIAS, "-1.50"},
    {IDC_COMBO_LOD_BIAS, "-1.25"},  {IDC_COMBO_LOD_BIAS, "-1.00"}, {IDC_COMBO_LOD_BIAS, "-0.75"},
    {IDC_COMBO_LOD_BIAS, "-0.50"},  {IDC_COMBO_LOD_BIAS, "-0.25"}, {IDC_COMBO_LOD_BIAS, "0.00"},
    {IDC_COMBO_LOD_BIAS, "0.25"},   {IDC_COMBO_LOD_BIAS, "0.50"},  {IDC_COMBO_LOD_BIAS, "0.75"},
    {IDC_COMBO_LOD_BIAS, "1.00"},   {IDC_COMBO_LOD_BIAS, "1.25"},  {IDC_COMBO_LOD_BIAS, "1.50"},
    {IDC_COMBO_LOD_BIAS, "1.75"},   {IDC_COMBO_LOD_BIAS, "2.00"},  {IDC_COMBO_FILTER, "Automatic"},
    {IDC_COMBO_FILTER, "Normal"},   {IDC_COMBO_FILTER, "High"},    {IDC_COMBO_ALPHA, "Automatic"},
    {IDC_COMBO_ALPHA, "Sharper"},   {IDC_COMBO_ALPHA, "Smoother"}, {IDC_COMBO_PENDING, "Default"},
    {IDC_COMBO_PENDING, "1"},       {IDC_COMBO_PENDING, "2"},      {IDC_COMBO_PENDING, "3"},
    {IDC_COMBO_PENDING, "4"},       {IDC_COMBO_PENDING, "5"},      {IDC_COMBO_PENDING, "6"},
    {IDC_COMBO_DITHER, "Disable"},  {IDC_COMBO_DITHER, "Enable"},  {IDC_COMBO_FIFO_SIZE, "512K"},
    {IDC_COMBO_FIFO_SIZE, "640K"},  {IDC_COMBO_FIFO_SIZE, "768K"}, {IDC_COMBO_FIFO_SIZE, "896K"},
    {IDC_COMBO_FIFO_SIZE, "1024K"},
};

inline constexpr ListEntry kSingleChipLists[] = {
    {IDC_COMBO_SINGLE_AA, "Fastest"},
    {IDC_COMBO_SINGLE_AA, "2 Sample Anit-aliasing"},
    {IDC_COMBO_SINGLE_GUARDBAND, "Disabled"},
    {IDC_COMBO_SINGLE_GUARDBAND, "Enabled"},
};

inline constexpr ListEntry kDualChipLists[] = {
    {IDC_COMBO_DUAL_AA, "Single Chip"},
    {IDC_COMBO_DUAL_AA, "Fastest"},
    {IDC_COMBO_DUAL_AA, "2 Sample Anti-Aliasing"},
    {IDC_COMBO_DUAL_AA, "4 Sample Anti-Aliasing"},
    {IDC_COMBO_DUAL_GUARDBAND, "Disabled"},
    {IDC_COMBO_DUAL_GUARDBAND, "Enabled"},
};

inline constexpr ListEntry kQuadChipLists[] = {
    {IDC_COMBO_QUAD_AA, "Single Chip"},
    {IDC_COMBO_QUAD_AA, "Fastest"},
    {IDC_COMBO_QUAD_AA, "2 Sample Anti-Aliasing"},
    {IDC_COMBO_QUAD_AA, "4 Sample Anti-Aliasing"},
    {IDC_COMBO_QUAD_AA, "8 Sample Anti-Aliasing"},
    {IDC_COMBO_QUAD_GUARDBAND, "Disabled"},
    {IDC_COMBO_QUAD_GUARDBAND, "Enabled"},
};

inline constexpr ListData kLists[] = {
    {IDD_GENERAL_DIALOG, kGeneralLists},
    {IDD_SINGLE_CHIP_DIALOG, kSingleChipLists},
    {IDD_DUAL_CHIP_DIALOG, kDualChipLists},
    {IDD_QUAD_CHIP_DIALOG, kQuadChipLists},
};

// Strings. Only 101 is in the table; its neighbours are empty.
inline constexpr unsigned kAboutStringId = IDS_ABOUTBOX;
inline constexpr std::u16string_view kAboutString = u"&About Configurator...";

// Icon 128: nine images, largest first, each size at 4, 8 and 24 bits per pixel.
struct IconImage {
  int size;  // width and height in pixels
  int bitCount;
};

inline constexpr int kIconId = IDR_MAINFRAME;
inline constexpr IconImage kIconImages[] = {
    {48, 4}, {48, 8}, {48, 24}, {32, 4}, {32, 8}, {32, 24}, {16, 4}, {16, 8}, {16, 24},
};

// Version block (resource type 16, id 1).
struct VersionString {
  std::u16string_view name;
  std::u16string_view value;
};

inline constexpr int kVersionType = 16;
inline constexpr int kVersionId = 1;
// The version is the project's (Version.h, generated from CMakeLists.txt), never written here.
inline constexpr std::uint32_t kFileVersionMs =
    (CONFIGURATOR_VERSION_MAJOR << 16) | CONFIGURATOR_VERSION_MINOR;
inline constexpr std::uint32_t kFileVersionLs =
    (CONFIGURATOR_VERSION_PATCH << 16) | CONFIGURATOR_VERSION_TWEAK;
inline constexpr std::u16string_view kVersionBlock = u"080904B0";  // English (UK), Unicode
inline constexpr VersionString kVersionStrings[] = {
    {u"CompanyName", u"ORLO"},
    {u"FileDescription", u"ORLO Configurator"},
    {u"FileVersion", u"" CONFIGURATOR_VERSION_TEXT},
    {u"InternalName", u"Configurator.exe"},
    {u"OriginalFilename", u"Configurator.exe"},
    {u"ProductName", u"ORLO Configurator"},
    {u"ProductVersion", u"" CONFIGURATOR_VERSION_TEXT},
};

// Manifest (resource type 24, id 1): pieces its text must contain.
inline constexpr int kManifestType = 24;
inline constexpr int kManifestId = 1;
inline constexpr std::string_view kManifestPieces[] = {
    R"(name="Microsoft.Windows.Common-Controls")",
    R"(version="6.0.0.0")",
    R"(publicKeyToken="6595b64144ccf1df")",
    R"(requestedExecutionLevel level="asInvoker")",
    R"(>true</dpiAware>)",
};

}  // namespace expected
