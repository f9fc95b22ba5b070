#include "ulvo/transfer/transfer_sheet.h"

#include "ulvo/transfer/setting_names.h"

namespace ulvo {

SpeedChoice SpeedChoiceOf(const TransferParams& current) {
  return SpeedChoice{HighestBitValue(current.baudMask, kBaudRateCount),
                     HighestBitValue(ParityByte(current.lineFormat), kParityBitCount),
                     HighestBitValue(DataBitsByte(current.lineFormat), kDataBitsBitCount),
                     HighestBitValue(StopBitsByte(current.lineFormat), kStopBitsBitCount)};
}

HandshakeChoice HandshakeChoiceOf(const TransferParams& current) {
  return HandshakeChoice{
      HighestBitValue(SoftHandshakeByte(current.lineFormat), kSoftHandshakeBitCount),
      current.hardHandshake & ((1u << kHardHandshakeBitCount) - 1),
      HighestBitValue(current.dataFormat, kFormatBitCount)};
}

std::vector<uint32_t> BitsOf(uint32_t mask, int count) {
  std::vector<uint32_t> bits;
  for (int bit = 0; bit < count; ++bit)
    if (mask & (1u << bit)) bits.push_back(1u << bit);
  return bits;
}

TransferParams SheetResult(const TransferParams& current, const std::optional<SpeedChoice>& speed,
                           const std::optional<HandshakeChoice>& handshake) {
  TransferParams result = current;
  uint32_t parity = ParityByte(current.lineFormat);
  uint32_t dataBits = DataBitsByte(current.lineFormat);
  uint32_t stopBits = StopBitsByte(current.lineFormat);
  uint32_t soft = SoftHandshakeByte(current.lineFormat);
  if (speed) {
    result.baudMask = speed->baud;
    parity = speed->parity;
    dataBits = speed->dataBits;
    stopBits = speed->stopBits;
  }
  if (handshake) {
    soft = handshake->soft;
    result.hardHandshake = handshake->hard;
    result.dataFormat = handshake->format;
  }
  result.lineFormat = MakeLineFormat(parity, dataBits, stopBits, soft);
  return result;
}

std::optional<uint32_t> RequiredHandshakeSwitch(const CInstrument& instrument, int direction,
                                                uint32_t formatBit, uint32_t shownSoft) {
  if (formatBit == 0) return std::nullopt;
  const int32_t required = instrument.RequiredSoftHandshake(direction, formatBit);
  if (required < 0 || static_cast<uint32_t>(required) == shownSoft) return std::nullopt;
  return static_cast<uint32_t>(required);
}

std::optional<SpeedChoice> DetectedSpeedChoice(const TransferParams& capabilities, uint32_t baud,
                                               int dataBits, Parity parity, int stopBits) {
  SpeedChoice c;
  for (int bit = 0; bit < kBaudRateCount; ++bit)
    if (kBaudRates[bit] == baud) c.baud = 1u << bit;
  for (int bit = 0; bit < kParityBitCount; ++bit)
    if (kParityNames[bit].parity == parity) c.parity = 1u << bit;
  if (dataBits >= 5 && dataBits < 5 + kDataBitsBitCount) c.dataBits = 1u << (dataBits - 5);
  // Stop bits are 1, 1.5 and 2 in bit order.
  if (stopBits == 1) c.stopBits = 1u;
  if (stopBits == 2) c.stopBits = 4u;
  const bool allowed = (capabilities.baudMask & c.baud) != 0 &&
                       (ParityByte(capabilities.lineFormat) & c.parity) != 0 &&
                       (DataBitsByte(capabilities.lineFormat) & c.dataBits) != 0 &&
                       (StopBitsByte(capabilities.lineFormat) & c.stopBits) != 0;
  if (!allowed) return std::nullopt;
  return c;
}

}  // namespace ulvo
