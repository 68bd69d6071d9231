#pragma once
// Helpers of the hive engine's tests: a scratch folder per test, files, the independent readers'
// view of a hive, a small hive and dirty logs made by our own code, the engine's view of every
// value, and a hive saved the way the program saves one. Nothing here uses the program's
// platform layer; the store's tests add theirs in StoreTestSupport.h.
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
#include "hive/HiveImage.h"
#include "hive/HiveRecovery.h"
#include "hive/posix/HiveBackups.h"
#include "hive/posix/HiveFile.h"
#include "hive/posix/HiveLogs.h"

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

// The names in a folder, sorted (none when it cannot be listed).
inline std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

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
// read it cleanly. A reader that is not installed is named in *skipped instead; the one named by
// without is left out (it is known not to read such a hive), which is no skipped check.
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
    if (reader.program == without) continue;
    if (Run(std::string("command -v ") + reader.program + " >/dev/null && echo yes") != "yes\n") {
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

inline constexpr char kBoardKey[] =
    "ControlSet001\\Control\\Video\\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\\0000";
inline const std::string kSettingsKey = std::string(kBoardKey) + "\\D3D";
// The same below the hive's root, as the engine walks it.
inline constexpr char16_t kBoardKeyPath[] =
    u"ControlSet001\\Control\\Video\\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\\0000";
inline const std::u16string kSettingsKeyPath = std::u16string(kBoardKeyPath) + u"\\D3D";

// Value types, as the registry numbers them.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

inline std::vector<std::uint8_t> Utf16(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  for (char16_t c : text)
    bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

using Bytes = std::vector<std::uint8_t>;

inline Bytes ReadBytes(const std::string& path) {
  const std::string text = ReadFile(path);
  return Bytes(text.begin(), text.end());
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
  WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

// A small hive made by the engine, clean: Select (Current, Default, Failed, LastKnownGood) and a
// board's adapter key (kBoardKey) with a few values and its D3D subkey with the tuning values.
Bytes TestHive(std::uint64_t filetime = hive::FiletimeNow());
// TestHive written as name in folder; its path.
std::string WriteTestHive(const TempFolder& folder, const std::string& name = "SYSTEM");

// The key at path (backslashes between names) below the image's root; 0 when it is missing.
hive::HiveImage::Node KeyAt(const hive::HiveImage& image, std::u16string_view path);
// The hive's bytes with one value set (data given) or deleted (none), in memory.
Bytes Edited(const Bytes& hive, std::u16string_view key, std::u16string_view name, std::uint32_t type,
             const std::optional<Bytes>& data);

// The base block's checksum made right after a change.
void SetChecksum(Bytes& base);
// The hashes of the new-format log entry at offset at made right.
void HashEntry(Bytes& log, std::size_t at);
// A new-format log whose one entry (sequence number sequence) holds every page of after's bins.
Bytes NewFormatLog(const Bytes& after, std::uint32_t sequence);
// A hive that Windows left dirty, of our own making: the primary is before with the sequence
// numbers of a write begun (sequence + 1 / sequence), and its LOG1 holds one entry (sequence)
// with every page of after, which the primary lacks. It loads as after.
struct DirtyFiles {
  Bytes primary;
  Bytes log1;
};
DirtyFiles MakeDirty(const Bytes& before, const Bytes& after, std::uint32_t sequence = 2);

// Every value of the image, in HivexValues' form: "key path<TAB>name<TAB>type<TAB>data in hex",
// one per line, sorted.
std::string ImageValues(const hive::HiveImage& image);

// What is wrong with a hive file's bytes in the structure, in words; empty when nothing is.
// The one place where the crash and save tests judge a hive's structure.
std::string StructuralFaults(const Bytes& bytes);

// One run of the program's save, on the engine: loads the hive, sets (or, without data,
// deletes) one value in key, commits with these backup places. 0 or the status of what failed
// (-1: the hive did not load or the key is missing); *backup gets the backup's folder, *error
// the commit's words.
long SaveValue(const std::string& hive, std::u16string_view key, std::u16string_view name, std::uint32_t type,
               const std::optional<Bytes>& data, const hive::BackupPlaces& places = {},
               std::string* backup = nullptr, std::string* error = nullptr);

}  // namespace hivetest
