#include "ulvo/transfer/clock.h"

#include <thread>

namespace ulvo {

Clock::TimePoint SteadyClock::Now() const {
  return std::chrono::steady_clock::now();
}

void SteadyClock::SleepFor(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

}  // namespace ulvo
