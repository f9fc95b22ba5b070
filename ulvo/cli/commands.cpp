#include "ulvo/cli/commands.h"

#include "ulvo/cli/format_commands.h"
#include "ulvo/cli/recover_commands.h"
#include "ulvo/cli/transfer_commands.h"

namespace ulvo::cli {

extern const Command kPlanCommand;
extern const Command kExportCommand;
extern const Command kImportCommand;

// Later command families add their entries here.
const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"parse", kParseUsage, RunParseCommand},
      {"write", kWriteUsage, RunWriteCommand},
      {"formats", kFormatsUsage, RunFormatsCommand},
      {"convert", kConvertUsage, RunConvertCommand},
      {"identify", kIdentifyUsage, RunIdentifyCommand},
      kPlanCommand,
      kExportCommand,
      kImportCommand,
      {"instruments", kInstrumentsUsage, RunInstruments},
      {"transfer", kTransferUsage, RunTransfer},
      {"iif", kIifUsage, RunIif},
      {"ports", kPortsUsage, RunPorts},
      {"detect", kDetectUsage, RunDetect},
      {"recover", kRecoverUsage, RunRecover},
  };
  return commands;
}

}  // namespace ulvo::cli
