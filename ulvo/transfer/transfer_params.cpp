#include "ulvo/transfer/transfer_params.h"

#include "ulvo/transfer/setting_names.h"

namespace ulvo {

std::optional<int> HighestBit(uint32_t mask, int count) {
  std::optional<int> found;
  for (int i = 0; i < count && i < 32; ++i)
    if (mask & (1u << i)) found = i;
  return found;
}

int SoftHandshakeMode(uint32_t lineFormat) {
  const auto bit = HighestBit(SoftHandshakeByte(lineFormat), kSoftHandshakeBitCount);
  return bit ? *bit + 1 : 0;
}

PortSettings DecodePortSettings(uint32_t baudMask, uint32_t lineFormat, uint32_t hardHandshake) {
  PortSettings s;
  if (auto b = HighestBit(baudMask, kBaudRateCount)) s.baudRate = kBaudRates[*b];
  if (auto b = HighestBit(ParityByte(lineFormat), kParityBitCount))
    s.parity = static_cast<Parity>(*b);
  if (auto b = HighestBit(DataBitsByte(lineFormat), kDataBitsBitCount)) s.dataBits = 5 + *b;
  if (auto b = HighestBit(StopBitsByte(lineFormat), kStopBitsBitCount))
    s.stopBits = static_cast<StopBits>(*b);
  s.dtrHandshake = (hardHandshake & kHardDtr) != 0;
  s.rtsHandshake = (hardHandshake & kHardRts) != 0;
  s.xonXoff = SoftHandshakeMode(lineFormat) == 1;
  return s;
}

const char* ParityName(Parity parity) {
  return kParityNames[static_cast<int>(parity)].summary.text;
}

const char* StopBitsName(StopBits stopBits) {
  return kStopBitsNames[static_cast<int>(stopBits)];
}

const char* SoftHandshakeName(int mode) {
  if (mode == 0) return "none";
  return mode > 0 && mode <= kSoftHandshakeBitCount ? kSoftHandshakeNames[mode - 1].text.text : "";
}

const char* SoftHandshakeWord(int mode) {
  if (mode == 0) return "none";
  return mode > 0 && mode <= kSoftHandshakeBitCount ? kSoftHandshakeNames[mode - 1].word : "";
}

}  // namespace ulvo
