#pragma once

#include <filesystem>
#include <string>

namespace kavex {

// The device paths behind "COM1" and "COM2" of "Comm Status". Kept in their own small file
// beside Kavex.ini, so the settings file's layout stays as it is.
struct PortPaths {
  std::string com1;
  std::string com2;
  // The adapters' serial numbers, so each is found again under another device name.
  std::string com1Serial;
  std::string com2Serial;

  bool operator==(const PortPaths&) const = default;
};

// The first two serial ports the machine has (in name order), else /dev/ttyS0 and
// /dev/ttyS1 (COM1 and COM2 on Windows).
PortPaths DefaultPortPaths();

// KavexPorts.ini in KAVEX_CONFIG_DIR when set, else in the per-user configuration folder.
std::filesystem::path PortPathsFile();

// The stored paths; a missing file or an empty entry gives the default.
PortPaths LoadPortPaths(const std::filesystem::path& file);
bool SavePortPaths(const std::filesystem::path& file, const PortPaths& paths);

}  // namespace kavex
