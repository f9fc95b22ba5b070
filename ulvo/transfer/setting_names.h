#pragma once

#include <cstdint>
#include <iterator>

#include "ulvo/transfer/transfer_codes.h"
#include "ulvo/transfer/transfer_params.h"

namespace ulvo {

// How each line setting is named, one row per bit in bit order: the word the command line,
// the trace and the capture file use, and the texts the Transfer window's summary and the
// settings sheet show (translated by their keys).

struct ParityNames {
  Parity parity;
  // The summary's text; its default is the word too.
  TransferText summary;
  // The sheet's button, under the same key: the sheet capitalises what the summary does not.
  const char* sheet;
};
inline constexpr ParityNames kParityNames[] = {
    {Parity::kNone, {"none", "GT_PARITYNONE"}, "None"},
    {Parity::kOdd, {"odd", "GT_PARITYODD"}, "Odd"},
    {Parity::kEven, {"even", "GT_PARITYEVEN"}, "Even"},
    {Parity::kMark, {"mark", "GT_PARITYMARK"}, "Mark"},
    {Parity::kSpace, {"space", "GT_PARITYSPACE"}, "Space"},
};
static_assert(std::size(kParityNames) == kParityBitCount);

// The same everywhere, and never translated.
inline constexpr const char* kDataBitsNames[] = {"5", "6", "7", "8"};
static_assert(std::size(kDataBitsNames) == kDataBitsBitCount);
inline constexpr const char* kStopBitsNames[] = {"1", "1.5", "2"};
static_assert(std::size(kStopBitsNames) == kStopBitsBitCount);

// Software handshake modes 1 to 3 (bits 0 to 2 of the line format's byte 3); mode 0 is "none".
struct SoftHandshakeNames {
  int mode;
  const char* word;   // as --handshake takes it: "xonxoff"
  TransferText text;  // as the windows, the trace and the capture file show it: "XON XOFF"
};
inline constexpr SoftHandshakeNames kSoftHandshakeNames[] = {
    {1, "xonxoff", {"XON XOFF", "GT_HSXONXOFF"}},
    {2, "acknak", {"ACK NAK", "GT_HSACKNAK"}},
    {3, "acknak2", {"ACK NAK2", "GT_HSACKNAK2"}},
};
static_assert(std::size(kSoftHandshakeNames) == kSoftHandshakeBitCount);

// Hardware handshake bits 0 to 3.
struct HardHandshakeNames {
  uint32_t bit;
  const char* word;      // as ulvo-cli lists it
  TransferText summary;  // the Transfer window's summary
  TransferText sheet;    // the settings sheet's check box
};
inline constexpr HardHandshakeNames kHardHandshakeNames[] = {
    {kHardDtr, "DTR handshake", {"DTR", "GT_DTR"}, {"DTR", "TP_DTR"}},
    {kHardRts, "RTS handshake", {"RTS", "GT_RTS"}, {"RTS", "TP_RTS"}},
    {kHardRequireDsr, "Require DSR", {"DSR", "GT_DSR"}, {"Require DSR", "TP_REQDSR"}},
    {kHardRequireCts, "Require CTS", {"CTS", "GT_CTS"}, {"Require CTS", "TP_REQCTS"}},
};
static_assert(std::size(kHardHandshakeNames) == kHardHandshakeBitCount);

}  // namespace ulvo
