#pragma once

#include <filesystem>
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
// tree, portable install); else the per-user folder, first seeded with a copy of every
// installed file it lacks. Files the user already has are never overwritten.
std::filesystem::path ResolveProgramFolder(const ProgramFolderSources& sources);

// The sources of this process: environment, executable path, per-user and installed folders.
ProgramFolderSources CurrentProgramFolderSources();

// Convenience: ResolveProgramFolder(CurrentProgramFolderSources()), or override when not empty.
std::filesystem::path ProgramFolder(const std::filesystem::path& override = {});

}  // namespace ulvo
