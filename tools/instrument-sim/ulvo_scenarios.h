#pragma once

#include "scenarios.h"

namespace sim {

// ULVO's link protocols, played by the instrument: it sends a file to the computer, or it
// receives one and checks it.
int RunUlvoSend(Pty& pty, const Args& args);
int RunUlvoReceive(Pty& pty, const Args& args);

inline constexpr const char* kUlvoSendUsage =
    "  ulvo-send --format ASCII|ITF00|ITF01|ITF02 --handshake none|xonxoff|acknak|acknak2\n"
    "            --file FILE [--baud N] [--addcrlf] [--delay-ms N]\n"
    "      the instrument sends FILE (in acknak after the computer's ENQ; otherwise after\n"
    "      --delay-ms, default 1000)";
inline constexpr const char* kUlvoReceiveUsage =
    "  ulvo-receive --format ASCII|ITF00|ITF01|ITF02 --handshake none|xonxoff|acknak|acknak2\n"
    "            [--expect FILE] [--out FILE] [--nak-first N] [--silent] [--addcrlf] [--baud N]\n"
    "      the instrument receives a file, answers ACK/NAK or control records (or stays\n"
    "      silent), and exits 0 when what arrived matches --expect";

}  // namespace sim
