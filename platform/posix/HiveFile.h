#pragma once
// One hive file on disk and its image in memory (a libhivex handle): loading, noticing that
// another process has replaced the file, and replacing it durably.
//
// Replacing: libhivex's commit truncates and rewrites the file it is given, so a crash in the
// middle would tear the hive. Commit instead writes a new file beside the hive (".NAME.tmp.*"),
// fsyncs it, renames it over the hive and fsyncs the folder: at every moment the hive's name
// refers to a complete file, the old one or the new one. A writer killed before the rename
// leaves only its temporary file, which the next commit removes.
//
// Writers: commits take an exclusive flock on "NAME.lock" beside the hive, so two commits never
// interleave. Under the lock, a hive that another process replaced since it was loaded is
// loaded again and the caller's pending edits are applied to it again before writing, so
// concurrent writers merge value by value instead of losing each other's changes.
//
// Noticing a replacement: the file's device, inode, size, change and modification times and the
// base block's sequence numbers and timestamp, recorded when it was loaded or committed.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>

struct hive_h;

namespace platform {

enum class HiveProblem {
  kNone,
  kMissing,     // no such file (or folder)
  kUnreadable,  // exists but cannot be read (permissions, a folder, an I/O error)
  kNotHive,     // readable, but not a registry hive file
  kCorrupt,     // begins like a hive, but libhivex cannot read it (truncated, damaged)
};

// The Win32 status for a hive that cannot be used: 2, 5 or 1015 (the registry is corrupt).
long StatusFromProblem(HiveProblem problem);

class HiveFile {
 public:
  explicit HiveFile(std::string path);
  ~HiveFile();
  HiveFile(HiveFile&& other) noexcept;
  HiveFile& operator=(HiveFile&& other) noexcept;
  HiveFile(const HiveFile&) = delete;
  HiveFile& operator=(const HiveFile&) = delete;

  // Reads the file into a new image. On success the previous image is dropped and Generation()
  // grows; on failure the previous image (if any) stays and the problem says why.
  HiveProblem Load();
  // Why a file cannot be loaded, looking only at the file (used for messages).
  static HiveProblem Diagnose(const std::string& path);

  hive_h* Handle() const { return handle_; }
  // Grows with every Load and Commit that replaced the image; node handles from an older
  // generation are invalid.
  std::uint64_t Generation() const { return generation_; }
  // True when the file on disk is not the one this image was loaded from or committed to.
  bool ChangedOnDisk() const;
  // True when the user may replace the hive: the file and its folder are writable. A file or
  // folder with no write permission bit at all counts as read-only even for root, so that a
  // hive marked read-only is respected (and tested) the same way for every user.
  bool Writable() const;

  // Writes the image as the new hive file (see above). reapply is called, under the lock, only
  // when another process replaced the file and it was loaded again; it must apply the pending
  // edits to the new image and return false if it could not. Returns 0 or a Win32 status:
  // 5 (cannot write the folder or the lock), 2 or 1015 (the replaced file cannot be loaded),
  // 29 (a write, fsync or rename failed; the hive on disk is unchanged).
  long Commit(const std::function<bool()>& reapply);
  // How many commits replaced the file (for tests and the benchmark).
  std::uint64_t Commits() const { return commits_; }

  const std::string& Path() const { return path_; }

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
  static bool ReadIdentity(const std::string& path, Identity* identity);
  std::string Folder() const;
  std::string BaseName() const;
  void RemoveStaleTemporaries() const;

  std::string path_;
  hive_h* handle_ = nullptr;
  Identity identity_;
  std::uint64_t generation_ = 0;
  std::uint64_t commits_ = 0;
};

}  // namespace platform
