#pragma once

#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "kavex/shell/main_logic.h"

namespace kavex {

inline constexpr std::string_view kOutOfMemory = "out of memory";

// What an exception that ended a command says: kOutOfMemory for std::bad_alloc, its own text
// otherwise.
std::string DescribeException(std::exception_ptr error);

// The files a command line names: its arguments that are files, else those that are not
// options. Used to say what the program was working on when it failed.
std::vector<std::string> FilesNamed(const std::vector<std::string>& args);

// Keeps the current data in a capture file in folder, as a download that a crash interrupted,
// so that the next start offers it; nothing when there are no lines. The capture's path, or
// empty with problem set.
std::filesystem::path KeepCurrentDataForRecovery(MainLogic& logic,
                                                 const std::filesystem::path& folder,
                                                 std::string& problem);

// The message shown when an exception reached the window: what failed and where the data is.
std::string UnexpectedErrorMessage(const std::string& what, const std::filesystem::path& kept,
                                   const std::string& problem);

}  // namespace kavex
