#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "ulvo/transfer/transfer_params.h"

namespace ulvo {

// Read time-outs in milliseconds, with the meaning of the instrument file's "TIMEOUTS": a read
// of n bytes ends at most multiplier * n + constant after it began, and once bytes flow, when
// the gap between two exceeds the interval.
struct ReadTimeouts {
  uint32_t interval = 50;
  uint32_t multiplier = 10;
  uint32_t constant = 100;
};

// Longest any single read may block, whatever an instrument file asks for.
inline constexpr std::chrono::milliseconds kMaxReadWait{60000};

// Total wait of a read of `count` bytes, bounded by kMaxReadWait (a zero total means no total
// bound to the driver; we still never wait longer than kMaxReadWait).
std::chrono::milliseconds TotalReadWait(const ReadTimeouts& t, size_t count);

// How many more bytes, at the least, a reader needs before the bytes a read has appended so
// far complete what it waits for (a frame, an answer): 0 once they do.
using FrameNeed = std::function<size_t(std::string_view got)>;

enum class OpenResult {
  kOk,
  kCannotOpen,       // no such port, or in use
  kCannotReadState,  // the line state could not be read
  kCannotSetState,   // the line settings were refused
};

// One serial port. Every call is bounded in time; none blocks forever.
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  virtual OpenResult Open(const std::string& portName, const PortSettings& settings) = 0;
  virtual bool IsOpen() const = 0;
  virtual bool SetTimeouts(const ReadTimeouts& timeouts) = 0;
  // Drops whatever is pending either way.
  virtual bool Purge() = 0;
  // Reads up to `max` bytes into `out` (appended), bounded by the time-outs. Returns the number
  // read (0 when nothing came), or -1 when the port failed.
  virtual long Read(std::string& out, size_t max) = 0;
  // As Read, but ends as soon as `need` says the bytes read complete a frame, so the frame is
  // handed on the moment its last byte arrives. The time-outs keep their meaning: the
  // interval still ends a frame the instrument left unfinished. A device whose Read hands
  // out what has arrived without waiting for more needs nothing else.
  virtual long ReadFrame(std::string& out, size_t max, const FrameNeed& need) {
    (void)need;
    return Read(out, max);
  }
  // Writes all bytes within `timeout`; false when not all of them went out in time.
  virtual bool Write(std::string_view bytes, std::chrono::milliseconds timeout) = 0;
  // Waits until the transmit buffer is empty, at most `timeout`.
  virtual bool WaitTransmitEmpty(std::chrono::milliseconds timeout) = 0;
  // False when closing failed; the device is closed afterwards either way.
  virtual bool Close() = 0;
  // Why the last open failed, in the system's words; empty when unknown.
  virtual std::string LastError() const { return {}; }
};

}  // namespace ulvo
