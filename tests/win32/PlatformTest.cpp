// The Win32 platform services against the real system under Wine.
#include <gtest/gtest.h>

#include "platform/DisplayDevices.h"
#include "platform/Registry.h"

TEST(Win32Registry, OpensTheRootItself) {
  platform::Registry& registry = platform::GetRegistry();
  platform::RegKey key = 0;
  ASSERT_EQ(registry.Open(u"", platform::kKeyRead, &key), platform::kSuccess);
  EXPECT_NE(key, 0u);
  EXPECT_EQ(registry.Close(key), platform::kSuccess);
}
