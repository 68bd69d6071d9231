// GoogleTest's Notification, for the win32 thread model of MinGW-w64, which has no std::mutex or
// std::condition_variable that GoogleTest's own one is built on. It is force-included before
// GoogleTest's headers (GTEST_HAS_NOTIFICATION_ tells them it exists). Only GoogleTest's internal
// threads wait on it; the tests here run on one thread.
#pragma once

#include <atomic>

namespace testing::internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { m_notified.store(true); }
  void WaitForNotification() {
    while (!m_notified.load()) {
    }
  }

 private:
  std::atomic<bool> m_notified{false};
};

}  // namespace testing::internal
