#pragma once

// Twin of ulvo/transfer/clock.h: the programs share no code, so the clock is kept alike in both by
// hand. A change to one belongs in the other too.

#include <chrono>

namespace kavex {

struct CalendarDate {
  int year = 2000;  // e.g. 2016
  int month = 1;    // 1..12
  int day = 1;      // 1..31
};

// Time for protocol waits, the splash and automatic file names. The real clock sleeps;
// the fake one in tests advances instantly, so no test waits for a protocol delay.
class Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~Clock() = default;
  virtual TimePoint Now() = 0;
  // Returns at or after `when`, sleeping (never spinning) meanwhile.
  virtual void SleepUntil(TimePoint when) = 0;
  virtual CalendarDate Today() = 0;
};

// The steady clock with real sleeps and the local calendar date.
class SystemClock final : public Clock {
 public:
  TimePoint Now() override;
  void SleepUntil(TimePoint when) override;
  CalendarDate Today() override;
};

}  // namespace kavex
