#include "ulvo/transfer/timed_read.h"

#include <algorithm>

namespace ulvo {

long ReadWithTimeouts(ByteSource& source, const Clock& clock, const ReadTimeouts& timeouts,
                      std::chrono::microseconds byteTime, std::string& out, size_t max,
                      const FrameNeed& need) {
  if (max == 0) return 0;
  // The driver's "return at once with what is there".
  const bool noWait =
      timeouts.interval == 0xFFFFFFFF && timeouts.multiplier == 0 && timeouts.constant == 0;
  const Clock::TimePoint start = clock.Now();
  const Clock::TimePoint deadline = start + TotalReadWait(timeouts, max);
  const size_t before = out.size();
  Clock::TimePoint lastByte = start;
  size_t got = 0;
  bool justArrived = false;  // the bytes about to be taken have only just come
  for (;;) {
    const long n = source.Take(out, max - got);
    if (n < 0) return got == 0 ? -1 : static_cast<long>(got);
    Clock::TimePoint now = clock.Now();
    if (n > 0) {
      got += static_cast<size_t>(n);
      lastByte = now;
      const size_t missing =
          need ? std::min(need(std::string_view(out).substr(before)), max - got) : max - got;
      if (missing == 0) break;
      if (justArrived && missing > 1 && byteTime.count() > 0) {
        // All but the frame's last byte can come meanwhile, at the line's rate at the most.
        Clock::TimePoint until = now + byteTime * static_cast<long>(missing - 1);
        if (timeouts.interval > 0)
          until = std::min(until, now + std::chrono::milliseconds(timeouts.interval) / 4);
        until = std::min(until, deadline);
        if (until - now >= 2 * byteTime) {
          source.Rest(until);
          now = clock.Now();
        }
      }
    }
    justArrived = false;
    if (noWait) break;
    Clock::TimePoint limit = deadline;
    if (got > 0 && timeouts.interval > 0)
      limit = std::min(limit, lastByte + std::chrono::milliseconds(timeouts.interval));
    if (now >= limit) break;
    const ByteSource::Wait w = source.WaitReadable(limit);
    if (w == ByteSource::Wait::kFailed) {
      if (got == 0) return -1;
      break;
    }
    justArrived = w == ByteSource::Wait::kArrived;
  }
  return static_cast<long>(got);
}

}  // namespace ulvo
