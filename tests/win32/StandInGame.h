#pragma once
// The events by which the launcher's tests and their stand-in game (StandInGame.cpp) meet: the
// game sets "running" once it has written what it saw; its child waits for "release". Each test's
// adapter key (under a fresh GUID) is in their names, so that no game or child of an earlier test
// can see another test's event.
#include <string>

namespace standingame {

inline std::wstring EventName(const wchar_t* what, std::wstring adapterKey) {
  for (wchar_t& c : adapterKey)
    if (c == L'\\') c = L'_';  // a backslash would name a namespace
  return std::wstring(L"ConfiguratorTestGame") + what + L"-" + adapterKey;
}
inline std::wstring RunningEvent(const std::wstring& adapterKey) { return EventName(L"Running", adapterKey); }
inline std::wstring ReleaseEvent(const std::wstring& adapterKey) { return EventName(L"Release", adapterKey); }

}  // namespace standingame
