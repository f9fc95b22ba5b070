#pragma once

#include <filesystem>
#include <string>

#include "kavex/comm/comm_settings.h"

namespace kavex {

// Print settings, kept as the texts the Print dialog shows ("%-3u", "%-3.1f").
struct PrintSettings {
  std::string charsPerLine = "100";
  std::string lineInterval = "1.2";
  int printLarge = 1;

  bool operator==(const PrintSettings&) const = default;
};

// Everything Kavex.ini holds.
struct KavexSettings {
  std::string dataDir;
  CommSettings comm;
  PrintSettings print;
  bool showUpdateDialog = true;
  // The job's coordinate system of the GIS export and import ("EPSG:28992"), proposed again.
  // The window keeps it in its own state file: Kavex.ini holds its six lines and no more.
  std::string gisCrs;

  bool operator==(const KavexSettings&) const = default;
};

// Where Kavex.ini and Kavex.ibk live: KAVEX_CONFIG_DIR when set, else the per-user
// configuration folder given by the platform layer.
struct SettingsPaths {
  std::filesystem::path settingsFile;  // .../Kavex.ini
  std::filesystem::path backupFile;    // .../Kavex.ibk
};

// Defaults when there is no settings file; dataDir is the given default data directory.
KavexSettings DefaultSettings(const std::string& defaultDataDir);

// Parses the text of a settings file (memory form) over the defaults.
KavexSettings ParseSettings(const std::string& text, const std::string& defaultDataDir);
// The six lines the writer writes, LF-terminated (memory form).
std::string FormatSettings(const KavexSettings& settings);

// Reads the file, or gives the defaults when it cannot be read.
KavexSettings ReadSettings(const SettingsPaths& paths, const std::string& defaultDataDir);
// Writes the file, keeping the previous one as the backup. Never leaves the user without
// a settings file: the new file is written beside it before the old one is rotated.
bool WriteSettings(const SettingsPaths& paths, const KavexSettings& settings);

}  // namespace kavex
