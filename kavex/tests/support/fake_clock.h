#pragma once

#include "kavex/comm/clock.h"

namespace kavex::testing {

// Time moves only when the code under test sleeps, so protocol delays cost nothing.
class FakeClock final : public Clock {
 public:
  TimePoint Now() override {
    now_ += tick;
    return now_;
  }
  void SleepUntil(TimePoint when) override {
    if (when > now_) now_ = when;
    ++sleeps;
  }
  CalendarDate Today() override { return today; }
  void Advance(std::chrono::milliseconds d) { now_ += d; }
  std::chrono::milliseconds Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(now_ - TimePoint{});
  }

  CalendarDate today{2016, 12, 31};
  // Added to the time at every Now(): work that looks at the clock as it goes takes time.
  std::chrono::milliseconds tick{0};
  int sleeps = 0;

 private:
  TimePoint now_{};
};

}  // namespace kavex::testing
