#include "tests/dialogs/DialogHost.h"

#include "dialogs/DualChipDialog.h"
#include "dialogs/GeneralDialog.h"
#include "dialogs/QuadChipDialog.h"
#include "dialogs/SingleChipDialog.h"

using scenarios::DialogKey;
using scenarios::SettingsDialog;
using scenarios::StoredValue;
using testadapter::kCurrentKey;
using testadapter::kDeviceKey;
using testadapter::kDeviceName;
using testadapter::kDriverKey;

std::u16string PathOf(DialogKey key) { return key == DialogKey::Device ? kCurrentKey : kDriverKey; }

void DialogHost::Seed(const std::vector<StoredValue>& values, bool driverSettingsKeyExists) {
  store.CreateKey(kDeviceKey);
  store.CreateKey(kCurrentKey);
  if (driverSettingsKeyExists) store.CreateKey(kDriverKey);
  for (const StoredValue& value : values)
    store.SetValue(PathOf(value.key), value.name, value.type, value.data);
  store.ResetCounters();
}

std::vector<StoredValue> DialogHost::Stored() const {
  std::vector<StoredValue> values;
  for (DialogKey key : {DialogKey::Device, DialogKey::DriverSettings})
    for (const platform::RegistryValue& value : store.Values(PathOf(key)))
      values.push_back({key, value.name, value.type, value.data});
  return values;
}

std::unique_ptr<PortableUser> DialogHost::Open(SettingsDialog dialog) {
  return std::make_unique<PortableUser>([dialog]() -> int {
    switch (dialog) {
      case SettingsDialog::General:
        return static_cast<int>(CGeneralDialog(nullptr, kDeviceName, kCurrentKey, kDeviceKey).DoModal());
      case SettingsDialog::SingleChip:
        return static_cast<int>(CSingleChipDialog(nullptr, kDeviceName, kCurrentKey, kDeviceKey).DoModal());
      case SettingsDialog::DualChip:
        return static_cast<int>(CDualChipDialog(nullptr, kDeviceName, kCurrentKey, kDeviceKey).DoModal());
      case SettingsDialog::QuadChip:
        return static_cast<int>(CQuadChipDialog(nullptr, kDeviceName, kCurrentKey, kDeviceKey).DoModal());
    }
    return -1;
  });
}

void DialogHost::ExpectRefreshes(bool refreshed, scenarios::Checks& checks) const {
  using Kind = platform::DisplayModeCall::Kind;
  const std::vector<platform::DisplayModeCall> calls = displayMode.Calls();
  if (!refreshed) {
    checks.Expect(calls.empty(),
                  "the display mode was refreshed (" + std::to_string(calls.size()) + " calls)");
    return;
  }
  const bool shape = calls.size() == 4 && calls[0].kind == Kind::Create &&
                     calls[1].kind == Kind::SetCooperativeLevel && calls[2].kind == Kind::SetDisplayMode &&
                     calls[3].kind == Kind::Release;
  if (!checks.Expect(shape, "not one refresh: " + std::to_string(calls.size()) + " display-mode calls"))
    return;
  checks.Expect(calls[1].window != nullptr && calls[1].flags == 0x11,
                "cooperative level without the dialog's window");
  checks.Expect(calls[2].width == 640 && calls[2].height == 480 && calls[2].bitsPerPixel == 16 &&
                    calls[2].refreshRate == 0 && calls[2].flags == 0,
                "another mode than 640 x 480 x 16");
}
