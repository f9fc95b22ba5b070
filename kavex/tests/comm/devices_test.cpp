#include <gtest/gtest.h>

#include <sstream>

#include "kavex/comm/comm_port.h"
#include "kavex/comm/fault_device.h"
#include "kavex/comm/tracing_device.h"
#include "kavex/tests/support/scripted_device.h"

namespace kavex {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;
using testing::ScriptedDevice;

TEST(TracingDevice, LogsBothDirectionsWithTimeAndControlNames) {
  FakeClock clock;
  ScriptedDevice device(clock);
  std::ostringstream out;
  {
    TracingDevice trace(device, clock, out);
    CommPort port(trace, clock, [](const std::string&) {});
    device
        .Send(
            "\x02"
            "AB\x03\r\n")
        .Expect("\x06");
    ASSERT_EQ(port.OpenPort("COM1"), 0);
    ASSERT_EQ(port.ConfigurePort(10000), 0);
    EXPECT_EQ(port.ReadLine(), kLineEnd);
    port.StartTimer();
    port.WaitSince(100);
    EXPECT_EQ(port.WriteText("\x06"), 0);
    EXPECT_EQ(port.ReadLine(), kLineFailed);
    port.ClosePort();
  }
  EXPECT_EQ(out.str(),
            "     0.000 -- open COM1\n"
            "     0.000 -- configure 9600 baud, 8 bits, parity none, 1 stop\n"
            "     0.000 RX <STX>AB<ETX><CR><LF>\n"
            "     0.100 TX <ACK>\n"
            "    10.105 RX time-out\n"
            "    10.105 -- close\n");
}

TEST(TracingDevice, ShowsEveryByteReadably) {
  EXPECT_EQ(ShowBytes(std::string("\x00\x04\x05\x11\x13\x15 ~\x7f\xe9", 10)),
            "<NUL><EOT><ENQ><DC1><DC3><NAK> ~<x7F><xE9>");
}

TEST(FaultInjectingDevice, SpoilsTheExchangeAsConfigured) {
  struct Case {
    const char* what;
    Faults faults;
    std::vector<int> results;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"drop line 2",
       Faults{.dropLine = 2},
       {kLineEnd, kLineEnd, kLineFailed},
       {"A1\n", "C3\n", ""}},
      {"corrupt line 1", Faults{.corruptLine = 1}, {kLineEnd, kLineEnd}, {"A0\n", "B2\n"}},
      {"silent after 1", Faults{.silentAfterLines = 1}, {kLineEnd, kLineFailed}, {"A1\n", ""}},
  };
  for (const auto& c : cases) {
    FakeClock clock;
    ScriptedDevice device(clock);
    FaultInjectingDevice faulty(device, clock, c.faults);
    CommPort port(faulty, clock, [](const std::string&) {});
    device.Send("A1\n").Send("B2\n").Send("C3\n");
    ASSERT_EQ(port.OpenPort("COM1"), 0);
    ASSERT_EQ(port.ConfigurePort(1000), 0);
    for (size_t i = 0; i < c.results.size(); ++i) {
      EXPECT_EQ(port.ReadLine(), c.results[i]) << c.what << " " << i;
      EXPECT_EQ(port.Line(), c.lines[i]) << c.what << " " << i;
    }
  }
}

TEST(FaultInjectingDevice, DelayedLineArrivesLateAndFailedWriteFails) {
  FakeClock clock;
  ScriptedDevice device(clock);
  FaultInjectingDevice faulty(device, clock,
                              Faults{.delayLine = 1, .delay = 300ms, .failWrite = 1});
  std::vector<std::string> shown;
  CommPort port(faulty, clock, [&](const std::string& t) { shown.push_back(t); });
  device.Send("A\n");
  ASSERT_EQ(port.OpenPort("COM1"), 0);
  ASSERT_EQ(port.ConfigurePort(1000), 0);
  EXPECT_EQ(port.ReadLine(), kLineEnd);
  EXPECT_EQ(clock.Elapsed(), 300ms);
  EXPECT_EQ(port.WriteText("x"), -1);
  EXPECT_EQ(shown, std::vector<std::string>{"Failed to send data."});
}

}  // namespace
}  // namespace kavex
