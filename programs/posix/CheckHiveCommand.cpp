#include "programs/posix/CheckHiveCommand.h"

#include <cstdio>

#include "app/TuningCommands.h"
#include "hive/posix/Hive.h"

namespace {

std::string Counted(std::size_t count, const char* thing) {
  return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

}  // namespace

int CheckHiveCommand(const std::string& path) {
  const hive::HiveFileCheck check = hive::CheckHiveFile(path);
  switch (check.failure.problem) {
    case base::HiveProblem::kNone:
    case base::HiveProblem::kCorrupt:
      break;
    case base::HiveProblem::kMissing:
      std::fprintf(stderr, "configurator: %s: no such hive file\n", path.c_str());
      return sysexits::kNoInput;
    case base::HiveProblem::kUnreadable:
      std::fprintf(stderr, "configurator: %s: cannot read the hive file: %s\n", path.c_str(),
                   check.failure.why.c_str());
      return sysexits::kNoInput;
    case base::HiveProblem::kNotHive:
      std::fprintf(stderr, "configurator: %s: not a registry hive file\n", path.c_str());
      return sysexits::kDataError;
  }
  if (!check.logsUsed.empty()) {
    std::string logs;
    for (const std::string& log : check.logsUsed) logs += (logs.empty() ? "" : ", ") + log;
    std::printf("%s: checked the hive as recovered from its logs %s (in memory; the files are unchanged)\n",
                path.c_str(), logs.c_str());
  }
  if (!check.notWhole.empty()) std::printf("%s: note: %s\n", path.c_str(), check.notWhole.c_str());
  if (!check.notRecovered.empty())
    std::printf("%s: %s; checked the file as it is\n", path.c_str(), check.notRecovered.c_str());

  const hive::HiveCheckReport& report = check.report;
  std::size_t faults = 0, warnings = 0;
  for (const hive::HiveFinding& finding : report.findings) {
    const bool fault = finding.severity == hive::HiveFinding::Severity::kFault;
    (fault ? faults : warnings) += 1;
    std::printf("0x%08zx  %-7s  %s\n", finding.offset, fault ? "fault" : "warning", finding.text.c_str());
  }
  if (faults < report.faults || warnings < report.warnings)
    std::printf("... and %s and %s more, not shown\n", Counted(report.faults - faults, "fault").c_str(),
                Counted(report.warnings - warnings, "warning").c_str());
  const std::string checked = Counted(report.keys, "key") + ", " + Counted(report.values, "value") + ", " +
                              Counted(report.cells, "cell") + " in " + Counted(report.bins, "bin");
  if (report.Sound()) {
    std::printf("%s: sound, %s (%s)\n", path.c_str(), Counted(report.warnings, "warning").c_str(),
                checked.c_str());
    return sysexits::kOk;
  }
  std::printf("%s: damaged: %s, %s (%s)\n", path.c_str(), Counted(report.faults, "fault").c_str(),
              Counted(report.warnings, "warning").c_str(), checked.c_str());
  return sysexits::kDataError;
}
