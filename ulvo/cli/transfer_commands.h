#pragma once

#include "ulvo/cli/commands.h"

namespace ulvo::cli {

int RunInstruments(const Context& context, const Args& args);
int RunTransfer(const Context& context, const Args& args);
int RunIif(const Context& context, const Args& args);
int RunPorts(const Context& context, const Args& args);
int RunDetect(const Context& context, const Args& args);

inline constexpr const char* kInstrumentsUsage =
    "ulvo-cli [--home DIR] instruments\n"
    "    each instrument of IIF/ with its settings and options per direction";
inline constexpr const char* kTransferUsage =
    "ulvo-cli [--home DIR] transfer --send|--receive --instrument NAME|FILE.IIF --port DEVICE\n"
    "         [--option INDEX] [--baud N] [--parity none|odd|even|mark|space] [--bits 5|6|7|8]\n"
    "         [--stop 1|1.5|2] [--handshake none|xonxoff|acknak|acknak2|\"ACK NAK\"...]\n"
    "         [--format ASCII|ITF00|ITF01|ITF02] [--trace FILE] [--force] FILE\n"
    "    sends FILE to the instrument or receives into it (an existing FILE is replaced only\n"
    "    with --force); exit status 0 success, 1 a file that cannot be read or written, is\n"
    "    empty or is not replaced (errors 8, 9, 16) or a protocol ULVO lacks (17), 2 a usage\n"
    "    error or a setting the instrument does not offer, 4 every other transfer error";
inline constexpr const char* kIifUsage =
    "ulvo-cli iif decode|encode FILE\n"
    "    an instrument interface file as plain text on standard output, or plain text\n"
    "    scrambled into one";
inline constexpr const char* kPortsUsage =
    "ulvo-cli ports\n"
    "    the serial ports of this machine, free or in use";

inline constexpr const char* kDetectUsage =
    "ulvo-cli detect --port DEVICE [--seconds N]\n"
    "    listens up to N seconds (default 15) while the instrument sends and prints the speed\n"
    "    and frame it sends at as one line \"BAUD FRAME\", for example \"9600 7E1\" (1200 to\n"
    "    115200 baud; 8N1, 7E1, 7O1, 8E1, 8O1, 7N1); exit status 1 with the reason when\n"
    "    nothing arrived or nothing fits, 4 when the port cannot be opened";

}  // namespace ulvo::cli
