#pragma once

#include <string>

#include "ulvo/transfer/clock.h"
#include "ulvo/transfer/serial_device.h"

namespace ulvo {

// A port as a read with time-outs sees it.
class ByteSource {
 public:
  enum class Wait {
    kPending,   // bytes were there already (they may have come a while ago)
    kArrived,   // bytes came while waiting: the newest has just arrived
    kTimedOut,  // `until` passed
    kFailed,    // the port failed
  };
  virtual ~ByteSource() = default;
  // Returns once bytes are there to take, `until` has passed, or the port failed. Sleeps
  // meanwhile, never spins.
  virtual Wait WaitReadable(Clock::TimePoint until) = 0;
  // Appends up to `max` of the bytes already there, without waiting; -1 when the port failed.
  virtual long Take(std::string& out, size_t max) = 0;
  // Sleeps until `until` without looking at the port.
  virtual void Rest(Clock::TimePoint until) = 0;
};

// One read of up to `max` bytes as the time-outs define it: it ends when `need` says the bytes
// complete a frame (or `max` came), when more than the interval passes after a byte, or when
// the read's total time is over; both are measured from the read's start and the last byte.
// Returns the bytes appended to `out`, 0 when none came, -1 when the port failed before any
// came. Without `need` it waits for `max` bytes.
//
// With the line's `byteTime`, a frame still many bytes short when bytes have just arrived is
// left to gather in a rest rather than woken for piece by piece. The rest ends a byte before
// the frame can be whole, so its last byte is still taken the moment it arrives, and lasts
// at most a quarter of the interval, so an instrument that stops is noticed at most that late.
long ReadWithTimeouts(ByteSource& source, const Clock& clock, const ReadTimeouts& timeouts,
                      std::chrono::microseconds byteTime, std::string& out, size_t max,
                      const FrameNeed& need);

}  // namespace ulvo
