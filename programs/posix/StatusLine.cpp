#include "programs/posix/StatusLine.h"

#include <vector>

#include "base/Text.h"
#include "settings/AdapterKey.h"

namespace {

using base::Utf8FromUtf16;

std::string Counted(std::size_t count, const char* thing) {
  return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

// Why writes did not happen: their key does not exist (for a subkey of an adapter's key, "the
// adapter has no D3D key").
std::string MissingKeyText(const std::u16string& path) {
  const auto slash = path.rfind(u'\\');
  if (slash == std::u16string::npos) return "no key " + Utf8FromUtf16(path);
  const std::u16string parent = path.substr(0, slash);
  const auto parentSlash = parent.rfind(u'\\');
  const std::u16string parentName = parent.substr(parentSlash == std::u16string::npos ? 0 : parentSlash + 1);
  if (IsAdapterKeyName(parentName))
    return "the adapter has no " + Utf8FromUtf16(path.substr(slash + 1)) + " key";
  return "no key " + Utf8FromUtf16(path);
}

}  // namespace

std::string StatusText(const platform::HiveStore::SaveReport& report, const std::string& hive,
                       const std::string& reload, const std::string& backup) {
  std::string text;
  auto add = [&text](const std::string& part) { text += (text.empty() ? "" : "; ") + part; };
  if (report.lost > 0) add("Not saved: " + report.error + " (" + Counted(report.lost, "change") + " lost)");
  if (report.missing > 0)
    add(Counted(report.missing, "value") + " not saved: " + MissingKeyText(report.missingKey));
  if (report.saved > 0)
    add("Saved " + Counted(report.saved, "value") + " to " + hive.substr(hive.rfind('/') + 1));
  if (!report.note.empty()) add("note: " + report.note);
  if (!reload.empty()) add("Driver: " + reload);
  if (!backup.empty()) add("backup of the hive as it was in " + backup);
  return text;
}

std::string HiveText(const platform::HiveStore& store) {
  std::string hive = store.Path();
  const std::vector<std::string> logs = store.LogsUsed();
  for (std::size_t i = 0; i < logs.size(); ++i) hive += (i == 0 ? ", recovered from " : ", ") + logs[i];
  const std::string readOnly = store.WhyReadOnly();
  return readOnly.empty() ? "Hive: " + hive : "Read-only: " + readOnly + " (hive " + hive + ")";
}
