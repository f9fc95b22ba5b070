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
  const bool headers = link_->headerRecords > 0;
  std::string got;
  const long n =
      ReadInto(kBlockSize - std::min(buffer_.size(), kBlockSize), got, [&](std::string_view part) {
        return ScanBlockFrame(buffer_ + std::string(part), headers, headerState_, chars_).need;
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

  bool framed = false;
  for (;;) {
    const BlockScan scan = ScanBlockFrame(buffer_, headers, headerState_, chars_);
    buffer_.erase(0, scan.skip);
    if (scan.frame == BlockFrame::kNone) {
      // Only padding or noise arrived: no progress, or an endless stream of it would never
      // end.
      if (!framed) DecreaseIdle();
      return kErrorNone;
    }
    // A frame that is not header record 0 means the instrument sends none.
    if (headers && headerState_ == 0 && scan.frame == BlockFrame::kBlock) headerState_ = 2;
    if (scan.need > 0) return kErrorNone;

    if (scan.frame == BlockFrame::kEndRecord) {
      end_ = true;
      buffer_.clear();
      return AnswerFrame(1);
    }
    if (scan.frame == BlockFrame::kHeader0) {
      headerState_ = 1;
      buffer_.erase(0, kHeader0Size);
      framed = true;
      if (const TransferError code = AnswerFrame(1)) return code;
      continue;
    }
    if (scan.frame == BlockFrame::kHeader1) {
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
