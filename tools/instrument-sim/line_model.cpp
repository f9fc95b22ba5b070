#include "line_model.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numeric>

namespace sim {

namespace {

int ParityBit(unsigned value, int dataBits, LineParity parity) {
  int ones = 0;
  for (int i = 0; i < dataBits; ++i) ones += (value >> i) & 1u;
  switch (parity) {
    case LineParity::kEven:
      return ones & 1;
    case LineParity::kOdd:
      return (ones & 1) ^ 1;
    case LineParity::kMark:
      return 1;
    case LineParity::kSpace:
    case LineParity::kNone:
      break;
  }
  return 0;
}

// The sender's wire, bit by bit: idle (1) before the first bit and after the last.
class Wire {
 public:
  Wire(const LineFrame& frame, std::string_view bytes)
      : frame_(frame),
        bytes_(bytes),
        bits_(frame.Bits()),
        total_(static_cast<int64_t>(bytes.size()) * bits_) {}

  int64_t TotalBits() const { return total_; }

  int Bit(int64_t k) const {
    if (k < 0 || k >= total_) return 1;
    const auto c = static_cast<unsigned char>(bytes_[static_cast<size_t>(k / bits_)]);
    const int pos = static_cast<int>(k % bits_);
    if (pos == 0) return 0;
    if (pos <= frame_.dataBits) return (c >> (pos - 1)) & 1;
    if (pos == frame_.dataBits + 1 && frame_.parity != LineParity::kNone)
      return ParityBit(c, frame_.dataBits, frame_.parity);
    return 1;
  }

 private:
  LineFrame frame_;
  std::string_view bytes_;
  int bits_;
  int64_t total_;
};

int64_t FloorDiv(int64_t a, int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

std::vector<ReceivedByte> ReceiveLine(const LineFrame& sent, std::string_view bytes,
                                      const LineReceiver& port, std::chrono::nanoseconds from) {
  std::vector<ReceivedByte> out;
  if (sent.baud == 0 || port.frame.baud == 0) return out;
  // Time in ticks of 1 / (2 S R g) s: a sent bit is 2R ticks, a received one 2S, and every
  // mid-bit sample falls on a whole tick.
  const int64_t g =
      std::gcd(static_cast<int64_t>(sent.baud), static_cast<int64_t>(port.frame.baud));
  const int64_t sentBit = 2 * (port.frame.baud / g);
  const int64_t recvBit = 2 * (sent.baud / g);
  const long double ticksPerNs =
      static_cast<long double>(sentBit) * static_cast<long double>(sent.baud) / 1e9L;
  const Wire wire(sent, bytes);
  const auto level = [&](int64_t t) { return wire.Bit(FloorDiv(t, sentBit)); };
  const LineFrame& rx = port.frame;
  const bool hasParity = rx.parity != LineParity::kNone;
  const int stopIndex = 1 + rx.dataBits + (hasParity ? 1 : 0);
  const auto emit = [&](unsigned char c, int64_t at) {
    const auto ns = static_cast<int64_t>(std::floor(static_cast<long double>(at) / ticksPerNs));
    out.push_back({c, std::chrono::nanoseconds(ns)});
  };

  int64_t t = static_cast<int64_t>(std::ceil(static_cast<long double>(from.count()) * ticksPerNs));
  for (;;) {
    // The next falling edge at or after t: the wire changes only on a sent bit's boundary.
    int64_t k = FloorDiv(t + sentBit - 1, sentBit);
    while (k < wire.TotalBits() && !(wire.Bit(k - 1) == 1 && wire.Bit(k) == 0)) ++k;
    if (k >= wire.TotalBits()) break;
    const int64_t edge = k * sentBit;
    const auto sample = [&](int j) { return edge + (2 * j + 1) * recvBit / 2; };
    if (level(sample(0)) != 0) {  // a glitch, not a start bit
      t = sample(0);
      continue;
    }
    unsigned value = 0;
    for (int j = 0; j < rx.dataBits; ++j) value |= static_cast<unsigned>(level(sample(1 + j))) << j;
    const bool parityOk =
        !hasParity || level(sample(1 + rx.dataBits)) == ParityBit(value, rx.dataBits, rx.parity);
    const int stop = level(sample(stopIndex));
    const bool brk = value == 0 && stop == 0 && (!hasParity || level(sample(1 + rx.dataBits)) == 0);
    const int64_t done = edge + static_cast<int64_t>(rx.Bits()) * recvBit;
    const auto c = static_cast<unsigned char>(value);
    if (brk) {
      if (!port.ignoreBreak) {
        if (port.markErrors) emit(0xFF, done), emit(0, done);
        emit(0, done);
      }
    } else if (stop == 0 || !parityOk) {
      if (!port.ignoreErrors) {
        if (port.markErrors)
          emit(0xFF, done), emit(0, done), emit(c, done);
        else
          emit(0, done);
      }
    } else {
      if (port.markErrors && c == 0xFF) emit(0xFF, done);
      emit(c, done);
    }
    t = sample(stopIndex);
  }
  return out;
}

std::string ReceivedBytes(const LineFrame& sent, std::string_view bytes, const LineReceiver& port) {
  std::string s;
  for (const ReceivedByte& r : ReceiveLine(sent, bytes, port))
    s.push_back(static_cast<char>(r.byte));
  return s;
}

std::chrono::nanoseconds LineTime(const LineFrame& frame, size_t count) {
  if (frame.baud == 0) return std::chrono::nanoseconds(0);
  return std::chrono::nanoseconds(static_cast<int64_t>(count) * frame.Bits() * 1'000'000'000LL /
                                  frame.baud);
}

bool ParseLineFrame(const std::string& text, LineFrame& frame, std::string& error) {
  std::vector<std::string> parts(1);
  for (const char c : text) {
    if (c == ',')
      parts.emplace_back();
    else
      parts.back().push_back(c);
  }
  const auto number = [](const std::string& s, long& v) {
    char* end = nullptr;
    v = std::strtol(s.c_str(), &end, 10);
    return !s.empty() && *end == '\0';
  };
  long baud = 0, bits = 0, stop = 0;
  if (parts.size() != 4 || !number(parts[0], baud) || !number(parts[1], bits) ||
      !number(parts[3], stop)) {
    error = "--line is BAUD,BITS,PARITY,STOP (for example 9600,7,even,1), not '" + text + "'";
    return false;
  }
  if (baud < 50 || baud > 4'000'000) {
    error = "--line: " + parts[0] + " is no baud rate";
    return false;
  }
  if (bits < 5 || bits > 8 || (stop != 1 && stop != 2)) {
    error = "--line: data bits are 5 to 8 and stop bits 1 or 2";
    return false;
  }
  static const struct {
    const char* word;
    LineParity parity;
  } kWords[] = {{"none", LineParity::kNone},
                {"even", LineParity::kEven},
                {"odd", LineParity::kOdd},
                {"mark", LineParity::kMark},
                {"space", LineParity::kSpace}};
  std::string p;
  for (const char c : parts[2]) p.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c));
  for (const auto& w : kWords) {
    if (p == w.word || (p.size() == 1 && p[0] == w.word[0])) {
      frame = {static_cast<unsigned>(baud), static_cast<int>(bits), w.parity,
               static_cast<int>(stop)};
      return true;
    }
  }
  error = "--line: parity is none, even, odd, mark or space, not '" + parts[2] + "'";
  return false;
}

std::string LineFrameText(const LineFrame& frame) {
  static const char* const kWords[] = {"none", "even", "odd", "mark", "space"};
  return std::to_string(frame.baud) + "," + std::to_string(frame.dataBits) + "," +
         kWords[static_cast<int>(frame.parity)] + "," + std::to_string(frame.stopBits);
}

}  // namespace sim
