#pragma once
// Finding a hive's transaction logs in its folder, by name as Windows compares names.
#include <string>
#include <vector>

namespace hive {

// The names in a folder that belong to the hive named hiveName as its logs (compared with case
// folded, as Windows compares them); empty when there is none. ambiguous when two names fold
// to the same log name.
struct HiveLogNames {
  std::string log, log1, log2;
  bool ambiguous = false;
  std::vector<std::string> all;  // every name that matches, in folder order
};
HiveLogNames FindHiveLogs(const std::string& folder, const std::string& hiveName);
// The same in an open folder.
HiveLogNames FindHiveLogs(int folder, const std::string& hiveName);

}  // namespace hive
