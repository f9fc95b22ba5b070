// kavex-cli identify: which of the program's layouts reads a file whole.
#include <cstdio>
#include <string>

#include "kavex/cli/commands.h"
#include "kavex/formats/file_problem.h"
#include "kavex/shell/data_view.h"
#include "kavex/shell/identify.h"
#include "kavex/shell/main_logic.h"

namespace kavex::cli {
namespace {

int RunIdentify(const Args& args) {
  if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
    std::fprintf(stderr, "kavex-cli identify: name one file (see kavex-cli --help)\n");
    return kExitUsage;
  }
  std::vector<std::string> lines;
  switch (ReadDataFileLines(args[0], lines)) {
    case DataFileRead::kCannotRead:
      std::fprintf(stderr, "%s\n",
                   WithReason("Fail to open file.", args[0], FileProblem(args[0], false)).c_str());
      return kExitFailure;
    case DataFileRead::kTooLarge:
      std::fprintf(stderr, "%s\n%s\n", kFileTooLargeMessage, args[0].c_str());
      return kExitFailure;
    case DataFileRead::kRead:
      break;
  }
  const std::vector<LayoutReading> readings = IdentifyLines(lines, DataTypeOfFile(args[0]));
  for (const LayoutReading& r : readings) std::printf("%s\n", IdentifyText(r).c_str());
  return !readings.empty() && readings.front().whole ? kExitOk : kExitFailure;
}

}  // namespace

extern const Command kIdentifyCommand = {
    "identify",
    "kavex-cli identify FILE\n"
    "    Reads FILE with each of Kavex's layouts: first those that read it whole, with the\n"
    "    records read (\"QRX-6 coordinate list, 60 points\"), then where the others stop\n"
    "    (line and column). Exit status 1 when none reads it whole.",
    RunIdentify,
};

}  // namespace kavex::cli
