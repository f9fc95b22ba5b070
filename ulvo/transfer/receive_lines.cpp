// The receive step of "ITF02": lines with a check character between a start and an end record.
#include <algorithm>

#include "ulvo/transfer/culvo_serial.h"

namespace ulvo {

namespace {

constexpr size_t kReceiveBufferSize = 255;

}  // namespace

TransferError CULVOSerial::ReceiveStepLines() {
  std::string got;
  // A line is whole at LF, or when it fills the buffer. Once the lines have begun and none
  // is answered, the read lets the bytes of a few milliseconds gather before it hands on the
  // lines among them, as the text receive does, instead of waking for every piece. Before
  // that the reads stay short: each one that brings no start counts down the wait.
  const bool gather = started_ && softMode_ != 2 && softMode_ != 3 && gatherBytes_ > 0;
  const size_t room = gather ? kReceiveBufferSize : 9;
  const long n = ReadInto(room, got, [&](std::string_view part) -> size_t {
    const bool lineEnd = part.find('\n') != std::string_view::npos;
    if (part.size() >= room) return 0;
    if (!gather) return lineEnd || buffer_.size() + part.size() >= kReceiveBufferSize ? 0 : 1;
    // A line that ends what has come so far may be the last for a while (the end record is):
    // it goes on at once.
    if (lineEnd && (part.size() > gatherBytes_ || part.back() == '\n')) return 0;
    return std::min(room - part.size(), gatherBytes_ + 1);
  });
  if (n < 0) return kErrorReadFailed;
  receivedTotal_ += static_cast<size_t>(n);
  if (Overflowing()) return kErrorProtocol;
  const std::string start = BuildControlRecord(0);
  const std::string endRecord = BuildControlRecord(3);
  for (const char c : got) {
    buffer_ += c;
    if (c != '\n' && buffer_.size() < kReceiveBufferSize) continue;
    const std::string line = std::move(buffer_);
    buffer_.clear();
    if (c != '\n' || !LineCheckOk(line)) {
      PrepareHandshake(2);
      DecreaseIdle();
    } else if (items_.empty() && line == start) {
      started_ = true;
      PrepareHandshake(1);
    } else if (line == endRecord || !started_) {
      PrepareHandshake(1);
      SetStatus(kStatusTransferOk);
      end_ = true;
    } else {
      std::string record = line.substr(0, line.size() - 5) + "\r\n";
      bytesTransferred_ += static_cast<uint32_t>(record.size());
      NotifyOwner(kUpdateProgress);
      SetStatus(kStatusDownloading);
      PrepareHandshake(1);
      Capture(record);
      items_.push_back(std::move(record));
      idleCountdown_ = 30;
    }
    if (softMode_ == 2 || softMode_ == 3)
      if (const TransferError code = WriteHandshake()) return code;
    if (end_) break;
  }
  if (!started_ || n == 0) {
    DecreaseIdle();
    if (idleCountdown_ == 10) SetStatus(kStatusNoData);
    if (idleCountdown_ == 0) SetStatus(kStatusTransferFailed);
  }
  return kErrorNone;
}

}  // namespace ulvo
