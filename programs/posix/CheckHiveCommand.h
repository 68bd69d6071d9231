#pragma once
// --check-hive FILE: the structural check of a hive file (hive/HiveCheck.h), read only; a dirty
// hive is checked as its logs recover it, in memory.
#include <string>

// Prints each fault and warning with its file offset, then a summary line naming the file as
// given. 0 when the hive is sound (warnings allowed), 65 when it is damaged or no hive, 66 when it
// cannot be read.
int CheckHiveCommand(const std::string& path);
