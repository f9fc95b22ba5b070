#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ulvo/transfer/link_framing.h"
#include "ulvo/transfer/transfer_codes.h"

namespace ulvo {

class CULVOSerial;

// The link protocol a direction runs, by the numbers users and instrument files know. kNone
// (no data format bit set) runs as kAscii.
enum class LinkProtocol : uint8_t { kNone = 0, kAscii = 1, kItf00 = 2, kItf01 = 3, kItf02 = 4 };

// The data format bits: bit n selects the protocol of row n of LinkProtocols().
inline constexpr int kFormatBitCount = 4;

// Everything the program asks of one link protocol.
struct LinkDescription {
  LinkProtocol protocol;
  uint32_t formatBit;
  // The data format's name where the instrument file gives it none ("ITF00").
  const char* name;
  // File bytes one record carries at the most; 0 when a record is one line of any length.
  size_t recordData;
  // A received file ends in the spaces that fill its last record.
  bool padsLastRecord;
  // Records of file data that come before the numbered blocks ("ITF01": its header record).
  size_t headerRecords;
  // The software handshake mode an instrument acknowledges the records with.
  int answerMode;
  // Send: the records a file goes as, in wire form; false for a file with nothing to send.
  bool (*buildRecords)(std::string_view file, const ControlChars& cc,
                       std::vector<std::string>& records);
  // Send: how many bytes of a record go on the wire.
  size_t (*transmitLength)(std::string_view record, char eot);
  // Receive: how many bytes of a received record go to the file.
  size_t (*fileBytes)(std::string_view record, char eot);
  // Receive: the bytes of a record the end of the receive cut short go to the file too.
  bool keepsUnfinishedRecord;
  // Receive: one step of the engine's receive loop.
  TransferError (CULVOSerial::*receiveStep)();
};

// The protocols in format bit order.
std::span<const LinkDescription> LinkProtocols();
// The description a protocol runs by (kNone: that of kAscii).
const LinkDescription& Describe(LinkProtocol protocol);
// The protocol a data format mask selects: its highest format bit wins.
LinkProtocol ProtocolOf(uint32_t dataFormat);
// The name of a data format bit where the instrument file gives none; empty for other bits.
std::string DefaultFormatName(uint32_t bit);

}  // namespace ulvo
