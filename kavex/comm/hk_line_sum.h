#pragma once

#include <string_view>

namespace kavex {

// The HK-101/102 sum check character of a text: 32 plus the remainder (with the sign of
// the sum) of the sum of its characters taken as signed bytes, divided by 64.
int HkCheckCharacter(std::string_view text);

// True when the second-to-last character of a line (line end removed) is the check
// character of everything before it. Lines shorter than two characters fail.
bool HkLineSumOk(std::string_view line);

}  // namespace kavex
