#include "kavex/comm/download_protocols.h"

#include "kavex/comm/hk_line_sum.h"
#include "kavex/formats/qrx6_block.h"

namespace kavex {
namespace {

constexpr const char* kNoResponse = "No response.";
constexpr const char* kInvalidData = "Invalid Data.";
constexpr const char* kWriteError = "Write error.";

DownloadResult Failure(const char* message) {
  return {false, message};
}

int NextBlockNumber(int n) {
  return n == 9 ? 0 : n + 1;
}

}  // namespace

const std::string kHkGoodReply = std::string(1, kAck) + ",R,\r\n";
const std::string kHkBadReply = std::string(1, kNak) + ",!,\r\n";

DownloadOptions DownloadOptionsOf(const CommSettings& settings) {
  DownloadOptions o;
  o.ackNak = settings.useAckNak;
  o.delayMs = TimingValue(settings.delayTime);
  o.checkBlockNumber = settings.checkBlockNumber;
  o.checkBlockSum = settings.checkBlockSum;
  return o;
}

std::string StoredLineOf(const std::string& line) {
  std::string s = line;
  if (!s.empty() && s.back() == '\n') {
    s.pop_back();
    if (!s.empty() && s.back() == '\r') s.pop_back();
  }
  return s;
}

size_t BlockLineNeed(const std::string& line) {
  if (line.empty() || line[0] != kStx || line.size() >= kReceivedBlockLength) return 1;
  return kReceivedBlockLength - line.size();
}

size_t LikeLineNeed(size_t expected, const std::string& line) {
  return expected > line.size() ? expected - line.size() : 1;
}

DownloadResult RunTextDownload(CommPort& port, TransferProgress& progress,
                               DownloadReceiver& receiver) {
  progress.StartDownloadDisplay(0);
  // Nothing is answered, so a line may gather: it is expected to be as long as the one
  // before it, and one that ends sooner is taken a little later (see ExpectBytes).
  size_t expected = 0;
  const CommPort::LineNeed need = [&](const std::string& line) {
    return LikeLineNeed(expected, line);
  };
  for (unsigned reads = 1;; ++reads) {
    receiver.PumpEvents();
    const int r = port.ReadLine(need);
    expected = port.Line().size();
    if (r == kLineFailed) return Failure(kNoResponse);
    if (r == kLineEot || r == kLineDc1) return {true, {}};
    progress.Update(reads);
    receiver.Accepted(port.Line());
    receiver.StoreLine(port.Line());
  }
}

DownloadResult RunQrx6Download(CommPort& port, TransferProgress& progress,
                               DownloadReceiver& receiver, const DownloadOptions& options) {
  int expected = 0;
  unsigned stored = 0;
  auto check = [&](const std::string& line) {
    return CheckBlock(line, expected, options.checkBlockNumber, options.checkBlockSum) == 0;
  };

  if (!options.ackNak) {
    progress.StartDownloadDisplay(0);
    for (;;) {
      receiver.PumpEvents();
      const int r = port.ReadLine(BlockLineNeed);
      if (r == kLineFailed) return Failure(kNoResponse);
      if (r == kLineEot) return {true, {}};
      progress.Update(stored);
      if (!check(port.Line())) return Failure(kInvalidData);
      receiver.Accepted(port.Line());
      receiver.StoreLine(port.Line());
      ++stored;
      expected = NextBlockNumber(expected);
    }
  }

  // Answers a received line with ACK (and stores it) or NAK, no sooner than the delay
  // after the line arrived.
  auto answer = [&]() -> bool {
    const std::string line = port.Line();
    const bool good = check(line);
    if (good) receiver.Accepted(line);
    port.WaitSince(options.delayMs);
    if (port.WriteText(std::string(1, good ? kAck : kNak)) != 0) return false;
    port.StartTimer();
    if (good) {
      receiver.StoreLine(line);
      ++stored;
      expected = NextBlockNumber(expected);
    }
    return true;
  };

  progress.ShowMessage("Sending ENQ");
  receiver.PumpEvents();
  if (port.WriteText(std::string(1, kEnq)) != 0) return Failure(kWriteError);
  if (port.ReadLine(BlockLineNeed) == kLineFailed) return Failure(kNoResponse);
  port.StartTimer();
  if (!answer()) return Failure(kWriteError);

  progress.StartDownloadDisplay(0);
  for (;;) {
    progress.Update(stored);
    receiver.PumpEvents();
    const int r = port.ReadLine(BlockLineNeed);
    port.StartTimer();
    if (r == kLineFailed) return Failure(kNoResponse);
    if (r == kLineEot) break;
    if (!answer()) return Failure(kWriteError);
  }
  port.WaitFromNow(options.delayMs);
  // A failed final ACK has been reported by the port; the download then counts as failed.
  if (port.WriteText(std::string(1, kAck)) != 0) return {false, {}};
  return {true, {}};
}

DownloadResult RunHkDownload(CommPort& port, TransferProgress& progress, DownloadReceiver& receiver,
                             const DownloadOptions& options) {
  progress.StartDownloadDisplay(0);
  unsigned stored = 0;
  for (;;) {
    receiver.PumpEvents();
    const int r = port.ReadLine();
    port.StartTimer();
    if (r == kLineFailed) return Failure(kNoResponse);
    progress.Update(stored + 1);
    const std::string line = StoredLineOf(port.Line());
    const bool good = !options.checkBlockSum || HkLineSumOk(line);
    if (good) receiver.Accepted(port.Line());
    port.WaitSince(options.delayMs);
    if (port.WriteText(good ? kHkGoodReply : kHkBadReply) != 0) return Failure(kWriteError);
    port.StartTimer();
    if (!good) continue;
    receiver.StoreLine(port.Line());
    ++stored;
    if ((!line.empty() && line[0] == 'Z') || r == kLineEot || r == kLineDc1) return {true, {}};
  }
}

}  // namespace kavex
