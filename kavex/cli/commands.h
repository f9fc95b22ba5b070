#pragma once

#include <string>
#include <vector>

namespace kavex::cli {

// Exit codes shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;  // one or more lines for --help, each starting with "kavex-cli"
  int (*run)(const Args& args);
};

// Each command family registers itself in its own file; main.cpp only dispatches.
const std::vector<Command>& Commands();

}  // namespace kavex::cli
