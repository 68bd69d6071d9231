// The restore record's file: its text round-trips, and a damaged one is named for what is wrong.
#include <gtest/gtest.h>

#include "app/RestoreRecord.h"
#include "base/Text.h"

namespace {

std::string Narrow(const std::u16string& text) { return base::Utf8FromUtf16(text); }
std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(RestoreRecord, ItsTextRoundTripsAndADamagedOneIsNamed) {
  RestoreRecord record{
      u"System\\CurrentControlSet\\Services\\qel\\Device0",
      {{u"LODBias", u"System\\X\\D3D", u"QLDRV_LOD_BIAS", RegData{1, {0x31, 0, 0, 0}}, std::nullopt},
       {u"DDIVersion", u"System\\X", u"DisableDX8", std::nullopt, RegData{3, {}}}}};
  std::vector<std::uint8_t> bytes;
  ASSERT_FALSE(FormatRestoreRecord(record, &bytes).Failed());
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
            "Configurator restore record 1\n"
            "adapter\tSystem\\CurrentControlSet\\Services\\qel\\Device0\n"
            "value\tLODBias\tSystem\\X\\D3D\tQLDRV_LOD_BIAS\t1:31000000\t-\n"
            "value\tDDIVersion\tSystem\\X\tDisableDX8\t-\t3:\n"
            "end\n");
  RestoreRecord read;
  ASSERT_FALSE(ParseRestoreRecord(bytes, &read).Failed());
  EXPECT_EQ(read.adapterKey, record.adapterKey);
  ASSERT_EQ(read.values.size(), 2u);
  EXPECT_EQ(read.values[0].before, record.values[0].before);
  EXPECT_EQ(read.values[1].written, record.values[1].written);

  record.values[0].name = u"a\tb";
  EXPECT_EQ(FormatRestoreRecord(record, &bytes).status, sysexits::kDataError);

  const std::string good(bytes.begin(), bytes.end());
  struct Row {
    std::string text;
    const char* wrong;
  };
  const Row rows[] = {
      {"", "it is no restore record"},
      {"Configurator restore record 2\nend\n", "it is a record of another version (2)"},
      {"Configurator restore record 1\nadapter\tK\n", "it is cut short"},
      {"Configurator restore record 1\nadapter\tK\nvalue\tA\tK\tN\t1:3\t-\nend\n",
       "line 3: a value that is not type:hex or -"},
      {"Configurator restore record 1\nadapter\tK\nvalue\tA\tK\tN\t1:GG\t-\nend\n",
       "line 3: a value that is not type:hex or -"},
      {"Configurator restore record 1\nadapter\tK\nvalue\tA\tK\tN\t-\nend\n",
       "line 3: not a value of the record"},
      {"Configurator restore record 1\nvalue\tA\tK\tN\t-\t-\nend\n", "it names no adapter"},
      {"Configurator restore record 1\nadapter\tK\nend\nend\n", "line 3: not a value of the record"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const Outcome parsed = ParseRestoreRecord(Bytes(row.text), &read);
    EXPECT_EQ(parsed.status, sysexits::kDataError);
    EXPECT_EQ(Narrow(parsed.why), row.wrong);
  }
}

}  // namespace
