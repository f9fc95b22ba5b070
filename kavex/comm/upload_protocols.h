#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kavex/comm/comm_port.h"
#include "kavex/comm/comm_settings.h"
#include "kavex/comm/transfer_progress.h"

namespace kavex {

// Fixed blocks of the uploads.
extern const std::string kStartBlock;  // STX "F00F000" ETX CR LF
extern const std::string kEndBlock;    // STX EOT ETX CR LF
extern const std::string kEndByte;     // EOT

// The most characters of one view line that go out; CR LF follows them.
inline constexpr size_t kUploadLineLimit = 191;

struct UploadOptions {
  bool ackNak = false;
  unsigned blockIntervalMs = 400;
  bool addEndBlock = true;
};
UploadOptions UploadOptionsOf(const CommSettings& settings);

struct UploadResult {
  bool ok = false;
  bool cancelled = false;  // "CANCEL" pressed: ended without a message
  // Shown once the port is closed; empty when there is none to show.
  std::string message;
  unsigned linesSent = 0;  // data lines acknowledged (Ack/Nak) or written (None)
  unsigned lineTotal = 0;  // non-empty data lines
};

// A view line as it goes out: its first 191 characters and CR LF.
std::string UploadLineOf(const std::string& line);

// True for the acknowledgement the coordinate and point-code uploads wait for: a line of
// exactly 3 characters that begins with ACK.
bool IsUploadAcknowledgement(int readResult, const std::string& line);

// One upload on an open, configured port whose timer was started. Shows the progress window
// as the protocol wants it; pump lets the window repaint and "CANCEL" be pressed.
// initialBlock is the coordinate upload's second block.
using UploadProtocol = UploadResult (*)(CommPort& port, TransferProgress& progress,
                                        const std::function<void()>& pump,
                                        const std::vector<std::string>& lines,
                                        const UploadOptions& options,
                                        const std::string& initialBlock);
// The lines as they stand, nothing else.
UploadResult RunTerminalUpload(CommPort& port, TransferProgress& progress,
                               const std::function<void()>& pump,
                               const std::vector<std::string>& lines, const UploadOptions& options,
                               const std::string& initialBlock);
// The lines, then EOT (with "Add END block").
UploadResult RunNwfUpload(CommPort& port, TransferProgress& progress,
                          const std::function<void()>& pump, const std::vector<std::string>& lines,
                          const UploadOptions& options, const std::string& initialBlock);
// The start and initial blocks, the coordinate blocks (each acknowledged with Ack/Nak), the
// END block.
UploadResult RunCoordinateUpload(CommPort& port, TransferProgress& progress,
                                 const std::function<void()>& pump,
                                 const std::vector<std::string>& lines,
                                 const UploadOptions& options, const std::string& initialBlock);
// The point-code blocks (each acknowledged with Ack/Nak), the END block.
UploadResult RunPointCodeUpload(CommPort& port, TransferProgress& progress,
                                const std::function<void()>& pump,
                                const std::vector<std::string>& lines, const UploadOptions& options,
                                const std::string& initialBlock);

// The message that refuses an upload before anything is sent when a line is longer than
// kUploadLineLimit: the instrument would receive something else than the data.
std::optional<std::string> UploadLineTooLong(const std::vector<std::string>& lines);

// The message of an upload that stopped after some lines went out.
std::string UploadStoppedNote(const UploadResult& result);

}  // namespace kavex
