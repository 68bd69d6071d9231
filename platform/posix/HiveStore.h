#pragma once
// The registry kept in a Windows SYSTEM hive file, read and written in memory (HiveImage).
//
// Keys. "System" and "System\..." (any case) are the hive's root and the keys below it.
// "System\CurrentControlSet" is the control set that Select\Current names, or Select\Default
// when that is missing, or else ControlSet001, as Windows links it at boot. The empty path is
// HKEY_LOCAL_MACHINE's own root: it holds no values and is never writable. Every other root
// (Software, ...) is a missing key. Names of keys and values compare case-insensitively and keep
// the case they were created with; values keep their exact type and bytes. Keys are never
// created or removed.
//
// Access. KEY_WRITE (or any right to change a key) is refused with 5 when the user may not
// replace the hive file (see HiveFile::Writable); Set and Delete on a key opened for reading
// are refused with 5 as well.
//
// Saving. A Set or Delete changes the image in memory and is remembered as a pending edit; the
// pending edits are written as one new hive file (HiveFile::Commit: crash-safe, locked, merged
// with other writers) at the next commit point:
//   - the next Open for reading (the program always reads after it writes: the display-mode
//     refresh that follows every saving dialog makes the driver read its values back, and the
//     next dialog reads its values on construction), before the key is opened;
//   - Flush(), which the program's entry point calls around every modal loop (so nothing is
//     pending while the user is waited for) and when the program ends;
//   - destruction;
//   - with CommitPolicy::kOnClose, also the Close of every key opened for writing after a change.
// So a dialog that saves ten values rewrites the hive once, and its values are on disk before
// the driver's reload reads them. A failed commit is final: its edits are dropped and the hive
// is loaded again, so that what the store shows is what the file holds; LastSave() says what
// happened (in words) and LostChanges() says so for the rest of the run.
//
// Threads: every call takes the store's lock, so a test may inspect while the program runs.
//
// Other processes. Every Open first checks whether the hive file was replaced (another program
// saved): if so it is loaded again, with this store's pending edits applied on top.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "hive/posix/Hive.h"
#include "platform/Registry.h"
#include "platform/Status.h"

namespace platform {

class HiveStore final : public Registry {
 public:
  enum class CommitPolicy { kDeferred, kOnClose };

  // Loads the hive at path. Returns null when it cannot be used, with *failure naming the file
  // as given, the problem, and why: in the system's words when the file cannot be read, what is
  // wrong with a damaged hive.
  static std::unique_ptr<HiveStore> Load(const std::string& path, base::Failure* failure,
                                         CommitPolicy policy = CommitPolicy::kDeferred);
  ~HiveStore() override;
  HiveStore(const HiveStore&) = delete;
  HiveStore& operator=(const HiveStore&) = delete;

  long Open(std::u16string_view path, std::uint32_t access, RegKey* key) override;
  long Query(RegKey key, std::u16string_view name, std::uint32_t* type, std::uint8_t* data,
             std::uint32_t* size) override;
  long Set(RegKey key, std::u16string_view name, std::uint32_t type, const std::uint8_t* data,
           std::uint32_t size) override;
  long Delete(RegKey key, std::u16string_view name) override;
  long Close(RegKey key) override;

  // Writes the pending edits now; 0 when there were none or they are on disk.
  long Flush();
  bool HasPendingEdits() const;

  // What the last commit point that had something to tell did.
  struct SaveReport {
    std::uint64_t serial = 0;   // grows with every report
    std::size_t saved = 0;      // edits written to the file
    std::size_t lost = 0;       // edits dropped because the write failed
    std::string error;          // why it failed, in words
    std::string note;           // what the save could not keep (HiveFile::CommitNote), in words
    std::size_t missing = 0;    // writes refused since the last report: no such key
    std::u16string missingKey;  // the last key that was missing
  };
  SaveReport LastSave() const;
  // That changes were lost, and why the last failed commit of this run failed, in words; no
  // failure while none has.
  base::Failure LostChanges() const;
  // Why nothing can be saved, in words (see HiveFile::WhyReadOnly); empty when saving is possible.
  std::string WhyReadOnly() const;
  // Where the first save backs the hive up and how many backups are kept
  // (HiveFile::SetBackupRoot), and where it did.
  void SetBackupRoot(std::string folder, int keep = hive::kDefaultKeptBackups);
  void SetBackupPlaces(hive::BackupPlaces places);
  std::string Backup() const;
  // The logs whose replay made what the store shows; empty when the hive was clean.
  std::vector<std::string> LogsUsed() const;

  // The names of an open key's subkeys, in the hive's order; 0 or a status.
  long Subkeys(RegKey key, std::vector<std::u16string>* names) override;
  // The names of an open key's values, in the hive's order; 0 or a status.
  long Values(RegKey key, std::vector<std::u16string>* names);

  // The control set that "CurrentControlSet" stands for, e.g. "ControlSet001".
  std::u16string CurrentControlSet();

  std::size_t OpenHandles() const;
  std::uint64_t Commits() const;
  const std::string& Path() const { return m_file.Path(); }

 private:
  struct OpenedKey {
    std::vector<std::u16string> path;  // below the hive root; control set already resolved
    bool machineRoot = false;
    std::uint32_t rights = 0;
    std::uintptr_t node = 0;
    std::uint64_t generation = 0;
  };
  struct Edit {
    std::vector<std::u16string> path;
    std::u16string name;
    bool remove = false;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
  };

  HiveStore(hive::HiveFile file, CommitPolicy policy);
  long ParsePath(std::u16string_view path, std::vector<std::u16string>* components, bool* machineRoot);
  // The node of a key below the hive root; 0 when it is missing (*status 2) or the way to it is
  // damaged (1015).
  std::uintptr_t Resolve(const std::vector<std::u16string>& path, long* status = nullptr);
  long NodeOf(OpenedKey& key, std::uintptr_t* node);
  OpenedKey* Find(RegKey key);
  long Apply(std::uintptr_t node, const Edit& edit);
  bool Reapply();
  long Change(RegKey key, Edit edit);
  std::vector<std::uintptr_t> EditedNodes();

  hive::HiveFile m_file;
  CommitPolicy m_policy;
  std::map<RegKey, OpenedKey> m_keys;
  RegKey m_nextKey = 1;
  std::vector<Edit> m_pending;
  bool m_imageMissesEdits = false;  // the last Reapply failed: the image lacks pending edits
  SaveReport m_reported;
  std::size_t m_missing = 0;  // writes refused for a missing key since the last report
  std::u16string m_missingKey;
  std::string m_lostChanges;
  mutable std::recursive_mutex m_mutex;
};

}  // namespace platform
