#include "kavex/cli/commands.h"

#include "kavex/cli/convert_command.h"

namespace kavex::cli {

extern const Command kDownloadCommand;
extern const Command kUploadCommand;
extern const Command kPrintCommand;
extern const Command kRecoverCommand;
extern const Command kDetectCommand;
extern const Command kIdentifyCommand;
extern const Command kPlanCommand;
extern const Command kExportCommand;
extern const Command kImportCommand;

// Later command families add their entries here.
const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"convert", kConvertUsage, RunConvert},
      kDownloadCommand,
      kUploadCommand,
      kPrintCommand,
      kRecoverCommand,
      kDetectCommand,
      kIdentifyCommand,
      kPlanCommand,
      kExportCommand,
      kImportCommand,
  };
  return commands;
}

}  // namespace kavex::cli
