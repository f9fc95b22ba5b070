#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "ulvo/cli/commands.h"
#include "ulvo/platform/document_memory.h"
#include "ulvo/platform/program_folder.h"

namespace {

void PrintHelp(std::FILE* out) {
  std::fprintf(out,
               "Usage: ulvo-cli [--home DIR] COMMAND [ARGS...]\n"
               "       ulvo-cli --help | --version\n\n"
               "Headless front end of ULVO. --home DIR names the program folder (the one\n"
               "holding IIF/, Formats/ and Settings.xml); without it ULVO_HOME, then the\n"
               "program's own folder, then the per-user folder is used.\n");
  const auto& commands = ulvo::cli::Commands();
  if (!commands.empty()) {
    std::fprintf(out, "\nCommands:\n");
    for (const auto& c : commands) std::fprintf(out, "%s\n", c.usage);
  }
  std::fprintf(out,
               "\nExit status: 0 success, 1 failure, 2 usage error (unless a command says"
               " otherwise).\n");
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
      std::printf("ULVO %s\n", ULVO_FILE_VERSION);
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
      ulvo::cli::Context context{ulvo::ProgramFolder(home)};
      return c.run(context, ulvo::cli::Args(args.begin() + static_cast<long>(i) + 1, args.end()));
    }
  }
  std::fprintf(stderr, "ulvo-cli: unknown command '%s' (see ulvo-cli --help)\n", args[i].c_str());
  return ulvo::cli::kExitUsage;
}
