#pragma once

#include <string>

namespace kavex {

// Line and protocol settings of every transfer. Kept by the main window for the whole run
// and stored in Kavex.ini. The timing values are kept as the texts the dialogs show
// ("%-4u", "%-3u", "%-4u"/"%-5u") and turned into numbers each time a transfer starts.
struct CommSettings {
  bool useCom2 = false;
  int rateCode = 1;  // 4 1200, 3 2400, 2 4800, 1 9600, 0 19200, 5 38400
  bool sevenBits = false;
  int parityCode = 0;  // 0 none, 1 even, 2 odd
  int stopBits = 1;    // 1 or 2
  bool useAckNak = false;
  bool writeTextFile = false;
  bool readTextFile = false;
  std::string blockInterval = "400 ";
  std::string delayTime = "100";
  std::string receiveTimeout = "10000";
  bool checkBlockNumber = true;
  bool checkBlockSum = true;
  bool addEndBlock = true;

  bool operator==(const CommSettings&) const = default;
};

// Bits per second of a rate code; unknown codes mean 9600.
int BaudOfRateCode(int rateCode);
// Rate code of a bit rate; unknown rates give -1.
int RateCodeOfBaud(int baud);

// The plain decimal conversion of a timing text: leading spaces skipped, leading digits
// read, anything else ignored ("400 " -> 400, "" -> 0).
unsigned TimingValue(const std::string& text);

}  // namespace kavex
