#include "scenarios.h"

#include "ulvo_scenarios.h"

namespace sim {

// Each instrument family adds its scenarios here.
const std::vector<Scenario>& Scenarios() {
  static const std::vector<Scenario> scenarios = {
      {"ulvo-send", kUlvoSendUsage, RunUlvoSend},
      {"ulvo-receive", kUlvoReceiveUsage, RunUlvoReceive},
  };
  return scenarios;
}

}  // namespace sim
