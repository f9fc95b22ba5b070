#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ulvo::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

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
