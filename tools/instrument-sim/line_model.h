#pragma once

// What a serial line does to bytes when the two ends are not set alike: the sender's UART puts
// each byte on the wire as bits at its own settings, the receiver's UART samples that wire at
// its own. Pure functions; the simulator and the programs' tests drive them.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class LineParity { kNone, kEven, kOdd, kMark, kSpace };

struct LineFrame {
  unsigned baud = 9600;
  int dataBits = 8;  // 5 to 8
  LineParity parity = LineParity::kNone;
  int stopBits = 1;  // 1 or 2

  bool operator==(const LineFrame&) const = default;
  // Start bit, data, parity and stop bits.
  int Bits() const { return 1 + dataBits + (parity == LineParity::kNone ? 0 : 1) + stopBits; }
};

// The receiving port: its frame and what its input flags make of a character received in error.
struct LineReceiver {
  LineFrame frame;
  bool ignoreErrors = false;  // IGNPAR: a framing or parity error drops the character
  bool markErrors = false;    // PARMRK: 0xFF 0x00 before it (and 0xFF doubled)
  bool ignoreBreak = false;   // IGNBRK

  bool operator==(const LineReceiver&) const = default;
};

struct ReceivedByte {
  unsigned char byte;
  // When the receiver hands it on, from the start of the first byte's start bit.
  std::chrono::nanoseconds at;

  bool operator==(const ReceivedByte&) const = default;
};

// What `port` hands on of `bytes` sent back to back at `sent`, the line idle before and after.
// The receiver starts hunting for a start bit at `from`: it takes a falling edge as a start bit,
// checks it at mid-bit, samples every bit at its middle and, after the (first) stop bit, good or
// not, hunts for the next falling edge, as a 16550 does.
std::vector<ReceivedByte> ReceiveLine(const LineFrame& sent, std::string_view bytes,
                                      const LineReceiver& port,
                                      std::chrono::nanoseconds from = std::chrono::nanoseconds(0));

// Only the bytes.
std::string ReceivedBytes(const LineFrame& sent, std::string_view bytes, const LineReceiver& port);

// How long `count` bytes take on the line at `frame`.
std::chrono::nanoseconds LineTime(const LineFrame& frame, size_t count);

// "9600,7,even,1" (parity none, even, odd, mark, space, or its first letter). False with a
// reason when the text is not such a frame.
bool ParseLineFrame(const std::string& text, LineFrame& frame, std::string& error);
// "9600,7,even,1".
std::string LineFrameText(const LineFrame& frame);

}  // namespace sim
