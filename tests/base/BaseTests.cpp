// The base library's conversions on the inputs that break hand-written ones: the top bit of a
// 32-bit number, surrogates alone and in pairs, bad UTF-8, and letters beyond ASCII.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "base/ByteOrder.h"
#include "base/Text.h"

namespace {

TEST(ByteOrder, FourBytesLeastSignificantFirst) {
  for (const std::uint32_t value : {0u, 1u, 0x12345678u, 0x80000000u, 0xFFFFFFFFu}) {
    const auto bytes = base::LittleEndian32(value);
    EXPECT_EQ(bytes[0], value & 0xFF) << value;
    EXPECT_EQ(bytes[3], value >> 24) << value;
    EXPECT_EQ(base::ReadLittleEndian32(bytes.data()), value);
  }
}

TEST(ByteOrder, TwoAndEightBytesLeastSignificantFirst) {
  struct Row {
    std::uint64_t value;
    std::array<std::uint8_t, 8> bytes;
  };
  for (const Row& row : {Row{0x0123456789ABCDEFu, {0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}},
                         Row{0x8000000000000000u, {0, 0, 0, 0, 0, 0, 0, 0x80}},
                         Row{0x00000000FFFFFFFFu, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}}}) {
    std::array<std::uint8_t, 8> written{};
    base::WriteLittleEndian64(row.value, written.data());
    EXPECT_EQ(written, row.bytes) << std::hex << row.value;
    EXPECT_EQ(base::ReadLittleEndian64(row.bytes.data()), row.value) << std::hex << row.value;

    const auto low16 = static_cast<std::uint16_t>(row.value);
    std::array<std::uint8_t, 3> two{0, 0, 0x5A};
    base::WriteLittleEndian16(low16, two.data());
    EXPECT_EQ(two[0], row.bytes[0]);
    EXPECT_EQ(two[1], row.bytes[1]);
    EXPECT_EQ(two[2], 0x5A) << "written past two bytes";
    EXPECT_EQ(base::ReadLittleEndian16(row.bytes.data()), low16);
  }
}

// Texts as the registry stores them: each unit least significant byte first, a high byte that
// is not zero included, and the terminator only where asked for.
TEST(Utf16Bytes, RoundTripsEveryUnitInLittleEndianOrder) {
  const std::u16string text = u"A\u00E9\u20AC\U0001F600";
  const std::vector<std::uint8_t> bytes = {0x41, 0, 0xE9, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 0, 0};
  EXPECT_EQ(base::Utf16Bytes(text), bytes);
  EXPECT_EQ(base::Utf16Bytes(text, false), std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 2));
  EXPECT_EQ(base::Utf16Bytes(u""), (std::vector<std::uint8_t>{0, 0}));
  EXPECT_TRUE(base::Utf16Bytes(u"", false).empty());

  EXPECT_EQ(base::Utf16FromBytes(bytes.data(), bytes.size()), text + u'\0') << "keeps the null unit";
  EXPECT_EQ(base::Utf16FromBytes(bytes.data(), 3), u"A") << "an odd last byte is no unit";
  EXPECT_EQ(base::TextFromUtf16Bytes(bytes.data(), bytes.size()), text) << "stops at the null unit";
  const std::vector<std::uint8_t> inner = {0x41, 0, 0, 0, 0x42, 0};
  EXPECT_EQ(base::Utf16FromBytes(inner.data(), inner.size()), std::u16string(u"A\0B", 3));
  EXPECT_EQ(base::TextFromUtf16Bytes(inner.data(), inner.size()), u"A");
}

struct Utf16Case {
  const char* name;
  std::u16string utf16;
  std::string utf8;
  bool ok;
};

class Utf16ToUtf8 : public testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16ToUtf8, EncodesEachCodePoint) {
  bool ok = !GetParam().ok;
  EXPECT_EQ(base::Utf8FromUtf16(GetParam().utf16, &ok), GetParam().utf8);
  EXPECT_EQ(ok, GetParam().ok);
}

INSTANTIATE_TEST_SUITE_P(
    Base, Utf16ToUtf8,
    testing::Values(Utf16Case{"Ascii", u"QEL 700", "QEL 700", true},
                    Utf16Case{"TwoAndThreeBytes", u"\u00E9\u20AC", "\xC3\xA9\xE2\x82\xAC", true},
                    Utf16Case{"SurrogatePair", u"\U0001F600", "\xF0\x9F\x98\x80", true},
                    Utf16Case{"ReplacementCharacterAsGiven", u"\uFFFD", "\xEF\xBF\xBD", true},
                    Utf16Case{"LoneHighAtTheEnd", std::u16string(1, char16_t(0xD83D)), "\xEF\xBF\xBD", false},
                    Utf16Case{"LowBeforeHigh", std::u16string{char16_t(0xDE00), char16_t(0xD83D), u'x'},
                              "\xEF\xBF\xBD\xEF\xBF\xBDx", false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Utf8ToUtf16, ReplacesWhatIsNotUtf8AndKeepsTheRest) {
  EXPECT_EQ(base::Utf16FromUtf8("\xF0\x9F\x98\x80\xC3\xA9"), u"\U0001F600\u00E9");
  EXPECT_EQ(base::Utf16FromUtf8("a\xC0\x80"
                                "b"),
            u"a\uFFFD"
            u"b")
      << "overlong";
  EXPECT_EQ(base::Utf16FromUtf8("a\xED\xA0\x80"
                                "b"),
            u"a\uFFFD"
            u"b")
      << "an encoded surrogate";
  EXPECT_EQ(base::Utf16FromUtf8("a\xE2\x82"), u"a\uFFFD\uFFFD") << "cut short";
}

TEST(NameFolding, PairsLettersBeyondAsciiButNotAccents) {
  EXPECT_TRUE(base::NamesEqual(u"\u00C9t\u00E9", u"\u00E9T\u00C9"));
  EXPECT_TRUE(base::NamesEqual(u"\u00FF", u"\u0178"));
  EXPECT_TRUE(base::NamesEqual(u"\u03A9\u0416\u0401", u"\u03C9\u0436\u0451"));
  EXPECT_FALSE(base::NamesEqual(u"E", u"\u00C9"));
  EXPECT_FALSE(base::NamesEqual(u"\u00D7", u"\u00F7")) << "multiplication and division signs";
  EXPECT_FALSE(base::NamesEqual(u"ab", u"abc"));
}

// Lower-casing must pair exactly the letters upper-casing pairs, or sorting and matching drift.
TEST(NameFolding, DowncaseIsTheOtherSideOfUpcase) {
  for (unsigned c = 0; c <= 0xFFFF; ++c) {
    const auto unit = static_cast<char16_t>(c);
    const char16_t upper = base::UpcaseUnit(unit);
    if (upper != unit) {
      EXPECT_EQ(base::DowncaseUnit(upper), unit) << std::hex << c;
    }
    const char16_t lower = base::DowncaseUnit(unit);
    if (lower != unit) {
      EXPECT_EQ(base::UpcaseUnit(lower), unit) << std::hex << c;
    }
  }
}

}  // namespace
