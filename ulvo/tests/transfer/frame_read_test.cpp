// Frames handed on the moment their last byte arrives, on a line whose bytes come at set
// times: the engine's answer to each frame leaves at that instant, however the frame is cut
// into reads, and the read's time-outs still end a frame the instrument left unfinished.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "test_instrument.h"
#include "ulvo/transfer/culvo_serial.h"
#include "ulvo/transfer/timed_read.h"

namespace ulvo {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using Us = std::chrono::microseconds;
using test::MakeInstrument;

class LineClock : public Clock {
 public:
  TimePoint Now() const override { return now_; }
  void SleepFor(std::chrono::milliseconds d) override { now_ += d; }
  void Set(TimePoint t) { now_ = std::max(now_, t); }
  Us Elapsed() const { return std::chrono::duration_cast<Us>(now_ - TimePoint{}); }

 private:
  TimePoint now_{};
};

// Bytes that arrive at set times. Waiting moves the clock to the next arrival.
class ScheduledSource : public ByteSource {
 public:
  explicit ScheduledSource(LineClock& clock) : clock_(clock) {}

  void Arrive(Us at, std::string bytes) {
    auto it = arrivals_.begin();
    while (it != arrivals_.end() && it->first <= at) ++it;
    arrivals_.insert(it, {at, std::move(bytes)});
  }

  Wait WaitReadable(Clock::TimePoint until) override {
    Deliver();
    if (!buffer_.empty()) return Wait::kPending;
    if (arrivals_.empty() || Clock::TimePoint{} + arrivals_.front().first > until) {
      clock_.Set(until);
      return Wait::kTimedOut;
    }
    clock_.Set(Clock::TimePoint{} + arrivals_.front().first);
    Deliver();
    ++wakes;
    return Wait::kArrived;
  }
  long Take(std::string& out, size_t max) override {
    Deliver();
    const size_t n = std::min(max, buffer_.size());
    out.append(buffer_, 0, n);
    buffer_.erase(0, n);
    return static_cast<long>(n);
  }
  void Rest(Clock::TimePoint until) override {
    clock_.Set(until);
    ++rests;
  }

  int wakes = 0;
  int rests = 0;

 private:
  void Deliver() {
    while (!arrivals_.empty() && Clock::TimePoint{} + arrivals_.front().first <= clock_.Now()) {
      buffer_ += arrivals_.front().second;
      arrivals_.pop_front();
    }
  }

  LineClock& clock_;
  std::deque<std::pair<Us, std::string>> arrivals_;
  std::string buffer_;
};

// A port on that line: reads as a driver with the instrument's time-outs, writes logged
// with their instant and answered by the instrument.
class TimedDevice : public SerialDevice {
 public:
  struct Sent {
    Us at;
    std::string bytes;
  };

  TimedDevice(LineClock& clock, Us byteTime) : source(clock), clock_(clock), byteTime_(byteTime) {}

  OpenResult Open(const std::string&, const PortSettings&) override {
    open_ = true;
    return OpenResult::kOk;
  }
  bool IsOpen() const override { return open_; }
  bool SetTimeouts(const ReadTimeouts& t) override {
    timeouts_ = t;
    return true;
  }
  bool Purge() override { return true; }
  long Read(std::string& out, size_t max) override { return ReadFrame(out, max, nullptr); }
  long ReadFrame(std::string& out, size_t max, const FrameNeed& need) override {
    return ReadWithTimeouts(source, clock_, timeouts_, byteTime_, out, max, need);
  }
  bool Write(std::string_view bytes, std::chrono::milliseconds) override {
    sent.push_back({clock_.Elapsed(), std::string(bytes)});
    if (instrument) instrument(std::string(bytes));
    return true;
  }
  bool WaitTransmitEmpty(std::chrono::milliseconds) override { return true; }
  bool Close() override {
    open_ = false;
    return true;
  }

  ScheduledSource source;
  std::function<void(const std::string&)> instrument;
  std::vector<Sent> sent;

 private:
  LineClock& clock_;
  Us byteTime_;
  ReadTimeouts timeouts_;
  bool open_ = false;
};

class FrameReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("ulvo_frame_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }

  std::filesystem::path dir_;
};

constexpr Us kByte{1000};  // a byte time
constexpr Us kGap{7000};   // the pause where a frame is cut

// Each frame the instrument sends after the computer's message: its first `cut` bytes right
// away at the line's rate, then a pause, then the rest. The computer's answer must leave the
// moment the frame's last byte is in.
struct Exchange {
  const char* what;
  uint32_t format, soft;
  std::vector<std::string> frames;  // sent one per message from the computer
};

std::vector<Exchange> ReceiveExchanges() {
  const ControlChars cc;
  const std::string b0 = BuildBlock("alpha", '0', cc), b1 = BuildBlock("beta", '1', cc);
  const std::string line = BuildLineRecord("PT1,100.5,200.25");
  return {
      {"ITF00 ACK NAK", 2, 2, {b0, b1, BuildEndRecord(cc)}},
      {"ITF01 ACK NAK",
       4,
       2,
       {BuildHeaderRecord0(cc), BuildHeaderRecord1("HEAD", cc).substr(0, kHeader1Frame), b0,
        BuildEndRecord(cc)}},
      {"ITF02 ACK NAK2", 8, 4, {BuildControlRecord(0, cc), line, line, BuildControlRecord(3, cc)}},
      {"ITF02 ACK NAK", 8, 2, {BuildControlRecord(0, cc), line, BuildControlRecord(3, cc)}},
  };
}

TEST_F(FrameReadTest, ReceiveAnswersEachFrameTheMomentItIsWholeWhereverItIsCut) {
  for (const Exchange& x : ReceiveExchanges()) {
    size_t longest = 0;
    for (const auto& f : x.frames) longest = std::max(longest, f.size());
    for (size_t cut = 1; cut < longest; ++cut) {
      LineClock clock;
      TimedDevice device(clock, kByte);
      size_t next = 0;
      std::vector<Us> whole;  // when each frame's last byte arrives
      device.instrument = [&](const std::string&) {
        if (next >= x.frames.size()) return;
        const std::string& f = x.frames[next++];
        const size_t k = std::min(cut, f.size());
        Us at = clock.Elapsed();
        at += kByte * static_cast<long>(k);
        device.source.Arrive(at, f.substr(0, k));
        if (k < f.size()) {
          at += kGap + kByte * static_cast<long>(f.size() - k);
          device.source.Arrive(at, f.substr(k));
        }
        whole.push_back(at);
      };
      // Without ACK NAK nobody asks: the instrument starts on its own.
      const bool polled = x.soft == 2;
      if (!polled) device.instrument("");
      CULVOSerial engine(device);
      ASSERT_EQ(engine.Run(nullptr, MakeInstrument(x.format, x.soft), "COM1", kDirectionReceive,
                           Path("received")),
                0u)
          << x.what << " cut " << cut;
      // With ACK NAK the first write is the ENQ; each other one answers the frame before it.
      const size_t first = polled ? 1 : 0;
      ASSERT_EQ(device.sent.size(), x.frames.size() + first) << x.what << " cut " << cut;
      for (size_t i = 0; i < whole.size(); ++i)
        ASSERT_EQ(device.sent[i + first].at.count(), whole[i].count())
            << x.what << " cut " << cut << " frame " << i;
    }
  }
}

TEST_F(FrameReadTest, ReceivedTextEndsTheMomentEotArrives) {
  const std::string text = "PT1,100.5,200.25\r\nPT2,110.5,210.25\r\n"s + '\x04';
  for (size_t cut = 1; cut < text.size(); ++cut) {
    LineClock clock;
    TimedDevice device(clock, kByte);
    const Us last = kByte * static_cast<long>(text.size()) + kGap;
    device.source.Arrive(kByte * static_cast<long>(cut), text.substr(0, cut));
    device.source.Arrive(last, text.substr(cut));
    CULVOSerial engine(device);
    ASSERT_EQ(
        engine.Run(nullptr, MakeInstrument(1, 0), "COM1", kDirectionReceive, Path("received")), 0u)
        << "cut " << cut;
    EXPECT_EQ(clock.Elapsed().count(), last.count()) << "cut " << cut;
  }
}

// The instrument's answers to records sent, cut anywhere: the next record leaves the moment
// the answer is whole.
TEST_F(FrameReadTest, SendGoesOnTheMomentTheAnswerIsWhole) {
  struct Case {
    const char* what;
    uint32_t format, soft;
    bool addCrLf;
    std::string answer;
  };
  const Case cases[] = {
      {"ACK NAK", 2, 2, false, "\x06"},
      {"ACK NAK with CR LF", 2, 2, true, "\x06\r\n"},
      {"ACK NAK2", 8, 4, false, "\x06,R,\r\n"},
  };
  std::ofstream(Path("source"), std::ios::binary) << std::string(200, 'a') + "\r\nend\r\n";
  for (const Case& c : cases) {
    for (size_t cut = 1; cut <= c.answer.size(); ++cut) {
      LineClock clock;
      TimedDevice device(clock, kByte);
      std::vector<Us> whole;
      device.instrument = [&](const std::string&) {
        Us at = clock.Elapsed() + kByte * static_cast<long>(cut);
        device.source.Arrive(at, c.answer.substr(0, cut));
        if (cut < c.answer.size()) {
          at += kGap + kByte * static_cast<long>(c.answer.size() - cut);
          device.source.Arrive(at, c.answer.substr(cut));
        }
        whole.push_back(at);
      };
      CULVOSerial engine(device);
      ASSERT_EQ(engine.Run(nullptr, MakeInstrument(c.format, c.soft, c.addCrLf), "COM1",
                           kDirectionSend, Path("source")),
                0u)
          << c.what << " cut " << cut;
      ASSERT_GE(device.sent.size(), 3u) << c.what;
      for (size_t i = 1; i < device.sent.size(); ++i)
        ASSERT_EQ(device.sent[i].at.count(), whole[i - 1].count())
            << c.what << " cut " << cut << " record " << i;
    }
  }
}

// The read itself: instruments that stop mid-frame, or never start, against the time-outs
// (interval 50 ms, 10 ms a byte, 100 ms): the interval runs from the last byte taken.
TEST(ReadWithTimeouts, AnUnfinishedFrameEndsOneIntervalAfterItsLastByte) {
  const ReadTimeouts t{50, 10, 100};
  const auto need = [](std::string_view got) { return kBlockSize - got.size(); };
  struct Case {
    const char* what;
    std::vector<std::pair<Us, std::string>> arrivals;
    size_t got;
    Us endsAt;
  };
  const Case cases[] = {
      {"nothing comes: the total time of 136 bytes", {}, 0, 1460ms},
      {"one byte, then silence", {{5ms, "x"}}, 1, 55ms},
      {"a piece, then silence", {{8ms, std::string(8, 'x')}}, 8, 58ms},
      {"a pause shorter than the interval is waited out",
       {{8ms, std::string(8, 'x')}, {48ms, std::string(8, 'y')}},
       16,
       98ms},
      {"the last byte never comes", {{135ms, std::string(135, 'x')}}, 135, 185ms},
      {"bytes there before the read are not taken for new: no rest past the frame's end",
       {{0ms, std::string(120, 'x')}, {8ms, std::string(8, 'y')}, {16ms, std::string(8, 'z')}},
       136,
       16ms},
      {"the frame is whole: no waiting for the interval",
       {{128ms, std::string(128, 'x')}, {136ms, std::string(8, 'y')}},
       136,
       136ms},
  };
  for (const Case& c : cases) {
    LineClock clock;
    ScheduledSource source(clock);
    for (const auto& [at, bytes] : c.arrivals) source.Arrive(at, bytes);
    std::string out;
    EXPECT_EQ(ReadWithTimeouts(source, clock, t, kByte, out, kBlockSize, need),
              static_cast<long>(c.got))
        << c.what;
    EXPECT_EQ(out.size(), c.got) << c.what;
    EXPECT_EQ(clock.Elapsed().count(), Us(c.endsAt).count()) << c.what;
  }
}

// A block coming in pieces at the line's rate is left to gather: a handful of wakes rather
// than one a piece, and still taken the moment its last byte is in.
TEST(ReadWithTimeouts, ABlockGathersInAFewWakes) {
  const Us fast{100};  // about 115200 baud
  LineClock clock;
  ScheduledSource source(clock);
  for (size_t n = 8; n <= kBlockSize; n += 8)
    source.Arrive(fast * static_cast<long>(n), std::string(8, 'x'));
  std::string out;
  const auto need = [](std::string_view got) { return kBlockSize - got.size(); };
  EXPECT_EQ(ReadWithTimeouts(source, clock, {50, 10, 100}, fast, out, kBlockSize, need),
            static_cast<long>(kBlockSize));
  EXPECT_EQ(clock.Elapsed().count(), (fast * static_cast<long>(kBlockSize)).count());
  EXPECT_LE(source.wakes, 4);  // of 17 pieces
}

// Text answers nothing before EOT: bytes coming one a millisecond are looked at every few
// milliseconds rather than one by one, all of them kept, and the EOT taken at most the
// gathering time late.
TEST_F(FrameReadTest, ReceivedTextIsLookedAtEveryFewMilliseconds) {
  std::string text;
  for (int i = 0; i < 14; ++i) text += "PT" + std::to_string(100 + i) + ",100.5,200.25\r\n";
  ASSERT_GT(text.size(), kTextRecordSize);  // a record fills and the next one follows
  for (size_t tail = 0; tail < 4; ++tail) {
    LineClock clock;
    TimedDevice device(clock, kByte);
    const std::string sent = text.substr(0, text.size() - tail) + '\x04';
    for (size_t i = 0; i < sent.size(); ++i)
      device.source.Arrive(kByte * static_cast<long>(i + 1), sent.substr(i, 1));
    CULVOSerial engine(device);
    ASSERT_EQ(
        engine.Run(nullptr, MakeInstrument(1, 0), "COM1", kDirectionReceive, Path("received")), 0u)
        << tail;
    std::ifstream in(Path("received"), std::ios::binary);
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_EQ(got.str(), sent.substr(0, sent.size() - 1)) << tail;
    const Us eot = kByte * static_cast<long>(sent.size());
    EXPECT_GE(clock.Elapsed().count(), eot.count()) << tail;
    EXPECT_LE(clock.Elapsed().count(), (eot + kTextGather).count()) << tail;
    // One a byte without gathering; now about one every two bytes (a wake, then a rest).
    EXPECT_LE(device.source.wakes + device.source.rests, static_cast<int>(sent.size() * 6 / 10))
        << tail;
  }
}

// Lines nobody answers are looked at every few milliseconds too once they have begun, each
// one kept, and the end record taken at most the gathering time late, never an interval, even
// when it comes alone after a pause. Answered lines are still answered the moment they end.
TEST_F(FrameReadTest, UnansweredLinesAreLookedAtEveryFewMilliseconds) {
  const ControlChars cc;
  std::string lines = BuildControlRecord(0, cc), file;
  for (int i = 0; i < 12; ++i) {
    const std::string text = "PT" + std::to_string(100 + i) + ",100.5,200.25";
    lines += BuildLineRecord(text);
    file += text + "\r\n";
  }
  const std::string endRecord = BuildControlRecord(3, cc);
  struct Case {
    uint32_t soft;
    uint32_t baudBits;
    Us byte;
    Us pause;                                 // before the end record, which then comes at once
  } cases[] = {{0, 64, kByte, Us{0}},         // 9600 baud, gathering 3 bytes
               {0, 4096, Us{87}, Us{0}},      // 115200 baud, gathering 46 bytes
               {0, 4096, Us{87}, Us{80000}},  // the end record alone, after an interval
               {4, 64, kByte, Us{0}}};
  for (const Case& c : cases) {
    LineClock clock;
    TimedDevice device(clock, c.byte);
    for (size_t i = 0; i < lines.size(); ++i)
      device.source.Arrive(c.byte * static_cast<long>(i + 1), lines.substr(i, 1));
    Us end = c.byte * static_cast<long>(lines.size());
    if (c.pause.count() > 0) {
      end += c.pause;
      device.source.Arrive(end, endRecord);
    } else {
      for (size_t i = 0; i < endRecord.size(); ++i)
        device.source.Arrive(end + c.byte * static_cast<long>(i + 1), endRecord.substr(i, 1));
      end += c.byte * static_cast<long>(endRecord.size());
    }
    if (c.soft == 4) device.instrument = [](const std::string&) {};
    CULVOSerial engine(device);
    const std::string what = std::to_string(c.soft) + "/" + std::to_string(c.baudBits) + "/" +
                             std::to_string(c.pause.count());
    ASSERT_EQ(engine.Run(nullptr, MakeInstrument(8, c.soft, false, c.baudBits), "COM1",
                         kDirectionReceive, Path("received")),
              0u)
        << what;
    std::ifstream in(Path("received"), std::ios::binary);
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_EQ(got.str(), file) << what;
    EXPECT_GE(clock.Elapsed().count(), end.count()) << what;
    EXPECT_LE(clock.Elapsed().count(), (end + kTextGather).count()) << what;
    const size_t sent = lines.size() + endRecord.size();
    if (c.soft == 0) {
      // One look a byte without gathering (as the answered lines still have).
      EXPECT_LE(device.source.wakes + device.source.rests, static_cast<int>(sent * 6 / 10)) << what;
    } else {
      // Every line answered the moment its LF is in.
      const std::string all = lines + endRecord;
      std::vector<long> lineEnds, answers;
      for (size_t i = 0; i < all.size(); ++i)
        if (all[i] == '\n') lineEnds.push_back((c.byte * static_cast<long>(i + 1)).count());
      for (const auto& s : device.sent) answers.push_back(s.at.count());
      EXPECT_EQ(answers, lineEnds);
    }
  }
}

}  // namespace
}  // namespace ulvo
