#include <cstdio>
#include <cstring>
#include <string>

#include "kavex/cli/commands.h"
#include "kavex/shell/unexpected_error.h"

namespace {

constexpr const char* kVersionText = "kavex-cli (Kavex) " KAVEX_VERSION;

void PrintHelp(std::FILE* out) {
  std::fprintf(out,
               "Usage: kavex-cli COMMAND [ARGS...]\n"
               "  or:  kavex-cli --help | --version\n\n"
               "Headless front end of Kavex: the same conversions and transfers as the\n"
               "program, with the same bytes and messages.\n");
  const auto& commands = kavex::cli::Commands();
  if (!commands.empty()) {
    std::fprintf(out, "\nCommands:\n");
    // Indented, so that the manual page made from this text lists them as a block.
    for (const auto& c : commands) {
      for (const char* line = c.usage; *line;) {
        const char* end = std::strchr(line, '\n');
        const int length = end ? static_cast<int>(end - line) : static_cast<int>(std::strlen(line));
        std::fprintf(out, "  %.*s\n", length, line);
        line += length + (end ? 1 : 0);
      }
    }
  }
  std::fprintf(out,
               "\nExit status:\n"
               "  0  success\n"
               "  1  input or data error: a file that cannot be read or written, data that\n"
               "     cannot be used (the program's message on standard error)\n"
               "  2  usage error: an unknown command or option, a missing or wrong value\n"
               "  4  device or port error: the port cannot be opened, or the transfer with\n"
               "     the instrument fails\n\n"
               "A serial port that cannot be opened for lack of permission belongs to a group\n"
               "you are not in, usually dialout: add yourself with 'sudo adduser $USER dialout',\n"
               "then log out and log in again.\n\n"
               "The whole description: man kavex-cli. The manual for surveyors opens from\n"
               "Kavex's Help > Contents.\n");
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
    try {
      return c.run(args);
    } catch (...) {
      // Out of memory or another failure no command foresaw: said as a failure of the files
      // it was working on, never as an abort.
      const std::string what = kavex::DescribeException(std::current_exception());
      std::string files;
      for (const std::string& f : kavex::FilesNamed(args)) files += (files.empty() ? "" : ", ") + f;
      std::fprintf(stderr, "kavex-cli %s: %s%s%s\n", c.name, files.c_str(),
                   files.empty() ? "" : ": ", what.c_str());
      return kavex::cli::kExitFailure;
    }
  }
  std::fprintf(stderr, "kavex-cli: unknown command '%s' (see kavex-cli --help)\n", argv[1]);
  return kavex::cli::kExitUsage;
}
