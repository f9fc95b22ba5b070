// The receive step of "ITF00" and "ITF01": numbered blocks (after the header records of
// "ITF01"), each answered.
#include <algorithm>

#include "ulvo/transfer/culvo_serial.h"

namespace ulvo {

TransferError CULVOSerial::AnswerFrame(int kind) {
  PrepareHandshake(kind);
  return softMode_ == 2 ? WriteHandshake() : kErrorNone;
}

TransferError CULVOSerial::ReceiveStepBlocks() {
  std::string got;
  const long n =
      ReadInto(kBlockSize - std::min(buffer_.size(), kBlockSize), got, [&](std::string_view part) {
        return BlockFrameNeed(buffer_ + std::string(part), protocol_, headerState_, chars_);
      });
  if (n < 0) return kErrorReadFailed;
  if (n == 0) {
    TransferError code = kErrorNone;
    // An empty buffer means we are owed a frame: repeat the last message (the ENQ poll, or
    // the answer the instrument may have missed).
    if (softMode_ == 2 && buffer_.empty()) code = WriteHandshake();
    DecreaseIdle();
    return code;
  }
  receivedTotal_ += static_cast<size_t>(n);
  if (Overflowing()) return kErrorProtocol;
  if (buffer_.empty() && bytesTransferred_ == 0 && headerState_ == 0) {
    // Skip line noise before the first frame. The first STX, not the last: a block whose
    // data holds STX would otherwise be cut and rejected on every repetition.
    const size_t at = got.find(chars_.stx);
    if (at != std::string::npos) got.erase(0, at);
  }
  buffer_ += got;

  const std::string endRecord = BuildEndRecord(chars_);
  const std::string shortEnd{chars_.eot, '\r', '\n'};
  const std::string header0 = BuildHeaderRecord0(chars_);
  bool framed = false;
  for (;;) {
    // Padding and stray line ends between frames never start a frame.
    size_t skip = 0;
    while (skip < buffer_.size() &&
           (buffer_[skip] == '\0' || buffer_[skip] == '\r' || buffer_[skip] == '\n'))
      ++skip;
    buffer_.erase(0, skip);
    if (buffer_.empty()) {
      // Only padding arrived: no progress, or an endless stream of it would never end.
      if (!framed) DecreaseIdle();
      return kErrorNone;
    }

    if (chars_.eot != 0 && (buffer_.starts_with(endRecord) || buffer_.starts_with(shortEnd))) {
      end_ = true;
      buffer_.clear();
      return AnswerFrame(1);
    }
    if (buffer_[0] != chars_.stx) {
      // Line noise between frames: every frame starts with STX, so resume there.
      if (chars_.eot != 0 && shortEnd.starts_with(buffer_)) return kErrorNone;
      const size_t at = buffer_.find(chars_.stx);
      buffer_.erase(0, at);
      if (buffer_.empty()) {
        if (!framed) DecreaseIdle();
        return kErrorNone;
      }
      continue;
    }
    if (protocol_ == 3 && headerState_ == 0) {
      if (buffer_.size() < header0.size() && header0.starts_with(buffer_)) return kErrorNone;
      headerState_ = buffer_.starts_with(header0) ? 1 : 2;
      if (headerState_ == 1) {
        buffer_.erase(0, header0.size());
        framed = true;
        if (const TransferError code = AnswerFrame(1)) return code;
        continue;
      }
    }
    if (protocol_ == 3 && headerState_ == 1) {
      if (buffer_.size() < kHeader1Frame) return kErrorNone;
      if (IsValidHeaderRecord1(buffer_, chars_)) {
        items_.push_back(buffer_.substr(1, kHeaderData));
        Capture(items_.back());
        bytesTransferred_ += kHeaderData;
        headerState_ = 2;
        SetStatus(kStatusDownloading);
        NotifyOwner(kUpdateProgress);
        idleCountdown_ = 5;
        buffer_.erase(0, kHeader1Frame);
        framed = true;
        if (const TransferError code = AnswerFrame(1)) return code;
        continue;
      }
      SetStatus(kStatusBccFailed);
      DecreaseIdle();
      buffer_.erase(0, kHeader1Frame);
      // Without acknowledgements nobody sends it again, and the blocks follow at once.
      if (softMode_ != 2) headerState_ = 2;
      framed = true;
      if (const TransferError code = AnswerFrame(2)) return code;
      continue;
    }
    if (buffer_.size() < kBlockSize) return kErrorNone;
    const BlockVerdict v = JudgeBlock(buffer_, blockNumber_);
    if (!v.numberOk) SetStatus(kStatusBlockFailed);
    if (!v.checkOk) SetStatus(kStatusBccFailed);
    int kind = 2;
    if (v.numberOk && v.checkOk) {
      blockNumber_ = NextBlockNumber(blockNumber_);
      if (firstBlock_) SetStatus(kStatusDownloading);
      firstBlock_ = false;
      idleCountdown_ = 5;
      bytesTransferred_ += kBlockData;
      items_.push_back(buffer_.substr(1, kBlockData));
      Capture(items_.back());
      kind = 1;
    } else {
      DecreaseIdle();
    }
    PrepareHandshake(kind);
    if (kind == 1) NotifyOwner(kUpdateProgress);
    const TransferError code = softMode_ == 2 ? WriteHandshake() : kErrorNone;
    buffer_.erase(0, kBlockSize);
    framed = true;
    if (code != kErrorNone) return code;
  }
}

}  // namespace ulvo
