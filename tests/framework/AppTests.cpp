// The application object and the command line.
#include <gtest/gtest.h>

#include "framework/WinApp.h"

namespace {

class RecordingApp : public CWinApp {
 public:
  bool InitInstance() override {
    ++runs;
    ParseCommandLine(info);
    return false;
  }
  CCommandLineInfo info;
  int runs = 0;
};

TEST(CommandLine, FirstNonFlagArgumentIsTheFileName) {
  struct Case {
    std::vector<std::u16string> arguments;
    std::u16string fileName;
  };
  const Case cases[] = {
      {{}, u""},
      {{u"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\System\\x"},
       u"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\System\\x"},
      {{u"/flag", u"-x", u"name"}, u"name"},
      {{u"first", u"second"}, u"first"},
      {{u"-only"}, u""},
      {{u"/"}, u""},
  };
  for (const Case& c : cases) {
    RecordingApp app;
    ASSERT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(AfxWinMain(c.arguments), 0);
    EXPECT_EQ(app.runs, 1);
    EXPECT_EQ(app.m_arguments, c.arguments);
    EXPECT_EQ(app.info.m_strFileName, c.fileName);
  }
  EXPECT_EQ(AfxGetApp(), nullptr);
  EXPECT_EQ(AfxWinMain({}), -1);  // no application object
}

TEST(CommandLine, ParamsArriveWithoutTheirFlagCharacter) {
  struct Recorder : CCommandLineInfo {
    std::vector<std::tuple<std::u16string, bool, bool>> seen;
    void ParseParam(const std::u16string& param, bool flag, bool last) override {
      seen.emplace_back(param, flag, last);
    }
  } info;
  CWinApp app;
  app.m_arguments = {u"/a", u"b", u"-c"};
  app.ParseCommandLine(info);
  const std::vector<std::tuple<std::u16string, bool, bool>> expected = {
      {u"a", true, false}, {u"b", false, false}, {u"c", true, true}};
  EXPECT_EQ(info.seen, expected);
  app.SetRegistryKey(u"Orlo");
  EXPECT_EQ(app.GetRegistryKey(), u"Orlo");
}

}  // namespace
