#include "kavex/comm/clock.h"

#include <ctime>
#include <thread>

namespace kavex {

Clock::TimePoint SystemClock::Now() {
  return std::chrono::steady_clock::now();
}

void SystemClock::SleepUntil(TimePoint when) {
  std::this_thread::sleep_until(when);
}

CalendarDate SystemClock::Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace kavex
