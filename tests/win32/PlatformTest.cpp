// The Win32 platform services against the real system under Wine.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/DisplayDevices.h"
#include "platform/DisplayMode.h"
#include "platform/Registry.h"

namespace {

TEST(Win32Registry, OpensTheRootItselfAndRefusesALeadingBackslash) {
  platform::Registry& registry = platform::GetRegistry();
  platform::RegKey key = 0;
  ASSERT_EQ(registry.Open(u"", platform::kKeyRead, &key), platform::kSuccess);
  EXPECT_NE(key, 0u);
  EXPECT_EQ(registry.Close(key), platform::kSuccess);
  platform::RegKey untouched = 7;
  EXPECT_EQ(registry.Open(u"\\System", platform::kKeyRead, &untouched), platform::kBadPathName);
  EXPECT_EQ(registry.Open(u"System\\No Such Key", platform::kKeyRead, &untouched), platform::kFileNotFound);
  EXPECT_EQ(untouched, 7u);
}

// Wine's one display answers no private escape: discovery finds no adapter there.
TEST(Win32DisplayDevices, EnumeratesAndProbesTheDisplay) {
  platform::DisplayDevices& devices = platform::GetDisplayDevices();
  platform::DisplayDevice device;
  ASSERT_TRUE(devices.Enumerate(0, &device));
  EXPECT_EQ(device.name.rfind(u"\\\\.\\DISPLAY", 0), 0u);
  EXPECT_FALSE(device.key.empty());
  EXPECT_FALSE(devices.Enumerate(64, &device));

  const platform::DeviceContext context = devices.CreateContext(device.name);
  ASSERT_NE(context, 0u);
  const std::uint32_t escape = 81404;
  EXPECT_EQ(devices.Escape(context, platform::kQueryEscSupport, 4, &escape, 0, nullptr), 0);
  EXPECT_TRUE(devices.DeleteContext(context));
}

// ddraw.dll is loaded at run time; the object is usable and released by its owner.
TEST(Win32DisplayMode, CreatesAndReleasesTheDirectDrawObject) {
  platform::DisplayModeObject* object = nullptr;
  ASSERT_EQ(platform::GetDisplayMode().Create(&object), 0);
  ASSERT_NE(object, nullptr);
  // Xvfb has a single mode: the mode set is refused, and nothing changes.
  EXPECT_NE(object->SetDisplayMode(640, 480, 16, 0, 0), 0);
  object->Release();
}

}  // namespace
