#pragma once

#include "ulvo/cli/commands.h"

namespace ulvo::cli {

// parse, write, formats, convert: the format engine and the conversion run.
int RunParseCommand(const Context& context, const Args& args);
int RunWriteCommand(const Context& context, const Args& args);
int RunFormatsCommand(const Context& context, const Args& args);
int RunConvertCommand(const Context& context, const Args& args);
int RunIdentifyCommand(const Context& context, const Args& args);

inline constexpr const char* kParseUsage =
    "ulvo-cli parse DEFINITION INPUT [-o DOCUMENT]\n"
    "    parse INPUT with a format definition file into an instrument data document";
inline constexpr const char* kWriteUsage =
    "ulvo-cli write DEFINITION DOCUMENT OUTPUT\n"
    "    write an instrument data document to OUTPUT with a format definition file";
inline constexpr const char* kFormatsUsage =
    "ulvo-cli [--home DIR] formats\n"
    "    list the format definitions of the program folder: name, tab, type, tab, file;\n"
    "    files that do not load are named on standard error with the reason";
inline constexpr const char* kConvertUsage =
    "ulvo-cli [--home DIR] convert --from NAME --to NAME INPUT OUTPUT [--editor PROGRAM] "
    "[--force]\n"
    "         [--no-check]\n"
    "    convert INPUT into OUTPUT between two formats of the program folder, then read\n"
    "    OUTPUT back and compare (--no-check: do not); exit status 0 success, 1 failure,\n"
    "    3 converted but values differ when read back";

inline constexpr const char* kIdentifyUsage =
    "ulvo-cli [--home DIR] identify FILE\n"
    "    parse FILE with every format of the program folder; list those that read it whole,\n"
    "    best first, with the records read, and where the others stop (line, column); exit\n"
    "    status 0 when a format reads it whole, 1 when none does";

}  // namespace ulvo::cli
