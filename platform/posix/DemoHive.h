#pragma once
// The demo data folder that the POSIX program uses when it is given no hive: a SYSTEM hive with
// two display adapters (a plain one, then the board), and the simulated board's file that lists
// them. Created on first use; an existing folder is never touched.
//
// The demo hive: Select (Current, Default, LastKnownGood = 1, Failed = 0) and ControlSet001 with
// Control\Video\{GUID}\0000 for each adapter. The board's key holds the hardware information
// as a board's driver stores it (texts as UTF-16 with their terminators in REG_BINARY or
// REG_SZ, the memory size as a 4-byte REG_BINARY), its four raw values and a D3D subkey with a
// few tuning values as decimal texts.
#include <string>

#include "base/Failure.h"

namespace platform {

inline constexpr char16_t kDemoPlainKey[] =
    u"\\Registry\\Machine\\System\\ControlSet001\\Control\\Video\\{2F0A3C44-7B1D-4E2A-9C3B-5D6E7F809A1B}"
    u"\\0000";
inline constexpr char16_t kDemoBoardKey[] =
    u"\\Registry\\Machine\\System\\ControlSet001\\Control\\Video\\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}"
    u"\\0000";
inline constexpr char kDemoHiveName[] = "SYSTEM";
inline constexpr char kDemoBoardName[] = "board";

// $XDG_DATA_HOME/configurator, or ~/.local/share/configurator; empty when neither XDG_DATA_HOME
// nor HOME is set to an absolute path.
std::string DefaultDataFolder();

enum class DemoFolder { kExisting, kCreated, kFailed };

// Makes the data folder with the demo hive and board file unless something exists at that path
// already. The folder is assembled under a temporary name beside it and renamed into place, so
// it is either complete or absent, and a second program starting at the same moment finds one
// or the other. On kFailed, *failure says why.
DemoFolder EnsureDemoFolder(const std::string& folder, base::Failure* failure);

// Writes the demo hive at path (which must not exist); false, with *failure saying why, on
// failure.
bool WriteDemoHive(const std::string& path, base::Failure* failure);

}  // namespace platform
