// The program's compiled resources, read through the portable reader, against the table of
// what they must hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Version.h"
#include "framework/portable/ResourceData.h"
#include "framework/portable/Resources.h"
#include "tests/support/ExpectedResources.h"

// Names for the table rows in test output, instead of their bytes.
namespace expected {
void PrintTo(const Dialog& dialog, std::ostream* out) { *out << "dialog " << dialog.id; }
void PrintTo(const ListData& list, std::ostream* out) { *out << "list data " << list.dialogId; }
}  // namespace expected

namespace {

using portable::ProgramResources;

constexpr int kTypeIcon = 3;
constexpr int kTypeDialog = 5;
constexpr int kTypeString = 6;
constexpr int kTypeGroupIcon = 14;

std::uint16_t Word(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t Dword(std::span<const std::uint8_t> bytes, std::size_t at) {
  return Word(bytes, at) | (static_cast<std::uint32_t>(Word(bytes, at + 2)) << 16);
}

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

class DialogTemplateTest : public testing::TestWithParam<expected::Dialog> {};

TEST_P(DialogTemplateTest, MatchesTheTable) {
  const expected::Dialog& want = GetParam();
  auto dialog = ProgramResources().Dialog(want.id);
  ASSERT_TRUE(dialog.has_value());
  EXPECT_TRUE(dialog->extended);
  EXPECT_EQ(dialog->caption, want.caption);
  EXPECT_EQ(dialog->x, 0);
  EXPECT_EQ(dialog->y, 0);
  EXPECT_EQ(dialog->cx, want.cx);
  EXPECT_EQ(dialog->cy, want.cy);
  EXPECT_EQ(dialog->style, want.style);
  EXPECT_EQ(dialog->exStyle, want.exStyle);
  EXPECT_TRUE(dialog->menu.empty());
  EXPECT_TRUE(dialog->windowClass.empty());
  EXPECT_EQ(dialog->fontName, want.fontName);
  EXPECT_EQ(dialog->pointSize, want.pointSize);
  EXPECT_EQ(dialog->weight, want.weight);
  EXPECT_EQ(dialog->italic, want.italic);
  EXPECT_EQ(dialog->charset, want.charset);

  ASSERT_EQ(dialog->items.size(), want.controls.size());
  for (std::size_t i = 0; i < want.controls.size(); ++i) {
    const expected::Control& control = want.controls[i];
    const portable::DialogItem& item = dialog->items[i];
    SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string(control.id) + ")");
    EXPECT_EQ(item.id, control.id);
    EXPECT_EQ(item.className, control.className);
    EXPECT_EQ(item.text, control.text);
    EXPECT_EQ(item.textOrdinal, control.textOrdinal);
    EXPECT_EQ(item.x, control.x);
    EXPECT_EQ(item.y, control.y);
    EXPECT_EQ(item.cx, control.cx);
    EXPECT_EQ(item.cy, control.cy);
    EXPECT_EQ(item.style, control.style) << std::hex << item.style << " != " << control.style;
    EXPECT_EQ(item.exStyle, control.exStyle);
    EXPECT_EQ(item.helpId, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Resources, DialogTemplateTest, testing::ValuesIn(expected::kDialogs),
                         [](const auto& row) { return "Dialog" + std::to_string(row.param.id); });

class ListDataTest : public testing::TestWithParam<expected::ListData> {};

TEST_P(ListDataTest, EntriesInOrder) {
  const expected::ListData& want = GetParam();
  auto entries = ProgramResources().DlgInit(want.dialogId);
  ASSERT_EQ(entries.size(), want.entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE("entry " + std::to_string(i));
    EXPECT_EQ(entries[i].controlId, want.entries[i].controlId);
    EXPECT_EQ(entries[i].message, expected::kAddString);
    EXPECT_EQ(entries[i].data, want.entries[i].text);
  }
}

// The Win32 layer hands each entry's bytes to the combo box as they are, so every text must be
// stored with its terminator, and the data must end with a zero control id.
TEST_P(ListDataTest, StoredWithTerminatorsAndEnd) {
  const expected::ListData& want = GetParam();
  const auto* entry = ProgramResources().Find(expected::kListDataType, want.dialogId);
  ASSERT_NE(entry, nullptr);
  std::span<const std::uint8_t> bytes = entry->data;
  std::size_t at = 0;
  for (const auto& item : want.entries) {
    ASSERT_LE(at + 8, bytes.size());
    std::uint32_t length = Dword(bytes, at + 4);
    EXPECT_EQ(length, item.text.size() + 1) << item.text;
    ASSERT_LE(at + 8 + length, bytes.size());
    EXPECT_EQ(bytes[at + 8 + length - 1], 0) << item.text;
    at += 8 + length;
  }
  ASSERT_LE(at + 2, bytes.size());
  EXPECT_EQ(Word(bytes, at), 0);
}

// Every list belongs to a combo box of its own dialog.
TEST_P(ListDataTest, FillsComboBoxesOfItsDialog) {
  const expected::ListData& want = GetParam();
  auto dialog = ProgramResources().Dialog(want.dialogId);
  ASSERT_TRUE(dialog.has_value());
  for (const auto& item : want.entries) {
    auto found = std::find_if(dialog->items.begin(), dialog->items.end(),
                              [&](const auto& control) { return control.id == item.controlId; });
    ASSERT_NE(found, dialog->items.end()) << item.controlId;
    EXPECT_EQ(found->className, u"ComboBox");
  }
}

INSTANTIATE_TEST_SUITE_P(Resources, ListDataTest, testing::ValuesIn(expected::kLists),
                         [](const auto& row) { return "Dialog" + std::to_string(row.param.dialogId); });

TEST(ProgramResourcesTest, DialogsWithoutListsHaveNone) {
  EXPECT_TRUE(ProgramResources().DlgInit(IDD_ABOUTBOX).empty());
  EXPECT_TRUE(ProgramResources().DlgInit(IDD_CONFIGURATOR_DIALOG).empty());
}

TEST(ProgramResourcesTest, AboutStringAndNoOthers) {
  EXPECT_EQ(ProgramResources().String(expected::kAboutStringId), expected::kAboutString);
  for (unsigned id = 96; id < 112; ++id) {
    if (id != expected::kAboutStringId) {
      EXPECT_FALSE(ProgramResources().String(id).has_value()) << id;
    }
  }
}

TEST(ProgramResourcesTest, IconGroupHasNineImages) {
  const auto& resources = ProgramResources();
  EXPECT_TRUE(resources.HasIconGroup(expected::kIconId));
  const auto* group = resources.Find(kTypeGroupIcon, expected::kIconId);
  ASSERT_NE(group, nullptr);
  std::span<const std::uint8_t> bytes = group->data;
  ASSERT_GE(bytes.size(), 6u);
  ASSERT_EQ(Word(bytes, 4), std::size(expected::kIconImages));
  ASSERT_EQ(bytes.size(), 6 + 14 * std::size(expected::kIconImages));
  for (std::size_t i = 0; i < std::size(expected::kIconImages); ++i) {
    const auto& want = expected::kIconImages[i];
    SCOPED_TRACE("image " + std::to_string(i));
    std::size_t at = 6 + 14 * i;
    EXPECT_EQ(bytes[at], want.size);
    EXPECT_EQ(bytes[at + 1], want.size);
    EXPECT_EQ(bytes[at + 2], want.bitCount == 4 ? 16 : 0);  // colour count
    EXPECT_EQ(Word(bytes, at + 4), 1);                      // planes
    EXPECT_EQ(Word(bytes, at + 6), want.bitCount);

    // The image itself: a bitmap header of the same size and depth, twice as high (colour and
    // mask), and exactly as many bytes as the group says.
    const auto* image = resources.Find(kTypeIcon, Word(bytes, at + 12));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->data.size(), Dword(bytes, at + 8));
    ASSERT_GE(image->data.size(), 40u);
    EXPECT_EQ(Dword(image->data, 0), 40u);
    EXPECT_EQ(Dword(image->data, 4), static_cast<std::uint32_t>(want.size));
    EXPECT_EQ(Dword(image->data, 8), static_cast<std::uint32_t>(want.size * 2));
    EXPECT_EQ(Word(image->data, 14), want.bitCount);
  }
}

// A node of the version block: length, value length, type, key, value, children; each part
// starts on a 4-byte boundary of the block.
struct VersionNode {
  std::size_t length = 0;
  std::u16string key;
  std::span<const std::uint8_t> value;
  bool text = false;
  std::vector<VersionNode> children;

  const VersionNode* Child(std::u16string_view name) const {
    for (const auto& child : children) {
      if (child.key == name) return &child;
    }
    return nullptr;
  }
  std::u16string Text() const {
    std::u16string result;
    for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
      if (Word(value, i) == 0) break;
      result.push_back(static_cast<char16_t>(Word(value, i)));
    }
    return result;
  }
};

std::size_t Align4(std::size_t at) { return (at + 3) & ~std::size_t{3}; }

std::optional<VersionNode> ParseVersionNode(std::span<const std::uint8_t> bytes, std::size_t start) {
  if (start + 6 > bytes.size()) return std::nullopt;
  VersionNode node;
  node.length = Word(bytes, start);
  std::size_t valueLength = Word(bytes, start + 2);
  node.text = Word(bytes, start + 4) == 1;
  std::size_t end = start + node.length;
  if (node.length < 6 || end > bytes.size()) return std::nullopt;
  std::size_t at = start + 6;
  for (; at + 2 <= end && Word(bytes, at) != 0; at += 2)
    node.key.push_back(static_cast<char16_t>(Word(bytes, at)));
  at = Align4(at + 2);
  std::size_t valueBytes = node.text ? valueLength * 2 : valueLength;
  if (valueBytes > 0) {
    if (at + valueBytes > end) return std::nullopt;
    node.value = bytes.subspan(at, valueBytes);
  }
  for (at = Align4(at + valueBytes); at < end; at = Align4(at + node.children.back().length)) {
    auto child = ParseVersionNode(bytes.first(end), at);
    if (!child) return std::nullopt;
    node.children.push_back(std::move(*child));
  }
  return node;
}

TEST(ProgramResourcesTest, VersionBlock) {
  const auto* entry = ProgramResources().Find(expected::kVersionType, expected::kVersionId);
  ASSERT_NE(entry, nullptr);
  auto root = ParseVersionNode(entry->data, 0);
  ASSERT_TRUE(root.has_value());
  EXPECT_EQ(root->key, u"VS_VERSION_INFO");

  // The fixed part: signature, structure version, then file and product versions.
  ASSERT_EQ(root->value.size(), 52u);
  EXPECT_EQ(Dword(root->value, 0), 0xFEEF04BDu);
  EXPECT_EQ(Dword(root->value, 8), expected::kFileVersionMs);
  EXPECT_EQ(Dword(root->value, 12), expected::kFileVersionLs);
  EXPECT_EQ(Dword(root->value, 16), expected::kFileVersionMs);
  EXPECT_EQ(Dword(root->value, 20), expected::kFileVersionLs);

  const VersionNode* fileInfo = root->Child(u"StringFileInfo");
  ASSERT_NE(fileInfo, nullptr);
  const VersionNode* table = fileInfo->Child(expected::kVersionBlock);
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->children.size(), std::size(expected::kVersionStrings));
  for (const auto& want : expected::kVersionStrings) {
    const VersionNode* value = table->Child(want.name);
    ASSERT_NE(value, nullptr) << Narrow(std::u16string(want.name));
    EXPECT_TRUE(value->text);
    EXPECT_EQ(value->Text(), want.value);
  }

  // The translation names the same language and the Unicode code page.
  const VersionNode* varInfo = root->Child(u"VarFileInfo");
  ASSERT_NE(varInfo, nullptr);
  const VersionNode* translation = varInfo->Child(u"Translation");
  ASSERT_NE(translation, nullptr);
  ASSERT_EQ(translation->value.size(), 4u);
  EXPECT_EQ(Word(translation->value, 0), expected::kLanguage);
  EXPECT_EQ(Word(translation->value, 2), 1200);
}

TEST(ProgramResourcesTest, Manifest) {
  const auto* entry = ProgramResources().Find(expected::kManifestType, expected::kManifestId);
  ASSERT_NE(entry, nullptr);
  std::string text(entry->data.begin(), entry->data.end());
  for (auto piece : expected::kManifestPieces) EXPECT_NE(text.find(piece), std::string::npos) << piece;

  // The program and its common-controls dependency are both x86: a 32-bit program that asked
  // for another architecture's common controls would not start.
  int identities = 0;
  for (auto at = text.find("<assemblyIdentity"); at != std::string::npos;
       at = text.find("<assemblyIdentity", at + 1)) {
    const std::string element = text.substr(at, text.find('>', at) - at);
    EXPECT_NE(element.find(R"(processorArchitecture="x86")"), std::string::npos) << element;
    ++identities;
  }
  EXPECT_EQ(identities, 2);
}

// The version is set once, by the build: the version block's numbers and texts and the
// manifest's identity all say the one the program's --version prints.
TEST(ProgramResourcesTest, VersionIsTheBuildsEverywhere) {
  const std::string version = CONFIGURATOR_VERSION_TEXT;
  const std::u16string wide(version.begin(), version.end());

  const auto* block = ProgramResources().Find(expected::kVersionType, expected::kVersionId);
  ASSERT_NE(block, nullptr);
  auto root = ParseVersionNode(block->data, 0);
  ASSERT_TRUE(root.has_value());
  ASSERT_EQ(root->value.size(), 52u);
  const std::uint32_t ms = Dword(root->value, 8);
  const std::uint32_t ls = Dword(root->value, 12);
  EXPECT_EQ(std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." + std::to_string(ls >> 16) +
                "." + std::to_string(ls & 0xFFFF),
            version);
  const VersionNode* fileInfo = root->Child(u"StringFileInfo");
  ASSERT_NE(fileInfo, nullptr);
  const VersionNode* table = fileInfo->Child(expected::kVersionBlock);
  ASSERT_NE(table, nullptr);
  for (const char16_t* name : {u"FileVersion", u"ProductVersion"}) {
    const VersionNode* value = table->Child(name);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->Text(), wide);
  }

  const auto* manifest = ProgramResources().Find(expected::kManifestType, expected::kManifestId);
  ASSERT_NE(manifest, nullptr);
  const std::string text(manifest->data.begin(), manifest->data.end());
  EXPECT_NE(text.find(R"(name="Orlo.Configurator" version=")" + version + '"'), std::string::npos) << text;
}

// Everything is English (United Kingdom), and there is nothing that the table does not know of.
TEST(ProgramResourcesTest, EveryResourceIsKnownAndBritishEnglish) {
  std::set<std::pair<int, int>> known = {
      {expected::kVersionType, expected::kVersionId},
      {expected::kManifestType, expected::kManifestId},
      {kTypeGroupIcon, expected::kIconId},
      {kTypeString, static_cast<int>(expected::kAboutStringId / 16 + 1)},
  };
  for (const auto& dialog : expected::kDialogs) known.insert({kTypeDialog, dialog.id});
  for (const auto& list : expected::kLists) known.insert({expected::kListDataType, list.dialogId});
  for (int image = 1; image <= static_cast<int>(std::size(expected::kIconImages)); ++image) {
    known.insert({kTypeIcon, image});
  }

  const auto& entries = ProgramResources().Entries();
  std::set<std::pair<int, int>> found;
  for (const auto& entry : entries) {
    SCOPED_TRACE("type " + std::to_string(entry.typeId) + " id " + std::to_string(entry.nameId));
    EXPECT_TRUE(entry.typeName.empty());
    EXPECT_TRUE(entry.name.empty());
    EXPECT_EQ(entry.language, expected::kLanguage);
    found.insert({entry.typeId, entry.nameId});
  }
  EXPECT_EQ(found, known);
  EXPECT_EQ(entries.size(), known.size());  // no duplicates
}

}  // namespace
