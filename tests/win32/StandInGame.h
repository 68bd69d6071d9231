#pragma once
// The events by which the launcher's tests and their stand-in game (StandInGame.cpp) meet: the
// game sets "running" once it has written what it saw; its child waits for "release".

namespace standingame {

inline constexpr wchar_t kRunningEvent[] = L"ConfiguratorTestGameRunning";
inline constexpr wchar_t kReleaseEvent[] = L"ConfiguratorTestGameRelease";

}  // namespace standingame
