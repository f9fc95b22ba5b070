#pragma once

#include "kavex/cli/commands.h"

namespace kavex::cli {

// kavex-cli convert nwf|hk|qrx6|dxf: the conversions of the "Con&version" menu, headless.
int RunConvert(const Args& args);
extern const char* const kConvertUsage;

}  // namespace kavex::cli
