#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "fake_clock.h"
#include "kavex/comm/serial_device.h"

namespace kavex::testing {

// A scripted instrument on the fake clock. The script alternates what the instrument sends
// (available `after` the previous step ended) with what it expects to receive; it waits
// for each expected write before going on. Every write is logged with its time, so tests
// check the exact bytes and when they left.
class ScriptedDevice final : public SerialDevice {
 public:
  struct Sent {
    std::chrono::microseconds at;  // since the clock's start
    std::string bytes;
  };

  explicit ScriptedDevice(FakeClock& clock) : clock_(clock) {}
  ~ScriptedDevice() override {
    for (const auto& s : script_)
      if (s.expect) ADD_FAILURE() << "instrument still expected " << Show(s.bytes);
  }

  ScriptedDevice& Send(const std::string& bytes,
                       std::chrono::milliseconds after = std::chrono::milliseconds(0)) {
    script_.push_back({false, bytes, after});
    return *this;
  }
  ScriptedDevice& Expect(const std::string& bytes) {
    script_.push_back({true, bytes, {}});
    return *this;
  }

  bool Open(const std::string& name) override {
    opened.push_back(name);
    open_ = !failOpen;
    return open_;
  }
  bool IsOpen() const override { return open_; }
  bool QueryState() override { return !failQuery; }
  bool Configure(const LineSettings& s) override {
    settings = s;
    return !failConfigure;
  }
  bool SupportsReadTimeouts() const override { return !noTimeouts; }
  int ReadByte(std::chrono::milliseconds timeout) override {
    EXPECT_TRUE(open_) << "read from a closed port";
    lastTimeout = timeout;
    if (input_.empty() && !script_.empty() && !script_.front().expect) {
      const Step s = script_.front();
      const auto ready = stepEnd_ + s.after;
      if (ready > clock_.Now() + timeout) {
        clock_.Advance(timeout);
        return -1;
      }
      if (ready > clock_.Now()) clock_.SleepUntil(ready);
      script_.pop_front();
      input_ = s.bytes;
    }
    if (input_.empty()) {
      clock_.Advance(timeout);
      return -1;
    }
    const auto c = static_cast<unsigned char>(input_.front());
    input_.erase(0, 1);
    if (input_.empty()) stepEnd_ = clock_.Now();
    return c;
  }
  bool Write(const std::string& bytes) override {
    EXPECT_TRUE(open_) << "write to a closed port";
    ++writes_;
    if (writes_ == failWrite) return false;
    sent.push_back(
        {std::chrono::duration_cast<std::chrono::microseconds>(clock_.Now() - Clock::TimePoint{}),
         bytes});
    pendingWrite_ += bytes;
    while (!script_.empty() && script_.front().expect && !pendingWrite_.empty()) {
      const std::string& want = script_.front().bytes;
      if (pendingWrite_.size() < want.size()) {
        if (want.compare(0, pendingWrite_.size(), pendingWrite_) != 0) break;
        return true;
      }
      EXPECT_EQ(Show(pendingWrite_.substr(0, want.size())), Show(want));
      pendingWrite_.erase(0, want.size());
      script_.pop_front();
      stepEnd_ = clock_.Now();
    }
    if (!pendingWrite_.empty()) {
      if (!acceptAnyWrite) ADD_FAILURE() << "unexpected write " << Show(pendingWrite_);
      pendingWrite_.clear();
    }
    return true;
  }
  void PurgeInput() override { ++purges; }
  void Close() override {
    open_ = false;
    ++closes;
  }

  // All bytes written, in order.
  std::string AllSent() const {
    std::string s;
    for (const auto& w : sent) s += w.bytes;
    return s;
  }

  static std::string Show(const std::string& bytes) {
    std::string s;
    for (const char ch : bytes) {
      const auto c = static_cast<unsigned char>(ch);
      if (c < 0x20 || c >= 0x7F) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "<%02X>", c);
        s += buf;
      } else {
        s.push_back(ch);
      }
    }
    return s;
  }

  std::vector<Sent> sent;
  std::vector<std::string> opened;
  LineSettings settings;
  std::chrono::milliseconds lastTimeout{0};
  bool failOpen = false, failQuery = false, failConfigure = false, noTimeouts = false;
  int failWrite = 0;            // this write (counted from 1) fails
  bool acceptAnyWrite = false;  // writes between the expected ones are only logged
  int purges = 0, closes = 0;

 private:
  struct Step {
    bool expect;
    std::string bytes;
    std::chrono::milliseconds after;
  };
  FakeClock& clock_;
  std::deque<Step> script_;
  std::string input_;
  std::string pendingWrite_;
  Clock::TimePoint stepEnd_{};
  bool open_ = false;
  int writes_ = 0;
};

}  // namespace kavex::testing
