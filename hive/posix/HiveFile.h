#pragma once
// One hive file on disk and its image in memory (HiveImage, the file's bytes held once):
// loading, noticing that another process has replaced the file, and replacing it durably.
//
// Loading: the file is read once, and its bytes (or what recovery made of them) become the image
// without another copy. A hive that Windows left dirty is recovered in memory from its transaction logs
// (see HiveRecovery.h), so the image is what Windows would load. A dirty hive that its logs
// cannot recover is loaded as it is but refused for writing (Refusal() says why): writing it
// back clean would make Windows ignore the logs, and everything only they hold would be lost.
//
// The folder: the hive's real path is resolved once, and its folder opened (never through a
// link) at the first Load and held for the life of the object. Everything after goes through
// that open folder by name in it: reading the hive and its logs, the lock, the temporary file,
// the rename, the removal of leftovers, the emptying of the logs. A folder swapped for another
// (or a link) on the way to the hive meanwhile changes nothing elsewhere: a commit that finds the
// path no longer leading to the held folder is refused.
//
// Replacing: rewriting the file in place would tear the hive if a crash came in the middle.
// Commit instead writes a new file beside the hive (".NAME.tmp.*", a random name made with
// O_EXCL), gives it the hive's owner, group, mode and extended attributes (see Commit for a
// user who may not give the owner or group), makes it clean (equal sequence numbers above every one its logs
// hold, the time of the save), fsyncs it, renames it over the hive and fsyncs the folder: at
// every moment the hive's name refers to a complete file, the old one or the new one. Only then are the logs
// emptied (truncated, as Windows leaves them), so Windows can never replay stale log pages over the saved
// hive. A writer killed before the rename leaves only its temporary file, which the next open or commit
// removes.
//
// Before the first commit, the hive as it is on disk and its non-empty logs are backed up, when
// a place is set (see HiveBackups.h): into a backup folder, or into the folder CFGBAK beside the
// hive, the only thing of ours ever left beside it.
//
// Writers: commits hold an exclusive flock on the hive's folder, so two commits never
// interleave. A lock that another program holds is waited for a bounded time (Folders.h), then
// the commit fails naming the folder and the holder. Under the lock, a hive that another process replaced
// since it was loaded is loaded again and the caller's pending edits are applied to it again before writing,
// so concurrent writers merge value by value instead of losing each other's changes.
//
// Noticing a replacement: the file's device, inode, size, change and modification times and the
// base block's sequence numbers and timestamp, recorded when it was loaded or committed.
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Failure.h"
#include "base/posix/Owners.h"
#include "hive/HiveImage.h"
#include "hive/posix/HiveBackups.h"

namespace hive {

// The Win32 status for a hive that cannot be used: 2, 5 or 1015 (the registry is corrupt).
long StatusFromProblem(base::HiveProblem problem);

// Gives the open file fd, which replaces a file whose status is original, that file's owner,
// group and mode, as far as the user may; where they may not, the mode narrows so that no one
// gains access, and *note says so. 0 or the errno of the failure.
int KeepOwnerAndMode(int fd, const struct stat& original, std::string* note);
// Copies the extended attributes of the open file from (NTFS attributes, security descriptor
// and creation time on ntfs-3g too) to the open file to, as far as the file system and the
// user's rights allow.
void CopyAttributes(int from, int to);

// Writes a new hive file's bytes (an EmptyHiveImage, grown with keys and values) to path,
// creating it (never replacing a file) and syncing it; a failure removes what was made.
base::Failure WriteNewHive(const std::string& path, const std::vector<std::uint8_t>& bytes);

class HiveFile {
 public:
  explicit HiveFile(std::string path);
  ~HiveFile();
  HiveFile(HiveFile&& other) noexcept;
  HiveFile& operator=(HiveFile&& other) noexcept;
  HiveFile(const HiveFile&) = delete;
  HiveFile& operator=(const HiveFile&) = delete;

  // Reads the file into a new image. On success the previous image is dropped and Generation()
  // grows; on failure the previous image (if any) stays and the failure gives the problem and
  // why: the system's words when the file could not be read, what is wrong with a damaged hive
  // (possibly nothing in words). Its what is left to the caller, who knows how the user named
  // the file.
  base::Failure Load();
  // Why a file cannot be loaded, looking only at the file, as Load says it; no problem when it
  // looks like a hive.
  static base::Failure Diagnose(const std::string& path);

  HiveImage& Image() { return m_image; }
  const HiveImage& Image() const { return m_image; }
  // Grows with every Load that replaced the image; node handles from an older generation are
  // invalid.
  std::uint64_t Generation() const { return m_generation; }
  // True when the file on disk is not the one this image was loaded from or committed to.
  bool ChangedOnDisk() const;
  // Why the user may not replace the hive, in words; empty when they may. A dirty hive that
  // could not be recovered, a file system mounted read-only, and a file or folder without write
  // permission each give their own reason. A file or folder with no write permission bit at all
  // counts as read-only even for root, so that a hive marked read-only is respected (and tested)
  // the same way for every user.
  std::string WhyReadOnly() const;
  bool Writable() const { return WhyReadOnly().empty(); }
  // Why a dirty hive was not recovered (it is loaded as it is, read-only); empty otherwise.
  const std::string& Refusal() const { return m_refusal; }
  // The logs whose replay made the image; empty when the file was clean.
  const std::vector<std::string>& LogsUsed() const { return m_logsUsed; }

  // Removes the temporary files that killed commits left beside the hive (under the lock, so
  // never another writer's file in progress), and the empty lock file of earlier versions.
  void RemoveLeftovers();

  // Where the first commit backs the hive and its logs up (BackUpHive), keeping the first and
  // the newest keep backups of this hive. Empty (the default): no backup.
  void SetBackupRoot(std::string folder, int keep = kDefaultKeptBackups) {
    SetBackupPlaces(BackupPlaces{false, std::move(folder), keep});
  }
  // The same, beside the hive or elsewhere (BackUpHiveTo); a backup that went to the fallback
  // says so in CommitNote().
  void SetBackupPlaces(BackupPlaces places) { m_backupPlaces = std::move(places); }
  // The folder of the backup of the hive as it was before the first commit, once made.
  const std::string& Backup() const { return m_backup; }

  // Writes the image as the new hive file (see above). reapply is called, under the lock, only
  // when another process replaced the file and it was loaded again; it must apply the pending
  // edits to the new image and return false if it could not. editedKeys gives the key nodes
  // whose last-write time the save sets. Returns 0 or a Win32 status: 5 (the hive may not be
  // written, or its folder or the backup cannot be), 2 or 1015 (the replaced file cannot be
  // loaded), 112 (no space), 29 (a write, fsync or rename failed; the hive on disk is
  // unchanged; also when the hive's folder is no longer the one it was loaded from, or it or
  // the backup folder stays locked by another program; or, when the folder could not be synced
  // after the rename, the new hive is in place but not yet durable, and the logs are kept).
  // CommitError() says why in words.
  //
  // The new file gets the hive's owner, group and mode. A user other than root may not give it
  // another owner, nor a group they are not in: then it keeps the user's own, and its mode is
  // narrowed so that no one gains access (owner bits: only what the user had; group and other
  // bits: only what everyone now in that class had). CommitNote() says so after such a commit.
  long Commit(const std::function<bool()>& reapply,
              const std::function<std::vector<std::uintptr_t>()>& editedKeys = nullptr);
  const std::string& CommitError() const { return m_commitError; }
  // What the last successful commit could not keep, in words; empty when it kept everything.
  const std::string& CommitNote() const { return m_commitNote; }
  // How many commits replaced the file (for tests and the benchmark).
  std::uint64_t Commits() const { return m_commits; }

  const std::string& Path() const { return m_path; }

 private:
  struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    std::int64_t modified = 0;  // nanoseconds
    std::int64_t changed = 0;
    unsigned char header[16] = {};  // sequence numbers and timestamp of the base block
    bool operator==(const Identity&) const = default;
  };
  bool ReadIdentity(Identity* identity) const;
  std::string Folder() const;
  std::string BaseName() const;
  void RemoveStaleTemporaries() const;
  long Fail(long status, std::string why);

  std::string m_path;
  base::Descriptor m_folder;  // the hive's folder, from the first Load on
  HiveImage m_image;
  Identity m_identity;
  std::uint64_t m_generation = 0;
  std::uint64_t m_commits = 0;
  std::string m_refusal;
  std::vector<std::string> m_logsUsed;
  std::uint32_t m_highestSequence = 0;
  BackupPlaces m_backupPlaces;
  std::string m_backup;
  std::string m_commitError;
  std::string m_commitNote;
};

}  // namespace hive
