// Adapter discovery: the escape on the wire, the signature rule, first match wins, every device
// context deleted, and the one message when nothing matches.
#include <gtest/gtest.h>

#include "app/AdapterDiscovery.h"
#include "tests/support/TestServices.h"

namespace {

using platform::SimulatedDevice;

const std::u16string kKey1 = u"\\Registry\\Machine\\System\\ControlSet001\\Control\\Video\\{A}\\0000";
const std::u16string kKey2 = u"\\Registry\\Machine\\System\\ControlSet001\\Control\\Video\\{B}\\0000";
const std::u16string kKey3 = u"\\Registry\\Machine\\System\\ControlSet001\\Control\\Video\\{C}\\0000";

std::vector<std::uint8_t> Reply(const std::string& start) {
  std::vector<std::uint8_t> reply(start.begin(), start.end());
  reply.resize(28, 0xEE);
  return reply;
}

TEST(Signature, ComparesTheFirstFourteenBytesOnly) {
  struct Row {
    const char* what;
    std::vector<std::uint8_t> reply;
    bool match;
  };
  const Row rows[] = {
      {"signature and zero, arbitrary bytes after", Reply(std::string("ORLO was here\0", 14)), true},
      {"board reply", platform::BoardReply(), true},
      {"lower case", Reply(std::string("orlo was here\0", 14)), false},
      {"exclamation mark for the zero", Reply("ORLO was here!"), false},
      {"one byte off", Reply(std::string("ORLO was hers\0", 14)), false},
      {"all zero", std::vector<std::uint8_t>(28, 0), false},
  };
  for (const Row& row : rows) {
    ASSERT_EQ(row.reply.size(), 28u);
    EXPECT_EQ(MatchesSignature(std::span<const std::uint8_t, 28>(row.reply.data(), 28)), row.match)
        << row.what;
  }
}

class DiscoveryTest : public ::testing::Test {
 protected:
  bool Discover() { return DiscoverAdapter(table, handOff); }
  std::vector<int> Sent(const std::u16string& device) { return services.devices.EscapesTo(device); }

  TestServices services;
  AnsweringFrontEnd frontEnd;
  AdapterTable table;
  std::u16string handOff;
};

TEST_F(DiscoveryTest, SendsTheSupportQueryThenTheEscapeAsTheWireFormatSays) {
  services.devices.Add(SimulatedDevice::Board(u"\\\\.\\DISPLAY1", kKey1));
  ASSERT_TRUE(Discover());
  const auto escapes = services.devices.Escapes();
  ASSERT_EQ(escapes.size(), 2u);
  const std::vector<std::uint8_t> input{0xFC, 0x3D, 0x01, 0x00};
  EXPECT_EQ(escapes[0].escape, 8);
  EXPECT_EQ(escapes[0].input, input);
  EXPECT_EQ(escapes[0].outputSize, 0);
  EXPECT_EQ(escapes[1].escape, 81404);
  EXPECT_EQ(escapes[1].input, input);
  EXPECT_EQ(escapes[1].outputSize, 28);
  EXPECT_EQ(handOff, u"\\\\.\\DISPLAY1&&&" + kKey1);
  EXPECT_EQ(table.count, 1);
  EXPECT_EQ(std::u16string(table.deviceNames[0]), u"\\\\.\\DISPLAY1");
  EXPECT_EQ(std::u16string(table.deviceKeys[0]), kKey1);
  EXPECT_EQ(services.devices.LiveContexts(), 0);
  EXPECT_TRUE(frontEnd.shown.empty());
}

TEST_F(DiscoveryTest, SkipsDevicesThatDoNotAnswerAndTakesTheFirstThatDoes) {
  services.devices.Add(SimulatedDevice::Custom(u"\\\\.\\DISPLAY1", kKey1, 1, 0, {}));  // escape fails
  services.devices.Add(SimulatedDevice::Board(u"\\\\.\\DISPLAY2", kKey2));
  services.devices.Add(SimulatedDevice::Board(u"\\\\.\\DISPLAY3", kKey3));
  ASSERT_TRUE(Discover());
  EXPECT_EQ(handOff, u"\\\\.\\DISPLAY2&&&" + kKey2);
  EXPECT_EQ(Sent(u"\\\\.\\DISPLAY1"), (std::vector<int>{8, 81404}));
  EXPECT_EQ(Sent(u"\\\\.\\DISPLAY2"), (std::vector<int>{8, 81404}));
  EXPECT_TRUE(Sent(u"\\\\.\\DISPLAY3").empty()) << "devices after the match are never probed";
  EXPECT_EQ(services.devices.CreatedContexts(), 2);
  EXPECT_EQ(services.devices.LiveContexts(), 0);
}

TEST_F(DiscoveryTest, NoMatchShowsOneMessageAndLeavesTheHandOffEmpty) {
  services.devices.Add(SimulatedDevice::Other(u"\\\\.\\DISPLAY1", kKey1));  // not supported
  services.devices.Add(SimulatedDevice::Custom(u"\\\\.\\DISPLAY2", kKey2, 1, 1, Reply("ORLO was here!")));
  services.devices.Add(
      SimulatedDevice::Custom(u"\\\\.\\DISPLAY3", kKey3, 1, 1, Reply(std::string("orlo was here\0", 14))));
  SimulatedDevice noContext = SimulatedDevice::Board(u"\\\\.\\DISPLAY4", kKey1);
  noContext.contextFails = true;
  services.devices.Add(noContext);
  EXPECT_FALSE(Discover());
  EXPECT_EQ(handOff, u"");
  EXPECT_EQ(table.count, 0);
  EXPECT_EQ(Sent(u"\\\\.\\DISPLAY1"), std::vector<int>{8}) << "no escape without support";
  EXPECT_EQ(services.devices.CreatedContexts(), 3);
  EXPECT_EQ(services.devices.LiveContexts(), 0);
  ASSERT_EQ(frontEnd.shown.size(), 1u);
  EXPECT_TRUE(frontEnd.shown[0].isMessageBox);
  EXPECT_EQ(frontEnd.shown[0].text, u"No Adapter Found");
  EXPECT_EQ(frontEnd.shown[0].caption, u"Fatal Error");
  EXPECT_FALSE(frontEnd.shown[0].owned);
}

TEST_F(DiscoveryTest, NoDeviceAtAllShowsTheMessage) {
  EXPECT_FALSE(Discover());
  EXPECT_EQ(frontEnd.shown.size(), 1u);
}

TEST_F(DiscoveryTest, TableEntriesAreBoundedCopiesButTheHandOffIsWhole) {
  const std::u16string longName = u"\\\\.\\" + std::u16string(70, u'N');
  const std::u16string longKey = u"\\Registry\\Machine\\System\\" + std::u16string(200, u'K');
  services.devices.Add(SimulatedDevice::Board(longName, longKey));
  ASSERT_TRUE(Discover());
  EXPECT_EQ(std::u16string(table.deviceNames[0]), longName.substr(0, 62));
  EXPECT_EQ(std::u16string(table.deviceKeys[0]), longKey.substr(0, 127));
  EXPECT_EQ(handOff, longName + u"&&&" + longKey);
}

TEST_F(DiscoveryTest, AppendsToTheHandOffAndStartsTheCountAfresh) {
  services.devices.Add(SimulatedDevice::Board(u"\\\\.\\DISPLAY1", kKey1));
  table.count = 5;
  handOff = u"x";
  ASSERT_TRUE(Discover());
  EXPECT_EQ(table.count, 1);
  EXPECT_EQ(handOff, u"x\\\\.\\DISPLAY1&&&" + kKey1);
}

}  // namespace
