// The receive loop: receive steps until the end record or silence, then the file written.
#include "ulvo/transfer/capture_file.h"
#include "ulvo/transfer/culvo_serial.h"
#include "ulvo/transfer/destination_file.h"

namespace ulvo {

void CULVOSerial::Capture(std::string_view bytes) {
  // A capture that cannot be written stops by itself; the receive goes on.
  if (capture_ && !bytes.empty()) capture_->Append(bytes);
}

TransferError CULVOSerial::ReceiveLoop() {
  updateFlags_ = 0;
  end_ = false;
  buffer_.clear();
  blockNumber_ = '0';
  items_.clear();
  itemIndex_ = 0;
  idleCountdown_ = 30;
  firstBlock_ = true;
  headerState_ = 0;
  receivedTotal_ = 0;
  handshake_.clear();

  TransferError code = kErrorNone;
  if (softMode_ == 2) {
    idleCountdown_ = 10;
    PrepareHandshake(0);
    SetStatus(kStatusWaitingForHandshake);
    code = WriteHandshake();
  } else {
    SetStatus(kStatusWaitingForData);
  }
  started_ = false;

  if (code == kErrorNone) {
    while (!end_ && idleCountdown_ != 0 && code == kErrorNone) code = (this->*link_->receiveStep)();
    if (idleCountdown_ == 0 || code != kErrorNone) {
      CloseComPort();
      WriteDestinationFile();
      // The shown error is 12 whatever ended the steps; the result keeps the step's own code.
      code = code != kErrorNone ? code : kErrorNoResponse;
      SetError(kErrorNoResponse);
    } else if (CloseComPort() != kErrorNone) {
      WriteDestinationFile();
      SetError(kErrorClose);
      code = kErrorClose;
    } else if (WriteDestinationFile() != kErrorNone) {
      SetError(kErrorWriteFile);
      code = kErrorWriteFile;
    } else {
      NotifyOwner(kUpdateFinished);
      SetStatus(kStatusTransferOk);
      return kErrorNone;
    }
  } else {
    CloseComPort();
    SetError(code);
  }
  SetStatus(kStatusTransferFailed);
  NotifyOwner(kUpdateFinished);
  return code;
}

void CULVOSerial::DecreaseIdle() {
  if (idleCountdown_ > 0) --idleCountdown_;
}

std::string CULVOSerial::ReceivedBytes() const {
  std::string bytes;
  for (const std::string& record : items_)
    bytes.append(record, 0, link_->fileBytes(record, chars_.eot));
  return bytes;
}

TransferError CULVOSerial::WriteDestinationFile() {
  // A text receive that stopped or failed mid-record still has bytes in hand: keep them.
  if (link_->keepsUnfinishedRecord && !buffer_.empty()) {
    items_.push_back(std::move(buffer_));
    buffer_.clear();
  }
  const std::string bytes = ReceivedBytes();
  // Nothing came: the destination stays exactly as it was, an existing file included.
  if (bytes.empty()) return kErrorNone;
  SetStatus(kStatusWritingFile);
  const std::string why = WriteWholeFile(fileName_, bytes);
  if (why.empty()) {
    fileWritten_ = true;
    bytesWritten_ = bytes.size();
    SetStatus(kStatusFileWritten);
    return kErrorNone;
  }
  fileProblem_ = fileName_ + ": " + why;
  if (!fallbackFolder_.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(fallbackFolder_, ec);
    const std::filesystem::path fallback = FallbackFilePath(fallbackFolder_, fileName_);
    if (WriteWholeFile(fallback, bytes).empty()) {
      fallbackFile_ = fallback;
      fileWritten_ = true;
      bytesWritten_ = bytes.size();
    }
  }
  return kErrorWriteFile;
}

}  // namespace ulvo
