// The POSIX program's services before anything is installed: a registry with no keys, as an
// empty machine has. Reads find nothing and keep their defaults; nothing is ever opened.
#include <gtest/gtest.h>

#include "platform/Registry.h"
#include "settings/ValueAccess.h"

namespace {

TEST(DefaultRegistry, HasNoKeys) {
  platform::Registry& registry = platform::GetRegistry();
  platform::RegKey key = 0;
  EXPECT_EQ(registry.Open(u"System\\CurrentControlSet\\Control", platform::kKeyRead, &key),
            platform::kFileNotFound);
  EXPECT_EQ(registry.Open(u"System", platform::kKeyWrite, &key), platform::kFileNotFound);
  EXPECT_EQ(registry.Open(u"\\System", platform::kKeyRead, &key), platform::kBadPathName);
  EXPECT_EQ(key, 0u);

  std::int32_t value = 7;
  EXPECT_FALSE(ReadNumber(u"System\\CurrentControlSet\\Control", u"Value", value));
  EXPECT_EQ(value, 7);
}

}  // namespace
