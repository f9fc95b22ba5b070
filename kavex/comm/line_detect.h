#pragma once

// Twin of ulvo/transfer/line_detect.h: the programs share no code, so the detection of an
// instrument's line settings is kept alike in both by hand. A change to one belongs in the other
// too.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "kavex/comm/clock.h"
#include "kavex/comm/serial_device.h"

namespace kavex {

// Shown while the detection listens.
inline constexpr const char* kDetectPrompt = "Start sending on the instrument now\u2026";
// How long it listens unless told otherwise: time to start the send, and 5 s of it.
inline constexpr std::chrono::seconds kDetectListen{15};

// The speeds tried, slowest first (the sweep goes through them from the fastest down).
inline constexpr int kDetectBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

// A character frame an instrument may send, as read by a port at 8 data bits, no parity: what
// each byte that arrives must be and which data it then carries. 7N2 and 7E2 arrive as 7N1 and
// 7E1 (a receiver cannot tell extra stop bits).
struct DetectFrame {
  const char* name;  // "7E1"
  int dataBits;
  int parity;  // 0 none, 1 even, 2 odd
  int stopBits;
  // Whether a byte read at 8N1 can come from this frame.
  bool (*fits)(unsigned char byte);
  // The eighth bit is the parity bit or a stop bit, not data.
  bool sevenBits;
  // The sent parity bit falls under the receiver's stop bit: bytes whose parity bit was 0 are
  // dropped or arrive as NUL.
  bool dropsOnParity;
};

// The frames told apart, in the order their evidence is weighed.
const DetectFrame* DetectFrames(size_t& count);

// The frame bytes read at 8N1 at the sender's speed come from, or null when they fit none (or
// are too few to tell).
const DetectFrame* FrameOfBytes(std::string_view bytes);

// What bytes the detection heard; what it found.
struct DetectReport {
  enum class Outcome {
    kFound,
    kNothingArrived,
    kNothingFits,
    kCancelled,
    kCannotOpen,
    kPortFailed
  };
  Outcome outcome = Outcome::kNothingArrived;
  int baud = 0;
  const DetectFrame* frame = nullptr;
  size_t bytes = 0;        // every byte that arrived, at any speed
  std::string firstBytes;  // the first of them
  std::chrono::milliseconds listened{0};

  // "9600 7E1", empty unless found.
  std::string Settings() const;
  // The one line the window and the command line show.
  std::string Message(const std::string& port) const;
};

// What the detection needs of a port: set it to a speed at 8 data bits, no parity, 1 stop bit,
// with nothing swallowed (no XON/XOFF), and read what arrives.
class DetectPort {
 public:
  virtual ~DetectPort() = default;
  // False when the port refuses; pending input is dropped.
  virtual bool SetSpeed(int baud) = 0;
  // One byte, or -1 when none came within the time-out.
  virtual int ReadByte(std::chrono::milliseconds timeout) = 0;
  // Now, on the clock the reads wait on.
  virtual std::chrono::steady_clock::time_point Now() = 0;
};

// Told how far listening has got (0 to 1); returns false to stop.
class DetectProgress {
 public:
  virtual ~DetectProgress() = default;
  virtual bool Listening(double fraction) = 0;
};

// Listens for at most `listen`: briefly at each speed until bytes arrive, then stepping through
// kDetectBauds from the fastest down until one speed gives bytes that fit one frame, and again
// when more of them still do.
DetectReport DetectLineSettings(DetectPort& port, std::chrono::milliseconds listen,
                                DetectProgress* progress);

// The same on a serial device: opens `devicePath`, listens, closes it again.
DetectReport DetectLineSettings(SerialDevice& device, Clock& clock, const std::string& devicePath,
                                std::chrono::milliseconds listen, DetectProgress* progress);

// What arrived on the line of a transfer: how many bytes, and the first of them.
struct LineTally {
  static constexpr size_t kKept = 512;
  size_t bytes = 0;
  std::string first;
  void Add(char c) {
    ++bytes;
    if (first.size() < kKept) first.push_back(c);
  }
};

// Under the message of a failed transfer: the instrument's settings when the bytes tell them;
// otherwise, when it got no record it could use (`records` 0), that nothing arrived or that
// the bytes fit no record; else nothing. `port` is the device, `portFrame` the port's frame
// ("8N1").
std::string ExplainLine(const std::string& port, const LineTally& arrived, size_t records,
                        std::chrono::milliseconds waited, int portBaud,
                        const std::string& portFrame);

// The bytes as "98 E0 9E 98": at most `count`, "…" after them when there were more.
std::string HexPreview(std::string_view bytes, size_t count);

}  // namespace kavex
