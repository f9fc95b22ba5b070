#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ulvo::cli {

// Exit statuses shared by every command, so that a script can tell a typo in its options
// from a bad file and from an unplugged cable.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a file that cannot be read or written, unusable data
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCheck = 3;   // convert: OUTPUT was written but did not read back
inline constexpr int kExitDevice = 4;  // the port, the line or the instrument failed

using Args = std::vector<std::string>;

struct Context {
  std::filesystem::path home;  // program folder (from --home, ULVO_HOME or the default rules)
};

struct Command {
  const char* name;
  const char* usage;  // one or more lines for --help, each starting with "ulvo-cli"
  int (*run)(const Context& context, const Args& args);
};

// Each command family registers itself in its own file; main.cpp only dispatches.
const std::vector<Command>& Commands();

}  // namespace ulvo::cli
