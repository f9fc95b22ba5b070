#pragma once

// Twin of ulvo/tests/transfer/line_device.h: the programs share no code, so the test line
// is kept alike in both by hand.

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "kavex/comm/serial_device.h"
#include "kavex/tests/support/fake_clock.h"
#include "line_model.h"

namespace kavex::testing {

// An instrument sending `records` over and over at its own line settings from `startsAt` on,
// the line idle for `pause` after each (none: one stream without a pause); the port receives
// what a UART set as the port was set makes of that line.
class LineDevice final : public SerialDevice {
 public:
  LineDevice(FakeClock& clock, const sim::LineFrame& sent, std::vector<std::string> records,
             std::chrono::milliseconds startsAt, std::chrono::nanoseconds pause,
             bool ignoreErrors = true)
      : clock_(clock),
        sent_(sent),
        records_(std::move(records)),
        pause_(pause),
        sendStart_(clock.Now() + startsAt),
        ignoreErrors_(ignoreErrors) {
    for (const std::string& r : records_) pattern_ += r;
  }

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
    ReceiveUntil(until);
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
    if (pause_.count() == 0) {
      // One stream: the bytes from the one under way at `now` to the horizon.
      const std::chrono::nanoseconds frame = sim::LineTime(sent_, 1);
      const auto from = std::max(std::chrono::nanoseconds(0), now - sendStart_);
      const size_t first = static_cast<size_t>(from / frame);
      std::string bytes;
      for (size_t k = first; k < first + static_cast<size_t>(kHorizon / frame) + 1; ++k)
        bytes.push_back(pattern_[k % pattern_.size()]);
      Receive(bytes, sendStart_ + sim::LineTime(sent_, first), now);
      return;
    }
    restarted_ = now;
    recordStart_ = sendStart_;
    record_ = 0;
    ReceiveUntil(now);
  }
  // Each record from an idle line: the receiver is in step at its first start bit. The records
  // are worked out as the reads get to them, however long the receiver stays at one setting.
  void ReceiveUntil(Clock::TimePoint until) {
    if (pattern_.empty() || pause_.count() == 0) return;
    while (recordStart_ <= until + kAhead) {
      const std::string& r = records_[record_++ % records_.size()];
      const auto length = sim::LineTime(sent_, r.size());
      if (recordStart_ + length > restarted_) Receive(r, recordStart_, restarted_);
      recordStart_ += length + pause_;
    }
  }
  void Receive(const std::string& bytes, Clock::TimePoint origin, Clock::TimePoint now) {
    const auto from = std::max(std::chrono::nanoseconds(0), now - origin);
    for (const sim::ReceivedByte& b : sim::ReceiveLine(sent_, bytes, port_, from))
      rx_.emplace_back(origin + b.at, b.byte);
  }

  // How far ahead of now the bytes of a stream, or of the records, are worked out.
  static constexpr std::chrono::seconds kHorizon{3};
  static constexpr std::chrono::milliseconds kAhead{200};
  FakeClock& clock_;
  sim::LineFrame sent_;
  std::vector<std::string> records_;
  std::chrono::nanoseconds pause_;
  std::string pattern_;
  Clock::TimePoint sendStart_;
  bool ignoreErrors_;
  bool open_ = false;
  sim::LineReceiver port_;
  std::vector<std::pair<Clock::TimePoint, unsigned char>> rx_;
  Clock::TimePoint restarted_;
  Clock::TimePoint recordStart_;
  size_t record_ = 0;
  size_t next_ = 0;
};

}  // namespace kavex::testing
