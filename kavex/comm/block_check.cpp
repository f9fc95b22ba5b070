#include "kavex/comm/block_check.h"

#include "kavex/formats/text_format.h"

namespace kavex {

std::string BlockSumText(std::string_view line) {
  unsigned x = 0;
  for (size_t i = 1; i <= 129 && i < line.size(); ++i) x ^= static_cast<unsigned char>(line[i]);
  return Format("%03u", x);
}

int CheckBlock(std::string_view line, int expectedNumber, bool checkNumber, bool checkSum) {
  int errors = 0;
  if (line.size() != kReceivedBlockLength) errors |= kBlockBadLength;
  // A short line has no digit or check to compare: it fails those checks too.
  if (checkNumber && (line.size() <= 129 || line[129] != static_cast<char>('0' + expectedNumber)))
    errors |= kBlockBadNumber;
  if (checkSum && (line.size() < 133 || line.substr(130, 3) != BlockSumText(line)))
    errors |= kBlockBadSum;
  return errors;
}

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
