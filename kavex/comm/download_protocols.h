#pragma once

#include <string>

#include "kavex/comm/comm_port.h"
#include "kavex/comm/comm_settings.h"
#include "kavex/comm/transfer_progress.h"

namespace kavex {

// Where accepted lines go (the current data) and how the window stays responsive.
class DownloadReceiver {
 public:
  virtual ~DownloadReceiver() = default;
  // A line passed its checks: it is stored once it has been answered. Told before the
  // answer goes out, so what the instrument takes as delivered is already on disk.
  virtual void Accepted(const std::string& /*line*/) {}
  // The line as received, terminator included; the receiver stores StoredLineOf(line).
  virtual void StoreLine(const std::string& line) = 0;
  virtual void PumpEvents() = 0;
};

struct DownloadOptions {
  bool ackNak = false;
  unsigned delayMs = 100;
  bool checkBlockNumber = true;
  bool checkBlockSum = true;
};
DownloadOptions DownloadOptionsOf(const CommSettings& settings);

struct DownloadResult {
  bool ok = false;
  // Shown in the message box once the port is closed; empty when the port operation has
  // already told the user.
  std::string message;
};

// The HK replies: good 0x06 ",R," CR LF, bad 0x15 ",!," CR LF.
extern const std::string kHkGoodReply;
extern const std::string kHkBadReply;

// A received line without its final LF and the CR before it.
std::string StoredLineOf(const std::string& line);

// Bytes a QRX-6 download line still needs, at the least: a line that begins with STX is a
// block, whole with its CR LF.
size_t BlockLineNeed(const std::string& line);
// Bytes a text line is expected to still need when lines run `expected` bytes long (0: not
// known yet): a guess, for lines whose end nobody waits on.
size_t LikeLineNeed(size_t expected, const std::string& line);

using DownloadProtocol = DownloadResult (*)(CommPort& port, TransferProgress& progress,
                                            DownloadReceiver& receiver,
                                            const DownloadOptions& options);

// Terminal and NWF downloads: lines until EOT or DC1; nothing is sent.
DownloadResult RunTextDownload(CommPort& port, TransferProgress& progress,
                               DownloadReceiver& receiver);
// QRX-6 blocks until EOT, with or without ENQ/ACK/NAK.
DownloadResult RunQrx6Download(CommPort& port, TransferProgress& progress,
                               DownloadReceiver& receiver, const DownloadOptions& options);
// HK-101/102 lines with their sum check, each answered, until a line beginning with "Z".
DownloadResult RunHkDownload(CommPort& port, TransferProgress& progress, DownloadReceiver& receiver,
                             const DownloadOptions& options);

}  // namespace kavex
