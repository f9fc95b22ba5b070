#pragma once

#include <string>
#include <string_view>

namespace kavex {

// Error bits of a received QRX-6 block line (STX, 128 payload characters, block digit,
// three-digit exclusive-or check, ETX, CR LF).
inline constexpr int kBlockBadSum = 1;
inline constexpr int kBlockBadNumber = 2;
inline constexpr int kBlockBadLength = 4;
inline constexpr size_t kReceivedBlockLength = 136;

// The three check digits of a block: "%03u" of the exclusive-or of positions 1..129.
std::string BlockSumText(std::string_view line);

// Checks a received line (line end included) against the expected block number 0..9.
// 0 when good, else the error bits above.
int CheckBlock(std::string_view line, int expectedNumber, bool checkNumber, bool checkSum);

// The HK-101/102 sum check character of a text: 32 plus the remainder (with the sign of
// the sum) of the sum of its characters taken as signed bytes, divided by 64.
int HkCheckCharacter(std::string_view text);

// True when the second-to-last character of a line (line end removed) is the check
// character of everything before it. Lines shorter than two characters fail.
bool HkLineSumOk(std::string_view line);

}  // namespace kavex
