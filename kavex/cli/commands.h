#pragma once

#include <string>
#include <vector>

namespace kavex::cli {

// Exit codes shared by every command, so that a script can tell a typo in its options from
// a bad file and from an unplugged cable.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a file that cannot be read or written, unusable data
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDevice = 4;  // the port, the line or the instrument failed

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;  // one or more lines for --help, each starting with "kavex-cli"
  int (*run)(const Args& args);
};

// Each command family registers itself in its own file; main.cpp only dispatches.
const std::vector<Command>& Commands();

}  // namespace kavex::cli
