#include "hive/posix/HiveLogs.h"

#include <dirent.h>
#include <fcntl.h>

#include <utility>

#include "base/Text.h"
#include "base/posix/Owners.h"

namespace hive {

HiveLogNames FindHiveLogs(const std::string& folder, const std::string& hiveName) {
  const base::Descriptor opened(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return opened.Valid() ? FindHiveLogs(opened.Get(), hiveName) : HiveLogNames{};
}

HiveLogNames FindHiveLogs(int folder, const std::string& hiveName) {
  HiveLogNames names;
  // A description of its own, so that the listing's position is not the caller's.
  base::Descriptor own(openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  const base::FolderListing listing(own.Valid() ? fdopendir(own.Get()) : nullptr);
  if (!listing) return names;
  own.Release();  // the listing owns it now
  const std::u16string base = base::Utf16FromUtf8(hiveName);
  while (const dirent* entry = readdir(listing.get())) {
    const std::u16string name = base::Utf16FromUtf8(entry->d_name);
    for (auto [suffix, found] : {std::pair{u".LOG", &names.log}, std::pair{u".LOG1", &names.log1},
                                 std::pair{u".LOG2", &names.log2}}) {
      if (!base::NamesEqual(name, base + suffix)) continue;
      if (!found->empty()) names.ambiguous = true;
      *found = entry->d_name;
      names.all.emplace_back(entry->d_name);
    }
  }
  return names;
}

}  // namespace hive
