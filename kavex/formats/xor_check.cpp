#include "kavex/formats/xor_check.h"

#include "kavex/formats/text_format.h"

namespace kavex {

unsigned XorOf(std::string_view text) {
  unsigned sum = 0;
  for (const char c : text) sum ^= static_cast<unsigned char>(c);
  return sum;
}

std::string XorCheckText(std::string_view text) {
  return Format("%03u", XorOf(text));
}

}  // namespace kavex
