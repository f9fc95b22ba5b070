#pragma once

#include <cstdio>
#include <string>

namespace kavex::testing {

// A received QRX-6 block line built from the layout rules: STX, payload padded to 128,
// block digit, "%03u" of the exclusive-or of payload and digit, ETX, CR LF.
inline std::string BlockLine(const std::string& payload, int number) {
  std::string body = payload;
  body.resize(128, ' ');
  body.push_back(static_cast<char>('0' + number));
  unsigned x = 0;
  for (const char c : body) x ^= static_cast<unsigned char>(c);
  char sum[8];
  std::snprintf(sum, sizeof sum, "%03u", x);
  return "\x02" + body + sum + "\x03\r\n";
}

// The same line with its check digits spoiled.
inline std::string BadSumLine(const std::string& payload, int number) {
  std::string line = BlockLine(payload, number);
  line[132] = line[132] == '9' ? '0' : static_cast<char>(line[132] + 1);
  return line;
}

}  // namespace kavex::testing
