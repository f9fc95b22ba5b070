// The send loop: the file read into records, each record sent and its answer judged.
#include <fstream>
#include <system_error>

#include "ulvo/transfer/culvo_serial.h"

namespace ulvo {

TransferError CULVOSerial::ReadSourceFile() {
  SetStatus(kStatusReadingFile);
  std::error_code ec;
  const auto size = std::filesystem::file_size(fileName_, ec);
  std::ifstream in(fileName_, std::ios::binary);
  if (ec || !in || size > kMaxTransferBytes) {
    SetError(kErrorReadFile);
    return kErrorReadFile;
  }
  std::string bytes(static_cast<size_t>(size), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) {
    SetError(kErrorReadFile);
    return kErrorReadFile;
  }
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (!link_->buildRecords(bytes, chars_, items_)) {
    items_.clear();
    SetStatus(kStatusEmptyFile);
    SetError(kErrorEmptyFile);
    return kErrorEmptyFile;
  }
  SetStatus(kStatusFileRead);
  return kErrorNone;
}

TransferError CULVOSerial::SendLoop() {
  updateFlags_ = 0;
  idleCountdown_ = 10;
  end_ = false;
  items_.clear();
  buffer_.clear();
  itemIndex_ = 0;
  bytesTransferred_ = 0;
  answer_.clear();

  TransferError code = ReadSourceFile();
  if (code == kErrorNone) SetStatus(kStatusUploading);
  if (softMode_ == 3) idleCountdown_ = 40;
  if (code == kErrorNone) {
    while (!end_ && idleCountdown_ != 0 && itemIndex_ < items_.size()) {
      size_t written = 0;
      code = SendRecord(written);
      if (code == kErrorNone) code = JudgeAnswer(written);
      if (code != kErrorNone) break;
    }
    // Running out of tries is a failure, and says so: the records did not all get through.
    if (code == kErrorNone && idleCountdown_ == 0) {
      SetError(kErrorNoResponse);
      code = kErrorNoResponse;
    }
  }
  SetStatus(idleCountdown_ == 0 || code != kErrorNone ? kStatusTransferFailed : kStatusTransferOk);
  CloseComPort();
  NotifyOwner(kUpdateFinished);
  return code;
}

TransferError CULVOSerial::SendRecord(size_t& written) {
  const std::string& record = items_[itemIndex_];
  const size_t length = link_->transmitLength(record, chars_.eot);
  if (!device_.Write(std::string_view(record).substr(0, length), kWriteWait)) {
    SetError(kErrorWriteData);
    idleCountdown_ = 0;
    return kErrorWriteData;
  }
  written = length;
  return kErrorNone;
}

TransferError CULVOSerial::JudgeAnswer(size_t written) {
  const bool last = itemIndex_ + 1 >= items_.size();
  const auto accept = [&] {
    if (last) end_ = true;
    bytesTransferred_ += static_cast<uint32_t>(written);
    NotifyOwner(kUpdateProgress);
    ++itemIndex_;
  };
  if (softMode_ != 2 && softMode_ != 3) {
    accept();
    return kErrorNone;
  }
  // The answer may come in pieces: read on until it is whole or the line falls silent.
  const size_t most = softMode_ == 2 ? 20 : 10;
  std::string ack = BuildControlRecord(1);
  ack.pop_back();
  bool acknowledged = false;
  // The answer is whole at ACK or NAK (and the line end the instrument adds), or at LF.
  const FrameNeed whole = [&](std::string_view got) -> size_t {
    const std::string answer = answer_ + std::string(got);
    if (answer.size() >= most) return 0;
    if (softMode_ != 2) return answer.find('\n') != std::string::npos ? 0 : 1;
    const size_t at = answer.find_first_of(std::string{chars_.ack, chars_.nak});
    if (at == std::string::npos) return 1;
    const size_t after = answer.size() - at - 1;
    return chars_.addCrLf && after < 2 ? 2 - after : 0;
  };
  for (;;) {
    std::string got;
    const long n = ReadInto(most, got, whole);
    if (n < 0) {
      SetError(kErrorReadFailed);
      return kErrorReadFailed;
    }
    if (n == 0 && answer_.empty()) {
      if (idleCountdown_ > 0) --idleCountdown_;
      if (softMode_ == 2 && last) end_ = true;
      return kErrorNone;
    }
    answer_ += got;
    if (softMode_ == 2) {
      const bool ackSeen = answer_.find(chars_.ack) != std::string::npos;
      if (n == 0 || ackSeen || answer_.find(chars_.nak) != std::string::npos ||
          answer_.size() >= most) {
        acknowledged = ackSeen;
        answer_.clear();
        break;
      }
    } else {
      // A control record ends with LF; what follows it belongs to the next answer.
      const size_t lf = answer_.find('\n');
      if (n == 0 || lf != std::string::npos || answer_.size() >= most) {
        acknowledged = answer_.compare(0, ack.size(), ack) == 0;
        answer_.erase(0, lf == std::string::npos ? answer_.size() : lf + 1);
        break;
      }
    }
  }
  if (acknowledged) {
    idleCountdown_ = softMode_ == 2 ? 5 : 40;
    accept();
  } else {
    if (idleCountdown_ > 0) --idleCountdown_;
    if (end_ && idleCountdown_ > 1) idleCountdown_ = 1;
  }
  return kErrorNone;
}

}  // namespace ulvo
