#pragma once
// Helpers of the hive tests: a scratch folder per test, files, hivexget's view of a hive, and
// the store's values read and written as the program does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <hivex.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/ByteOrder.h"
#include "base/posix/FileIo.h"
#include "hive/EmptyHive.h"
#include "hive/HiveCheck.h"
#include "hive/HiveFormat.h"
#include "hive/HiveRecovery.h"
#include "hive/posix/HiveFile.h"
#include "hive/posix/HiveLogs.h"
#include "platform/posix/DemoHive.h"
#include "platform/posix/HiveStore.h"

namespace hivetest {

// A libhivex handle (null: none): the tests' independent reader and writer of hive files.
struct HivexCloser {
  void operator()(hive_h* hive) const { hivex_close(hive); }
};
using HivexHandle = std::unique_ptr<hive_h, HivexCloser>;

// A new, empty hive at path (never replacing a file); false, with *failure saying why, on failure.
inline bool WriteEmptyHive(const std::string& path, base::Failure* failure) {
  *failure = hive::WriteNewHive(path, hive::EmptyHiveImage(hive::FiletimeNow()));
  return !failure->Failed();
}

// A folder that lives as long as the object, removed with everything in it (permissions
// restored first, as tests make parts of it read-only).
class TempFolder {
 public:
  TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && base[0] == '/' ? base : "/tmp") + "/hive-test.XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) m_path = pattern;
  }
  ~TempFolder() {
    CheckHives();
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, ignored)) {
      chmod(entry.path().c_str(), 0755);
    }
    chmod(m_path.c_str(), 0755);
    std::filesystem::remove_all(m_path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + "/" + name; }

  // The hive at path was made by the test itself as it is now: damaged on purpose, or by another
  // writer (libhivex writes "lh" lists into hives of format 1.3). The check at the end passes
  // these bytes wherever they lie (a backup of them, say); a hive saved over them at path may not
  // have more faults of any kind than they had.
  void Planted(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (base::ReadFileBytes(path, &bytes) != 0) return;
    m_plantedBytes.push_back(bytes);
    m_planted[path] = FaultKinds(hive::CheckHive(bytes));
  }

 private:
  using Kinds = std::map<hive::HiveFindingKind, std::size_t>;
  static std::string Hex(std::size_t offset) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%zx", offset);
    return text;
  }
  static Kinds FaultKinds(const hive::HiveCheckReport& report) {
    Kinds kinds;
    for (const hive::HiveFinding& finding : report.findings)
      if (finding.severity == hive::HiveFinding::Severity::kFault) ++kinds[finding.kind];
    return kinds;
  }

  // Every hive a test saved and left in the folder passes the structural check: a dirty one as
  // recovered from the logs beside it. Not checked: logs, a killed commit's temporary file, a
  // dirty hive that its logs cannot recover (our saves write clean hives only) and what the test
  // planted (see Planted).
  void CheckHives() const {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, ignored)) {
      const std::string name = entry.path().filename();
      if (!entry.is_regular_file(ignored) || (name[0] == '.' && name.find(".tmp.") != std::string::npos))
        continue;
      const std::string path = entry.path();
      std::vector<std::uint8_t> bytes;
      if (base::ReadFileBytes(path, &bytes) != 0 || bytes.size() < hive::kHiveBaseBlockSize ||
          !hive::format::HasSignature(bytes.data(), hive::format::kBaseBlockSignature) ||
          base::ReadLittleEndian32(&bytes[hive::format::kFileType]) != hive::format::kPrimaryFile ||
          std::find(m_plantedBytes.begin(), m_plantedBytes.end(), bytes) != m_plantedBytes.end())
        continue;
      const std::string folder = entry.path().parent_path();
      const hive::HiveLogNames names = hive::FindHiveLogs(folder, name);
      hive::HiveLogs logs;
      for (auto [logName, log] : {std::pair{&names.log, &logs.log}, std::pair{&names.log1, &logs.log1},
                                  std::pair{&names.log2, &logs.log2}}) {
        std::vector<std::uint8_t> logBytes;
        if (!logName->empty() && base::ReadFileBytes(folder + "/" + *logName, &logBytes) == 0)
          *log = hive::HiveLogFile{*logName, std::move(logBytes), {}};
      }
      hive::HiveRecovery recovery = hive::RecoverHive(bytes, logs);
      if (recovery.outcome == hive::HiveRecovery::Outcome::kRefused && recovery.dirty) continue;
      const bool recovered = recovery.outcome == hive::HiveRecovery::Outcome::kRecovered;
      const hive::HiveCheckReport report = hive::CheckHive(recovered ? recovery.image : bytes);
      const auto planted = m_planted.find(path);
      const Kinds before = planted != m_planted.end() ? planted->second : Kinds{};
      const Kinds after = FaultKinds(report);
      if (std::all_of(after.begin(), after.end(), [&](const auto& kind) {
            const auto was = before.find(kind.first);
            return was != before.end() && was->second >= kind.second;
          }))
        continue;
      std::string faults;
      for (const hive::HiveFinding& finding : report.findings)
        if (finding.severity == hive::HiveFinding::Severity::kFault)
          faults += "\n  " + Hex(finding.offset) + ": " + finding.text;
      ADD_FAILURE() << path << (recovered ? " (recovered from its logs)" : "") << " fails the hive check"
                    << (planted != m_planted.end() ? " with faults its planted bytes did not have:" : ":")
                    << faults;
    }
  }

  std::string m_path;
  std::map<std::string, Kinds> m_planted;
  std::vector<std::vector<std::uint8_t>> m_plantedBytes;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The output of a command, and its exit status in *status.
inline std::string Run(const std::string& command, int* status = nullptr) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  const int result = pclose(pipe);
  if (status != nullptr) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return output;
}

inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// hivexget's listing of one key ("name"=value lines), read by the tool itself, not by us.
inline std::string Hivexget(const std::string& hive, const std::string& key) {
  return Run("hivexget " + Quote(hive) + " " + Quote(key) + " 2>&1");
}

// What the independent readers of hive files (regfexport, reged -x, hivexregedit --export)
// complain of when they read a hive: their words, one reader per line, empty when every reader
// read it cleanly. A reader that is not installed is named in *skipped instead; so is the one
// named by without.
inline std::string ReaderComplaints(const std::string& hive, std::string* skipped,
                                    const std::string& without = "") {
  struct Reader {
    const char* program;
    std::string command;
  } readers[] = {
      {"regfexport", "regfexport " + Quote(hive)},
      {"reged", "reged -x " + Quote(hive) + " 'HKEY_LOCAL_MACHINE\\SYSTEM' '\\' /dev/null"},
      {"hivexregedit", "hivexregedit --export " + Quote(hive) + " '\\'"},
  };
  // Their words for trouble (value names such as ErrorControl must not count).
  std::string complaints;
  for (const Reader& reader : readers) {
    if (reader.program == without ||
        Run(std::string("command -v ") + reader.program + " >/dev/null && echo yes") != "yes\n") {
      *skipped += std::string(skipped->empty() ? "" : ", ") + reader.program;
      continue;
    }
    int status = -1;
    const std::string output = Run(reader.command + " 2>&1", &status);
    std::string words;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
      std::string lower;
      for (char c : line) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      for (const char* mark : {"warning", "corrupt", "unable to", "error:", "bad address", "invalid"}) {
        if (lower.find(mark) != std::string::npos) {
          words += line + "; ";
          break;
        }
      }
    }
    if (status != 0 || !words.empty())
      complaints += std::string(reader.program) + " (exit " + std::to_string(status) + "): " + words + "\n";
  }
  return complaints;
}

// Every value of a hive as libhivex reads it (through its Perl binding): one line per value,
// "key path<TAB>name<TAB>type<TAB>data in hex", sorted. Empty when the binding is missing.
inline std::string HivexValues(const std::string& hive) {
  static const char kScript[] =
      "use Win::Hivex; binmode STDOUT, ':utf8'; my $h = Win::Hivex->open($ARGV[0]) or die;"
      "sub walk { my ($n, $p) = @_;"
      " for my $v ($h->node_values($n)) { my ($t, $d) = $h->value_value($v);"
      "  printf \"%s\\t%s\\t%d\\t%s\\n\", $p, $h->value_key($v), $t, unpack('H*', $d); }"
      " for my $c ($h->node_children($n)) { walk($c, $p . '\\\\' . $h->node_name($c)); } }"
      "walk($h->root(), '');";
  return Run("perl -e " + Quote(kScript) + " " + Quote(hive) + " 2>&1 | LC_ALL=C sort");
}

// The demo hive written into a folder; its path.
inline std::string DemoHive(const TempFolder& folder, const std::string& name = "SYSTEM") {
  base::Failure failure;
  const std::string path = folder / name;
  platform::WriteDemoHive(path, &failure);
  return path;
}

inline constexpr char kBoardKey[] =
    "ControlSet001\\Control\\Video\\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\\0000";
inline constexpr char16_t kBoardPath[] =
    u"System\\ControlSet001\\Control\\Video\\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\\0000";
inline constexpr char16_t kBoardCurrentPath[] =
    u"System\\CurrentControlSet\\Control\\Video\\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\\0000";

inline const std::u16string kSettingsPath = std::u16string(kBoardCurrentPath) + u"\\D3D";
inline const std::string kSettingsKey = std::string(kBoardKey) + "\\D3D";

inline std::vector<std::uint8_t> Utf16(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  for (char16_t c : text)
    bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

inline std::unique_ptr<platform::HiveStore> LoadOrFail(
    const std::string& path,
    platform::HiveStore::CommitPolicy policy = platform::HiveStore::CommitPolicy::kDeferred) {
  base::Failure failure;
  auto store = platform::HiveStore::Load(path, &failure, policy);
  EXPECT_EQ(failure.problem, base::HiveProblem::kNone) << path;
  return store;
}

// Sets one value with its own open and close, as the program does.
inline long SetValue(platform::Registry& registry, const std::u16string& path, std::u16string_view name,
                     std::uint32_t type, const std::vector<std::uint8_t>& data) {
  platform::RegKey key = 0;
  if (const long status = registry.Open(path, platform::kKeyWrite, &key); status != 0) return status;
  const long status = registry.Set(key, name, type, data.data(), static_cast<std::uint32_t>(data.size()));
  registry.Close(key);
  return status;
}

inline std::optional<std::vector<std::uint8_t>> QueryValue(platform::Registry& registry,
                                                           const std::u16string& path,
                                                           std::u16string_view name,
                                                           std::uint32_t* type = nullptr) {
  platform::RegKey key = 0;
  if (registry.Open(path, platform::kKeyRead, &key) != 0) return std::nullopt;
  std::vector<std::uint8_t> data(4096);
  auto size = static_cast<std::uint32_t>(data.size());
  const long status = registry.Query(key, name, type, data.data(), &size);
  registry.Close(key);
  if (status != 0) return std::nullopt;
  data.resize(size);
  return data;
}

}  // namespace hivetest
