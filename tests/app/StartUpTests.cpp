// Start-up: the command line replaces discovery; a switch does not; an unknown switch ends a
// console program; the main dialog gets the hand-off string; the program ends when it closes.
#include <gtest/gtest.h>

#include <memory>

#include "app/AdapterDiscovery.h"
#include "app/ConfiguratorApp.h"
#include "res/resource.h"
#include "settings/SettingsKey.h"
#include "tests/support/PortableUser.h"
#include "tests/support/TestServices.h"

namespace {

using platform::SimulatedDevice;

const std::u16string kDeviceKey1 =
    u"System\\ControlSet001\\Control\\Video\\{5A1B2C3D-0000-4E5F-8A9B-0C1D2E3F4A5B}\\0000";
const std::u16string kDeviceKey2 =
    u"System\\ControlSet001\\Control\\Video\\{5A1B2C3D-0000-4E5F-8A9B-0C1D2E3F4A5B}\\0001";

class StartUpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    services.registry.SetString(kDeviceKey1, u"HardwareInformation.AdapterString", u"Adapter One");
    services.registry.SetString(kDeviceKey2, u"HardwareInformation.AdapterString", u"Adapter Two");
  }
  // A device the board does not drive, then the board.
  void AddDevices() {
    services.devices.Add(SimulatedDevice::Other(u"\\\\.\\DISPLAY1", u"\\Registry\\Machine\\" + kDeviceKey1));
    services.devices.Add(SimulatedDevice::Board(u"\\\\.\\DISPLAY2", u"\\Registry\\Machine\\" + kDeviceKey2));
  }
  void Run(std::vector<std::u16string> arguments) {
    user = std::make_unique<PortableUser>([this, arguments] {
      theApp.m_arguments = arguments;
      initResult = theApp.InitInstance();
      return 0;
    });
  }
  void CloseMainDialog() {
    ASSERT_TRUE(user->WaitForDialog(u"Orlo Configurator"));
    ASSERT_TRUE(user->Click(IDCANCEL));
    ASSERT_EQ(user->WaitForExit(), 0);
    EXPECT_FALSE(initResult) << "no message loop after the main dialog";
    EXPECT_EQ(theApp.GetRegistryKey(), u"Orlo");
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
  }

  TestServices services;
  bool initResult = true;
  std::unique_ptr<PortableUser> user;
};

TEST_F(StartUpTest, CommandLineArgumentIsTheHandOffAndNothingIsProbed) {
  AddDevices();
  Run({u"\\\\.\\DISPLAY2&&&\\Registry\\Machine\\" + kDeviceKey2});
  ASSERT_TRUE(user->WaitForDialog(u"Orlo Configurator"));
  EXPECT_EQ(user->Text(IDC_STATIC_ADAPTER), u"Adapter Two");
  EXPECT_TRUE(services.devices.Escapes().empty());
  EXPECT_EQ(services.devices.CreatedContexts(), 0);
  CloseMainDialog();
}

TEST_F(StartUpTest, DiscoveryFindsTheBoardAtTheSecondDevice) {
  AddDevices();
  Run({u"/norefresh"});  // a switch is no file name: discovery runs
  ASSERT_TRUE(user->WaitForDialog(u"Orlo Configurator"));
  EXPECT_EQ(user->Text(IDC_STATIC_ADAPTER), u"Adapter Two");
  EXPECT_EQ(g_adapterTable.count, 1);
  EXPECT_EQ(std::u16string(g_adapterTable.deviceNames[0]), u"\\\\.\\DISPLAY2");
  EXPECT_EQ(services.devices.LiveContexts(), 0);
  CloseMainDialog();
}

TEST_F(StartUpTest, AConsoleProgramRefusesAnUnknownSwitchBeforeDiscovery) {
  AddDevices();
  Run({u"/qeury"});
  EXPECT_EQ(user->WaitForExit(), 0);
  EXPECT_EQ(theApp.m_nExitCode, 64);
  EXPECT_FALSE(initResult);
  EXPECT_TRUE(services.devices.Escapes().empty());
}

TEST_F(StartUpTest, NoAdapterFoundThenAnEmptyMainDialog) {
  services.devices.Add(SimulatedDevice::Other(u"\\\\.\\DISPLAY1", u""));
  Run({});
  ASSERT_TRUE(user->WaitForDialog(u"Fatal Error"));
  EXPECT_EQ(user->MessageText(), u"No Adapter Found");
  ASSERT_TRUE(user->Click(IDOK));
  ASSERT_TRUE(user->WaitForDialog(u"Orlo Configurator"));
  EXPECT_EQ(user->Text(IDC_STATIC_ADAPTER), u"");
  EXPECT_EQ(user->Text(IDC_STATIC_MEMORY), u"0 Meg");
  CloseMainDialog();
}

TEST_F(StartUpTest, ABoardUnderItsDriverServiceIsFoundAndTuned) {
  // Windows 2000 reports the display driver service's device key; the settings are reached
  // through CurrentControlSet as for any other key.
  const std::u16string device = u"System\\ControlSet001\\Services\\qel700\\Device0";
  const std::u16string current = u"System\\CurrentControlSet\\Services\\qel700\\Device0";
  services.registry.SetString(device, u"HardwareInformation.AdapterString", u"QEL 700 M720 Dual");
  services.registry.CreateKey(current + u"\\D3D");
  services.devices.Add(SimulatedDevice::Board(u"\\\\.\\DISPLAY1", u"\\Registry\\Machine\\" + device));
  Run({});
  ASSERT_TRUE(user->WaitForDialog(u"Orlo Configurator"));
  EXPECT_EQ(user->Text(IDC_STATIC_ADAPTER), u"QEL 700 M720 Dual");
  ASSERT_TRUE(user->Click(IDC_BUTTON_GENERAL));
  ASSERT_TRUE(user->WaitForDialog(u"General Features"));
  ASSERT_TRUE(user->Select(IDC_COMBO_LOD_BIAS, 10));  // 0.50
  ASSERT_TRUE(user->Click(IDOK));
  CloseMainDialog();
  const auto lodBias = services.registry.Value(current + u"\\D3D", u"QLDRV_LOD_BIAS");
  ASSERT_TRUE(lodBias);
  EXPECT_EQ(lodBias->data, NumberTextBytes(2));
}

}  // namespace
