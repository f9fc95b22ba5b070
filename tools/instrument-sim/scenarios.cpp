#include "scenarios.h"

namespace sim {

// Each instrument family adds its scenarios here.
const std::vector<Scenario>& Scenarios() {
  static const std::vector<Scenario> scenarios = {};
  return scenarios;
}

}  // namespace sim
