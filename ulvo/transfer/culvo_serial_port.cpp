// The engine's side of the port: opening it with the instrument's line settings, closing it,
// reading frames and writing the handshake messages.
#include <algorithm>
#include <cctype>

#include "ulvo/transfer/culvo_serial.h"

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

TransferError CULVOSerial::OpenComPort(uint32_t baudMask, uint32_t lineFormat,
                                       uint32_t hardHandshake, const std::string& portName) {
  const PortSettings settings = DecodePortSettings(baudMask, lineFormat, hardHandshake);
  gatherBytes_ = settings.baudRate ? *settings.baudRate / 10 * kTextGather.count() / 1000 : 0;
  const OpenResult r = device_.Open(NormalisePortName(portName), settings);
  switch (r) {
    case OpenResult::kOk:
      return kErrorNone;
    case OpenResult::kCannotOpen:
      SetStatus(kStatusTransferFailed);
      SetError(kErrorPortNotOpened);
      return kErrorPortNotOpened;
    case OpenResult::kCannotReadState:
      CloseComPort();
      SetStatus(kStatusTransferFailed);
      SetError(kErrorReadState);
      return kErrorReadState;
    case OpenResult::kCannotSetState:
      break;
  }
  CloseComPort();
  SetStatus(kStatusTransferFailed);
  SetError(kErrorSetState);
  return kErrorSetState;
}

TransferError CULVOSerial::CloseComPort() {
  if (!device_.IsOpen()) return kErrorNone;
  return device_.Close() ? kErrorNone : kErrorClose;
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

TransferError CULVOSerial::WriteHandshake() {
  if (handshake_.empty()) return kErrorNone;
  if (!device_.Write(handshake_, kWriteWait)) return kErrorWriteHandshake;
  if (!device_.WaitTransmitEmpty(kWriteWait)) return kErrorWriteHandshake;
  return kErrorNone;
}

long CULVOSerial::ReadInto(size_t max, std::string& got, const FrameNeed& need) {
  got.clear();
  if (max == 0) return 0;
  return device_.ReadFrame(got, max, need);
}

}  // namespace ulvo
