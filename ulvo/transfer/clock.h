#pragma once

// Twin of kavex/comm/clock.h: the programs share no code, so the clock is kept alike in both by
// hand. A change to one belongs in the other too.

#include <chrono>

namespace ulvo {

// Time for the transfer engine and its devices; tests substitute a clock that only moves when
// told, so no test waits for a protocol delay.
class Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~Clock() = default;
  virtual TimePoint Now() const = 0;
  virtual void SleepFor(std::chrono::milliseconds duration) = 0;
};

class SteadyClock : public Clock {
 public:
  TimePoint Now() const override;
  void SleepFor(std::chrono::milliseconds duration) override;
};

}  // namespace ulvo
