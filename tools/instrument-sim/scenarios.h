#pragma once

#include <string>
#include <vector>

#include "pty.h"

namespace sim {

using Args = std::vector<std::string>;

// One way of playing an instrument. The scenario parses its own options and runs over
// the pseudo-terminal; it returns the process exit code (0: the exchange went as the
// protocol says, 1: it did not, 2: usage).
struct Scenario {
  const char* name;
  const char* usage;
  int (*run)(Pty& pty, const Args& args);
};

const std::vector<Scenario>& Scenarios();

}  // namespace sim
