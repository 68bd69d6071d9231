#include "tests/win32/SeededAdapter.h"

#include <objbase.h>

#include <algorithm>
#include <vector>

#include "tests/win32/TestRegistry.h"

namespace {

std::wstring NewGuid() {
  GUID guid{};
  wchar_t text[40] = {};
  if (::CoCreateGuid(&guid) != S_OK || ::StringFromGUID2(guid, text, 40) == 0) return L"{}";
  return text;
}

std::vector<BYTE> Utf16(const std::u16string& text) {
  std::vector<BYTE> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<BYTE>(c & 0xFF));
    bytes.push_back(static_cast<BYTE>(c >> 8));
  }
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

// Below the control set: Control\Video\{GUID}, or Services\qel and eight hex digits of the GUID.
std::wstring ParentKey(SeededAdapter::Shape shape) {
  const std::wstring guid = NewGuid();
  return shape == SeededAdapter::Shape::kVideo ? L"Control\\Video\\" + guid
                                               : L"Services\\qel" + guid.substr(1, 8);
}

// The adapter's own key below that.
std::wstring AdapterKeyName(SeededAdapter::Shape shape) {
  return shape == SeededAdapter::Shape::kVideo ? L"\\0000" : L"\\Device0";
}

}  // namespace

SeededAdapter::SeededAdapter(Shape shape)
    : m_parent(ParentKey(shape)),
      m_deviceKey(L"System\\ControlSet001\\" + m_parent + AdapterKeyName(shape)),
      m_currentKey(L"System\\CurrentControlSet\\" + m_parent + AdapterKeyName(shape)) {}

SeededAdapter::~SeededAdapter() {
  testregistry::DeleteKey(L"System\\CurrentControlSet\\" + m_parent);
  testregistry::DeleteKey(L"System\\ControlSet001\\" + m_parent);
}

bool SeededAdapter::SeedHardware(const std::u16string& adapter, const std::u16string& bios,
                                 const std::u16string& chipType, std::uint32_t memoryBytes) {
  const std::vector<BYTE> memory{static_cast<BYTE>(memoryBytes), static_cast<BYTE>(memoryBytes >> 8),
                                 static_cast<BYTE>(memoryBytes >> 16), static_cast<BYTE>(memoryBytes >> 24)};
  return testregistry::CreateKey(m_deviceKey) &&
         testregistry::SetValue(m_deviceKey, L"HardwareInformation.AdapterString", REG_SZ, Utf16(adapter)) &&
         testregistry::SetValue(m_deviceKey, L"HardwareInformation.BiosString", REG_SZ, Utf16(bios)) &&
         testregistry::SetValue(m_deviceKey, L"HardwareInformation.ChipType", REG_SZ, Utf16(chipType)) &&
         testregistry::SetValue(m_deviceKey, L"HardwareInformation.MemorySize", REG_BINARY, memory);
}

bool SeededAdapter::CreateCurrentKeys(bool driverSettings) {
  return testregistry::CreateKey(m_currentKey, true) &&
         (!driverSettings || testregistry::CreateKey(DriverSettingsKey(), true));
}

std::wstring SeededAdapter::HandOff() const {
  return L"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\" + m_deviceKey;
}

Stored SeededAdapter::TuningValues() const {
  Stored values;
  for (const std::wstring& key : {CurrentKey(), DriverSettingsKey()})
    for (const testregistry::Value& value : testregistry::Values(key))
      values.emplace_back(key + L"\\" + value.name, value.type, value.data);
  std::sort(values.begin(), values.end());
  return values;
}
