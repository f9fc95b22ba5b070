#include "ulvo/transfer/culvo_serial.h"

#include <algorithm>

#include "ulvo/transfer/destination_file.h"

namespace ulvo {

uint32_t CULVOSerial::Run(TransferOwner* owner, CInstrument instrument, const std::string& portName,
                          int direction, const std::string& fileName) {
  updateFlags_ = 0;
  owner_ = owner;
  SetStatus(kStatusInitializing);
  if (device_.IsOpen()) return kErrorHandleInUse;

  status_ = 0;
  frameProblem_ = 0;
  bytesTransferred_ = 0;
  fileName_ = fileName;
  fileProblem_.clear();
  fallbackFile_.clear();
  bytesWritten_ = 0;
  fileWritten_ = false;
  chars_ = instrument.Chars();
  direction_ = direction;
  idleCountdown_ = 0;

  const TransferParams& params = instrument.Params(direction);
  softMode_ = SoftHandshakeMode(params.lineFormat);
  protocol_ = ProtocolOf(params.dataFormat);
  link_ = &Describe(protocol_);

  // Found out before the instrument sends anything: afterwards its data would be lost.
  if (direction == kDirectionReceive) {
    if (const std::string why = DestinationProblem(fileName); !why.empty()) {
      fileProblem_ = fileName + ": " + why;
      SetStatus(kStatusTransferFailed);
      SetError(kErrorWriteFile);
      NotifyOwner(kUpdateFinished);
      return kErrorWriteFile;
    }
  }

  if (const TransferError code =
          OpenComPort(params.baudMask, params.lineFormat, params.hardHandshake, portName)) {
    NotifyOwner(kUpdateFinished);
    return code;
  }
  const InstrumentTimeouts& t = instrument.Timeouts();
  if (!device_.SetTimeouts({t.readInterval, t.readMultiplier, t.readConstant})) {
    CloseComPort();
    SetError(kErrorSetTimeouts);
    SetStatus(kStatusTransferFailed);
    NotifyOwner(kUpdateFinished);
    return kErrorSetTimeouts;
  }
  device_.Purge();
  if (direction == kDirectionSend) return SendLoop();
  if (direction == kDirectionReceive) return ReceiveLoop();
  return CloseComPort();
}

int CULVOSerial::SendProgress() const {
  if (direction_ != kDirectionSend || items_.size() < 2) return 0;
  return static_cast<int>(std::min<size_t>(itemIndex_ * 100 / (items_.size() - 1), 100));
}

void CULVOSerial::SetStatus(TransferStatus code) {
  status_ = code;
  if (code == kStatusBccFailed || code == kStatusBlockFailed) frameProblem_ = code;
  updateFlags_ |= kUpdateStatus;
  if (owner_) owner_->StatusSet(code);
}

void CULVOSerial::SetError(TransferError code) {
  error_ = code;
  updateFlags_ |= kUpdateError;
  if (owner_) owner_->ErrorSet(code);
}

void CULVOSerial::NotifyOwner(uint8_t flags) {
  // Progress means a frame was accepted after any that were rejected.
  if (flags & kUpdateProgress) frameProblem_ = 0;
  updateFlags_ |= flags;
  if (owner_) owner_->UpdateAllViews(updateFlags_, *this);
}

}  // namespace ulvo
