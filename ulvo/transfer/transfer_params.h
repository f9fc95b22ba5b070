#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ulvo {

// The line settings of one direction. Every setting is a bit mask; where several bits are
// set the highest wins, where none is set the port keeps its own value.
struct TransferParams {
  uint32_t baudMask = 0;
  uint32_t lineFormat = 0;  // byte 0 parity, 1 data bits, 2 stop bits, 3 software handshake
  uint32_t hardHandshake = 0;
  uint32_t dataFormat = 0;
  bool operator==(const TransferParams&) const = default;
};

inline constexpr uint32_t kBaudRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                          19200, 38400, 56000, 57600, 115200, 128000, 256000};
inline constexpr int kBaudRateCount = 15;

enum class Parity { kNone, kOdd, kEven, kMark, kSpace };
enum class StopBits { kOne, kOneAndHalf, kTwo };

// The bits each byte of the line format word has, and the hardware handshake mask.
inline constexpr int kParityBitCount = 5;
inline constexpr int kDataBitsBitCount = 4;  // 5 to 8 data bits
inline constexpr int kStopBitsBitCount = 3;
inline constexpr int kSoftHandshakeBitCount = 3;
inline constexpr int kHardHandshakeBitCount = 4;

// Hardware handshake bits; bits 2 and 3 are kept and edited but never act on the port.
inline constexpr uint32_t kHardDtr = 1;
inline constexpr uint32_t kHardRts = 2;
inline constexpr uint32_t kHardRequireDsr = 4;
inline constexpr uint32_t kHardRequireCts = 8;

inline uint32_t ParityByte(uint32_t lineFormat) {
  return lineFormat & 0xFF;
}
inline uint32_t DataBitsByte(uint32_t lineFormat) {
  return (lineFormat >> 8) & 0xFF;
}
inline uint32_t StopBitsByte(uint32_t lineFormat) {
  return (lineFormat >> 16) & 0xFF;
}
inline uint32_t SoftHandshakeByte(uint32_t lineFormat) {
  return (lineFormat >> 24) & 0xFF;
}
inline uint32_t MakeLineFormat(uint32_t parity, uint32_t dataBits, uint32_t stopBits,
                               uint32_t soft) {
  return (parity & 0xFF) | (dataBits & 0xFF) << 8 | (stopBits & 0xFF) << 16 | (soft & 0xFF) << 24;
}

// Index of the highest set bit among the first `count` bits, or nullopt when none is set.
std::optional<int> HighestBit(uint32_t mask, int count);
// The value of that bit, 0 for none.
inline uint32_t HighestBitValue(uint32_t mask, int count) {
  const std::optional<int> bit = HighestBit(mask, count);
  return bit ? 1u << *bit : 0u;
}
// Lowest set bit as a mask (0 for 0).
inline uint32_t LowestBit(uint32_t mask) {
  return mask & (~mask + 1);
}

// Software handshake mode 0..3 (none, "XON XOFF", "ACK NAK", "ACK NAK2") from the line format.
int SoftHandshakeMode(uint32_t lineFormat);

// What the port is to be set to. Empty optionals keep the port's current value.
struct PortSettings {
  std::optional<uint32_t> baudRate;
  std::optional<Parity> parity;
  std::optional<int> dataBits;
  std::optional<StopBits> stopBits;
  bool dtrHandshake = false;
  bool rtsHandshake = false;
  bool xonXoff = false;  // both directions, 0x11 / 0x13
  bool operator==(const PortSettings&) const = default;
};

PortSettings DecodePortSettings(uint32_t baudMask, uint32_t lineFormat, uint32_t hardHandshake);

// Names as the command line and the trace show them (setting_names.h has them all).
const char* ParityName(Parity parity);
const char* StopBitsName(StopBits stopBits);
const char* SoftHandshakeName(int mode);  // "none", "XON XOFF", "ACK NAK", "ACK NAK2"
// As --handshake takes it: "none", "xonxoff", "acknak", "acknak2".
const char* SoftHandshakeWord(int mode);

}  // namespace ulvo
