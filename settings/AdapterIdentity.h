#pragma once
// The adapter identity, derived from the adapter hand-off string ("<device name>&&&<device key>",
// or empty when no adapter was identified).
#include <string>

struct AdapterIdentity {
  std::u16string deviceName;            // up to the first "&", e.g. \\.\DISPLAY1
  std::u16string deviceKeyPath;         // the device key from its "System" component on
  std::u16string currentDeviceKeyPath;  // the same path through CurrentControlSet
};

// Never fails: a string that is not a well-formed hand-off string gives what can be derived.
AdapterIdentity ParseAdapterHandOff(const std::u16string& handOff);

// Whether a hand-off string names a display adapter's key, as discovery hands one over: its
// device key is "\Registry\Machine\" (or nothing) and then a key of an adapter key's shape
// (settings/AdapterKey.h). The scripting switches write through what it names, and it may come
// from whoever made a shortcut or a scheduled task, so they take no other.
bool HandOffNamesAdapterKey(const std::u16string& handOff);
