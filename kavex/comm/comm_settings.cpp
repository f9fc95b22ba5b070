#include "kavex/comm/comm_settings.h"

#include "kavex/formats/number_text.h"

namespace kavex {
namespace {

struct Rate {
  int code;
  int baud;
};
constexpr Rate kRates[] = {{4, 1200}, {3, 2400}, {2, 4800}, {1, 9600}, {0, 19200}, {5, 38400}};

}  // namespace

int BaudOfRateCode(int rateCode) {
  for (const auto& r : kRates)
    if (r.code == rateCode) return r.baud;
  return 9600;
}

int RateCodeOfBaud(int baud) {
  for (const auto& r : kRates)
    if (r.baud == baud) return r.code;
  return -1;
}

unsigned TimingValue(const std::string& text) {
  const long v = ReadLong(text);
  return v < 0 ? 0u : static_cast<unsigned>(v);
}

}  // namespace kavex
