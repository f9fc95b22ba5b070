// The receive loop: receive steps until the end record or silence, then the file written.
#include "ulvo/transfer/capture_file.h"
#include "ulvo/transfer/culvo_serial.h"
#include "ulvo/transfer/destination_file.h"

namespace ulvo {

void CULVOSerial::Capture(std::string_view bytes) {
  // A capture that cannot be written stops by itself; the receive goes on.
  if (capture_ && !bytes.empty()) capture_->Append(bytes);
}

uint32_t CULVOSerial::ReceiveLoop() {
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

  uint32_t code = 0;
  if (softMode_ == 2) {
    idleCountdown_ = 10;
    PrepareHandshake(0);
    SetStatus(9);
    code = WriteHandshake();
  } else {
    SetStatus(8);
  }
  started_ = false;

  if (code == 0) {
    while (!end_ && idleCountdown_ != 0 && code == 0) {
      if (protocol_ == 2 || protocol_ == 3)
        code = ReceiveStepBlocks();
      else if (protocol_ == 4)
        code = ReceiveStepLines();
      else
        code = ReceiveStepText();
    }
    if (idleCountdown_ == 0 || code != 0) {
      CloseComPort();
      WriteDestinationFile();
      // The shown error is 12 whatever ended the steps; the result keeps the step's own code.
      code = code != 0 ? code : 12;
      SetError(12);
    } else if (CloseComPort() != 0) {
      WriteDestinationFile();
      SetError(10);
      code = 10;
    } else if (WriteDestinationFile() != 0) {
      SetError(8);
      code = 8;
    } else {
      NotifyOwner(kUpdateFinished);
      SetStatus(10);
      return 0;
    }
  } else {
    CloseComPort();
    SetError(code);
  }
  SetStatus(11);
  NotifyOwner(kUpdateFinished);
  return code;
}

void CULVOSerial::DecreaseIdle() {
  if (idleCountdown_ > 0) --idleCountdown_;
}

std::string CULVOSerial::ReceivedBytes() const {
  std::string bytes;
  for (const std::string& record : items_) {
    size_t length = record.size();
    if (protocol_ == 4) {
      const size_t lf = record.find('\n');
      if (lf != std::string::npos) length = lf + 1;
    } else if (protocol_ != 2 && protocol_ != 3) {
      const size_t eot = record.find(chars_.eot);
      length = eot != std::string::npos ? eot : std::min(record.size(), kTextRecordSize);
    }
    bytes.append(record, 0, length);
  }
  return bytes;
}

uint32_t CULVOSerial::WriteDestinationFile() {
  // A text receive that stopped or failed mid-record still has bytes in hand: keep them.
  if (protocol_ != 2 && protocol_ != 3 && protocol_ != 4 && !buffer_.empty()) {
    items_.push_back(std::move(buffer_));
    buffer_.clear();
  }
  const std::string bytes = ReceivedBytes();
  // Nothing came: the destination stays exactly as it was, an existing file included.
  if (bytes.empty()) return 0;
  SetStatus(2);
  const std::string why = WriteWholeFile(fileName_, bytes);
  if (why.empty()) {
    fileWritten_ = true;
    bytesWritten_ = bytes.size();
    SetStatus(3);
    return 0;
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
  return 8;
}

}  // namespace ulvo
