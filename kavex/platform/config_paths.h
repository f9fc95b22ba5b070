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

// Kavex's read-only data (the manual): share/kavex beside the program's bin folder, so the
// build tree, the install prefix and an unpacked package each find their own.
std::string DataDir();

// The manual's first page: help/index.html in the data folder.
std::string HelpFilePath();

}  // namespace kavex
