#include "kavex/comm/hk_line_sum.h"

namespace kavex {

int HkCheckCharacter(std::string_view text) {
  long sum = 0;
  for (const char c : text) sum += static_cast<signed char>(c);
  return 32 + static_cast<int>(sum % 64);
}

bool HkLineSumOk(std::string_view line) {
  if (line.size() < 2) return false;
  const size_t at = line.size() - 2;
  return static_cast<signed char>(line[at]) == HkCheckCharacter(line.substr(0, at));
}

}  // namespace kavex
