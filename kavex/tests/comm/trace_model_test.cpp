#include "kavex/comm/trace_model.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "kavex/comm/comm_port.h"
#include "kavex/tests/support/scripted_device.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::FakeClock;
using testing::ScriptedDevice;

TraceEntry Sent(std::string bytes, std::chrono::milliseconds at = 0ms) {
  return TraceEntry{at, TraceDirection::kSent, std::move(bytes), {}};
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class TraceModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kavex_trace_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
           std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST(TraceLine, ControlBytesByNameOrEveryByteInHex) {
  const struct {
    TraceEntry entry;
    const char* names;
    const char* hex;
  } cases[] = {
      {Sent("\x05", 18ms), "     0.018 TX <ENQ>", "     0.018 TX 05"},
      {{1234567ms,
        TraceDirection::kReceived,
        "\x02"
        "A_1\x03\r\n",
        {}},
       "  1234.567 RX <STX>A_1<ETX><CR><LF>",
       "  1234.567 RX 02 41 5F 31 03 0D 0A"},
      {{999us, TraceDirection::kReceived, "\x06\x15\x04\x11\x13", {}},
       "     0.000 RX <ACK><NAK><EOT><DC1><DC3>",
       "     0.000 RX 06 15 04 11 13"},
      {{10s, TraceDirection::kReceived, {}, "time-out"},
       "    10.000 RX time-out",
       "    10.000 RX time-out"},
      {{0ms, TraceDirection::kSent, "\xff", "(failed)"},
       "     0.000 TX <xFF> (failed)",
       "     0.000 TX FF (failed)"},
      {{1ms, TraceDirection::kNote, {}, "open COM1"},
       "     0.001 -- open COM1",
       "     0.001 -- open COM1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatTraceLine(c.entry), c.names);
    EXPECT_EQ(FormatTraceLine(c.entry, TraceStyle::kHex), c.hex);
  }
}

TEST_F(TraceModelTest, KeepsTheDevicesRecordsInOrderAndSavesThemAsTheTraceFileHasThem) {
  FakeClock clock;
  ScriptedDevice device(clock);
  TraceModel model(TraceModel::kWindowBytes, dir);
  std::ostringstream file;
  StreamTraceSink fileSink(file);
  // Both sinks see one exchange: the pane and --trace FILE must agree byte for byte.
  struct Both final : TraceSink {
    TraceSink& a;
    TraceSink& b;
    Both(TraceSink& x, TraceSink& y) : a(x), b(y) {}
    void Add(TraceEntry e) override {
      a.Add(e);
      b.Add(std::move(e));
    }
  } both(model, fileSink);
  {
    TracingDevice trace(device, clock, both);
    CommPort port(trace, clock, [](const std::string&) {});
    device
        .Send(
            "\x02"
            "AB\x03\r\n")
        .Expect("\x06")
        .Send("\x04", 50ms);
    ASSERT_EQ(port.OpenPort("COM1"), 0);
    ASSERT_EQ(port.ConfigurePort(10000), 0);
    EXPECT_EQ(port.ReadLine(), kLineEnd);
    port.StartTimer();
    port.WaitSince(100);
    EXPECT_EQ(port.WriteText("\x06"), 0);
    port.ReadLine();
    port.ClosePort();
  }
  const TraceModel::Rows rows = model.Since(0);
  ASSERT_EQ(rows.entries.size(), 6u);
  EXPECT_EQ(rows.first, 0u);
  const std::vector<TraceDirection> directions = {TraceDirection::kNote,     TraceDirection::kNote,
                                                  TraceDirection::kReceived, TraceDirection::kSent,
                                                  TraceDirection::kReceived, TraceDirection::kNote};
  for (size_t i = 0; i < directions.size(); ++i)
    EXPECT_EQ(rows.entries[i].direction, directions[i]);
  EXPECT_EQ(rows.entries[2].bytes,
            "\x02"
            "AB\x03\r\n");
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(rows.entries[3].time), 100ms);
  EXPECT_EQ(rows.entries[4].bytes, "\x04");
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(rows.entries[4].time), 150ms);

  ASSERT_EQ(model.SaveTo(dir / "trace.txt"), "");
  EXPECT_EQ(ReadAll(dir / "trace.txt"), file.str());
  EXPECT_EQ(file.str(),
            "     0.000 -- open COM1\n"
            "     0.000 -- configure 9600 baud, 8 bits, parity none, 1 stop\n"
            "     0.000 RX <STX>AB<ETX><CR><LF>\n"
            "     0.100 TX <ACK>\n"
            "     0.150 RX <EOT>\n"
            "     0.150 -- close\n");
}

TEST_F(TraceModelTest, EachTransfersTimesCountFromTheOpeningOfThePort) {
  // The window keeps one tracing device for the whole run.
  FakeClock clock;
  ScriptedDevice device(clock);
  TraceModel model(TraceModel::kWindowBytes, dir);
  TracingDevice trace(device, clock, model);
  for (int transfer = 0; transfer < 2; ++transfer) {
    clock.Advance(5s);
    model.Begin();
    device.Expect("\x05");
    ASSERT_TRUE(trace.Open("COM1"));
    clock.Advance(20ms);
    ASSERT_TRUE(trace.Write("\x05"));
    trace.Close();
    ASSERT_EQ(model.SaveTo(dir / "t.txt"), "");
    EXPECT_EQ(ReadAll(dir / "t.txt"),
              "     0.000 -- open COM1\n     0.020 TX <ENQ>\n     0.020 -- close\n");
  }
}

TEST_F(TraceModelTest, ShowsTheLastMebibyteAndSavesTheWholeTrace) {
  TraceModel model(TraceModel::kWindowBytes, dir);
  // "     0.000 TX " (14) + 100 bytes + LF: 115 bytes of trace text per record.
  const std::string line = "     0.000 TX " + std::string(100, 'A') + "\n";
  constexpr uint64_t kRecords = 20000;
  for (uint64_t i = 0; i < kRecords; ++i) model.Add(Sent(std::string(100, 'A')));
  // 1048576 / 115 = 9118 records fit (1048570 bytes); the 9119th would not.
  EXPECT_EQ(model.WindowTextBytes(), 9118u * 115u);
  EXPECT_EQ(model.Count(), kRecords);
  const TraceModel::Rows rows = model.Since(0);
  EXPECT_EQ(rows.first, kRecords - 9118);
  EXPECT_EQ(rows.entries.size(), 9118u);

  ASSERT_EQ(model.SaveTo(dir / "all.txt"), "");
  const std::string saved = ReadAll(dir / "all.txt");
  ASSERT_EQ(saved.size(), kRecords * 115);
  EXPECT_EQ(saved.substr(0, 115), line);
  EXPECT_EQ(saved.substr(saved.size() - 115), line);
}

TEST_F(TraceModelTest, ReadsFromWhereTheWindowLeftOff) {
  TraceModel model(60, dir);  // room for three 20-byte lines: "     0.000 TX <ACK>\n"
  for (int i = 0; i < 5; ++i) model.Add(Sent("\x06", std::chrono::milliseconds(i)));
  const struct {
    uint64_t from;
    uint64_t first;
    size_t count;
  } cases[] = {
      {0, 2, 3},                                   // 0 and 1 have left the window
      {2, 2, 3}, {3, 3, 2}, {4, 4, 1}, {5, 5, 0},  // nothing new yet
      {9, 5, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from);
    const TraceModel::Rows rows = model.Since(c.from);
    EXPECT_EQ(rows.first, c.first);
    ASSERT_EQ(rows.entries.size(), c.count);
    if (c.count) {
      EXPECT_EQ(rows.entries.front().time, std::chrono::milliseconds(c.first));
    }
  }
}

TEST_F(TraceModelTest, ARecordLargerThanTheWindowIsStillShown) {
  TraceModel model(50, dir);
  model.Add(Sent("x"));
  model.Add(Sent(std::string(300, 'B')));
  const TraceModel::Rows rows = model.Since(0);
  EXPECT_EQ(rows.first, 1u);
  ASSERT_EQ(rows.entries.size(), 1u);
  EXPECT_EQ(rows.entries[0].bytes.size(), 300u);
}

TEST_F(TraceModelTest, AFailedTransfersTraceStaysUntilTheNextBegins) {
  TraceModel model(TraceModel::kWindowBytes, dir);
  model.Add(Sent("\x05"));
  model.Add({2s, TraceDirection::kReceived, {}, "time-out"});
  const uint64_t generation = model.Generation();
  ASSERT_EQ(model.SaveTo(dir / "failed.txt"), "");
  EXPECT_EQ(ReadAll(dir / "failed.txt"), "     0.000 TX <ENQ>\n     2.000 RX time-out\n");

  model.Begin();
  EXPECT_NE(model.Generation(), generation);
  EXPECT_EQ(model.Count(), 0u);
  EXPECT_TRUE(model.Since(0).entries.empty());
  model.Add(Sent("\x06"));
  ASSERT_EQ(model.SaveTo(dir / "next.txt"), "");
  EXPECT_EQ(ReadAll(dir / "next.txt"), "     0.000 TX <ACK>\n");
}

TEST_F(TraceModelTest, SavingWhereNoFileCanBeMadeSaysWhy) {
  TraceModel model(TraceModel::kWindowBytes, dir);
  model.Add(Sent("\x05"));
  EXPECT_EQ(model.SaveTo(dir / "missing" / "t.txt"),
            (dir / "missing" / "t.txt").string() + ": No such file or directory");
  // A folder cannot be replaced by the trace; the temporary file goes again.
  fs::create_directories(dir / "folder");
  EXPECT_NE(model.SaveTo(dir / "folder"), "");
  EXPECT_FALSE(fs::exists(dir / "folder.tmp~"));
}

TEST_F(TraceModelTest, WithoutASpoolTheWindowIsSavedAndTheGapNamed) {
  TraceModel model(40, dir / "no-such-folder");  // two 20-byte lines fit
  for (int i = 0; i < 3; ++i) model.Add(Sent("\x06", std::chrono::milliseconds(i)));
  ASSERT_EQ(model.SaveTo(dir / "t.txt"), "");
  EXPECT_EQ(ReadAll(dir / "t.txt"),
            "     0.001 -- (trace incomplete: No such file or directory; lines missing here: 1)\n"
            "     0.001 TX <ACK>\n"
            "     0.002 TX <ACK>\n");
}

}  // namespace
}  // namespace kavex
