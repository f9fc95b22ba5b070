#include "kavex/comm/comm_port.h"

#include <gtest/gtest.h>

#include "kavex/tests/support/scripted_device.h"

namespace kavex {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;
using testing::ScriptedDevice;

struct PortFixture : ::testing::Test {
  FakeClock clock;
  ScriptedDevice device{clock};
  std::vector<std::string> messages;
  CommPort port{device, clock, [this](const std::string& t) { messages.push_back(t); }};

  void OpenConfigured(unsigned timeout = 10000) {
    ASSERT_EQ(port.OpenPort("COM1"), 0);
    ASSERT_EQ(port.ConfigurePort(timeout), 0);
  }
};

TEST_F(PortFixture, ReadLineResults) {
  struct Case {
    std::string bytes;
    int result;
    std::string line;
  };
  const std::string a256(256, 'A');
  const Case cases[] = {
      {"ABC\n", kLineEnd, "ABC\n"},
      {"AB\r\n", kLineEnd, "AB\r\n"},
      {"\x04", kLineEot, "\x04"},
      {"XY\x11", kLineDc1, "XY\x11"},
      {std::string(255, 'A') + "\n", kLineEnd, std::string(255, 'A') + "\n"},
      {a256, kLineFailed, a256},
      {std::string("AB\0CD\n", 6), kLineFailed, "AB"},  // 0x00 ends the read
      {"ABC", kLineFailed, "ABC"},                      // the rest never comes
  };
  for (const auto& c : cases) {
    FakeClock clk;
    ScriptedDevice dev(clk);
    CommPort p(dev, clk, [](const std::string&) {});
    dev.Send(c.bytes);
    ASSERT_EQ(p.OpenPort("COM1"), 0);
    ASSERT_EQ(p.ConfigurePort(10000), 0);
    EXPECT_EQ(p.ReadLine(), c.result) << ScriptedDevice::Show(c.bytes);
    EXPECT_EQ(p.Line(), c.line) << ScriptedDevice::Show(c.bytes);
  }
}

TEST_F(PortFixture, NothingArrivingTimesOutAfterTheTimeoutPlusOneByteTime) {
  OpenConfigured(2000);
  EXPECT_EQ(port.ReadLine(), kLineFailed);
  EXPECT_EQ(port.Line(), "");
  EXPECT_EQ(device.lastTimeout, 2005ms);
  EXPECT_EQ(clock.Elapsed(), 2005ms);
}

TEST_F(PortFixture, LineSettingsFollowTheCommSettings) {
  struct Case {
    int rateCode;
    bool sevenBits;
    int parityCode;
    int stopBits;
    LineSettings expected;
  };
  const Case cases[] = {
      {5, false, 0, 1, {38400, 8, 0, 1, true}},
      {4, true, 1, 2, {1200, 7, 1, 2, true}},
      {0, false, 2, 1, {19200, 8, 2, 1, true}},
      {1, false, 7, 3, {9600, 8, 0, 1, true}},  // unknown parity and stop bits fall back
  };
  for (const auto& c : cases) {
    CommSettings s;
    s.rateCode = c.rateCode;
    s.sevenBits = c.sevenBits;
    s.parityCode = c.parityCode;
    s.stopBits = c.stopBits;
    port.SetSettings(s);
    ASSERT_EQ(port.OpenPort("COM1"), 0);
    ASSERT_EQ(port.ConfigurePort(10000), 0);
    EXPECT_EQ(device.settings, c.expected) << c.rateCode;
    port.ClosePort();
  }
}

TEST_F(PortFixture, FailuresShowTheirMessageAndLeaveThePortClosed) {
  struct Case {
    const char* what;
    bool ScriptedDevice::*flag;
    std::vector<std::string> messages;
    int openResult, configureResult;
  };
  const Case cases[] = {
      {"open", &ScriptedDevice::failOpen, {"COM ERROR."}, -1, -1},
      {"query", &ScriptedDevice::failQuery, {"Failed to get current settings."}, 0, -1},
      {"configure", &ScriptedDevice::failConfigure, {"Configuration failed."}, 0, -1},
      {"time-outs", &ScriptedDevice::noTimeouts, {}, 0, -1},
  };
  for (const auto& c : cases) {
    FakeClock clk;
    ScriptedDevice dev(clk);
    std::vector<std::string> shown;
    CommPort p(dev, clk, [&](const std::string& t) { shown.push_back(t); });
    dev.*c.flag = true;
    const int opened = p.OpenPort("COM2");
    EXPECT_EQ(opened, c.openResult) << c.what;
    if (opened == 0) {
      EXPECT_EQ(p.ConfigurePort(10000), c.configureResult) << c.what;
    }
    EXPECT_EQ(shown, c.messages) << c.what;
    EXPECT_FALSE(dev.IsOpen()) << c.what;
  }
}

TEST_F(PortFixture, WriteFailureShowsFailedToSendData) {
  device.failWrite = 1;
  OpenConfigured();
  EXPECT_EQ(port.WriteText("\x05"), -1);
  EXPECT_EQ(messages, std::vector<std::string>{"Failed to send data."});
}

TEST_F(PortFixture, ComNamesMapToDevicePaths) {
  port.SetPortPath("COM1", "/dev/ttyUSB0");
  port.SetPortPath("COM2", "");
  ASSERT_EQ(port.OpenPort("COM1"), 0);
  ASSERT_EQ(port.OpenPort("COM2"), 0);  // no path set: the name itself
  ASSERT_EQ(port.OpenPort("/dev/pts/7"), 0);
  EXPECT_EQ(device.opened, (std::vector<std::string>{"/dev/ttyUSB0", "COM2", "/dev/pts/7"}));
}

TEST_F(PortFixture, ClosePurgesInput) {
  OpenConfigured();
  port.ClosePort();
  EXPECT_EQ(device.purges, 1);
  EXPECT_FALSE(device.IsOpen());
}

TEST_F(PortFixture, WaitsSleepOnTheClock) {
  port.StartTimer();
  clock.Advance(30ms);
  port.WaitSince(100);  // more than 100 ms after the reference
  EXPECT_GT(clock.Now() - Clock::TimePoint{}, 100ms);
  EXPECT_LT(clock.Now() - Clock::TimePoint{}, 101ms);
  port.WaitSince(50);  // already past: no further wait
  EXPECT_LT(clock.Now() - Clock::TimePoint{}, 101ms);
  const auto before = clock.Now();
  port.WaitFromNow(100);
  EXPECT_EQ(clock.Now() - before, 100ms);
  EXPECT_GE(clock.sleeps, 2);
}

}  // namespace
}  // namespace kavex
