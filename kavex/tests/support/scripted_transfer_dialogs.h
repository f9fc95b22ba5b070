#pragma once

#include <vector>

#include "kavex/shell/download_commands.h"

namespace kavex::testing {

// Answers "Comm Status" as the user would, after the command's forced values, and records
// for which commands it was shown.
struct ScriptedTransferDialogs : TransferDialogs {
  bool ShowCommStatus(TransferCommand command, CommSettings& settings) override {
    commands.push_back(command);
    if (!go) return false;
    settings = ApplyPreparation(settings, CommStatusPreparationFor(command));
    return true;
  }
  TransferProgress& Progress() override { return progress; }
  bool go = true;
  std::vector<TransferCommand> commands;
  TransferProgress progress;
};

}  // namespace kavex::testing
