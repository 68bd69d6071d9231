// Hive files as the engine meets them: the empty image it starts new hives from; damaged or
// unreadable files refused in words, never a crash; a save that keeps the file's owner, mode and
// attributes; a folder swapped under the hive; a fuzzer's damaged hive written soundly.
#include <gtest/gtest.h>
#include <hivex.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "base/Status.h"
#include "hive/EmptyHive.h"
#include "hive/HiveFormat.h"
#include "hive/posix/HiveFile.h"
#include "tests/hive/HiveTestSupport.h"

namespace {

using base::Failure;
using base::HiveProblem;
using hivetest::Bytes;
using hivetest::Hivexget;
using hivetest::kSettingsKey;
using hivetest::kSettingsKeyPath;
using hivetest::Utf16;

TEST(HiveFiles, TheEmptyImageIsAHiveThatLibhivexAccepts) {
  hivetest::TempFolder folder;
  const std::string path = folder / "EMPTY";
  Failure failure;
  ASSERT_TRUE(hivetest::WriteEmptyHive(path, &failure)) << failure.Text();
  EXPECT_FALSE(hivetest::WriteEmptyHive(path, &failure)) << "an existing file is never replaced";
  EXPECT_EQ(failure.Text(), "cannot create " + path + ": File exists");
  hivetest::HivexHandle hiveOwner(hivex_open(path.c_str(), 0));
  hive_h* hive = hiveOwner.get();
  ASSERT_NE(hive, nullptr);
  EXPECT_EQ(hivex_node_nr_children(hive, hivex_root(hive)), 0u);
  EXPECT_EQ(hivex_node_nr_values(hive, hivex_root(hive)), 0u);
  hiveOwner.reset();

  std::vector<std::uint8_t> image = hive::EmptyHiveImage(0);
  EXPECT_EQ(image.size(), hive::kHiveBaseBlockSize + hive::format::kBinUnit);
  image[hive::format::kFileName] ^= 1;  // a header byte changed without its checksum
  hivetest::WriteFile(path, std::string(image.begin(), image.end()));
  folder.Planted(path);
  EXPECT_EQ(hivex_open(path.c_str(), 0), nullptr);
}

Failure Load(const std::string& path) { return hive::HiveFile(path).Load(); }

TEST(HiveFiles, DamagedFilesAreReportedNeverCrash) {
  hivetest::TempFolder folder;
  const std::string good = hivetest::ReadFile(hivetest::WriteTestHive(folder, "GOOD"));
  auto flip = [&](std::size_t at) {
    std::string bytes = good;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
    return bytes;
  };
  struct Row {
    const char* name;
    std::string bytes;
    HiveProblem problem;
  } rows[] = {
      {"empty file", "", HiveProblem::kNotHive},
      {"text", "Windows Registry Editor Version 5.00\r\n", HiveProblem::kNotHive},
      {"header only", good.substr(0, hive::kHiveBaseBlockSize), HiveProblem::kCorrupt},
      {"truncated in the header", good.substr(0, 300), HiveProblem::kCorrupt},
      {"truncated in a bin", good.substr(0, 6000), HiveProblem::kCorrupt},
      {"header checksum", flip(hive::format::kChecksum), HiveProblem::kCorrupt},
      {"bin signature", flip(hive::kHiveBaseBlockSize), HiveProblem::kCorrupt},
  };
  for (const Row& row : rows) {
    const std::string path = folder / "SYSTEM";
    hivetest::WriteFile(path, row.bytes);
    folder.Planted(path);
    EXPECT_EQ(Load(path).problem, row.problem) << row.name;
  }
  EXPECT_EQ(Load(folder / "none").problem, HiveProblem::kMissing);
  // A file that cannot be read says why in the system's words (the program names the file); a
  // FIFO is refused at once instead of waiting for a writer.
  Failure failure = Load(folder.Path());
  EXPECT_EQ(failure.problem, HiveProblem::kUnreadable);
  EXPECT_EQ(failure.why, "Is a directory");
  const std::string fifo = folder / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  failure = Load(fifo);
  EXPECT_EQ(failure.problem, HiveProblem::kUnreadable);
  EXPECT_EQ(failure.why, "not a regular file");
}

std::string Attribute(const std::string& path, const char* name) {
  char value[4096];
  const ssize_t size = getxattr(path.c_str(), name, value, sizeof value);
  return size < 0 ? "(none)" : std::string(value, static_cast<std::size_t>(size));
}

// A save replaces the file, yet the hive keeps its owner, mode and extended attributes; on an
// NTFS volume (ntfs-3g, when it runs here) these carry the file's NTFS attributes, creation time
// and security descriptor.
TEST(HiveFiles, ASaveKeepsOwnerModeAndExtendedAttributes) {
  hivetest::TempFolder folder;
  struct Volume {
    std::string name;
    std::string folder;
    std::vector<const char*> attributes;
  };
  std::vector<Volume> volumes{{"local", folder / "local", {"user.origin"}}};
  const bool ntfs =
      geteuid() == 0 &&
      hivetest::Run("command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null && echo yes") == "yes\n";
  if (ntfs) {
    const std::string image = folder / "ntfs.img";
    int status = -1;
    hivetest::Run("truncate -s 16M " + image + " && mkntfs -F -Q -q " + image + " >/dev/null 2>&1 && mkdir " +
                      folder / "ntfs" + " && ntfs-3g " + image + " " + folder / "ntfs" + " 2>&1",
                  &status);
    if (status == 0)
      volumes.push_back({"ntfs",
                         folder / "ntfs",
                         {"user.origin", "system.ntfs_attrib", "system.ntfs_crtime", "system.ntfs_acl"}});
  }
  if (volumes.size() == 1) std::printf("NTFS volume not tested: needs root, mkntfs, ntfs-3g and FUSE\n");
  struct Unmount {
    std::string path;
    ~Unmount() {
      if (!path.empty()) hivetest::Run("umount " + hivetest::Quote(path));
    }
  } unmount{volumes.size() == 2 ? volumes[1].folder : std::string()};
  for (const Volume& volume : volumes) {
    std::filesystem::create_directories(volume.folder);
    const std::string hive = volume.folder + "/SYSTEM";
    const Failure failure = hive::WriteNewHive(hive, hivetest::TestHive());
    ASSERT_FALSE(failure.Failed()) << failure.Text();
    ASSERT_EQ(setxattr(hive.c_str(), "user.origin", "installer", 9, 0), 0) << volume.name;
    if (volume.name == "ntfs") {
      const std::uint8_t hiddenSystemArchive[4] = {0x26, 0, 0, 0};
      ASSERT_EQ(setxattr(hive.c_str(), "system.ntfs_attrib", hiddenSystemArchive, 4, 0), 0);
    } else {
      chmod(hive.c_str(), 0640);
      if (geteuid() == 0) {
        ASSERT_EQ(chown(hive.c_str(), 1234, 5678), 0);
      }
    }
    struct stat before {};
    stat(hive.c_str(), &before);
    std::vector<std::string> kept;
    for (const char* name : volume.attributes) kept.push_back(Attribute(hive, name));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));

    std::string error;
    ASSERT_EQ(hivetest::SaveValue(hive, kSettingsKeyPath, u"QLDRV_LOD_BIAS", hivetest::kRegSz, Utf16(u"2"),
                                  {}, nullptr, &error),
              0)
        << volume.name << ": " << error;
    struct stat after {};
    stat(hive.c_str(), &after);
    EXPECT_NE(after.st_ino, before.st_ino) << volume.name << ": the save replaced the file";
    EXPECT_EQ(after.st_mode, before.st_mode) << volume.name;
    EXPECT_EQ(after.st_uid, before.st_uid) << volume.name;
    EXPECT_EQ(after.st_gid, before.st_gid) << volume.name;
    for (std::size_t i = 0; i < kept.size(); ++i)
      EXPECT_EQ(Attribute(hive, volume.attributes[i]), kept[i]) << volume.name << " " << volume.attributes[i];
    EXPECT_NE(Hivexget(hive, kSettingsKey).find("\"QLDRV_LOD_BIAS\"=\"2\""), std::string::npos)
        << volume.name;
  }
}

// The hive's folder, or one above it, swapped between the load and the save (moved away, a
// link or another folder in its place): the save is refused in words, and neither the hive
// elsewhere that the path now leads to nor its log is touched, nor the one that moved.
TEST(HiveFiles, AFolderSwappedAfterTheLoadIsNeverWrittenThrough) {
  struct Row {
    const char* name;
    const char* moved;  // the folder moved away, below the scratch folder
    bool link;          // a link in its place, else a copy of the other folder
  } rows[] = {
      {"the hive's folder, a link in its place", "top/hive", true},
      {"the folder above, a link in its place", "top", true},
      {"the hive's folder, another folder in its place", "top/hive", false},
  };
  for (const Row& row : rows) {
    hivetest::TempFolder scratch;
    std::filesystem::create_directories(scratch / "top/hive");
    std::filesystem::create_directories(scratch / "other/hive");
    const std::string hive = scratch / "top/hive/SYSTEM";
    hivetest::WriteBytes(hive, hivetest::TestHive());
    std::filesystem::copy_file(hive, scratch / "other/hive/SYSTEM");
    hivetest::WriteFile(scratch / "other/hive/SYSTEM.LOG1", "the other hive's log");
    const std::string before = hivetest::ReadFile(hive);

    hive::HiveFile file(hive);
    ASSERT_FALSE(file.Load().Failed()) << row.name;
    const Bytes two = Utf16(u"2");
    ASSERT_EQ(file.Image().SetValue(hivetest::KeyAt(file.Image(), kSettingsKeyPath), u"QLDRV_LOD_BIAS",
                                    hivetest::kRegSz, two.data(), static_cast<std::uint32_t>(two.size())),
              0)
        << row.name;
    const std::string moved = scratch / row.moved;
    ASSERT_EQ(rename(moved.c_str(), (moved + ".moved").c_str()), 0) << row.name;
    const std::string other = scratch / (std::string(row.moved) == "top" ? "other" : "other/hive");
    if (row.link)
      ASSERT_EQ(symlink(other.c_str(), moved.c_str()), 0) << row.name;
    else
      std::filesystem::copy(other, moved);

    EXPECT_EQ(file.Commit([] { return false; }), base::kWriteFault) << row.name;
    EXPECT_NE(file.CommitError().find("the folder " + scratch / "top/hive" +
                                      " is no longer the one the hive was loaded from"),
              std::string::npos)
        << row.name << ": " << file.CommitError();
    EXPECT_EQ(hivetest::ReadFile(scratch / "other/hive/SYSTEM"), before) << row.name;
    EXPECT_EQ(hivetest::ReadFile(scratch / "other/hive/SYSTEM.LOG1"), "the other hive's log") << row.name;
    EXPECT_EQ(hivetest::ReadFile(scratch / (std::string(row.moved) + ".moved") +
                                 (std::string(row.moved) == "top" ? "/hive/SYSTEM" : "/SYSTEM")),
              before)
        << row.name;
  }
}

// A fuzzer's damaged hive (its input less the 8 bytes of lengths), on which an earlier writer
// aborted the process: writes to it are made or refused, never a crash, and what was saved loads
// again and holds them.
TEST(HiveFiles, AFuzzersDamagedHiveIsWrittenSoundlyOrRefused) {
  hivetest::TempFolder folder;
  const std::string hive = folder / "SYSTEM";
  hivetest::WriteFile(hive, hivetest::ReadFile(FUZZ_REGRESSIONS_DIR "/hive/set-values-abort").substr(8));
  folder.Planted(hive);
  long set = -1;
  {
    hive::HiveFile file(hive);
    ASSERT_FALSE(file.Load().Failed());
    const hive::HiveImage::Node select = hivetest::KeyAt(file.Image(), u"Select");
    ASSERT_NE(select, 0u);
    const std::uint8_t value[4] = {3, 0, 0, 0};
    set = file.Image().SetValue(select, u"Current", hivetest::kRegDword, value, sizeof value);
    EXPECT_TRUE(set == 0 || set == base::kRegistryCorrupt) << set;
    file.Image().DeleteValue(select, u"Default");
    EXPECT_EQ(file.Commit([] { return false; }), 0) << file.CommitError();
  }
  hive::HiveFile again(hive);
  ASSERT_FALSE(again.Load().Failed());
  hive::HiveImage::Value current;
  const hive::HiveImage::Node select = hivetest::KeyAt(again.Image(), u"Select");
  if (set == 0) {
    ASSERT_EQ(again.Image().FindValue(select, u"Current", &current), 0);
    std::vector<std::uint8_t> data(current.size);
    ASSERT_EQ(again.Image().ReadValue(current, data.data()), 0);
    EXPECT_EQ(data, (std::vector<std::uint8_t>{3, 0, 0, 0}));
  }
}

}  // namespace
