#include "kavex/cli/commands.h"

namespace kavex::cli {

// Later command families add their entries here.
const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {};
  return commands;
}

}  // namespace kavex::cli
