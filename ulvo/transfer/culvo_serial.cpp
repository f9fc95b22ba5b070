#include "ulvo/transfer/culvo_serial.h"

#include <algorithm>
#include <cctype>

#include "ulvo/transfer/destination_file.h"

namespace ulvo {

namespace {

// "com2" names the port COM2; device paths of other systems are case-sensitive and kept.
std::string NormalisePortName(const std::string& name) {
  if (name.size() > 3 && (name[0] == 'c' || name[0] == 'C') && (name[1] == 'o' || name[1] == 'O') &&
      (name[2] == 'm' || name[2] == 'M') && std::all_of(name.begin() + 3, name.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
      })) {
    return "COM" + name.substr(3);
  }
  return name;
}

}  // namespace

uint32_t CULVOSerial::Run(TransferOwner* owner, CInstrument instrument, const std::string& portName,
                          int direction, const std::string& fileName) {
  updateFlags_ = 0;
  owner_ = owner;
  SetStatus(12);
  if (device_.IsOpen()) return 1;

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

  // Found out before the instrument sends anything: afterwards its data would be lost.
  if (direction == kDirectionReceive) {
    if (const std::string why = DestinationProblem(fileName); !why.empty()) {
      fileProblem_ = fileName + ": " + why;
      SetStatus(11);
      SetError(8);
      NotifyOwner(kUpdateFinished);
      return 8;
    }
  }

  if (const uint32_t code =
          OpenComPort(params.baudMask, params.lineFormat, params.hardHandshake, portName)) {
    NotifyOwner(kUpdateFinished);
    return code;
  }
  const InstrumentTimeouts& t = instrument.Timeouts();
  if (!device_.SetTimeouts({t.readInterval, t.readMultiplier, t.readConstant})) {
    CloseComPort();
    SetError(5);
    SetStatus(11);
    NotifyOwner(kUpdateFinished);
    return 5;
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

void CULVOSerial::SetStatus(uint32_t code) {
  status_ = code;
  if (code == 13 || code == 14) frameProblem_ = code;
  updateFlags_ |= kUpdateStatus;
  if (owner_) owner_->StatusSet(code);
}

void CULVOSerial::SetError(uint32_t code) {
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

uint32_t CULVOSerial::OpenComPort(uint32_t baudMask, uint32_t lineFormat, uint32_t hardHandshake,
                                  const std::string& portName) {
  const PortSettings settings = DecodePortSettings(baudMask, lineFormat, hardHandshake);
  gatherBytes_ = settings.baudRate ? *settings.baudRate / 10 * kTextGather.count() / 1000 : 0;
  const OpenResult r = device_.Open(NormalisePortName(portName), settings);
  switch (r) {
    case OpenResult::kOk:
      return 0;
    case OpenResult::kCannotOpen:
      SetStatus(11);
      SetError(2);
      return 2;
    case OpenResult::kCannotReadState:
      CloseComPort();
      SetStatus(11);
      SetError(4);
      return 4;
    case OpenResult::kCannotSetState:
      break;
  }
  CloseComPort();
  SetStatus(11);
  SetError(3);
  return 3;
}

uint32_t CULVOSerial::CloseComPort() {
  if (!device_.IsOpen()) return 0;
  return device_.Close() ? 0 : 10;
}

void CULVOSerial::PrepareHandshake(int kind) {
  handshake_.clear();
  if (softMode_ == 2) {
    const char c[] = {chars_.enq, chars_.ack, chars_.nak, chars_.eot};
    handshake_ += c[std::clamp(kind, 0, 3)];
    if (chars_.addCrLf) handshake_ += "\r\n";
  } else if (softMode_ == 3) {
    handshake_ = BuildControlRecord(kind).substr(0, 20);
  }
}

uint32_t CULVOSerial::WriteHandshake() {
  if (handshake_.empty()) return 0;
  if (!device_.Write(handshake_, kWriteWait)) return 7;
  if (!device_.WaitTransmitEmpty(kWriteWait)) return 7;
  return 0;
}

}  // namespace ulvo
