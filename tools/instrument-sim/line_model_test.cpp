#include "line_model.h"

#include <gtest/gtest.h>

#include <bit>

namespace sim {
namespace {

using std::chrono::nanoseconds;

constexpr LineParity N = LineParity::kNone, E = LineParity::kEven, O = LineParity::kOdd;

LineReceiver Port(unsigned baud, bool ignpar, bool parmrk = false, bool ignbrk = false) {
  return {{baud, 8, N, 1}, ignpar, parmrk, ignbrk};
}

// Worked by hand: the sent bits, sampled mid-bit by a receiver at its own rate.
TEST(LineModel, WorkedCases) {
  struct Case {
    const char* what;
    LineFrame sent;
    std::string bytes;
    LineReceiver port;
    std::string expected;
  };
  const Case cases[] = {
      {"8N1 as 8N1", {9600, 8, N, 1}, "AB\r\n", Port(9600, true), "AB\r\n"},
      // The eighth bit is the parity bit: A (two ones) stays, C (three) gets it set.
      {"7E1 as 8N1", {9600, 7, E, 1}, "AC\r\n", Port(9600, true), "\x41\xC3\x8D\x0A"},
      {"7O1 as 8N1", {9600, 7, O, 1}, "AC\r\n", Port(9600, true), "\xC1\x43\x0D\x8A"},
      {"7E2 as 8N1", {9600, 7, E, 2}, "AC", Port(9600, true), "\x41\xC3"},
      // The stop bit is sampled on the parity bit: a 0 there is a framing error.
      {"8E1 as 8N1, IGNPAR", {9600, 8, E, 1}, "AC\r\n", Port(9600, true), "C\r"},
      {"8E1 as 8N1", {9600, 8, E, 1}, "AC\r\n", Port(9600, false), std::string("\0C\r\0", 4)},
      {"8O1 as 8N1, IGNPAR", {9600, 8, O, 1}, "AC\r\n", Port(9600, true), "A\n"},
      // 'A' at 2400: four samples a bit; the stop sample falls on d1 (0), then the receiver
      // takes d6 -> d7 as a start bit and reads 0xF8 out of d7, the stop bit and the idle line.
      {"2400 as 9600, IGNPAR", {2400, 8, N, 1}, "A", Port(9600, true), "\xF8"},
      {"2400 as 9600", {2400, 8, N, 1}, "A", Port(9600, false), std::string("\0\xF8", 2)},
      {"2400 as 9600, PARMRK",
       {2400, 8, N, 1},
       "A",
       Port(9600, false, true),
       std::string("\xFF\0\x78\xF8", 4)},
      // 'A' at 9600 read at 19200: two samples a bit, d3 (0) under the stop bit, then d6 -> d7.
      {"9600 as 19200", {9600, 8, N, 1}, "A", Port(19200, false), std::string("\0\xFE", 2)},
      // NUL at 1200 holds the line low for ten of the receiver's bits: a break.
      {"break", {1200, 8, N, 1}, std::string(1, '\0'), Port(9600, false), std::string(1, '\0')},
      {"break, IGNBRK", {1200, 8, N, 1}, std::string(1, '\0'), Port(9600, false, false, true), ""},
      {"0xFF under PARMRK", {9600, 8, N, 1}, "\xFF", Port(9600, false, true), "\xFF\xFF"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReceivedBytes(c.sent, c.bytes, c.port), c.expected) << c.what;
}

TEST(LineModel, EightEvenAsEightNoneDropsExactlyTheBytesWithParityBitZero) {
  // NUL is left out: with its parity bit 0 as well the line stays low a whole frame, a break.
  for (int c = 1; c < 256; ++c) {
    const std::string byte(1, static_cast<char>(c));
    const bool parityBitOne = std::popcount(static_cast<unsigned>(c)) % 2 == 1;
    EXPECT_EQ(ReceivedBytes({4800, 8, E, 1}, byte, Port(4800, true)), parityBitOne ? byte : "")
        << c;
  }
}

TEST(LineModel, HandsEachByteOnAtTheEndOfItsFrame) {
  const auto rx = ReceiveLine({9600, 8, N, 1}, "AB", Port(9600, true));
  ASSERT_EQ(rx.size(), 2u);
  EXPECT_EQ(rx[0], (ReceivedByte{'A', nanoseconds(1041666)}));
  EXPECT_EQ(rx[1], (ReceivedByte{'B', nanoseconds(2083333)}));
  // The 2400-baud 'A' above: the second byte's start edge is at 8 sent bits (3.333 ms).
  const auto slow = ReceiveLine({2400, 8, N, 1}, "A", Port(9600, false));
  ASSERT_EQ(slow.size(), 2u);
  EXPECT_EQ(slow[1].at, nanoseconds(4375000));
}

TEST(LineModel, AReceiverStartingLateWaitsForTheNextStartBit) {
  const auto rx = ReceiveLine({9600, 8, N, 1}, "AB", Port(9600, true), nanoseconds(1041666));
  ASSERT_EQ(rx.size(), 1u);
  EXPECT_EQ(rx[0].byte, 'B');
}

TEST(LineModel, ParsesTheSettingsText) {
  struct Case {
    const char* text;
    bool ok;
    LineFrame frame;
  };
  const Case cases[] = {
      {"9600,7,even,1", true, {9600, 7, E, 1}},
      {"1200,8,N,2", true, {1200, 8, N, 2}},
      {"19200,8,Odd,1", true, {19200, 8, O, 1}},
      {"9600,7,even", false, {}},
      {"9600,9,even,1", false, {}},
      {"9600,7,even,3", false, {}},
      {"fast,7,even,1", false, {}},
      {"9600,7,evens,1", false, {}},
  };
  for (const Case& c : cases) {
    LineFrame f;
    std::string error;
    EXPECT_EQ(ParseLineFrame(c.text, f, error), c.ok) << c.text;
    if (c.ok)
      EXPECT_EQ(f, c.frame) << c.text;
    else
      EXPECT_FALSE(error.empty()) << c.text;
  }
  EXPECT_EQ(LineFrameText({9600, 7, E, 1}), "9600,7,even,1");
  EXPECT_EQ(LineTime({9600, 7, E, 2}, 96), nanoseconds(110'000'000));
}

}  // namespace
}  // namespace sim
