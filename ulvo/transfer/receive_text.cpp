// The receive step of "ASCII": text up to EOT, in records of 253 bytes.
#include <algorithm>

#include "ulvo/transfer/culvo_serial.h"

namespace ulvo {

TransferError CULVOSerial::ReceiveStepText() {
  std::string got;
  // A record is whole at its 253rd byte or at EOT. No answer is due before EOT, so the read
  // may let the bytes of a few milliseconds gather instead of waking for every piece: an
  // EOT among them ends the receive that much later, once.
  const size_t room = kTextRecordSize - std::min(buffer_.size(), kTextRecordSize);
  const long n = ReadInto(room, got, [&](std::string_view part) -> size_t {
    if (part.find(chars_.eot) != std::string_view::npos || part.size() >= room) return 0;
    return std::min(room - part.size(), gatherBytes_ + 1);
  });
  if (n < 0) return kErrorReadFailed;
  if (n > 0) {
    receivedTotal_ += static_cast<size_t>(n);
    if (Overflowing()) return kErrorProtocol;
    const size_t eot = got.find(chars_.eot);
    if (eot != std::string::npos) end_ = true;
    buffer_ += got;
    // The file ends before the first EOT; what follows it is never written.
    Capture(std::string_view(got).substr(0, eot));
    bytesTransferred_ += static_cast<uint32_t>(n);
    SetStatus(kStatusDownloading);
    NotifyOwner(kUpdateProgress);
    idleCountdown_ = 20;
  } else {
    DecreaseIdle();
    if (idleCountdown_ == 10) SetStatus(kStatusNoData);
    if (idleCountdown_ == 0) SetStatus(kStatusTransferFailed);
  }
  if (buffer_.size() >= kTextRecordSize) {
    items_.push_back(std::move(buffer_));
    buffer_.clear();
  } else if (idleCountdown_ == 0) {
    buffer_ += chars_.eot;
    items_.push_back(std::move(buffer_));
    buffer_.clear();
  } else if (end_) {
    items_.push_back(std::move(buffer_));
    buffer_.clear();
  }
  return kErrorNone;
}

}  // namespace ulvo
