#include <cstdio>
#include <cstring>
#include <string>

#include "kavex/cli/commands.h"

namespace {

constexpr const char* kVersionText = "Kavex Version 1.3";

void PrintHelp(std::FILE* out) {
  std::fprintf(out,
               "Usage: kavex-cli COMMAND [ARGS...]\n"
               "       kavex-cli --help | --version\n\n"
               "Headless front end of Kavex: the same conversions and transfers as the\n"
               "program, with the same bytes and messages.\n");
  const auto& commands = kavex::cli::Commands();
  if (!commands.empty()) {
    std::fprintf(out, "\nCommands:\n");
    for (const auto& c : commands) std::fprintf(out, "%s\n", c.usage);
  }
  std::fprintf(out,
               "\nExit status: 0 success, 1 failure (the program's message on standard error),"
               "\n2 usage error.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintHelp(stderr);
    return kavex::cli::kExitUsage;
  }
  const std::string first = argv[1];
  if (first == "--help" || first == "-h" || first == "help") {
    PrintHelp(stdout);
    return kavex::cli::kExitOk;
  }
  if (first == "--version") {
    std::printf("%s\n", kVersionText);
    return kavex::cli::kExitOk;
  }
  for (const auto& c : kavex::cli::Commands()) {
    if (first != c.name) continue;
    const kavex::cli::Args args(argv + 2, argv + argc);
    // "--help" anywhere after the command asks for that command's usage.
    for (const auto& a : args) {
      if (a == "--help" || a == "-h") {
        std::printf("Usage:\n%s\n", c.usage);
        return kavex::cli::kExitOk;
      }
    }
    return c.run(args);
  }
  std::fprintf(stderr, "kavex-cli: unknown command '%s' (see kavex-cli --help)\n", argv[1]);
  return kavex::cli::kExitUsage;
}
