#include "ulvo/transfer/capture_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ulvo/tests/transfer/fake_device.h"

namespace ulvo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct SyncLog {
  std::vector<long long> at;  // ms since the capture was made
  int now = 0;
  int cancels = 0;
  int records = 0;  // records synced before Append returned
};
class RecordingSyncer final : public CaptureSyncer {
 public:
  RecordingSyncer(SyncLog& log, Clock::TimePoint base) : log_(log), base_(base) {}
  void SyncAt(int, Clock::TimePoint when) override {
    log_.at.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(when - base_).count());
  }
  void SyncNow(int) override { ++log_.now; }
  void Cancel() override { ++log_.cancels; }
  void SyncRecord(int) override { ++log_.records; }

 private:
  SyncLog& log_;
  Clock::TimePoint base_;
};

class UlvoCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("ulvo_capture_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
           std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::unique_ptr<CaptureWriter> Writer(const std::string& destination = "/data/received.txt") {
    CaptureHeader h;
    h.instrument = "TS60";
    h.kind = "ITF00, ACK NAK";
    h.port = "/dev/pts/4 9600,none,8,1";
    h.started = 1767609067;
    h.destination = destination;
    std::string problem;
    auto w = CaptureWriter::Create(dir / "Captures", h, clock, problem,
                                   std::make_unique<RecordingSyncer>(log, clock.Now()));
    EXPECT_TRUE(w) << problem;
    return w;
  }
  static std::string Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  fs::path dir;
  test::FakeClock clock;
  SyncLog log;
};

TEST_F(UlvoCaptureTest, RestoresTheReceivedBytesToTheByte) {
  // Records as the destination file takes them: 128-byte block data, a line with CR LF,
  // raw text with NUL and bytes above 127.
  const std::vector<std::string> records = {std::string(128, 'a'), "P1,10.5,20.25\r\n",
                                            std::string("\0\x04\xff\n", 4)};
  auto w = Writer();
  for (const auto& r : records) ASSERT_TRUE(w->Append(r));
  const fs::path file = w->Path();
  w.reset();

  const CaptureContents c = ReadCapture(file);
  EXPECT_EQ(c.info.problem, "");
  EXPECT_FALSE(c.info.tail);
  EXPECT_EQ(c.info.records, 3u);
  EXPECT_EQ(c.info.dataBytes, 128u + 15u + 4u);
  EXPECT_EQ(c.info.header.program, "ULVO");
  EXPECT_EQ(c.info.header.instrument, "TS60");
  EXPECT_EQ(c.info.header.kind, "ITF00, ACK NAK");
  EXPECT_EQ(c.info.header.port, "/dev/pts/4 9600,none,8,1");
  EXPECT_EQ(c.info.header.destination, "/data/received.txt");
  const std::string expected =
      std::string(128, 'a') + "P1,10.5,20.25\r\n" + std::string("\0\x04\xff\n", 4);
  EXPECT_EQ(c.bytes, expected);
  ASSERT_EQ(WriteRestoredData(c, dir / "out.dat", false), "");
  EXPECT_EQ(Bytes(dir / "out.dat"), expected);
  EXPECT_TRUE(Bytes(file).starts_with("ULVO CAPTURE 1\nH 12 "));
}

TEST_F(UlvoCaptureTest, ATornLastRecordEndsReadingCleanlyAtEveryByte) {
  auto w = Writer();
  w->Append(std::string(128, 'x'));
  const fs::path file = w->Path();
  const uint64_t before = fs::file_size(file);
  w->Append(std::string(128, 'y'));
  w.reset();
  const std::string whole = Bytes(file);
  // "D 128 xxxxxxxx\n" (15 bytes), 128 bytes, "\n".
  ASSERT_EQ(whole.size(), before + 15 + 128 + 1);
  for (uint64_t cut = before; cut <= whole.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    std::ofstream(file, std::ios::binary | std::ios::trunc) << whole.substr(0, cut);
    const CaptureContents c = ReadCapture(file);
    const bool complete = cut == whole.size();
    EXPECT_EQ(c.bytes, std::string(128, 'x') + (complete ? std::string(128, 'y') : ""));
    ASSERT_EQ(c.info.tail.has_value(), cut != before && !complete);
    if (!c.info.tail) continue;
    EXPECT_EQ(c.info.tail->record, 2u);
    EXPECT_FALSE(c.info.tail->damaged);
    const uint64_t payload = before + 15;
    EXPECT_EQ(c.info.tail->expected, cut < payload ? 0u : 128u);
    EXPECT_EQ(c.info.tail->have, cut < payload ? 0u : std::min<uint64_t>(cut - payload, 128));
  }
  std::ofstream(file, std::ios::binary | std::ios::trunc) << whole.substr(0, before + 15 + 40);
  EXPECT_EQ(DescribeTail(*ReadCapture(file).info.tail), "record 2 is unfinished (40 of 128 bytes)");
  std::ofstream(file, std::ios::binary | std::ios::trunc) << whole.substr(0, before) + "D 128 ffff";
  EXPECT_EQ(DescribeTail(*ReadCapture(file).info.tail), "record 2 is unfinished");
}

TEST_F(UlvoCaptureTest, TwoUnfinishedReceivesCoexist) {
  auto first = Writer((dir / "one.txt").string());
  auto second = Writer((dir / "two.txt").string());
  first->Append("1");
  second->Append("2");
  const fs::path a = first->Path();
  const fs::path b = second->Path();
  ASSERT_NE(a, b);
  EXPECT_NE(DiscardCapture(b).find("a running receive is writing it"), std::string::npos);
  first.reset();
  second.reset();
  const std::vector<CaptureInfo> list = ListCaptures(dir / "Captures");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].file, a);  // made first, listed first
  EXPECT_EQ(list[0].header.destination, (dir / "one.txt").string());
  EXPECT_EQ(list[1].header.destination, (dir / "two.txt").string());
  EXPECT_EQ(ReadCapture(a).bytes, "1");
  EXPECT_EQ(ReadCapture(b).bytes, "2");
}

TEST_F(UlvoCaptureTest, ADestinationThatHasDisappearedIsRefusedAndTheCaptureKept) {
  const std::string gone = (dir / "gone" / "received.txt").string();
  auto w = Writer(gone);
  w->Append("data");
  const fs::path file = w->Path();
  w.reset();
  const CaptureContents c = ReadCapture(file);
  EXPECT_EQ(WriteRestoredData(c, gone, false), gone + ": No such file or directory");
  EXPECT_TRUE(fs::exists(file));
  std::ofstream(dir / "taken.txt") << "mine";
  EXPECT_EQ(WriteRestoredData(c, dir / "taken.txt", false),
            (dir / "taken.txt").string() + ": File exists");
  EXPECT_EQ(Bytes(dir / "taken.txt"), "mine");
  EXPECT_EQ(WriteRestoredData(c, dir / "taken.txt", true), "");
  EXPECT_EQ(Bytes(dir / "taken.txt"), "data");
}

TEST_F(UlvoCaptureTest, DataIsSyncedAtMostEvery250Ms) {
  auto w = Writer();
  // Appends at 0, 100, 250, 600, 610 ms: syncs asked for 250, 500, 750.
  for (const int step : {0, 100, 150, 350, 10}) {
    clock.SleepFor(std::chrono::milliseconds(step));
    w->Append("x");
  }
  EXPECT_EQ(log.at, (std::vector<long long>{250, 500, 750}));
  w->Keep();
  EXPECT_EQ(log.now, 1);
  EXPECT_EQ(log.cancels, 0);
  EXPECT_TRUE(fs::exists(w->Path()));
}

// The standard check value of the CRC-32 of zip and Ethernet, and the empty string's.
TEST(UlvoCaptureCrc, StandardCheckValue) {
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32(""), 0u);
}

TEST_F(UlvoCaptureTest, HeaderOfAReceive) {
  CInstrument i;
  ASSERT_TRUE(i.LoadInterfaceFile(ULVO_TEST_DATA_DIR "/IIF/fixture.IIF", nullptr));
  const struct {
    TransferParams params;
    const char* kind;
    const char* port;
  } cases[] = {
      // 9600 baud (bit 6), even parity, 7 bits, 2 stop bits, "ACK NAK", "ITF00".
      {{0x40 | 0x01, MakeLineFormat(4, 4, 4, 2), 0, 2},
       "ITF00, ACK NAK",
       "/dev/ttyUSB0 9600,even,7,2"},
      // Nothing set: the port keeps its own settings, protocol 0 behaves as "ASCII".
      {{0, 0, 0, 0}, "ASCII", "/dev/ttyUSB0 ,,,"},
      {{1u << 14, MakeLineFormat(16, 1, 2, 1), 0, 8},
       "ITF02, XON XOFF",
       "/dev/ttyUSB0 256000,space,5,1.5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    i.SetParams(kDirectionReceive, c.params);
    const CaptureHeader h = CaptureHeaderFor(i, "/dev/ttyUSB0", "/data/r.txt");
    EXPECT_EQ(h.program, "ULVO");
    EXPECT_EQ(h.instrument, "Fixture TS-1");
    EXPECT_EQ(h.kind, c.kind);
    EXPECT_EQ(h.port, c.port);
    EXPECT_EQ(h.destination, "/data/r.txt");
    EXPECT_GT(h.started, 1700000000);
  }
}

TEST_F(UlvoCaptureTest, EveryRecordIsOnDiskBeforeItIsAnswered) {
  auto w = Writer();
  for (int i = 0; i < 3; ++i) w->Append("x");
  EXPECT_EQ(log.records, 3);
  w->Keep();
}

TEST_F(UlvoCaptureTest, AStartTooLargeForItsFieldReadsAsUnknown) {
  const auto record = [](const std::string& payload) {
    char head[32];
    std::snprintf(head, sizeof head, "H %zu %08x\n", payload.size(), Crc32(payload));
    return head + payload + "\n";
  };
  const struct {
    const char* started;
    int64_t read;
  } cases[] = {
      {"9223372036854775807", 9223372036854775807},  // the largest it holds
      {"9223372036854775808", 0},
      {"99999999999999999999999", 0},
      {"1767609067x", 1767609067},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.started);
    const fs::path file = dir / "odd.ucapture";
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        << "ULVO CAPTURE 1\n"
        << record("program=ULVO") << record(std::string("started=") + c.started);
    EXPECT_EQ(ReadCapture(file).info.header.started, c.read);
  }
}

}  // namespace
}  // namespace ulvo
