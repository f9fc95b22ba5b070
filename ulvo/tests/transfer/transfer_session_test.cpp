#include "ulvo/transfer/transfer_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fake_device.h"
#include "test_instrument.h"
#include "ulvo/transfer/capture_file.h"

namespace ulvo {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::FakeClock;
using test::MakeInstrument;
using test::ScriptedDevice;

// A scripted instrument that counts the reads which told it where their frame ends, and may
// do something to the world as it hands out its last chunk.
class FrameDevice : public ScriptedDevice {
 public:
  using ScriptedDevice::ScriptedDevice;
  long ReadFrame(std::string& out, size_t max, const FrameNeed& need) override {
    if (need) ++framedReads;
    const bool last = inbound.size() == 1;
    const long n = Read(out, max);
    if (last && inbound.empty() && onLastChunk) onLastChunk();
    return n;
  }
  int framedReads = 0;
  std::function<void()> onLastChunk;
};

class RecordingSink : public TraceSink {
 public:
  void Add(TraceEntry entry) override { entries.push_back(std::move(entry)); }
  std::vector<TraceEntry> entries;
};

class TransferSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("ulvo_session_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  static std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  size_t CaptureFiles() const {
    return fs::exists(dir / "Captures")
               ? static_cast<size_t>(std::distance(fs::directory_iterator(dir / "Captures"),
                                                   fs::directory_iterator()))
               : 0;
  }

  fs::path dir;
  FakeClock clock;
  ControlChars cc;
};

TEST_F(TransferSessionTest, FramesReachTheDeviceThroughTraceStopAndLineWatch) {
  FrameDevice device{clock};
  device.inbound = {BuildBlock("one", '0', cc), BuildEndRecord(cc)};
  RecordingSink sink;
  const std::atomic<bool> stop{false};
  TransferSession session(device, clock, {&sink, &stop, {}, dir / "Captures", {}});
  const TransferOutcome o = session.Run(nullptr, MakeInstrument(2, 0), "COM1", kDirectionReceive,
                                        (dir / "received.dat").string());
  EXPECT_EQ(o.result, 0u);
  // Every read of the receive said where its frame ends, so none waits out its time-outs.
  EXPECT_GT(device.reads, 0);
  EXPECT_EQ(device.framedReads, device.reads);
  EXPECT_TRUE(o.written);
  EXPECT_EQ(o.bytesWritten, 128u);
  EXPECT_EQ(Bytes(dir / "received.dat"), "one" + std::string(125, ' '));
  EXPECT_TRUE(o.failure.empty());
  EXPECT_TRUE(o.captured);
  EXPECT_TRUE(o.keptCapture.empty());
  EXPECT_EQ(CaptureFiles(), 0u);  // the data is in its file: the capture is gone
  ASSERT_FALSE(sink.entries.empty());
  EXPECT_EQ(sink.entries.front().note.rfind("open COM1", 0), 0u);
}

// The destination's folder disappears while the data comes (a stick pulled out).
TEST_F(TransferSessionTest, DataThatReachesNoFileIsKeptInTheCaptureOrTheFallback) {
  for (const bool fallback : {false, true}) {
    SCOPED_TRACE(fallback ? "with a fallback folder" : "without one");
    fs::create_directories(dir / "stick");
    const std::string file = (dir / "stick" / "received.dat").string();
    FrameDevice device{clock};
    device.inbound = {"abc", "def\x04"};
    device.onLastChunk = [&] { fs::remove_all(dir / "stick"); };
    TransferSessionOptions options;
    options.captureFolder = dir / "Captures";
    if (fallback) options.fallbackFolder = dir / "Received";
    TransferSession session(device, clock, options);
    const TransferOutcome o =
        session.Run(nullptr, MakeInstrument(1, 0), "COM1", kDirectionReceive, file);
    EXPECT_EQ(o.result, 8u);
    EXPECT_EQ(o.fileProblem, file + ": No such file or directory");
    EXPECT_EQ(o.failure, std::vector<std::string>{o.fileProblem});
    EXPECT_TRUE(o.captured);
    EXPECT_EQ(o.written, fallback);
    if (fallback) {
      EXPECT_EQ(o.fallbackFile, dir / "Received" / "received.dat");
      EXPECT_EQ(Bytes(o.fallbackFile), "abcdef");
      EXPECT_EQ(o.bytesWritten, 6u);
      EXPECT_TRUE(o.keptCapture.empty());
      EXPECT_EQ(CaptureFiles(), 0u);
    } else {
      EXPECT_TRUE(o.fallbackFile.empty());
      ASSERT_FALSE(o.keptCapture.empty());
      EXPECT_EQ(ReadCapture(o.keptCapture).bytes, "abcdef");
      EXPECT_EQ(ReadCapture(o.keptCapture).info.header.destination, file);
      fs::remove(o.keptCapture);
    }
  }
}

TEST_F(TransferSessionTest, AReceiveWithoutItsCaptureGoesOn) {
  std::ofstream(dir / "Captures") << "a file where the folder should be";
  ScriptedDevice device{clock};
  device.inbound = {"abc\x04"};
  std::vector<std::string> problems;
  TransferSession session(device, clock,
                          {nullptr, nullptr, {}, dir / "Captures", [&](const std::string& why) {
                             problems.push_back(why);
                           }});
  const TransferOutcome o = session.Run(nullptr, MakeInstrument(1, 0), "COM1", kDirectionReceive,
                                        (dir / "received.dat").string());
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_FALSE(problems[0].empty());
  EXPECT_EQ(o.result, 0u);
  EXPECT_FALSE(o.captured);
  EXPECT_EQ(Bytes(dir / "received.dat"), "abc");

  // A send captures nothing and says nothing about it.
  problems.clear();
  std::ofstream(dir / "source.dat") << "xyz";
  const TransferOutcome sent = session.Run(nullptr, MakeInstrument(1, 0), "COM1", kDirectionSend,
                                           (dir / "source.dat").string());
  EXPECT_EQ(sent.result, 0u);
  EXPECT_TRUE(problems.empty());
  EXPECT_FALSE(sent.captured);
}

TEST_F(TransferSessionTest, FailuresAreExplainedAndAStopIsNotTraced) {
  ScriptedDevice device{clock};
  device.openResult = OpenResult::kCannotOpen;
  TransferSession refused(device, clock);
  const TransferOutcome o = refused.Run(nullptr, MakeInstrument(1, 0), "COM7", kDirectionReceive,
                                        (dir / "received.dat").string());
  EXPECT_EQ(o.result, 2u);
  EXPECT_EQ(o.failure, std::vector<std::string>{"COM7: the port could not be opened"});

  // Stopped before a byte came: the reads fail above the trace, which shows none of them.
  ScriptedDevice quiet{clock};
  RecordingSink sink;
  const std::atomic<bool> stop{true};
  TransferSession stopped(quiet, clock, {&sink, &stop, {}, {}, {}});
  const TransferOutcome s = stopped.Run(nullptr, MakeInstrument(1, 0), "COM1", kDirectionReceive,
                                        (dir / "received.dat").string());
  EXPECT_EQ(s.result, 6u);
  EXPECT_EQ(s.failure,
            std::vector<std::string>{"COM1: reading from the port failed after 0 bytes"});
  EXPECT_EQ(quiet.reads, 0);
  for (const TraceEntry& e : sink.entries) EXPECT_EQ(e.note.find("read"), std::string::npos);
}

}  // namespace
}  // namespace ulvo
