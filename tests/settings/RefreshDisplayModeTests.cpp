// The display-mode refresh: the order of the calls, their arguments, and the two failures.
#include <gtest/gtest.h>

#include "settings/RefreshDisplayMode.h"
#include "tests/support/TestServices.h"

namespace {

using Kind = platform::DisplayModeCall::Kind;

struct RefreshCase {
  const char* what;
  long createResult;
  long cooperativeResult;
  int result;
  std::vector<Kind> calls;
};

class RefreshDisplayModeTest : public ::testing::TestWithParam<RefreshCase> {
 protected:
  TestServices services;
};

TEST_P(RefreshDisplayModeTest, CallsInOrderAndReleases) {
  const RefreshCase& c = GetParam();
  services.displayMode.FailCreate(c.createResult);
  services.displayMode.FailCooperativeLevel(c.cooperativeResult);
  void* const window = reinterpret_cast<void*>(0x4242);
  EXPECT_EQ(RefreshDisplayMode(window), c.result);
  EXPECT_EQ(services.displayMode.CallKinds(), c.calls);
  EXPECT_EQ(services.displayMode.LiveObjects(), 0);
  for (const platform::DisplayModeCall& call : services.displayMode.Calls()) {
    if (call.kind == Kind::SetCooperativeLevel) {
      EXPECT_EQ(call.window, window);
      EXPECT_EQ(call.flags, 0x11u);
    }
    if (call.kind == Kind::SetDisplayMode) {
      EXPECT_EQ(call.width, 640u);
      EXPECT_EQ(call.height, 480u);
      EXPECT_EQ(call.bitsPerPixel, 16u);
      EXPECT_EQ(call.refreshRate, 0u);
      EXPECT_EQ(call.flags, 0u);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefreshDisplayModeTest,
    ::testing::Values(
        RefreshCase{"Normal",
                    0,
                    0,
                    0,
                    {Kind::Create, Kind::SetCooperativeLevel, Kind::SetDisplayMode, Kind::Release}},
        RefreshCase{"CreateFails", static_cast<long>(0x80004005u), 0, 1, {Kind::Create}},
        RefreshCase{"CooperativeLevelFails",
                    0,
                    static_cast<long>(0x80004005u),
                    0,
                    {Kind::Create, Kind::SetCooperativeLevel, Kind::SetDisplayMode, Kind::Release}}),
    [](const auto& row) { return std::string(row.param.what); });

TEST(RefreshDisplayMode, ModeSetReachesTheDisplayOnlyWithExclusiveControl) {
  TestServices services;
  int reloads = 0;
  services.displayMode.SetModeSetHook([&](std::uint32_t, std::uint32_t, std::uint32_t) { ++reloads; });
  RefreshDisplayMode(nullptr);
  EXPECT_EQ(reloads, 1);
  services.displayMode.FailCooperativeLevel(static_cast<long>(0x80004005u));
  RefreshDisplayMode(nullptr);
  EXPECT_EQ(reloads, 1);
}

}  // namespace
