#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "ulvo/convert/messages.h"

namespace ulvo {

inline constexpr std::string_view kOutOfMemory = "out of memory";

// Shown when an exception reached the window (%1: what failed); the window goes on.
inline constexpr TextId kUnexpectedError{
    "EMSG_UNEXPECTEDERROR",
    "ULVO could not finish what it was doing: %1.\nThe settings were written to Settings.xml; "
    "save your work before you go on."};

// What an exception that ended a command says: kOutOfMemory for std::bad_alloc, its own text
// otherwise.
std::string DescribeException(std::exception_ptr error);

// The files a command line names: its arguments that are files, else those that are not
// options. Used to say what the program was working on when it failed.
std::vector<std::string> FilesNamed(const std::vector<std::string>& args);

}  // namespace ulvo
