#include "scenarios.h"

#include "ulvo_scenarios.h"

namespace sim {

extern const std::vector<Scenario> kKavexScenarios;
extern const std::vector<Scenario> kKavexUploadScenarios;

// Each instrument family adds its scenarios here.
const std::vector<Scenario>& Scenarios() {
  static const std::vector<Scenario> scenarios = [] {
    std::vector<Scenario> all = {
        {"ulvo-send", UlvoSendUsage(), RunUlvoSend},
        {"ulvo-receive", UlvoReceiveUsage(), RunUlvoReceive},
    };
    all.insert(all.end(), kKavexScenarios.begin(), kKavexScenarios.end());
    all.insert(all.end(), kKavexUploadScenarios.begin(), kKavexUploadScenarios.end());
    return all;
  }();
  return scenarios;
}

}  // namespace sim
