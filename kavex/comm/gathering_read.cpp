#include "kavex/comm/gathering_read.h"

#include <algorithm>

namespace kavex {

namespace {

// Bytes kept back are taken late, and so is the next byte's time-out measured from a later
// read: never by more than this.
constexpr std::chrono::milliseconds kMaxGather{50};

}  // namespace

int ReadByteGathering(ByteSource& source, Clock& clock, std::chrono::milliseconds timeout,
                      size_t more, std::chrono::microseconds charTime) {
  const Clock::TimePoint deadline = clock.Now() + timeout;
  for (;;) {
    const int b = source.TakeByte();
    if (b >= 0) return b;
    if (clock.Now() >= deadline) return -1;
    const ByteSource::Wait w = source.WaitReadable(deadline);
    if (w == ByteSource::Wait::kNone) return source.TakeByte();
    const size_t there = source.Buffered();
    if (w == ByteSource::Wait::kArrived && charTime.count() > 0 && more > there + 1) {
      const Clock::TimePoint now = clock.Now();
      clock.SleepUntil(std::min(
          {deadline, now + kMaxGather, now + charTime * static_cast<long>(more - there - 1)}));
    }
  }
}

}  // namespace kavex
