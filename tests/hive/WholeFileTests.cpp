// The program's whole-file writes (platform/Files.h: profiles), on the POSIX file helpers: a
// failed write leaves the old file, a link at the name is replaced and never followed, and modes
// are kept.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <span>

#include "platform/Files.h"
#include "platform/Status.h"
#include "tests/hive/HiveTestSupport.h"

namespace {

// The names in a folder: a replaced file leaves no temporary file behind.
std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A write cut short (here by the file size limit) leaves the file that was there whole.
TEST(WholeFileTest, AFailedWriteLeavesTheOldFileAsItWas) {
  hivetest::TempFolder folder;
  const std::string path = folder / "profile.reg";
  hivetest::WriteFile(path, "the old profile\n");
  const std::string large(100000, 'x');
  std::u16string why;
  bool created = false;
  struct rlimit limit {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
  const struct rlimit small = {4096, limit.rlim_max};
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const long status =
      platform::WriteWholeFile(std::u16string(path.begin(), path.end()), Bytes(large), &why, &created);
  setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, previous);
  EXPECT_NE(status, platform::kSuccess);
  EXPECT_TRUE(created) << "made, not written whole";
  EXPECT_EQ(why, u"File too large");
  EXPECT_EQ(hivetest::ReadFile(path), "the old profile\n");
  EXPECT_EQ(Names(folder.Path()), std::set<std::string>{"profile.reg"});
}

// A link at the name, as another user could plant in a shared folder, is replaced by the file;
// what it points to is never written.
TEST(WholeFileTest, ReplacesALinkAndNeverWhatItPointsTo) {
  hivetest::TempFolder folder;
  const std::string target = folder / "target";
  hivetest::WriteFile(target, "keep\n");
  for (const char* pointsTo : {"target", "missing"}) {
    const std::string link = folder / "profile.reg";
    ASSERT_EQ(symlink(pointsTo, link.c_str()), 0);
    bool created = false;
    EXPECT_EQ(
        platform::WriteWholeFile(std::u16string(link.begin(), link.end()), Bytes("new\n"), nullptr, &created),
        platform::kSuccess);
    struct stat made {};
    ASSERT_EQ(lstat(link.c_str(), &made), 0);
    EXPECT_TRUE(S_ISREG(made.st_mode)) << pointsTo;
    EXPECT_EQ(hivetest::ReadFile(link), "new\n");
    EXPECT_EQ(hivetest::ReadFile(target), "keep\n");
    EXPECT_EQ(Names(folder.Path()), (std::set<std::string>{"profile.reg", "target"})) << pointsTo;
    ASSERT_EQ(unlink(link.c_str()), 0);
  }
}

// A new file gets the umask's mode, a replaced one keeps its own; a device is written in place;
// what cannot be made is told as such, and leaves nothing behind.
TEST(WholeFileTest, ModesAndPlaces) {
  hivetest::TempFolder folder;
  const mode_t umaskBefore = umask(027);
  struct Case {
    std::string path;
    int oldMode;  // -1: no file there before
    long status;
    bool created;
    int mode;  // of the file afterwards; -1: not checked
  } cases[] = {
      {folder / "new.reg", -1, platform::kSuccess, false, 0640},
      {folder / "private.reg", 0600, platform::kSuccess, false, 0600},
      {folder / "shared.reg", 0664, platform::kSuccess, false, 0664},
      {"/dev/null", -1, platform::kSuccess, true, -1},
      {folder / "none/x.reg", -1, platform::kFileNotFound, false, -1},
      {folder.Path(), -1, platform::kWriteFault, false, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    if (c.oldMode >= 0) {
      hivetest::WriteFile(c.path, "old");
      ASSERT_EQ(chmod(c.path.c_str(), static_cast<mode_t>(c.oldMode)), 0);
    }
    bool created = !c.created;
    EXPECT_EQ(platform::WriteWholeFile(std::u16string(c.path.begin(), c.path.end()), Bytes("new"), nullptr,
                                       &created),
              c.status);
    EXPECT_EQ(created, c.created);
    if (c.mode >= 0) {
      struct stat made {};
      ASSERT_EQ(stat(c.path.c_str(), &made), 0);
      EXPECT_EQ(made.st_mode & 07777, static_cast<mode_t>(c.mode));
      EXPECT_EQ(hivetest::ReadFile(c.path), "new");
    }
  }
  umask(umaskBefore);
  EXPECT_EQ(Names(folder.Path()), (std::set<std::string>{"new.reg", "private.reg", "shared.reg"}));
}

}  // namespace
