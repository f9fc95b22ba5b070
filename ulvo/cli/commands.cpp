#include "ulvo/cli/commands.h"

namespace ulvo::cli {

// Later command families add their entries here.
const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {};
  return commands;
}

}  // namespace ulvo::cli
