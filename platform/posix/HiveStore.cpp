#include "platform/posix/HiveStore.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "base/ByteOrder.h"
#include "base/Text.h"

namespace platform {
namespace {

// Rights that change a key: set value, create subkey, create link, delete, write DAC, write
// owner, generic write, generic all.
constexpr std::uint32_t kChangeRights = kKeySetValue | kKeyCreateSubKey | kKeyCreateLink | kDelete |
                                        kWriteDac | kWriteOwner | kGenericWrite | kGenericAll;

// The key rights that an access mask grants, generic rights mapped as for registry keys.
std::uint32_t Rights(std::uint32_t access) {
  if (access & kGenericAll) access |= kKeyRead | kKeyWrite;
  if (access & kGenericRead) access |= kKeyRead;
  if (access & kGenericWrite) access |= kKeyWrite;
  return access;
}

// A 4-byte number (REG_DWORD or REG_BINARY) of a node, or 0 when there is none.
std::uint32_t SmallNumber(const hive::HiveImage& image, hive::HiveImage::Node node,
                          std::u16string_view name) {
  hive::HiveImage::Value value;
  std::uint8_t bytes[4] = {};
  if (image.FindValue(node, name, &value) != kSuccess || value.size != sizeof bytes ||
      (value.type != kRegDword && value.type != kRegBinary) || image.ReadValue(value, bytes) != kSuccess)
    return 0;
  return base::ReadLittleEndian32(bytes);
}

// What the user is told about a hive that cannot be loaded, named as they gave it.
base::Failure LoadFailureForUser(const std::string& path, base::Failure failure) {
  failure.what = path;
  switch (failure.problem) {
    case base::HiveProblem::kMissing:
      failure.why = "no such hive file";
      break;
    case base::HiveProblem::kUnreadable:
      failure.what += ": cannot read the hive file";
      break;
    case base::HiveProblem::kNotHive:
      failure.why = "not a registry hive file";
      break;
    case base::HiveProblem::kCorrupt:
    case base::HiveProblem::kNone:
      failure.why = "the registry hive is damaged and cannot be read" +
                    (failure.why.empty() ? std::string() : " (" + failure.why + ")");
      break;
  }
  return failure;
}

}  // namespace

std::unique_ptr<HiveStore> HiveStore::Load(const std::string& path, base::Failure* failure,
                                           CommitPolicy policy) {
  hive::HiveFile file(path);
  if (base::Failure refused = file.Load(); refused.Failed()) {
    *failure = LoadFailureForUser(path, std::move(refused));
    return nullptr;
  }
  file.RemoveLeftovers();
  return std::unique_ptr<HiveStore>(new HiveStore(std::move(file), policy));
}

HiveStore::HiveStore(hive::HiveFile file, CommitPolicy policy) : m_file(std::move(file)), m_policy(policy) {}

HiveStore::~HiveStore() { Flush(); }

bool HiveStore::HasPendingEdits() const {
  std::lock_guard lock(m_mutex);
  return !m_pending.empty();
}

std::size_t HiveStore::OpenHandles() const {
  std::lock_guard lock(m_mutex);
  return m_keys.size();
}

std::uint64_t HiveStore::Commits() const {
  std::lock_guard lock(m_mutex);
  return m_file.Commits();
}

long HiveStore::ParsePath(std::u16string_view path, std::vector<std::u16string>* components,
                          bool* machineRoot) {
  *machineRoot = false;
  components->clear();
  if (path.empty()) {
    *machineRoot = true;
    return kSuccess;
  }
  if (path.front() == u'\\') return kBadPathName;
  if (path.back() == u'\\') path.remove_suffix(1);
  std::size_t start = 0;
  while (true) {
    const std::size_t end = path.find(u'\\', start);
    const std::u16string_view part = path.substr(start, end == std::u16string_view::npos ? end : end - start);
    if (part.empty()) return kBadPathName;
    components->emplace_back(part);
    if (end == std::u16string_view::npos) break;
    start = end + 1;
  }
  return kSuccess;
}

std::u16string HiveStore::CurrentControlSet() {
  std::lock_guard lock(m_mutex);
  const hive::HiveImage& image = m_file.Image();
  hive::HiveImage::Node select = 0;
  std::uint32_t number = 0;
  if (image.Child(image.Root(), u"Select", &select) == kSuccess) {
    number = SmallNumber(image, select, u"Current");
    if (number == 0 || number > 999) number = SmallNumber(image, select, u"Default");
  }
  if (number == 0 || number > 999) number = 1;
  char name[16];
  std::snprintf(name, sizeof name, "ControlSet%03u", number);
  return base::Utf16FromUtf8(name);
}

std::uintptr_t HiveStore::Resolve(const std::vector<std::u16string>& path, long* status) {
  const hive::HiveImage& image = m_file.Image();
  hive::HiveImage::Node node = image.Root();
  for (const std::u16string& name : path) {
    hive::HiveImage::Node child = 0;
    if (const long found = image.Child(node, name, &child); found != kSuccess) {
      if (status != nullptr) *status = found;
      return 0;
    }
    node = child;
  }
  if (status != nullptr) *status = kSuccess;
  return node;
}

HiveStore::OpenedKey* HiveStore::Find(RegKey key) {
  const auto found = m_keys.find(key);
  return found == m_keys.end() ? nullptr : &found->second;
}

long HiveStore::NodeOf(OpenedKey& key, std::uintptr_t* node) {
  if (key.generation != m_file.Generation()) {
    key.node = Resolve(key.path);
    key.generation = m_file.Generation();
  }
  if (key.node == 0) return kKeyDeleted;
  *node = key.node;
  return kSuccess;
}

long HiveStore::Open(std::u16string_view path, std::uint32_t access, RegKey* key) {
  std::lock_guard lock(m_mutex);
  if (key == nullptr) return kInvalidParameter;
  std::vector<std::u16string> components;
  bool machineRoot = false;
  if (const long status = ParsePath(path, &components, &machineRoot); status != kSuccess) return status;
  const bool write = (access & kChangeRights) != 0;
  if (machineRoot) {
    if (write) return kAccessDenied;
  } else if (!base::NamesEqual(components.front(), u"System")) {
    return kFileNotFound;
  }

  if (m_file.ChangedOnDisk()) {
    if (const base::Failure failure = m_file.Load(); failure.Failed())
      return hive::StatusFromProblem(failure.problem);
    Reapply();
  }
  // A reader after a writer: the writes go to disk first (see the header).
  if (!write) Flush();

  OpenedKey opened;
  opened.machineRoot = machineRoot;
  opened.rights = Rights(access);
  if (!machineRoot) {
    components.erase(components.begin());
    if (!components.empty() && base::NamesEqual(components.front(), u"CurrentControlSet")) {
      components.front() = CurrentControlSet();
    }
    opened.path = std::move(components);
    long found = kSuccess;
    opened.node = Resolve(opened.path, &found);
    opened.generation = m_file.Generation();
    if (found == kRegistryCorrupt) return found;
    if (opened.node == 0) {
      // A write that cannot happen, which the program may not tell the user of: the next
      // save report does.
      if (write) {
        ++m_missing;
        m_missingKey = path;
      }
      return kFileNotFound;
    }
    if (write && !m_file.Writable()) return kAccessDenied;
  }
  *key = m_nextKey++;
  m_keys.emplace(*key, std::move(opened));
  return kSuccess;
}

long HiveStore::Query(RegKey key, std::u16string_view name, std::uint32_t* type, std::uint8_t* data,
                      std::uint32_t* size) {
  std::lock_guard lock(m_mutex);
  OpenedKey* opened = Find(key);
  if (opened == nullptr) return kInvalidHandle;
  if ((opened->rights & kKeyQueryValue) == 0) return kAccessDenied;
  if (data != nullptr && size == nullptr) return kInvalidParameter;
  if (opened->machineRoot) return kFileNotFound;
  std::uintptr_t node = 0;
  if (const long status = NodeOf(*opened, &node); status != kSuccess) return status;

  const hive::HiveImage& image = m_file.Image();
  hive::HiveImage::Value value;
  if (const long status = image.FindValue(node, name, &value); status != kSuccess) return status;
  if (data != nullptr) {
    if (*size < value.size) {
      *size = value.size;
      if (type != nullptr) *type = value.type;
      return kMoreData;
    }
    if (const long status = image.ReadValue(value, data); status != kSuccess) return status;
  }
  if (size != nullptr) *size = value.size;
  if (type != nullptr) *type = value.type;
  return kSuccess;
}

long HiveStore::Apply(std::uintptr_t node, const Edit& edit) {
  hive::HiveImage& image = m_file.Image();
  if (edit.remove) return image.DeleteValue(node, edit.name);
  return image.SetValue(node, edit.name, edit.type, edit.data.data(),
                        static_cast<std::uint32_t>(edit.data.size()));
}

bool HiveStore::Reapply() {
  m_imageMissesEdits = false;
  for (const Edit& edit : m_pending) {
    const std::uintptr_t node = Resolve(edit.path);
    // A key that another program removed takes its pending edits with it, as on Windows.
    if (node != 0 && Apply(node, edit) == kRegistryCorrupt) {
      m_imageMissesEdits = true;
      return false;
    }
  }
  return true;
}

long HiveStore::Change(RegKey key, Edit edit) {
  std::lock_guard lock(m_mutex);
  OpenedKey* opened = Find(key);
  if (opened == nullptr) return kInvalidHandle;
  if ((opened->rights & kKeySetValue) == 0 || opened->machineRoot) return kAccessDenied;
  std::uintptr_t node = 0;
  if (const long status = NodeOf(*opened, &node); status != kSuccess) return status;
  if (const long status = Apply(node, edit); status != kSuccess) return status;
  edit.path = opened->path;
  m_pending.push_back(std::move(edit));
  return kSuccess;
}

long HiveStore::Set(RegKey key, std::u16string_view name, std::uint32_t type, const std::uint8_t* data,
                    std::uint32_t size) {
  if (data == nullptr && size > 0) return kInvalidParameter;
  Edit edit;
  edit.name = name;
  edit.type = type;
  if (size > 0) edit.data.assign(data, data + size);
  return Change(key, std::move(edit));
}

long HiveStore::Delete(RegKey key, std::u16string_view name) {
  Edit edit;
  edit.name = name;
  edit.remove = true;
  return Change(key, std::move(edit));
}

long HiveStore::Close(RegKey key) {
  std::lock_guard lock(m_mutex);
  const auto found = m_keys.find(key);
  if (found == m_keys.end()) return kInvalidHandle;
  const bool writable = (found->second.rights & kChangeRights) != 0;
  m_keys.erase(found);
  if (m_policy == CommitPolicy::kOnClose && writable) return Flush();
  return kSuccess;
}

long HiveStore::Flush() {
  std::lock_guard lock(m_mutex);
  if (m_pending.empty() && m_missing == 0) return kSuccess;
  long status = kSuccess;
  std::string why = "the changes could not be applied to the hive another program saved";
  // The image lacks some pending edits (they could not be applied to the hive that another
  // program saved): it must not be written as it is, but loaded and given them all again.
  if (m_imageMissesEdits) {
    if (const base::Failure failure = m_file.Load(); failure.Failed())
      status = hive::StatusFromProblem(failure.problem);
    else if (!Reapply())
      status = kRegistryCorrupt;
  }
  if (status == kSuccess && !m_pending.empty()) {
    status = m_file.Commit([this] { return Reapply(); }, [this] { return EditedNodes(); });
    why = m_file.CommitError();
  }

  SaveReport news;
  news.serial = m_reported.serial + 1;
  news.missing = std::exchange(m_missing, 0);
  news.missingKey = std::exchange(m_missingKey, std::u16string());
  if (status == kSuccess) {
    news.saved = m_pending.size();
    if (news.saved > 0) news.note = m_file.CommitNote();
  } else {
    news.lost = m_pending.size();
    news.error = why;
    m_lostChanges = why;
    // The edits are gone: from now on the store shows what the file holds.
    m_file.Load();
    m_imageMissesEdits = false;
  }
  m_pending.clear();
  m_reported = news;
  return status;
}

std::vector<std::uintptr_t> HiveStore::EditedNodes() {
  std::vector<std::uintptr_t> nodes;
  for (const Edit& edit : m_pending) {
    if (const std::uintptr_t node = Resolve(edit.path); node != 0) nodes.push_back(node);
  }
  return nodes;
}

HiveStore::SaveReport HiveStore::LastSave() const {
  std::lock_guard lock(m_mutex);
  return m_reported;
}

base::Failure HiveStore::LostChanges() const {
  std::lock_guard lock(m_mutex);
  if (m_lostChanges.empty()) return {};
  return base::Failure::Because(m_file.Path() + ": changes were not saved and are lost", m_lostChanges);
}

std::string HiveStore::WhyReadOnly() const {
  std::lock_guard lock(m_mutex);
  return m_file.WhyReadOnly();
}

void HiveStore::SetBackupRoot(std::string folder, int keep) {
  std::lock_guard lock(m_mutex);
  m_file.SetBackupRoot(std::move(folder), keep);
}

void HiveStore::SetBackupPlaces(hive::BackupPlaces places) {
  std::lock_guard lock(m_mutex);
  m_file.SetBackupPlaces(std::move(places));
}

std::string HiveStore::Backup() const {
  std::lock_guard lock(m_mutex);
  return m_file.Backup();
}

std::vector<std::string> HiveStore::LogsUsed() const {
  std::lock_guard lock(m_mutex);
  return m_file.LogsUsed();
}

long HiveStore::Subkeys(RegKey key, std::vector<std::u16string>* names) {
  std::lock_guard lock(m_mutex);
  OpenedKey* opened = Find(key);
  if (opened == nullptr) return kInvalidHandle;
  names->clear();
  if (opened->machineRoot) {
    names->push_back(u"SYSTEM");
    return kSuccess;
  }
  std::uintptr_t node = 0;
  if (const long status = NodeOf(*opened, &node); status != kSuccess) return status;
  return m_file.Image().Subkeys(node, names);
}

long HiveStore::Values(RegKey key, std::vector<std::u16string>* names) {
  std::lock_guard lock(m_mutex);
  OpenedKey* opened = Find(key);
  if (opened == nullptr) return kInvalidHandle;
  names->clear();
  if (opened->machineRoot) return kSuccess;
  std::uintptr_t node = 0;
  if (const long status = NodeOf(*opened, &node); status != kSuccess) return status;
  return m_file.Image().ValueNames(node, names);
}

}  // namespace platform
