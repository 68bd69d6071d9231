// The .res reader on bytes that are not what windres writes: other template forms, truncated
// and garbled data. Malformed input must yield nothing (or less), never a read out of range.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/portable/ResourceData.h"
#include "framework/portable/Resources.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Builds little-endian test data.
class Builder {
 public:
  Builder& U8(std::uint8_t value) {
    m_bytes.push_back(value);
    return *this;
  }
  Builder& U16(std::uint16_t value) {
    return U8(static_cast<std::uint8_t>(value)).U8(static_cast<std::uint8_t>(value >> 8));
  }
  Builder& U32(std::uint32_t value) {
    return U16(static_cast<std::uint16_t>(value)).U16(static_cast<std::uint16_t>(value >> 16));
  }
  Builder& Str(std::u16string_view text) {  // zero-terminated UTF-16
    for (char16_t c : text) U16(c);
    return U16(0);
  }
  Builder& Ord(std::uint16_t id) { return U16(0xFFFF).U16(id); }
  Builder& Raw(std::string_view text) {
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    return *this;
  }
  Builder& Align() {
    while (m_bytes.size() % 4 != 0) m_bytes.push_back(0);
    return *this;
  }
  Builder& Append(const Bytes& more) {
    m_bytes.insert(m_bytes.end(), more.begin(), more.end());
    return *this;
  }
  Bytes Get() const { return m_bytes; }

 private:
  Bytes m_bytes;
};

// One .res entry with ordinal type and name.
Bytes Entry(std::uint16_t type, std::uint16_t name, const Bytes& data, std::uint16_t language = 2057) {
  Builder b;
  b.U32(static_cast<std::uint32_t>(data.size())).U32(32).Ord(type).Ord(name);
  b.U32(0).U16(0x1030).U16(language).U32(0).U32(0).Append(data).Align();
  return b.Get();
}

Bytes Marker() { return Entry(0, 0, {}); }

// A classic (non-extended) template: one static with a 16-bit "no id", and the short font block.
Bytes ClassicTemplate() {
  Builder b;
  b.U32(0x80C80048).U32(0x200).U16(1).U16(1).U16(2).U16(100).U16(50);
  b.U16(0).U16(0).Str(u"Classic").U16(9).Str(u"Tahoma");
  b.Align().U32(0x50000000).U32(0).U16(5).U16(6).U16(70).U16(8).U16(0xFFFF);
  b.Ord(0x82).Str(u"Hello").U16(0);
  return b.Get();
}

// An extended template with one control given by class name and carrying creation data.
Bytes ExtendedTemplate(std::uint16_t items = 1, std::uint16_t creationBytes = 2) {
  Builder b;
  b.U16(1).U16(0xFFFF).U32(7).U32(0).U32(0x80C800C8).U16(items).U16(0).U16(0).U16(60).U16(40);
  b.Str(u"MENU").Ord(0x20).Str(u"Caption").U16(8).U16(700).U8(1).U8(0).Str(u"MS Shell Dlg");
  b.Align().U32(42).U32(0x4).U32(0x50010000).U16(0xFFFE).U16(3).U16(50).U16(14).U32(1001);
  b.Str(u"sTaTiC").Ord(77).U16(creationBytes).U16(0xABCD);
  return b.Get();
}

TEST(DialogTemplateParserTest, ClassicTemplate) {
  auto dialog = portable::ParseDialogTemplate(ClassicTemplate());
  ASSERT_TRUE(dialog.has_value());
  EXPECT_FALSE(dialog->extended);
  EXPECT_EQ(dialog->style, 0x80C80048u);
  EXPECT_EQ(dialog->exStyle, 0x200u);
  EXPECT_EQ(dialog->caption, u"Classic");
  EXPECT_EQ(dialog->pointSize, 9);
  EXPECT_EQ(dialog->fontName, u"Tahoma");
  ASSERT_EQ(dialog->items.size(), 1u);
  EXPECT_EQ(dialog->items[0].id, -1);
  EXPECT_EQ(dialog->items[0].className, u"Static");
  EXPECT_EQ(dialog->items[0].text, u"Hello");
  EXPECT_EQ(dialog->items[0].cx, 70);
}

TEST(DialogTemplateParserTest, ExtendedTemplateFields) {
  auto dialog = portable::ParseDialogTemplate(ExtendedTemplate());
  ASSERT_TRUE(dialog.has_value());
  EXPECT_TRUE(dialog->extended);
  EXPECT_EQ(dialog->menu, u"MENU");
  EXPECT_EQ(dialog->windowClass, u"#32");  // an ordinal that is no predefined class
  EXPECT_EQ(dialog->weight, 700);
  EXPECT_TRUE(dialog->italic);
  ASSERT_EQ(dialog->items.size(), 1u);
  const auto& item = dialog->items[0];
  EXPECT_EQ(item.helpId, 42u);
  EXPECT_EQ(item.exStyle, 0x4u);
  EXPECT_EQ(item.x, -2);  // coordinates are signed
  EXPECT_EQ(item.id, 1001);
  EXPECT_EQ(item.className, u"Static");  // class names are case-insensitive
  EXPECT_TRUE(item.text.empty());
  EXPECT_EQ(item.textOrdinal, 77);
}

struct BadTemplate {
  const char* name;
  Bytes bytes;
};

class BadTemplateTest : public testing::TestWithParam<BadTemplate> {};

TEST_P(BadTemplateTest, IsRejected) {
  EXPECT_FALSE(portable::ParseDialogTemplate(GetParam().bytes).has_value());
}

Bytes Without(Bytes bytes, std::size_t count) {
  bytes.resize(bytes.size() - count);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(Resources, BadTemplateTest,
                         testing::Values(BadTemplate{"Empty", {}},
                                         BadTemplate{"OnlySignature", {1, 0, 0xFF, 0xFF}},
                                         BadTemplate{"MoreItemsThanStored", ExtendedTemplate(2)},
                                         BadTemplate{"HugeItemCount", ExtendedTemplate(0xFFFF)},
                                         BadTemplate{"CreationDataPastTheEnd", ExtendedTemplate(1, 200)},
                                         BadTemplate{"LastByteMissing", Without(ExtendedTemplate(), 1)},
                                         BadTemplate{"UnterminatedCaption", Builder()
                                                                                .U16(1)
                                                                                .U16(0xFFFF)
                                                                                .U32(0)
                                                                                .U32(0)
                                                                                .U32(0)
                                                                                .U16(0)
                                                                                .U16(0)
                                                                                .U16(0)
                                                                                .U16(0)
                                                                                .U16(0)
                                                                                .U16(0)
                                                                                .U16(0)
                                                                                .U16('A')
                                                                                .U16('B')
                                                                                .Get()}),
                         [](const auto& row) { return std::string(row.param.name); });

// Each item of the program's own templates ends exactly at the end of the data: every shorter
// prefix lacks part of the last item and must be rejected.
TEST(DialogTemplateParserTest, EveryTruncationOfTheProgramsTemplatesIsRejected) {
  for (const auto& entry : portable::ProgramResources().Entries()) {
    if (entry.typeId != 5) continue;
    std::span<const std::uint8_t> data = entry.data;
    ASSERT_TRUE(portable::ParseDialogTemplate(data).has_value()) << entry.nameId;
    for (std::size_t size = 0; size < data.size(); ++size) {
      ASSERT_FALSE(portable::ParseDialogTemplate(data.first(size)).has_value())
          << entry.nameId << " " << size;
    }
  }
}

struct DlgInitCase {
  const char* name;
  Bytes bytes;
  std::vector<std::string> texts;  // of the entries read
};

class DlgInitTest : public testing::TestWithParam<DlgInitCase> {};

TEST_P(DlgInitTest, ReadsWhatIsWhole) {
  auto entries = portable::ParseDlgInit(GetParam().bytes);
  std::vector<std::string> texts;
  for (const auto& entry : entries) texts.push_back(entry.data);
  EXPECT_EQ(texts, GetParam().texts);
}

INSTANTIATE_TEST_SUITE_P(
    Resources, DlgInitTest,
    testing::Values(
        DlgInitCase{"Empty", {}, {}}, DlgInitCase{"OnlyTheEnd", Builder().U16(0).Get(), {}},
        // Entries follow each other without padding: the second one starts on an odd byte.
        DlgInitCase{"TwoThenEnd",
                    Builder()
                        .U16(9)
                        .U16(0x403)
                        .U32(3)
                        .Raw(std::string_view("ab\0", 3))
                        .U16(9)
                        .U16(0x403)
                        .U32(2)
                        .Raw(std::string_view("c\0", 2))
                        .U16(0)
                        .U16(9)
                        .Get(),
                    {"ab", "c"}},
        DlgInitCase{"NoEnd", Builder().U16(9).U16(0x403).U32(2).Raw(std::string_view("x\0", 2)).Get(), {"x"}},
        DlgInitCase{"LengthPastTheEnd",
                    Builder()
                        .U16(9)
                        .U16(0x403)
                        .U32(2)
                        .Raw(std::string_view("x\0", 2))
                        .U16(9)
                        .U16(0x403)
                        .U32(0xFFFFFFF0)
                        .Raw("yy")
                        .Get(),
                    {"x"}},
        DlgInitCase{"HeaderCut", Builder().U16(9).U16(0x403).U16(2).Get(), {}},
        // The list-box add-string message is the 16-bit one too, as the resource compiler writes it.
        DlgInitCase{"ListBoxText",
                    Builder().U16(9).U16(0x401).U32(3).Raw(std::string_view("ab\0", 3)).U16(0).Get(),
                    {"ab"}},
        // Only add-string messages carry text: other data are kept as they are.
        DlgInitCase{"OtherMessageKeepsBytes",
                    Builder().U16(9).U16(0x1234).U32(3).Raw(std::string_view("a\0b", 3)).U16(0).Get(),
                    {std::string("a\0b", 3)}}),
    [](const auto& row) { return std::string(row.param.name); });

struct ResFileCase {
  const char* name;
  Bytes bytes;
  std::size_t entries;  // entries that must be read
};

class ResFileTest : public testing::TestWithParam<ResFileCase> {};

TEST_P(ResFileTest, DropsWhatDoesNotFit) {
  portable::ResourceFile file(GetParam().bytes);
  EXPECT_EQ(file.Entries().size(), GetParam().entries);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Builder b;
  for (const auto& part : parts) b.Append(part);
  return b.Get();
}

Bytes WithDword(Bytes bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  return bytes;
}

const Bytes kOne = Entry(240, 1, {1, 0, 3, 4, 2, 0, 0, 0, 'x', 0, 0, 0});

INSTANTIATE_TEST_SUITE_P(
    Resources, ResFileTest,
    testing::Values(
        ResFileCase{"Empty", {}, 0}, ResFileCase{"OnlyMarker", Marker(), 0},
        ResFileCase{"Valid", Concat({Marker(), kOne, kOne}), 2}, ResFileCase{"SevenBytes", Bytes(7, 0), 0},
        ResFileCase{"DataSizePastTheEnd", Concat({Marker(), kOne, WithDword(kOne, 0, 0x7FFFFFFF)}), 1},
        ResFileCase{"HeaderSizePastTheEnd", Concat({Marker(), kOne, WithDword(kOne, 4, 0xFFFFFFFF)}), 1},
        ResFileCase{"HeaderSizeBelowEight", Concat({Marker(), WithDword(kOne, 4, 4), kOne}), 0},
        // The fixed fields do not fit a header that is too short: that entry is
        // dropped, the sizes still lead to the next one.
        ResFileCase{"HeaderTooShort", Concat({Marker(), WithDword(WithDword(kOne, 4, 16), 0, 28), kOne}), 1},
        // A type name without its terminator inside the header.
        ResFileCase{"NameRunsOffTheHeader",
                    Concat({Marker(), Builder().U32(0).U32(12).U16('A').U16('B').Get(), kOne}), 1}),
    [](const auto& row) { return std::string(row.param.name); });

// Cutting the program's own .res anywhere leaves exactly the entries that end before the cut.
TEST(ResourceFileTest, EveryTruncationOfTheProgramsResourcesKeepsWholeEntries) {
  auto bytes = portable::CompiledResources();
  const auto& all = portable::ProgramResources().Entries();
  std::size_t previous = 0;
  for (std::size_t size = 0; size <= bytes.size(); size += 1) {
    portable::ResourceFile file(bytes.first(size));
    const auto& entries = file.Entries();
    ASSERT_LE(entries.size(), all.size());
    ASSERT_GE(entries.size(), previous) << size;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      ASSERT_EQ(entries[i].typeId, all[i].typeId);
      ASSERT_EQ(entries[i].nameId, all[i].nameId);
      ASSERT_EQ(entries[i].data, all[i].data);
    }
    previous = entries.size();
  }
  EXPECT_EQ(previous, all.size());
}

TEST(ResourceFileTest, StringTableSlots) {
  // Block 7 holds ids 96 to 111: slot 0 "A", slot 15 "Zz", the others empty.
  Builder table;
  table.U16(1).U16('A');
  for (int i = 1; i < 15; ++i) table.U16(0);
  table.U16(2).U16('Z').U16('z');
  Bytes cut = table.Get();
  cut.resize(cut.size() - 2);  // the last string runs off the end
  portable::ResourceFile file(Concat({Marker(), Entry(6, 7, table.Get()), Entry(6, 8, cut)}));
  EXPECT_EQ(file.String(96), u"A");
  EXPECT_EQ(file.String(111), u"Zz");
  EXPECT_FALSE(file.String(100).has_value());       // empty slot
  EXPECT_EQ(file.String(112), u"A");                // block 8: a slot before the cut
  EXPECT_FALSE(file.String(127).has_value());       // block 8: cut
  EXPECT_FALSE(file.String(0x10000u).has_value());  // no such id
}

TEST(ResourceFileTest, IconGroupNeedsItsImages) {
  // A group of two images, 1 and 2; only image 1 is stored.
  Builder group;
  group.U16(0).U16(1).U16(2);
  for (std::uint16_t id : {std::uint16_t{1}, std::uint16_t{2}})
    group.U8(16).U8(16).U8(0).U8(0).U16(1).U16(8).U32(4).U16(id);
  portable::ResourceFile missing(Concat({Marker(), Entry(14, 128, group.Get()), Entry(3, 1, {0, 0, 0, 0})}));
  EXPECT_FALSE(missing.HasIconGroup(128));
  portable::ResourceFile whole(
      Concat({Marker(), Entry(14, 128, group.Get()), Entry(3, 1, {0, 0, 0, 0}), Entry(3, 2, {0, 0, 0, 0})}));
  EXPECT_TRUE(whole.HasIconGroup(128));
  Bytes cut = group.Get();
  cut.resize(cut.size() - 1);
  portable::ResourceFile truncated(
      Concat({Marker(), Entry(14, 128, cut), Entry(3, 1, {0, 0, 0, 0}), Entry(3, 2, {0, 0, 0, 0})}));
  EXPECT_FALSE(truncated.HasIconGroup(128));
}

}  // namespace
