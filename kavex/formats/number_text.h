#pragma once

#include <string_view>

namespace kavex {

// Lenient number reading as the layouts expect: leading blanks skipped, an optional sign,
// reading stops at the first character that cannot belong to the number, and text with
// no number reads as 0. Independent of the process locale ('.' is the only decimal mark).
double ReadDouble(std::string_view text);
// Integer reading with the same rules; the value saturates at the long range.
long ReadLong(std::string_view text);
int ReadInt(std::string_view text);

// Length of the leading part of text that ReadDouble consumes (0 when nothing is a number).
size_t NumberPrefixLength(std::string_view text);

}  // namespace kavex
