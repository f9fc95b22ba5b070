#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "ulvo/cli/commands.h"
#include "ulvo/platform/document_memory.h"
#include "ulvo/platform/program_folder.h"
#include "ulvo/shell/unexpected_error.h"

namespace {

void PrintHelp(std::FILE* out) {
  std::fprintf(out,
               "Usage: ulvo-cli [--home DIR] COMMAND [ARGS...]\n"
               "  or:  ulvo-cli --help | --version\n\n"
               "Headless front end of ULVO. --home DIR names the program folder (the one\n"
               "holding IIF/, Formats/ and Settings.xml); without it ULVO_HOME, then the\n"
               "program's own folder, then the per-user folder is used.\n");
  const auto& commands = ulvo::cli::Commands();
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
               "  1  input or data error: a file that cannot be read or written, an input\n"
               "     that does not match its format, a format definition that does not load\n"
               "  2  usage error: an unknown command or option, a missing or wrong value, a\n"
               "     setting the instrument does not offer\n"
               "  3  convert: OUTPUT was written, but the check found differences\n"
               "  4  device or port error: the port cannot be opened, or the transfer with\n"
               "     the instrument fails (the transfer's own message on standard error)\n\n"
               "A serial port that cannot be opened for lack of permission belongs to a group\n"
               "you are not in, usually dialout: add yourself with 'sudo adduser $USER dialout',\n"
               "then log out and log in again.\n\n"
               "The whole description: man ulvo-cli. The manual for surveyors opens from ULVO's\n"
               "Help > Index.\n");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ulvo::UseArenaMemoryForDocuments();
  ulvo::cli::Args args(argv + 1, argv + argc);
  std::filesystem::path home;
  size_t i = 0;
  while (i < args.size()) {
    if (args[i] == "--home") {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "ulvo-cli: --home needs a folder\n");
        return ulvo::cli::kExitUsage;
      }
      home = args[i + 1];
      i += 2;
    } else if (args[i] == "--help" || args[i] == "-h" || args[i] == "help") {
      PrintHelp(stdout);
      return ulvo::cli::kExitOk;
    } else if (args[i] == "--version") {
      std::printf("ulvo-cli (ULVO) %s\n", ULVO_FILE_VERSION);
      return ulvo::cli::kExitOk;
    } else {
      break;
    }
  }
  if (i >= args.size()) {
    PrintHelp(stderr);
    return ulvo::cli::kExitUsage;
  }
  for (const auto& c : ulvo::cli::Commands()) {
    if (args[i] == c.name) {
      const ulvo::cli::Args rest(args.begin() + static_cast<long>(i) + 1, args.end());
      // "--help" anywhere after the command asks for that command's usage.
      for (const auto& a : rest) {
        if (a == "--help" || a == "-h") {
          std::printf("Usage:\n%s\n", c.usage);
          return ulvo::cli::kExitOk;
        }
      }
      ulvo::cli::Context context{ulvo::ProgramFolder(home)};
      try {
        return c.run(context, rest);
      } catch (...) {
        // Out of memory or another failure no command foresaw: said as a failure of the
        // files it was working on, never as an abort or as values that differ.
        const std::string what = ulvo::DescribeException(std::current_exception());
        std::string files;
        for (const std::string& f : ulvo::FilesNamed(rest))
          files += (files.empty() ? "" : ", ") + f;
        std::fprintf(stderr, "ulvo-cli %s: %s%s%s\n", c.name, files.c_str(),
                     files.empty() ? "" : ": ", what.c_str());
        return ulvo::cli::kExitFailure;
      }
    }
  }
  std::fprintf(stderr, "ulvo-cli: unknown command '%s' (see ulvo-cli --help)\n", args[i].c_str());
  return ulvo::cli::kExitUsage;
}
