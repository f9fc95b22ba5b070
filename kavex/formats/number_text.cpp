#include "kavex/formats/number_text.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <string>

namespace kavex {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

size_t SkipBlanks(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return i;
}

}  // namespace

size_t NumberPrefixLength(std::string_view text) {
  size_t i = SkipBlanks(text);
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  // An exponent counts only when at least one digit follows it.
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      i = j;
    }
  }
  return i;
}

double ReadDouble(std::string_view text) {
  const size_t end = NumberPrefixLength(text);
  if (end == 0) return 0.0;
  size_t begin = SkipBlanks(text);
  bool negative = false;
  if (text[begin] == '+' || text[begin] == '-') {
    negative = text[begin] == '-';
    ++begin;
  }
  double value = 0.0;
  const auto result =
      std::from_chars(text.data() + begin, text.data() + end, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars leaves value untouched on overflow; strtod would give HUGE_VAL or 0.
    std::string copy(text.substr(begin, end - begin));
    const auto e = copy.find_first_of("eE");
    const bool tiny = e != std::string::npos && copy.size() > e + 1 && copy[e + 1] == '-';
    value = tiny ? 0.0 : HUGE_VAL;
  } else if (result.ec != std::errc()) {
    return 0.0;
  }
  return negative ? -value : value;
}

long ReadLong(std::string_view text) {
  size_t i = SkipBlanks(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  long value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    const int d = text[i] - '0';
    if (negative) {
      if (value < (LONG_MIN + d) / 10) return LONG_MIN;
      value = value * 10 - d;
    } else {
      if (value > (LONG_MAX - d) / 10) return LONG_MAX;
      value = value * 10 + d;
    }
  }
  return value;
}

int ReadInt(std::string_view text) {
  const long v = ReadLong(text);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

}  // namespace kavex
