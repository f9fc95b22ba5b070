// Block lines handed on the moment their last byte arrives, on a line whose bytes come at
// set times: a block cut anywhere is answered exactly the delay after it was whole, a block
// coming in pieces is taken in a few wakes, and an instrument that stops mid-line still meets
// the per-byte time-out.
#include "kavex/comm/gathering_read.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "kavex/comm/comm_port.h"
#include "kavex/comm/download_protocols.h"
#include "kavex/tests/comm/test_blocks.h"
#include "kavex/tests/support/fake_clock.h"

namespace kavex {
namespace {

using namespace std::chrono_literals;
using testing::BlockLine;
using testing::FakeClock;
using Us = std::chrono::microseconds;

Us Elapsed(FakeClock& clock) {
  return std::chrono::duration_cast<Us>(clock.Now() - Clock::TimePoint{});
}

// Bytes that arrive at set times. Waiting moves the clock to the next arrival.
class ScheduledSource : public ByteSource {
 public:
  explicit ScheduledSource(FakeClock& clock) : clock_(clock) {}

  void Arrive(Us at, const std::string& bytes) {
    auto it = arrivals_.begin();
    while (it != arrivals_.end() && it->first <= at) ++it;
    arrivals_.insert(it, {at, bytes});
  }

  int TakeByte() override {
    Deliver();
    if (buffer_.empty()) return -1;
    const auto c = static_cast<unsigned char>(buffer_.front());
    buffer_.erase(0, 1);
    return c;
  }
  size_t Buffered() const override { return buffer_.size(); }
  Wait WaitReadable(Clock::TimePoint until) override {
    Deliver();
    if (!buffer_.empty()) return Wait::kPending;
    if (arrivals_.empty() || Clock::TimePoint{} + arrivals_.front().first > until) {
      clock_.SleepUntil(until);
      return Wait::kNone;
    }
    clock_.SleepUntil(Clock::TimePoint{} + arrivals_.front().first);
    Deliver();
    ++wakes;
    return Wait::kArrived;
  }

  int wakes = 0;

 private:
  void Deliver() {
    while (!arrivals_.empty() && Clock::TimePoint{} + arrivals_.front().first <= clock_.Now()) {
      buffer_ += arrivals_.front().second;
      arrivals_.pop_front();
    }
  }

  FakeClock& clock_;
  std::deque<std::pair<Us, std::string>> arrivals_;
  std::string buffer_;
};

// A port on that line: reads gather as the real one's do, writes are logged with their
// instant and answered by the instrument.
class TimedDevice final : public SerialDevice {
 public:
  TimedDevice(FakeClock& clock, Us charTime) : source(clock), clock_(clock), charTime_(charTime) {}

  bool Open(const std::string&) override { return open_ = true; }
  bool IsOpen() const override { return open_; }
  bool QueryState() override { return true; }
  bool Configure(const LineSettings&) override { return true; }
  int ReadByte(std::chrono::milliseconds timeout) override {
    const size_t more = expected_;
    expected_ = 1;
    return ReadByteGathering(source, clock_, timeout, more, charTime_);
  }
  void ExpectBytes(size_t count) override { expected_ = count; }
  bool Write(const std::string& bytes) override {
    sent.push_back({Elapsed(clock_), bytes});
    if (instrument) instrument(bytes);
    return true;
  }
  void PurgeInput() override {}
  void Close() override { open_ = false; }

  ScheduledSource source;
  std::function<void(const std::string&)> instrument;
  std::vector<std::pair<Us, std::string>> sent;

 private:
  FakeClock& clock_;
  Us charTime_;
  size_t expected_ = 1;
  bool open_ = false;
};

struct Receiver : DownloadReceiver {
  void StoreLine(const std::string& line) override { lines.push_back(line); }
  void PumpEvents() override {}
  std::vector<std::string> lines;
};

constexpr Us kChar{1000};  // a character's time
constexpr Us kGap{20000};  // the pause where a line is cut

TEST(GatheringRead, EachBlockIsAnsweredTheDelayAfterItIsWholeWhereverItIsCut) {
  const std::vector<std::string> blocks = {BlockLine("_+P1_", 0), BlockLine("_+P2_", 1)};
  for (size_t cut = 1; cut <= blocks[0].size(); ++cut) {
    FakeClock clock;
    TimedDevice device(clock, kChar);
    CommPort port(device, clock, [](const std::string&) {});
    ASSERT_EQ(port.OpenPort("COM1"), 0);
    ASSERT_EQ(port.ConfigurePort(10000), 0);
    size_t next = 0;
    std::vector<Us> whole;
    // Each line on ENQ or ACK: its first `cut` bytes at the line's rate, a pause, the rest.
    device.instrument = [&](const std::string& got) {
      if (got != "\x05" && got != "\x06") return;
      if (next > blocks.size()) return;
      const std::string line = next < blocks.size() ? blocks[next] : std::string("\x04");
      ++next;
      const size_t k = std::min(cut, line.size());
      Us at = Elapsed(clock) + kChar * static_cast<long>(k);
      device.source.Arrive(at, line.substr(0, k));
      if (k < line.size()) {
        at += kGap + kChar * static_cast<long>(line.size() - k);
        device.source.Arrive(at, line.substr(k));
      }
      whole.push_back(at);
    };
    TransferProgress progress;
    Receiver receiver;
    DownloadOptions options;
    options.ackNak = true;
    options.delayMs = 10;
    ASSERT_TRUE(RunQrx6Download(port, progress, receiver, options).ok) << "cut " << cut;
    EXPECT_EQ(receiver.lines, blocks) << "cut " << cut;
    // ENQ, an ACK per block, the final ACK after EOT: each the delay after the line was in.
    ASSERT_EQ(device.sent.size(), blocks.size() + 2) << "cut " << cut;
    for (size_t i = 0; i < whole.size(); ++i) {
      const Us delay = i < blocks.size() ? Us(10001) : Us(10000);  // "more than", then "at least"
      ASSERT_EQ(device.sent[i + 1].first.count(), (whole[i] + delay).count())
          << "cut " << cut << " line " << i;
    }
  }
}

TEST(GatheringRead, ABlockInPiecesIsTakenInAFewWakesAndTheMomentItIsWhole) {
  const Us fast{100};  // about 115200 baud
  FakeClock clock;
  TimedDevice device(clock, fast);
  CommPort port(device, clock, [](const std::string&) {});
  ASSERT_EQ(port.OpenPort("COM1"), 0);
  ASSERT_EQ(port.ConfigurePort(10000), 0);
  const std::string block = BlockLine("_+P1_", 0);
  for (size_t n = 8; n < block.size() + 8; n += 8) {
    const size_t end = std::min(n, block.size());
    device.source.Arrive(fast * static_cast<long>(end), block.substr(n - 8, end - (n - 8)));
  }
  EXPECT_EQ(port.ReadLine(BlockLineNeed), kLineEnd);
  EXPECT_EQ(port.Line(), block);
  EXPECT_EQ(Elapsed(clock).count(), (fast * static_cast<long>(block.size())).count());
  EXPECT_LE(device.source.wakes, 4);  // of 17 pieces
}

// Bytes kept back stretch the per-byte time-out after the last of them by 50 ms at the most.
TEST(GatheringRead, AnInstrumentThatStopsMidBlockMeetsThePerByteTimeOut) {
  const std::string block = BlockLine("_+P1_", 0);
  for (const size_t sentBytes : {size_t{1}, size_t{8}, size_t{100}, block.size() - 1}) {
    FakeClock clock;
    TimedDevice device(clock, kChar);
    CommPort port(device, clock, [](const std::string&) {});
    ASSERT_EQ(port.OpenPort("COM1"), 0);
    ASSERT_EQ(port.ConfigurePort(1000), 0);  // 1005 ms a byte
    for (size_t n = 0; n < sentBytes; n += 8) {
      const size_t end = std::min(n + 8, sentBytes);
      device.source.Arrive(kChar * static_cast<long>(end), block.substr(n, end - n));
    }
    EXPECT_EQ(port.ReadLine(BlockLineNeed), kLineFailed) << sentBytes;
    EXPECT_EQ(port.Line(), block.substr(0, sentBytes)) << sentBytes;
    const Us timedOut = kChar * static_cast<long>(sentBytes) + 1005ms;
    EXPECT_GE(Elapsed(clock).count(), timedOut.count()) << sentBytes;
    EXPECT_LE(Elapsed(clock).count(), (timedOut + 50ms).count()) << sentBytes;
  }
}

// A text download answers nothing, so each line gathers as long as the one before it: lines
// of any length come out whole, in a few wakes, and the download ends the moment EOT is in.
TEST(GatheringRead, TextLinesGatherAsLongAsTheLineBeforeAndEndAtEot) {
  const Us fast{100};  // about 115200 baud
  const std::string line = "PT100001     4500.123    1200.456    12.345\r\n";
  const std::vector<std::string> lines = {
      line,    line,
      "P\r\n",  // shorter than the one before: taken late, still whole
      "\r\n",  "PT100003     4500.123    1200.456    12.345 and then some more\r\n",
      line,    line};
  std::string stream;
  for (const auto& l : lines) stream += l;
  stream += '\x04';
  FakeClock clock;
  TimedDevice device(clock, fast);
  CommPort port(device, clock, [](const std::string&) {});
  ASSERT_EQ(port.OpenPort("COM1"), 0);
  ASSERT_EQ(port.ConfigurePort(10000), 0);
  size_t pieces = 0;
  for (size_t n = 0; n < stream.size(); n += 8, ++pieces) {
    const size_t end = std::min(n + 8, stream.size());
    device.source.Arrive(fast * static_cast<long>(end), stream.substr(n, end - n));
  }
  TransferProgress progress;
  Receiver receiver;
  ASSERT_TRUE(RunTextDownload(port, progress, receiver).ok);
  EXPECT_EQ(receiver.lines, lines);
  EXPECT_EQ(Elapsed(clock).count(), (fast * static_cast<long>(stream.size())).count());
  // Every piece woke the read while a line's length was not guessed.
  EXPECT_LE(device.source.wakes * 3, static_cast<int>(pieces) * 2);
}

TEST(GatheringRead, ALineIsExpectedAsLongAsTheOneBefore) {
  struct Case {
    size_t expected, got, need;
  };
  const Case cases[] = {{0, 0, 1},   {0, 5, 1},   {40, 0, 40}, {40, 1, 39},
                        {40, 39, 1}, {40, 40, 1}, {40, 41, 1}};
  for (const Case& c : cases)
    EXPECT_EQ(LikeLineNeed(c.expected, std::string(c.got, 'x')), c.need)
        << c.expected << " " << c.got;
}

}  // namespace
}  // namespace kavex
