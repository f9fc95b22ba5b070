#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ulvo/transfer/clock.h"
#include "ulvo/transfer/serial_device.h"

namespace ulvo::test {

// Time that moves only when a device pretends to wait.
class FakeClock : public Clock {
 public:
  TimePoint Now() const override { return now_; }
  void SleepFor(std::chrono::milliseconds d) override { now_ += d; }

 private:
  TimePoint now_{};
};

// An instrument in a script: reads hand out queued chunks (an empty chunk is one silent
// read), a responder may queue more on every write, and every write is recorded.
class ScriptedDevice : public SerialDevice {
 public:
  explicit ScriptedDevice(FakeClock& clock) : clock_(clock) {}

  OpenResult Open(const std::string& portName, const PortSettings& settings) override {
    openedName = portName;
    openedSettings = settings;
    open_ = openResult == OpenResult::kOk;
    return openResult;
  }
  bool IsOpen() const override { return open_; }
  bool SetTimeouts(const ReadTimeouts& t) override {
    timeouts = t;
    return timeoutsOk;
  }
  bool Purge() override {
    ++purges;
    return true;
  }
  long Read(std::string& out, size_t max) override {
    ++reads;
    if (inbound.empty() || inbound.front().empty()) {
      if (!inbound.empty()) inbound.pop_front();
      ++silentReads;
      clock_.SleepFor(TotalReadWait(timeouts, max));
      return 0;
    }
    std::string& chunk = inbound.front();
    const size_t n = std::min(max, chunk.size());
    out.append(chunk, 0, n);
    chunk.erase(0, n);
    if (chunk.empty()) inbound.pop_front();
    return static_cast<long>(n);
  }
  bool Write(std::string_view bytes, std::chrono::milliseconds) override {
    if (failWriteAt >= 0 && static_cast<int>(writes.size()) == failWriteAt) return false;
    writes.emplace_back(bytes);
    if (responder) responder(std::string(bytes), *this);
    return true;
  }
  bool WaitTransmitEmpty(std::chrono::milliseconds) override { return true; }
  bool Close() override {
    open_ = false;
    ++closes;
    return closeOk;
  }
  std::string LastError() const override { return lastError; }

  std::string Wire() const {
    std::string all;
    for (const auto& w : writes) all += w;
    return all;
  }

  OpenResult openResult = OpenResult::kOk;
  bool timeoutsOk = true;
  bool closeOk = true;
  int failWriteAt = -1;
  std::string lastError;
  std::string openedName;
  PortSettings openedSettings;
  ReadTimeouts timeouts;
  std::deque<std::string> inbound;
  std::vector<std::string> writes;
  std::function<void(const std::string&, ScriptedDevice&)> responder;
  int reads = 0, silentReads = 0, purges = 0, closes = 0;

 private:
  FakeClock& clock_;
  bool open_ = false;
};

}  // namespace ulvo::test
