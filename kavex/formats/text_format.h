#pragma once

#include <cstdarg>
#include <string>

namespace kavex {

// printf-style formatting that always uses the C locale: a layout written under a
// comma-decimal desktop locale must still read "1.5".
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);

}  // namespace kavex
