#pragma once

#include "ulvo/cli/commands.h"

namespace ulvo::cli {

int RunInstruments(const Context& context, const Args& args);
int RunTransfer(const Context& context, const Args& args);
int RunIif(const Context& context, const Args& args);
int RunPorts(const Context& context, const Args& args);

inline constexpr const char* kInstrumentsUsage =
    "ulvo-cli [--home DIR] instruments\n"
    "    each instrument of IIF/ with its settings and options per direction";
inline constexpr const char* kTransferUsage =
    "ulvo-cli [--home DIR] transfer --send|--receive --instrument NAME|FILE.IIF --port DEVICE\n"
    "         [--option INDEX] [--baud N] [--parity none|odd|even|mark|space] [--bits 5|6|7|8]\n"
    "         [--stop 1|1.5|2] [--handshake none|xonxoff|acknak|acknak2|\"ACK NAK\"...]\n"
    "         [--format ASCII|ITF00|ITF01|ITF02] [--trace FILE] [--force] FILE\n"
    "    sends FILE to the instrument or receives into it (an existing FILE is replaced only\n"
    "    with --force); exit status is the transfer's error code (0 success), 2 also for a\n"
    "    usage error, 1 also for a refused replace";
inline constexpr const char* kIifUsage =
    "ulvo-cli iif decode|encode FILE\n"
    "    an instrument interface file as plain text on standard output, or plain text\n"
    "    scrambled into one";
inline constexpr const char* kPortsUsage =
    "ulvo-cli ports\n"
    "    the serial ports of this machine, free or in use";

}  // namespace ulvo::cli
