#pragma once

#include <filesystem>
#include <string>

#include "kavex/shell/settings_file.h"

namespace kavex {

// Kavex.ini and Kavex.ibk: in KAVEX_CONFIG_DIR when it is set, else in the per-user
// configuration folder.
SettingsPaths KavexSettingsPaths();

// The data directory when the settings name none that exists: the user's home.
std::string DefaultDataDir();

// Where unfinished downloads are captured: Kavex/Captures in the per-user data folder
// (~/.local/share/Kavex/Captures on Linux).
std::filesystem::path KavexCaptureFolder();

// The help file, looked for beside the program.
std::string HelpFilePath();

}  // namespace kavex
