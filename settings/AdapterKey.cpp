#include "settings/AdapterKey.h"

#include "base/Text.h"

namespace {

bool IsDigits(std::u16string_view text, std::size_t fewest, std::size_t most) {
  if (text.size() < fewest || text.size() > most) return false;
  for (char16_t c : text)
    if (c < u'0' || c > u'9') return false;
  return true;
}

bool IsHex(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A service's name: any key name but the ones a path could read as moving about.
bool IsServiceName(std::u16string_view name) { return !name.empty() && name != u"." && name != u".."; }

}  // namespace

std::vector<std::u16string_view> KeyPathParts(std::u16string_view path) {
  std::vector<std::u16string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = path.find(u'\\', start);
    parts.push_back(
        path.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start));
    if (end == std::u16string_view::npos) return parts;
    start = end + 1;
  }
}

bool IsControlSetName(std::u16string_view name) {
  if (base::NamesEqual(name, u"CurrentControlSet")) return true;
  return name.size() == 13 && base::NamesEqual(name.substr(0, 10), u"ControlSet") &&
         IsDigits(name.substr(10), 3, 3);
}

bool IsGuidName(std::u16string_view name) {
  if (name.size() != 38 || name.front() != u'{' || name.back() != u'}') return false;
  for (std::size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? name[i] != u'-' : !IsHex(name[i])) return false;
  }
  return true;
}

bool IsVideoAdapterName(std::u16string_view name) { return IsDigits(name, 4, 4); }

bool IsServiceDeviceName(std::u16string_view name) {
  return name.size() > 6 && base::NamesEqual(name.substr(0, 6), u"Device") && IsDigits(name.substr(6), 1, 4);
}

bool IsAdapterKeyName(std::u16string_view name) {
  return IsVideoAdapterName(name) || IsServiceDeviceName(name);
}

AdapterKeyShape AdapterKeyShapeOf(std::span<const std::u16string_view> parts) {
  if (parts.size() < 5 || !base::NamesEqual(parts[0], u"System") || !IsControlSetName(parts[1]))
    return AdapterKeyShape::kNone;
  if (parts.size() == 6 && base::NamesEqual(parts[2], u"Control") && base::NamesEqual(parts[3], u"Video") &&
      IsGuidName(parts[4]) && IsVideoAdapterName(parts[5]))
    return AdapterKeyShape::kVideo;
  if (parts.size() == 5 && base::NamesEqual(parts[2], u"Services") && IsServiceName(parts[3]) &&
      IsServiceDeviceName(parts[4]))
    return AdapterKeyShape::kDriverService;
  return AdapterKeyShape::kNone;
}

AdapterKeyShape AdapterKeyShapeOf(std::u16string_view path) {
  const std::vector<std::u16string_view> parts = KeyPathParts(path);
  return AdapterKeyShapeOf(parts);
}
