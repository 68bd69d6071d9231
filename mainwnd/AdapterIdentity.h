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
