// Registry files: the encodings and forms a registry editor writes, read the same way; what we
// write, byte for byte and read back; and files that cannot be read, each with its line.
#include <gtest/gtest.h>

#include "app/RegFile.h"
#include "platform/Registry.h"
#include "tests/commands/ProfileBytes.h"

namespace {

std::vector<std::uint8_t> Utf8(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> TextBytes(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  for (char16_t c : text)
    bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>(c >> 8)});
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

// Every form of the body, as regedit writes it: comments, blank lines, escapes, a default value,
// hex data continued over lines, a removed value and a removed key.
constexpr char kBody[] =
    "\r\n"
    "; a comment\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Video\\{A}\\0000]\r\n"
    "\"Text\"=\"a \\\"quoted\\\" C:\\\\path\\n2\"\r\n"
    "@=\"default\"\r\n"
    "\"Number\"=dword:0000002a\r\n"
    "\"Raw\"=hex:01,02,\\\r\n"
    "  03,ff\r\n"
    "\"Expand\"=hex(2):25,00,00,00\r\n"
    "\"Gone\"=-\r\n"
    "\r\n"
    "[-HKEY_LOCAL_MACHINE\\SYSTEM\\Old]\r\n";

std::vector<RegFileKey> ExpectedBody() {
  RegFileKey key{4, u"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Video\\{A}\\0000", false, {}};
  key.values = {
      {5, u"Text", RegData{platform::kRegSz, TextBytes(u"a \"quoted\" C:\\path\n2")}},
      {6, u"", RegData{platform::kRegSz, TextBytes(u"default")}},
      {7, u"Number", RegData{platform::kRegDword, {0x2a, 0, 0, 0}}},
      {8, u"Raw", RegData{platform::kRegBinary, {1, 2, 3, 0xff}}},
      {10, u"Expand", RegData{platform::kRegExpandSz, {0x25, 0, 0, 0}}},
      {11, u"Gone", std::nullopt},
  };
  return {key, {13, u"HKEY_LOCAL_MACHINE\\SYSTEM\\Old", true, {}}};
}

void ExpectKeys(const std::vector<RegFileKey>& actual, const std::vector<RegFileKey>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(actual[k].line, expected[k].line);
    EXPECT_EQ(actual[k].path, expected[k].path);
    EXPECT_EQ(actual[k].remove, expected[k].remove);
    ASSERT_EQ(actual[k].values.size(), expected[k].values.size());
    for (std::size_t v = 0; v < expected[k].values.size(); ++v) {
      SCOPED_TRACE(v);
      EXPECT_EQ(actual[k].values[v].line, expected[k].values[v].line);
      EXPECT_EQ(actual[k].values[v].name, expected[k].values[v].name);
      EXPECT_EQ(actual[k].values[v].data, expected[k].values[v].data);
    }
  }
}

TEST(RegFile, ReadsEveryEncodingTheSame) {
  const std::string version5 = std::string("Windows Registry Editor Version 5.00\r\n") + kBody;
  const std::u16string wide(version5.begin(), version5.end());
  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"UTF-16LE with BOM", Utf16WithBom(wide)},
      {"UTF-8 with BOM", Utf8("\xEF\xBB\xBF" + version5)},
      {"UTF-8", Utf8(version5)},
      {"REGEDIT4, LF line ends", Utf8("REGEDIT4\n" +
                                      [] {
                                        std::string body = kBody;
                                        std::erase(body, '\r');
                                        return body;
                                      }())},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<RegFileKey> keys;
    int line = -1;
    std::u16string error;
    ASSERT_TRUE(ParseRegFile(c.bytes, &keys, &line, &error)) << std::string(error.begin(), error.end());
    ExpectKeys(keys, ExpectedBody());
  }
}

TEST(RegFile, WritesVersion5InUtf16AndReadsItBack) {
  std::vector<RegFileKey> keys = ExpectedBody();
  keys.pop_back();
  const std::vector<std::uint8_t> bytes = FormatRegFile(keys);
  const std::u16string expected =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Video\\{A}\\0000]\r\n"
      u"\"Text\"=\"a \\\"quoted\\\" C:\\\\path\\n2\"\r\n"
      u"@=\"default\"\r\n"
      u"\"Number\"=dword:0000002a\r\n"
      u"\"Raw\"=hex:01,02,03,ff\r\n"
      u"\"Expand\"=hex(2):25,00,00,00\r\n"
      u"\"Gone\"=-\r\n\r\n";
  EXPECT_EQ(bytes, Utf16WithBom(expected));

  std::vector<RegFileKey> read;
  int line = -1;
  std::u16string error;
  ASSERT_TRUE(ParseRegFile(bytes, &read, &line, &error));
  ASSERT_EQ(read.size(), 1u);
  for (std::size_t v = 0; v < keys[0].values.size(); ++v)
    EXPECT_EQ(read[0].values[v].data, keys[0].values[v].data);
}

TEST(RegFile, TextThatIsNoPlainStringIsWrittenAsHex) {
  // Unterminated, or with a null inside: a quoted text would not read back as these bytes.
  const std::vector<RegFileKey> keys = {
      {0,
       u"K",
       false,
       {{0, u"A", RegData{platform::kRegSz, {'1', 0}}},
        {0, u"B", RegData{platform::kRegSz, {'1', 0, 0, 0, '2', 0, 0, 0}}}}}};
  const std::vector<std::uint8_t> bytes = FormatRegFile(keys);
  EXPECT_EQ(bytes, Utf16WithBom(u"Windows Registry Editor Version 5.00\r\n\r\n[K]\r\n\"A\"=hex(1):31,00\r\n"
                                u"\"B\"=hex(1):31,00,00,00,32,00,00,00\r\n\r\n"));
}

TEST(RegFile, RefusesWhatItCannotRead) {
  const struct {
    std::vector<std::uint8_t> bytes;
    int line;
    std::u16string says;
  } cases[] = {
      {Utf8("[HKEY_LOCAL_MACHINE\\SYSTEM]\r\n"), 1, u"not a registry file"},
      {Utf8(""), 0, u"not a registry file"},
      {{0xFE, 0xFF, 0, 'W'}, 0, u"big-endian"},
      {{0xFF, 0xFE, 'W', 0, 'i'}, 0, u"odd number of bytes"},
      {Utf8(std::string("REGEDIT4\n\0\n", 11)), 0, u"null bytes"},
      {Utf8("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\n"), 3, u"closing bracket"},
      {Utf8("REGEDIT4\n\"A\"=\"1\"\n"), 2, u"before any key"},
      {Utf8("REGEDIT4\n[K]\n\"A\"=dword:123456789\n"), 3, u"cannot read the value's data"},
      {Utf8("REGEDIT4\n[K]\n\"A\"=dword:1234567g\n"), 3, u"cannot read the value's data"},
      {Utf8("REGEDIT4\n[K]\n\"A\"=hex:01,2x\n"), 3, u"cannot read the value's data"},
      {Utf8("REGEDIT4\n[K]\n\"A\"=hex:01,,02\n"), 3, u"cannot read the value's data"},
      {Utf8("REGEDIT4\n[K]\n\"A\"=hex(zz):01\n"), 3, u"cannot read the value's data"},
      {Utf8("REGEDIT4\n[K]\n\"A\"=\"unterminated\n"), 3, u"cannot read the value's data"},
      {Utf8("REGEDIT4\n[K]\n\"A\"=\"bad \\q escape\"\n"), 3, u"cannot read the value's data"},
      {Utf8("REGEDIT4\n[K]\n\"A\"=\"1\" trailing\n"), 3, u"cannot read the value's data"},
      {Utf8("REGEDIT4\n[K]\n\"A\"=12\n"), 3, u"cannot read the value's data"},
      {Utf8("REGEDIT4\n[K]\n\"A\" \"1\"\n"), 3, u"without \"=\""},
      {Utf8("REGEDIT4\n[K]\nA=\"1\"\n"), 3, u"cannot read this line"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.bytes.begin(), c.bytes.end()));
    std::vector<RegFileKey> keys;
    int line = -1;
    std::u16string error;
    EXPECT_FALSE(ParseRegFile(c.bytes, &keys, &line, &error));
    EXPECT_EQ(line, c.line);
    EXPECT_NE(error.find(c.says), std::u16string::npos) << std::string(error.begin(), error.end());
  }
}

}  // namespace
