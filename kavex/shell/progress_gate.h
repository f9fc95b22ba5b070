#pragma once

#include <chrono>

#include "kavex/comm/clock.h"

namespace kavex {

// Lets progress through at most a few times a second. Long work reports after every line or
// few lines; repainting the window (and adding each line to the view) that often costs many
// times the work itself.
class ProgressGate {
 public:
  static constexpr std::chrono::milliseconds kInterval{250};

  explicit ProgressGate(Clock& clock) : clock_(clock), last_(clock.Now()) {}

  // True when kInterval has passed since the gate was made or last opened.
  bool Open() {
    const Clock::TimePoint now = clock_.Now();
    if (now - last_ < kInterval) return false;
    last_ = now;
    return true;
  }

 private:
  Clock& clock_;
  Clock::TimePoint last_;
};

}  // namespace kavex
