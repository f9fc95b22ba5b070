#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace ulvo {

// Where ULVO finds IIF/, Formats/, help/, ulvo.tft, Settings.xml and writes temp.xml.
struct ProgramFolderSources {
  std::string homeVariable;                // value of ULVO_HOME, empty when unset
  std::filesystem::path executableDir;     // folder of the running program
  std::filesystem::path userDataDir;       // per-user data folder
  std::filesystem::path installedDataDir;  // read-only data installed with the program
};

// ULVO_HOME when set; else the executable's folder when it holds IIF/ or Formats/ (build
// tree, portable install); else the per-user folder, brought up to date from the installed
// copy first (SeedUserFolder).
std::filesystem::path ResolveProgramFolder(const ProgramFolderSources& sources);

// Copies the installed files into the per-user folder, remembering in kShippedList what
// each copy held. A file the user has changed, added or deleted stays as the user left it;
// a copy still as shipped is replaced by a newer shipped version; new shipped files are
// copied. A file that was there before any list was kept is the user's unless it equals the
// shipped one.
void SeedUserFolder(const std::filesystem::path& installed, const std::filesystem::path& user);
inline constexpr const char* kShippedList = ".shipped-files";

// The list's content: relative path -> SHA-256 (hex) of the copy made, as lines
// "<digest>  <relative path>"; a line of another form is skipped.
using ShippedDigests = std::map<std::string, std::string>;
ShippedDigests ReadShippedList(const std::filesystem::path& file);
// False when it could not be written (the previous list then stays).
bool WriteShippedList(const std::filesystem::path& file, const ShippedDigests& digests);

// The installed data seen from the program's folder: share/ulvo beside bin/, wherever the
// tree was installed or unpacked.
std::filesystem::path InstalledDataDir(const std::filesystem::path& executableDir);

// The sources of this process: environment, executable path, per-user and installed folders.
ProgramFolderSources CurrentProgramFolderSources();

// Convenience: ResolveProgramFolder(CurrentProgramFolderSources()), or override when not empty.
std::filesystem::path ProgramFolder(const std::filesystem::path& override = {});

}  // namespace ulvo
