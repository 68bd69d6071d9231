// The hand-off string parser: device name, device key path and current device key path.
#include <gtest/gtest.h>

#include "settings/AdapterIdentity.h"

namespace {

struct IdentityRow {
  std::u16string handOff;
  std::u16string deviceName;
  std::u16string deviceKeyPath;
  std::u16string currentDeviceKeyPath;
};

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

TEST(AdapterIdentity, ParsesHandOffStrings) {
  const std::u16string guid = u"{5A1B2C3D-0000-4E5F-8A9B-0C1D2E3F4A5B}";
  const IdentityRow rows[] = {
      // The discovered adapter.
      {u"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\System\\ControlSet001\\Control\\Video\\" + guid + u"\\0000",
       u"\\\\.\\DISPLAY1", u"System\\ControlSet001\\Control\\Video\\" + guid + u"\\0000",
       u"System\\CurrentControlSet\\Control\\Video\\" + guid + u"\\0000"},
      // The display driver service's device key, as Windows 2000 reports it.
      {u"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\System\\ControlSet001\\Services\\qel700\\Device0",
       u"\\\\.\\DISPLAY1", u"System\\ControlSet001\\Services\\qel700\\Device0",
       u"System\\CurrentControlSet\\Services\\qel700\\Device0"},
      // "System" missing: from "SYSTEM" on.
      {u"\\\\.\\DISPLAY1&&&\\REGISTRY\\Machine\\SYSTEM\\ControlSet002\\Control\\Video\\" + guid + u"\\0000",
       u"\\\\.\\DISPLAY1", u"SYSTEM\\ControlSet002\\Control\\Video\\" + guid + u"\\0000",
       u"SYSTEM\\CurrentControlSet\\Control\\Video\\" + guid + u"\\0000"},
      // "system" in lower case only: the whole key text.
      {u"D&&&\\registry\\machine\\system\\ControlSet001\\Video", u"D",
       u"\\registry\\machine\\system\\ControlSet001\\Video",
       u"\\registry\\machine\\system\\CurrentControlSet\\Video"},
      // No "ControlSet".
      {u"D&&&System\\Video\\0000", u"D", u"System\\Video\\0000", u"CurrentControlSet\\Video\\0000"},
      // No "&": both are the whole string.
      {u"\\\\.\\DISPLAY3", u"\\\\.\\DISPLAY3", u"\\\\.\\DISPLAY3", u"CurrentControlSet\\\\.\\DISPLAY3"},
      // No adapter.
      {u"", u"", u"", u"CurrentControlSet"},
      // A key already through CurrentControlSet (Wine's) stays as it is.
      {u"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\System\\CurrentControlSet\\Control\\Video\\" + guid +
           u"\\0000",
       u"\\\\.\\DISPLAY1", u"System\\CurrentControlSet\\Control\\Video\\" + guid + u"\\0000",
       u"System\\CurrentControlSet\\Control\\Video\\" + guid + u"\\0000"},
      // Name up to the first "&", key after the last.
      {u"A&B&&C\\System\\ControlSet003\\Video", u"A", u"System\\ControlSet003\\Video",
       u"System\\CurrentControlSet\\Video"},
  };
  for (const IdentityRow& row : rows) {
    const AdapterIdentity identity = ParseAdapterHandOff(row.handOff);
    const std::string where = "hand-off " + Narrow(row.handOff);
    EXPECT_EQ(identity.deviceName, row.deviceName) << where;
    EXPECT_EQ(identity.deviceKeyPath, row.deviceKeyPath) << where;
    EXPECT_EQ(identity.currentDeviceKeyPath, row.currentDeviceKeyPath) << where;
  }
}

}  // namespace
