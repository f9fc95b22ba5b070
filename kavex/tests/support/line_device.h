#pragma once

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "kavex/comm/serial_device.h"
#include "kavex/tests/support/fake_clock.h"
#include "line_model.h"

namespace kavex::testing {

// An instrument sending `pattern` over and over, back to back at its own line settings from
// `startsAt` on; the port receives what a UART set as Configure set it makes of that line.
class LineDevice final : public SerialDevice {
 public:
  LineDevice(FakeClock& clock, const sim::LineFrame& sent, std::string pattern,
             std::chrono::milliseconds startsAt, bool ignoreErrors = true)
      : clock_(clock),
        sent_(sent),
        pattern_(std::move(pattern)),
        sendStart_(clock.Now() + startsAt),
        ignoreErrors_(ignoreErrors) {}

  bool Open(const std::string&) override { return open_ = true; }
  bool IsOpen() const override { return open_; }
  bool QueryState() override { return open_; }
  bool Configure(const LineSettings& s) override {
    const sim::LineParity parity = s.parity == 1   ? sim::LineParity::kEven
                                   : s.parity == 2 ? sim::LineParity::kOdd
                                                   : sim::LineParity::kNone;
    port_ = {{static_cast<unsigned>(s.baud), s.dataBits, parity, s.stopBits},
             ignoreErrors_,
             false,
             false};
    ++configured;
    Restart();
    return true;
  }
  int ReadByte(std::chrono::milliseconds timeout) override {
    const auto until = clock_.Now() + timeout;
    if (!pattern_.empty() && next_ < rx_.size() && rx_[next_].first <= until) {
      clock_.SleepUntil(rx_[next_].first);
      return rx_[next_++].second;
    }
    clock_.SleepUntil(until);
    return -1;
  }
  bool Write(const std::string&) override { return true; }
  void PurgeInput() override {
    const auto now = clock_.Now();
    while (next_ < rx_.size() && rx_[next_].first <= now) ++next_;
  }
  void Close() override { open_ = false; }

  int configured = 0;

 private:
  // The receiver was set anew: it hunts for a start bit from now on, over what the instrument
  // sends in the next few seconds.
  void Restart() {
    rx_.clear();
    next_ = 0;
    if (pattern_.empty()) return;
    const auto now = clock_.Now();
    const std::chrono::nanoseconds frame = sim::LineTime(sent_, 1);
    const auto from = std::max(std::chrono::nanoseconds(0), now - sendStart_);
    const size_t first = static_cast<size_t>(from / frame);
    const size_t count = static_cast<size_t>(kHorizon / frame) + 1;
    std::string bytes;
    for (size_t k = first; k < first + count; ++k) bytes.push_back(pattern_[k % pattern_.size()]);
    const auto origin = sendStart_ + sim::LineTime(sent_, first);
    const auto fromHere = std::max(std::chrono::nanoseconds(0), now - origin);
    for (const sim::ReceivedByte& r : sim::ReceiveLine(sent_, bytes, port_, fromHere))
      rx_.emplace_back(origin + r.at, r.byte);
  }

  static constexpr std::chrono::seconds kHorizon{3};
  FakeClock& clock_;
  sim::LineFrame sent_;
  std::string pattern_;
  Clock::TimePoint sendStart_;
  bool ignoreErrors_;
  bool open_ = false;
  sim::LineReceiver port_;
  std::vector<std::pair<Clock::TimePoint, unsigned char>> rx_;
  size_t next_ = 0;
};

}  // namespace kavex::testing
