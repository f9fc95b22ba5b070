#pragma once

#include "ulvo/cli/commands.h"

namespace ulvo::cli {

int RunRecover(const Context& context, const Args& args);

inline constexpr const char* kRecoverUsage =
    "ulvo-cli recover [list]\n"
    "ulvo-cli recover restore NAME [-o FILE] [--force]\n"
    "ulvo-cli recover discard NAME\n"
    "    receives a crash, a kill or a power loss interrupted. list: one line per capture\n"
    "    (name, start, instrument, kind, bytes, destination, port, what its end lacks,\n"
    "    tab-separated). restore: writes the received bytes to FILE, else the receive's own\n"
    "    file (an existing one is replaced only with --force), then removes the capture.\n"
    "    discard: removes the capture";

}  // namespace ulvo::cli
