#include "ulvo/transfer/trace_model.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "ulvo/tests/transfer/fake_device.h"
#include "ulvo/transfer/culvo_serial.h"

namespace ulvo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TraceEntry FromInstrument(std::string bytes, std::chrono::nanoseconds at = {}) {
  return TraceEntry{at, TraceDirection::kFromInstrument, std::move(bytes), {}};
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class UlvoTraceModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("ulvo_trace_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
           std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST(UlvoTraceLine, ControlBytesByNameOrEveryByteInHex) {
  const struct {
    TraceEntry entry;
    const char* names;
    const char* hex;
  } cases[] = {
      {{300ms, TraceDirection::kFromInstrument, "\x06", {}},
       "     0.300 <- <ACK>",
       "     0.300 <- 06"},
      {{1500us,
        TraceDirection::kToInstrument,
        "\x02"
        "A<\x03\r\n",
        {}},
       "     0.002 -> <STX>A<<<ETX><CR><LF>",
       "     0.002 -> 02 41 3C 03 0D 0A"},
      {{0ms, TraceDirection::kFromInstrument, "\x05\x04\x15\x11\x13\x80", {}},
       "     0.000 <- <ENQ><EOT><NAK><XON><XOFF><x80>",
       "     0.000 <- 05 04 15 11 13 80"},
      {{12345678ms, TraceDirection::kFromInstrument, {}, "(read failed)"},
       " 12345.678 <- (read failed)",
       " 12345.678 <- (read failed)"},
      {{0ms, TraceDirection::kToInstrument, "\x06", "(write failed)"},
       "     0.000 -> <ACK> (write failed)",
       "     0.000 -> 06 (write failed)"},
      {{0ms, TraceDirection::kNote, {}, "purge"}, "     0.000 -- purge", "     0.000 -- purge"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatTraceLine(c.entry), c.names);
    EXPECT_EQ(FormatTraceLine(c.entry, TraceStyle::kHex), c.hex);
  }
}

TEST_F(UlvoTraceModelTest, HoldsATransfersLinesInOrderAndSavesThemAsTheTraceFileHasThem) {
  test::FakeClock clock;
  test::ScriptedDevice device(clock);
  TraceModel model(TraceModel::kWindowBytes, dir);
  std::ostringstream file;
  StreamTraceSink fileSink(file);
  struct Both final : TraceSink {
    TraceSink& a;
    TraceSink& b;
    Both(TraceSink& x, TraceSink& y) : a(x), b(y) {}
    void Add(TraceEntry e) override {
      a.Add(e);
      b.Add(std::move(e));
    }
  } both(model, fileSink);
  TracingDevice tracing(device, clock, both);
  CULVOSerial serial(tracing);
  // Protocol 1 receive of "AB" ended by EOT, no handshake.
  device.inbound = {"", "AB\x04"};
  CInstrument instrument;
  ASSERT_TRUE(instrument.LoadInterfaceFile(ULVO_TEST_DATA_DIR "/IIF/fixture.IIF", nullptr));
  instrument.SetParams(kDirectionReceive, TransferParams{0x40, MakeLineFormat(1, 8, 1, 0), 0, 1});
  EXPECT_EQ(serial.Run(nullptr, instrument, "COM1", kDirectionReceive, (dir / "r.txt").string()),
            0u);

  const TraceModel::Rows rows = model.Since(0);
  ASSERT_GE(rows.entries.size(), 4u);
  EXPECT_EQ(rows.entries.front().direction, TraceDirection::kNote);
  EXPECT_TRUE(rows.entries.front().note.starts_with("open COM1 9600 baud")) << rows.entries[0].note;
  std::vector<std::string> received;
  for (const TraceEntry& e : rows.entries)
    if (e.direction == TraceDirection::kFromInstrument) received.push_back(e.bytes);
  EXPECT_EQ(received, std::vector<std::string>{"AB\x04"});
  EXPECT_EQ(rows.entries.back().note, "close");
  for (size_t i = 1; i < rows.entries.size(); ++i)
    EXPECT_LE(rows.entries[i - 1].time, rows.entries[i].time);

  ASSERT_EQ(model.SaveTo(dir / "trace.txt"), "");
  EXPECT_EQ(ReadAll(dir / "trace.txt"), file.str());
  EXPECT_NE(file.str().find(" <- AB<EOT>\n"), std::string::npos) << file.str();
}

TEST_F(UlvoTraceModelTest, ShowsTheLastMebibyteAndSavesTheWholeTrace) {
  TraceModel model(TraceModel::kWindowBytes, dir);
  // A full protocol-1 read: "     0.000 <- " (14) + 253 bytes + LF = 268 bytes of text.
  const std::string chunk(253, 'z');
  constexpr uint64_t kLines = 10000;
  for (uint64_t i = 0; i < kLines; ++i) model.Add(FromInstrument(chunk));
  // 1048576 / 268 = 3912 lines fit (1048416 bytes).
  EXPECT_EQ(model.WindowTextBytes(), 3912u * 268u);
  const TraceModel::Rows rows = model.Since(0);
  EXPECT_EQ(rows.first, kLines - 3912);
  EXPECT_EQ(rows.entries.size(), 3912u);
  ASSERT_EQ(model.SaveTo(dir / "all.txt"), "");
  EXPECT_EQ(fs::file_size(dir / "all.txt"), kLines * 268);
}

TEST_F(UlvoTraceModelTest, AFailedTransfersTraceStaysUntilTheNextBegins) {
  TraceModel model(TraceModel::kWindowBytes, dir);
  model.Add({0ms, TraceDirection::kToInstrument, "\x05", {}});
  model.Add({3s, TraceDirection::kFromInstrument, {}, "(read failed)"});
  ASSERT_EQ(model.SaveTo(dir / "failed.txt"), "");
  EXPECT_EQ(ReadAll(dir / "failed.txt"), "     0.000 -> <ENQ>\n     3.000 <- (read failed)\n");
  model.Begin();
  EXPECT_EQ(model.Count(), 0u);
  ASSERT_EQ(model.SaveTo(dir / "next.txt"), "");
  EXPECT_EQ(ReadAll(dir / "next.txt"), "");
}

TEST_F(UlvoTraceModelTest, TheWindowReadsWhileTheTransferThreadWrites) {
  TraceModel model(2048, dir);
  constexpr uint64_t kLines = 20000;
  std::thread transfer([&] {
    for (uint64_t i = 0; i < kLines; ++i)
      model.Add(FromInstrument("\x06", std::chrono::milliseconds(i)));
  });
  uint64_t next = 0;
  while (next < kLines) {
    const TraceModel::Rows rows = model.Since(next);
    ASSERT_GE(rows.first, next);
    for (size_t i = 0; i < rows.entries.size(); ++i)
      ASSERT_EQ(rows.entries[i].time, std::chrono::milliseconds(rows.first + i));
    next = rows.first + rows.entries.size();
  }
  transfer.join();
  // Saving while nothing runs gives every line: "    12.345 <- <ACK>\n" is 20 bytes.
  ASSERT_EQ(model.SaveTo(dir / "t.txt"), "");
  EXPECT_EQ(fs::file_size(dir / "t.txt"), kLines * 20);
}

}  // namespace
}  // namespace ulvo
