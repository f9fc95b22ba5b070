#include "kavex/comm/upload_protocols.h"

#include "kavex/formats/text_format.h"

namespace kavex {

const std::string kStartBlock =
    "\x02"
    "F00F000\x03\r\n";
const std::string kEndBlock = "\x02\x04\x03\r\n";
const std::string kEndByte = "\x04";

namespace {

constexpr const char* kWriteError = "Write error.";
constexpr const char* kNoResponse = "No response.";

// One upload run: the paced sender and the acknowledgement test around the port.
class Uploader {
 public:
  Uploader(CommPort& port, TransferProgress& progress, const std::function<void()>& pump,
           const UploadOptions& options)
      : port_(port), progress_(progress), pump_(pump), options_(options) {}
  // Known from the start, so a stop before the first data line still tells how many wait.
  Uploader(CommPort& port, TransferProgress& progress, const std::function<void()>& pump,
           const std::vector<std::string>& lines, const UploadOptions& options)
      : Uploader(port, progress, pump, options) {
    for (const std::string& line : lines)
      if (!line.empty()) ++result.lineTotal;
  }

  // Paced: the write starts more than blockInterval after the previous one ended.
  bool Send(const std::string& bytes) {
    port_.WaitSince(options_.blockIntervalMs);
    if (port_.WriteText(bytes) != 0) return Fail(kWriteError);
    port_.StartTimer();
    return true;
  }

  bool AwaitAck() {
    const int r = port_.ReadLine();
    if (!IsUploadAcknowledgement(r, port_.Line())) return Fail(kNoResponse);
    return true;
  }

  void Pump() {
    if (pump_) pump_();
  }

  bool Cancelled() {
    if (!progress_.CancelRequested()) return false;
    result.cancelled = true;
    return true;
  }

  // The data lines: sent one by one, each acknowledged in Ack/Nak mode; "CANCEL" is
  // looked at before each line (checkBefore) or after each sent one (checkAfter).
  bool SendLines(const std::vector<std::string>& lines, bool ack, bool checkBefore,
                 bool checkAfter) {
    const unsigned n = static_cast<unsigned>(lines.size());
    progress_.StartUploadDisplay(0, n, 0, 20);
    for (unsigned i = 1; i <= n; ++i) {
      progress_.Update(i);
      Pump();
      if (checkBefore && Cancelled()) return false;
      const std::string& line = lines[i - 1];
      if (line.empty()) continue;
      if (!Send(UploadLineOf(line))) return false;
      if (ack) {
        Pump();
        if (!AwaitAck()) return false;
      }
      // A line counts once the instrument took it (Ack/Nak) or it was written (None).
      ++result.linesSent;
      if (checkAfter && Cancelled()) return false;
    }
    return true;
  }

  bool Fail(const char* message) {
    result.message = message;
    return false;
  }

  UploadResult result;

 private:
  CommPort& port_;
  TransferProgress& progress_;
  const std::function<void()>& pump_;
  UploadOptions options_;
};

UploadResult Finish(Uploader& u, bool ok) {
  u.result.ok = ok;
  return u.result;
}

}  // namespace

UploadOptions UploadOptionsOf(const CommSettings& settings) {
  UploadOptions o;
  o.ackNak = settings.useAckNak;
  o.blockIntervalMs = TimingValue(settings.blockInterval);
  o.addEndBlock = settings.addEndBlock;
  return o;
}

std::string UploadLineOf(const std::string& line) {
  return line.substr(0, kUploadLineLimit) + "\r\n";
}

bool IsUploadAcknowledgement(int readResult, const std::string& line) {
  return readResult == kLineEnd && line.size() == 3 && line[0] == kAck;
}

namespace {

// The lines after the start (and the coordinates' initial blocks), then the END block.
UploadResult SendBlockLines(Uploader& u, const std::vector<std::string>& lines,
                            const UploadOptions& options) {
  if (!u.SendLines(lines, options.ackNak, false, !options.ackNak)) return Finish(u, false);
  if (options.addEndBlock && !u.Send(kEndBlock)) return Finish(u, false);
  return Finish(u, true);
}

}  // namespace

UploadResult RunTerminalUpload(CommPort& port, TransferProgress& progress,
                               const std::function<void()>& pump,
                               const std::vector<std::string>& lines, const UploadOptions& options,
                               const std::string&) {
  Uploader u(port, progress, pump, lines, options);
  progress.Show(false);
  return Finish(u, u.SendLines(lines, false, false, false));
}

UploadResult RunNwfUpload(CommPort& port, TransferProgress& progress,
                          const std::function<void()>& pump, const std::vector<std::string>& lines,
                          const UploadOptions& options, const std::string&) {
  Uploader u(port, progress, pump, lines, options);
  progress.Show(true);
  if (!u.SendLines(lines, false, true, false)) return Finish(u, false);
  if (options.addEndBlock && !u.Send(kEndByte)) return Finish(u, false);
  return Finish(u, true);
}

UploadResult RunCoordinateUpload(CommPort& port, TransferProgress& progress,
                                 const std::function<void()>& pump,
                                 const std::vector<std::string>& lines,
                                 const UploadOptions& options, const std::string& initialBlock) {
  Uploader u(port, progress, pump, lines, options);
  port.StartTimer();
  if (options.ackNak) {
    progress.ShowMessage("Sending initial block");
    progress.Show(false);
    u.Pump();
    if (!u.Send(kStartBlock) || !u.AwaitAck()) return Finish(u, false);
    u.Pump();
    if (!u.Send(initialBlock) || !u.AwaitAck()) return Finish(u, false);
  } else {
    progress.ShowMessage("Sending initial blocks");
    progress.Show(true);
    u.Pump();
    if (!u.Send(kStartBlock) || !u.Send(initialBlock)) return Finish(u, false);
  }
  return SendBlockLines(u, lines, options);
}

UploadResult RunPointCodeUpload(CommPort& port, TransferProgress& progress,
                                const std::function<void()>& pump,
                                const std::vector<std::string>& lines, const UploadOptions& options,
                                const std::string&) {
  Uploader u(port, progress, pump, lines, options);
  progress.Show(!options.ackNak);
  return SendBlockLines(u, lines, options);
}

std::optional<std::string> UploadLineTooLong(const std::vector<std::string>& lines) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].size() > kUploadLineLimit)
      return Format("Line %zu has %zu characters: at most %zu can be sent.", i + 1, lines[i].size(),
                    kUploadLineLimit);
  }
  return std::nullopt;
}

std::string UploadStoppedNote(const UploadResult& result) {
  return Format("%u of %u lines were sent before the upload stopped.", result.linesSent,
                result.lineTotal);
}

}  // namespace kavex
