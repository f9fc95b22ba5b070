#include "ulvo/transfer/transfer_params.h"

namespace ulvo {

std::optional<int> HighestBit(uint32_t mask, int count) {
  std::optional<int> found;
  for (int i = 0; i < count && i < 32; ++i)
    if (mask & (1u << i)) found = i;
  return found;
}

int SoftHandshakeMode(uint32_t lineFormat) {
  const auto bit = HighestBit(SoftHandshakeByte(lineFormat), 3);
  return bit ? *bit + 1 : 0;
}

int ProtocolOf(uint32_t dataFormat) {
  const auto bit = HighestBit(dataFormat, 4);
  return bit ? *bit + 1 : 0;
}

PortSettings DecodePortSettings(uint32_t baudMask, uint32_t lineFormat, uint32_t hardHandshake) {
  PortSettings s;
  if (auto b = HighestBit(baudMask, kBaudRateCount)) s.baudRate = kBaudRates[*b];
  if (auto b = HighestBit(ParityByte(lineFormat), 5)) s.parity = static_cast<Parity>(*b);
  if (auto b = HighestBit(DataBitsByte(lineFormat), 4)) s.dataBits = 5 + *b;
  if (auto b = HighestBit(StopBitsByte(lineFormat), 3)) s.stopBits = static_cast<StopBits>(*b);
  s.dtrHandshake = (hardHandshake & kHardDtr) != 0;
  s.rtsHandshake = (hardHandshake & kHardRts) != 0;
  s.xonXoff = SoftHandshakeMode(lineFormat) == 1;
  return s;
}

std::string DefaultFormatName(uint32_t bit) {
  switch (bit) {
    case 1:
      return "ASCII";
    case 2:
      return "ITF00";
    case 4:
      return "ITF01";
    case 8:
      return "ITF02";
    default:
      return {};
  }
}

const char* ParityName(Parity parity) {
  static const char* const kNames[] = {"none", "odd", "even", "mark", "space"};
  return kNames[static_cast<int>(parity)];
}

const char* StopBitsName(StopBits stopBits) {
  static const char* const kNames[] = {"1", "1.5", "2"};
  return kNames[static_cast<int>(stopBits)];
}

const char* SoftHandshakeName(int mode) {
  static const char* const kNames[] = {"none", "XON XOFF", "ACK NAK", "ACK NAK2"};
  return mode >= 0 && mode <= 3 ? kNames[mode] : "";
}

}  // namespace ulvo
