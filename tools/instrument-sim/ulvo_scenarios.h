#pragma once

#include "scenarios.h"

namespace sim {

// ULVO's link protocols, played by the instrument: it sends a file to the computer, or it
// receives one and checks it.
int RunUlvoSend(Pty& pty, const Args& args);
int RunUlvoReceive(Pty& pty, const Args& args);

// The scenarios' usage lines, with the link protocols --format offers.
const char* UlvoSendUsage();
const char* UlvoReceiveUsage();

}  // namespace sim
