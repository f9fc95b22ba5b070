#pragma once

#include <chrono>
#include <cstddef>

#include "kavex/comm/clock.h"

namespace kavex {

// A port as the read of one byte sees it.
class ByteSource {
 public:
  enum class Wait {
    kPending,  // bytes were there already (they may have come a while ago)
    kArrived,  // bytes came while waiting: the newest has just arrived
    kNone,     // the time passed, or the port failed
  };
  virtual ~ByteSource() = default;
  // One byte already received, or -1 when none is there.
  virtual int TakeByte() = 0;
  // How many bytes are there to take without waiting.
  virtual size_t Buffered() const = 0;
  // Returns once bytes are there, `until` has passed or the port failed. Sleeps meanwhile,
  // never spins.
  virtual Wait WaitReadable(Clock::TimePoint until) = 0;
};

// One byte, waiting at most `timeout` from the call; -1 when none came or the port failed.
// `more` is how many bytes, at the least, the caller reads before it acts on them (this one
// included). When bytes have just arrived and more are due, the read first sleeps until all
// but the last of them can have come at `charTime` each (50 ms at the most): a block is then
// taken in a few wakes instead of one a piece, and its last byte still the moment it arrives.
// Bytes kept back meanwhile are handed on later, so a read after them, and its time-out,
// starts up to that much later than the bytes' arrival.
int ReadByteGathering(ByteSource& source, Clock& clock, std::chrono::milliseconds timeout,
                      size_t more, std::chrono::microseconds charTime);

}  // namespace kavex
