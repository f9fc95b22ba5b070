#include "kavex/comm/capture_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "kavex/shell/transfer_families.h"
#include "kavex/tests/support/fake_clock.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::FakeClock;

// Records what the capture asks of the disk, in milliseconds of the fake clock.
struct SyncLog {
  std::vector<long long> at;
  int now = 0;
  int cancels = 0;
  int records = 0;  // records synced before Append returned
};
class RecordingSyncer final : public CaptureSyncer {
 public:
  explicit RecordingSyncer(SyncLog& log) : log_(log) {}
  void SyncAt(int, Clock::TimePoint when) override {
    log_.at.push_back(
        std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::TimePoint{}).count());
  }
  void SyncNow(int) override { ++log_.now; }
  void Cancel() override { ++log_.cancels; }
  void SyncRecord(int) override { ++log_.records; }

 private:
  SyncLog& log_;
};

class CaptureFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kavex_capture_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
           std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::unique_ptr<CaptureWriter> Writer(CaptureHeader header = Header()) {
    std::string problem;
    auto w = CaptureWriter::Create(dir / "Captures", header, clock, problem,
                                   std::make_unique<RecordingSyncer>(log));
    EXPECT_TRUE(w) << problem;
    return w;
  }
  static CaptureHeader Header() {
    CaptureHeader h;
    h.kind = "qrx6";
    h.port = "/dev/pts/3 9600 8N1 Ack/Nak";
    h.started = 1767609067;
    h.destination = "/home/me/job.qr6";
    return h;
  }
  static std::string Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  fs::path dir;
  FakeClock clock;
  SyncLog log;
};

TEST_F(CaptureFileTest, RestoresTheAcceptedLinesToTheByte) {
  const std::vector<std::string> lines = {"\x02_+P00001_ x00000000017\x03",  // control bytes stay
                                          "",              // an empty line is a line
                                          "Caf\xe9 1\r2",  // Latin-1 and a lone CR in the middle
                                          std::string(255, 'x')};
  auto w = Writer();
  for (const auto& l : lines) ASSERT_TRUE(w->Append(l));
  const fs::path file = w->Path();
  w.reset();  // as after a crash: the file stays

  const CaptureContents c = ReadCapture(file);
  EXPECT_EQ(c.info.problem, "");
  EXPECT_FALSE(c.info.tail);
  EXPECT_EQ(c.lines, lines);
  EXPECT_EQ(c.info.records, 4u);
  EXPECT_EQ(c.info.dataBytes, 22u + 0 + 10 + 255);
  EXPECT_EQ(c.info.header.program, "Kavex");
  EXPECT_EQ(c.info.header.kind, "qrx6");
  EXPECT_EQ(c.info.header.port, "/dev/pts/3 9600 8N1 Ack/Nak");
  EXPECT_EQ(c.info.header.started, 1767609067);
  EXPECT_EQ(c.info.header.destination, "/home/me/job.qr6");

  const fs::path out = dir / "restored.qr6";
  EXPECT_EQ(WriteRestoredLines(c, out, false), "");
  EXPECT_EQ(Bytes(out), "\x02_+P00001_ x00000000017\x03\r\n\r\nCaf\xe9 1\r2\r\n" +
                            std::string(255, 'x') + "\r\n");
}

TEST_F(CaptureFileTest, FileLayoutIsTheDocumentedOne) {
  CaptureHeader h;
  h.kind = "hk";
  h.started = 5;
  std::string problem;
  auto w = CaptureWriter::Create(dir, h, clock, problem, std::make_unique<RecordingSyncer>(log));
  ASSERT_TRUE(w);
  w->Append("AB");
  const std::string bytes = Bytes(w->Path());
  // CRC-32 of "AB" is 0x30694c07; of "program=Kavex" and the rest likewise by its table.
  EXPECT_TRUE(bytes.starts_with("KAVEX CAPTURE 1\nH 13 ")) << bytes;
  EXPECT_TRUE(bytes.ends_with("\nD 2 30694c07\nAB\n")) << bytes;
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);  // the check value of this CRC

  // The README's sample reads as it says.
  std::ofstream(dir / "sample.kcapture", std::ios::binary)
      << "KAVEX CAPTURE 1\nH 13 a7e6a18a\nprogram=Kavex\nH 8 2c66381f\nkind=nwf\n"
         "H 34 d6ca4409\nport=/dev/ttyUSB0 9600 8N1 Ack/Nak\nH 18 4ae3a343\n"
         "started=1767609067\nH 28 91d0b3a1\ndestination=/home/me/job.qr6\n"
         "D 10 5c97245f\nPOINT   P1\nD 10 c59e75e5\nPOINT   P2\n";
  const CaptureContents sample = ReadCapture(dir / "sample.kcapture");
  EXPECT_FALSE(sample.info.tail);
  EXPECT_EQ(sample.info.header.kind, "nwf");
  EXPECT_EQ(sample.info.header.destination, "/home/me/job.qr6");
  EXPECT_EQ(sample.lines, (std::vector<std::string>{"POINT   P1", "POINT   P2"}));
}

TEST_F(CaptureFileTest, ATornLastRecordEndsReadingCleanlyAtEveryByte) {
  auto w = Writer();
  w->Append("first");
  w->Append(std::string(136, 'B'));
  const fs::path file = w->Path();
  const uint64_t before = fs::file_size(file);
  w->Append("LAST-LINE");
  w.reset();
  const std::string whole = Bytes(file);
  // The last record: "D 9 xxxxxxxx\n" (13 bytes), 9 bytes of payload, "\n".
  ASSERT_EQ(whole.size(), before + 13 + 9 + 1);

  for (uint64_t cut = before; cut <= whole.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    std::ofstream(file, std::ios::binary | std::ios::trunc) << whole.substr(0, cut);
    const CaptureContents c = ReadCapture(file);
    EXPECT_EQ(c.info.problem, "");
    const bool complete = cut == whole.size();
    ASSERT_EQ(c.lines.size(), complete ? 3u : 2u);
    EXPECT_EQ(c.lines[1], std::string(136, 'B'));
    if (cut == before || complete) {
      EXPECT_FALSE(c.info.tail);
      continue;
    }
    ASSERT_TRUE(c.info.tail);
    const CaptureTail& t = *c.info.tail;
    EXPECT_EQ(t.record, 3u);
    EXPECT_FALSE(t.damaged);
    EXPECT_FALSE(t.inHeader);
    EXPECT_EQ(t.offset, before);
    const uint64_t payload = before + 13;
    EXPECT_EQ(t.expected, cut < payload ? 0u : 9u);
    EXPECT_EQ(t.have, cut < payload ? 0u : std::min<uint64_t>(cut - payload, 9));
  }
  std::ofstream(file, std::ios::binary | std::ios::trunc) << whole.substr(0, before + 17);
  EXPECT_EQ(DescribeTail(*ReadCapture(file).info.tail), "record 3 is unfinished (4 of 9 bytes)");
}

TEST_F(CaptureFileTest, DamageStopsReadingAndIsNamed) {
  auto w = Writer();
  w->Append("one");
  w->Append("two");
  const fs::path file = w->Path();
  w.reset();
  const std::string whole = Bytes(file);
  const size_t second = whole.rfind("D 3 ");
  const struct {
    const char* what;
    std::string bytes;
    size_t lines;
    std::string description;
  } cases[] = {
      {"payload byte changed", whole.substr(0, whole.size() - 2) + "X\n", 1, "record 2 is damaged"},
      {"check digit changed",
       whole.substr(0, second + 4) + (whole[second + 4] == '0' ? "1" : "0") +
           whole.substr(second + 5),
       1, "record 2 is damaged"},
      {"no line end after the payload", whole.substr(0, whole.size() - 1) + "x", 1,
       "record 2 is damaged"},
      {"zeros after a power loss", whole + std::string(4096, '\0'), 2, "record 3 is damaged"},
      {"length not a number", whole + "D x9 00000000\nabc\n", 2, "record 3 is damaged"},
      {"a header field after the data", whole + "H 3 7f0030cf\na=b\n", 2, "record 3 is damaged"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << c.bytes;
    const CaptureContents read = ReadCapture(file);
    EXPECT_EQ(read.lines.size(), c.lines);
    ASSERT_TRUE(read.info.tail);
    EXPECT_TRUE(read.info.tail->damaged);
    EXPECT_EQ(DescribeTail(*read.info.tail), c.description);
  }
}

TEST_F(CaptureFileTest, FilesThatAreNoCaptureAreListedWithTheReason) {
  fs::create_directories(dir / "Captures");
  const struct {
    const char* name;
    std::string bytes;
    std::string problem;
    bool headerTail;
  } cases[] = {
      {"empty", "", "the file is empty", false},
      {"magic-cut", "KAVEX CAP", "the file is empty", false},
      {"other", "hello\n", "not a capture file", false},
      {"header-cut", "KAVEX CAPTURE 1\nH 13 ", "", true},
  };
  for (const auto& c : cases)
    std::ofstream(dir / "Captures" / (std::string(c.name) + ".kcapture"), std::ios::binary)
        << c.bytes;
  std::ofstream(dir / "Captures" / "notes.txt") << "not listed";
  const std::vector<CaptureInfo> list = ListCaptures(dir / "Captures");
  ASSERT_EQ(list.size(), 4u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](const CaptureInfo& i) { return i.name == c.name; });
    ASSERT_NE(it, list.end());
    EXPECT_EQ(it->problem, c.problem);
    EXPECT_EQ(it->tail.has_value(), c.headerTail);
    if (c.headerTail) {
      EXPECT_EQ(DescribeTail(*it->tail), "the header is unfinished");
    }
  }
}

TEST_F(CaptureFileTest, TwoUnfinishedCapturesCoexist) {
  auto first = Writer();
  first->Append("from the first");
  auto second = Writer();  // same start second, same process
  second->Append("from the second");
  EXPECT_NE(first->Path(), second->Path());

  // While a download runs its capture is in use: listed, but not to be discarded.
  std::vector<CaptureInfo> list = ListCaptures(dir / "Captures");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_TRUE(list[0].inUse);
  EXPECT_NE(DiscardCapture(second->Path()).find("a running download is writing it"),
            std::string::npos);

  const fs::path firstPath = first->Path();
  const fs::path secondPath = second->Path();
  first.reset();
  second.reset();
  list = ListCaptures(dir / "Captures");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_FALSE(list[0].inUse || list[1].inUse);
  EXPECT_EQ(ReadCapture(firstPath).lines, std::vector<std::string>{"from the first"});
  EXPECT_EQ(ReadCapture(secondPath).lines, std::vector<std::string>{"from the second"});
  EXPECT_EQ(FindCapture(dir / "Captures", secondPath.stem().string()), secondPath);
  EXPECT_EQ(FindCapture(dir / "Captures", secondPath.filename().string()), secondPath);
  EXPECT_FALSE(FindCapture(dir / "Captures", "19990101-000000-1"));

  EXPECT_EQ(DiscardCapture(firstPath), "");
  EXPECT_EQ(ListCaptures(dir / "Captures").size(), 1u);
}

TEST_F(CaptureFileTest, ADestinationThatHasDisappearedIsRefusedAndTheCaptureKept) {
  CaptureHeader h = Header();
  h.destination = (dir / "gone" / "job.qr6").string();
  auto w = Writer(h);
  w->Append("A");
  const fs::path file = w->Path();
  w.reset();
  const CaptureContents c = ReadCapture(file);
  EXPECT_EQ(c.info.header.destination, h.destination);
  EXPECT_EQ(WriteRestoredLines(c, c.info.header.destination, false),
            h.destination + ": No such file or directory");
  EXPECT_TRUE(fs::exists(file));
  EXPECT_FALSE(fs::exists(dir / "gone"));
  // Elsewhere it restores; an existing file is kept unless replacing was asked for.
  std::ofstream(dir / "kept.qr6") << "old";
  EXPECT_EQ(WriteRestoredLines(c, dir / "kept.qr6", false),
            (dir / "kept.qr6").string() + ": File exists");
  EXPECT_EQ(Bytes(dir / "kept.qr6"), "old");
  EXPECT_EQ(WriteRestoredLines(c, dir / "kept.qr6", true), "");
  EXPECT_EQ(Bytes(dir / "kept.qr6"), "A\r\n");
  EXPECT_FALSE(fs::exists(dir / "kept.qr6.tmp~"));
}

TEST_F(CaptureFileTest, DataIsSyncedAtMostEvery250MsAndNoLaterThan250MsAfterItCame) {
  // Appends (ms after the capture was made) and the syncs they ask for.
  const struct {
    const char* what;
    std::vector<int> appends;
    std::vector<long long> syncs;
  } cases[] = {
      {"one line", {0}, {250}},
      {"a burst is one sync", {0, 10, 100, 249}, {250}},
      {"a line at the instant of the sync asks for the next", {0, 250}, {250, 500}},
      {"steady flow", {0, 260, 270, 600}, {250, 500, 750}},
      {"after a pause at once", {1000}, {1000}},
      {"after a pause, then the interval", {1000, 1100, 1300}, {1000, 1250, 1500}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    log = SyncLog{};
    const long long base = clock.Elapsed().count();
    auto w = Writer();
    for (const int ms : c.appends) {
      clock.Advance(std::chrono::milliseconds(base + ms - clock.Elapsed().count()));
      w->Append("x");
    }
    std::vector<long long> relative;
    for (const long long at : log.at) relative.push_back(at - base);
    EXPECT_EQ(relative, c.syncs);
    const fs::path file = w->Path();
    w->Finish();
    EXPECT_EQ(log.cancels, 1);
    EXPECT_EQ(log.now, 0);
    EXPECT_FALSE(fs::exists(file));
    clock.Advance(5s);
  }
}

TEST_F(CaptureFileTest, KeepSyncsAndLeavesTheFile) {
  auto w = Writer();
  w->Append("x");
  w->Keep();
  EXPECT_EQ(log.now, 1);
  EXPECT_TRUE(fs::exists(w->Path()));
  EXPECT_FALSE(w->Append("y"));
  w.reset();
  EXPECT_EQ(log.now, 1);
}

TEST_F(CaptureFileTest, AFolderThatCannotBeMadeIsReported) {
  std::ofstream(dir / "file") << "x";
  std::string problem;
  EXPECT_FALSE(CaptureWriter::Create(dir / "file" / "Captures", Header(), clock, problem));
  EXPECT_TRUE(problem.starts_with((dir / "file" / "Captures").string())) << problem;
  EXPECT_NE(problem.find("Not a directory"), std::string::npos) << problem;
}

TEST_F(CaptureFileTest, TheRealSyncerSyncsOnItsOwnThread) {
  std::string problem;
  SystemClock real;
  auto w = CaptureWriter::Create(dir, Header(), real, problem);
  ASSERT_TRUE(w) << problem;
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(w->Append("line " + std::to_string(i)));
  const fs::path file = w->Path();
  w.reset();
  EXPECT_EQ(ReadCapture(file).lines.size(), 50u);
}

TEST_F(CaptureFileTest, TheReceiverCapturesEachLineAsItIsAcceptedAndPassesEverythingOn) {
  struct Inner : DownloadReceiver {
    std::vector<std::string> accepted, stored;
    void Accepted(const std::string& line) override { accepted.push_back(line); }
    void StoreLine(const std::string& line) override { stored.push_back(line); }
    void PumpEvents() override {}
  } inner;
  auto w = Writer();
  CapturingReceiver receiver(inner, w.get());
  receiver.Accepted("A\r\n");
  const fs::path file = w->Path();
  // On disk before the line is stored (and answered).
  EXPECT_EQ(ReadCapture(file).lines, (std::vector<std::string>{"A"}));
  receiver.StoreLine("A\r\n");
  receiver.Accepted("B\n");
  receiver.StoreLine("B\n");
  w.reset();
  EXPECT_EQ(inner.accepted, (std::vector<std::string>{"A\r\n", "B\n"}));
  EXPECT_EQ(inner.stored, (std::vector<std::string>{"A\r\n", "B\n"}));
  EXPECT_EQ(ReadCapture(file).lines, (std::vector<std::string>{"A", "B"}));
  CapturingReceiver without(inner, nullptr);
  without.Accepted("C\n");
  without.StoreLine("C\n");
  EXPECT_EQ(inner.stored.size(), 3u);
}

TEST(CaptureHeaderFor, DescribesTheDownload) {
  CommSettings s;
  s.rateCode = 3;
  s.sevenBits = true;
  s.parityCode = 1;
  s.stopBits = 2;
  s.useAckNak = true;
  const CaptureHeader h =
      CaptureHeaderFor(DownloadFamilyOf(DownloadKind::Hk).word, "/dev/ttyUSB0", s, "/d/x.hk1");
  EXPECT_EQ(h.program, "Kavex");
  EXPECT_EQ(h.kind, "hk");
  EXPECT_EQ(h.port, "/dev/ttyUSB0 2400 7E2 Ack/Nak");
  EXPECT_EQ(h.destination, "/d/x.hk1");
  EXPECT_GT(h.started, 1700000000);
  EXPECT_EQ(
      CaptureHeaderFor(DownloadFamilyOf(DownloadKind::Nwf).word, "COM1", CommSettings{}, "").port,
      "COM1 9600 8N1");
}

TEST_F(CaptureFileTest, EveryRecordIsOnDiskBeforeItIsAnswered) {
  auto w = Writer();
  for (int i = 0; i < 3; ++i) w->Append("x");
  EXPECT_EQ(log.records, 3);
  w->Keep();
}

TEST_F(CaptureFileTest, AStartTooLargeForItsFieldReadsAsUnknown) {
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
    const fs::path file = dir / "odd.kcapture";
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        << "KAVEX CAPTURE 1\n"
        << record("program=Kavex") << record(std::string("started=") + c.started);
    EXPECT_EQ(ReadCapture(file).info.header.started, c.read);
  }
}

}  // namespace
}  // namespace kavex
