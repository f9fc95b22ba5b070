#include "ulvo/transfer/link_protocol.h"

#include "ulvo/transfer/culvo_serial.h"
#include "ulvo/transfer/transfer_params.h"

namespace ulvo {

std::span<const LinkDescription> LinkProtocols() {
  // A friend of CULVOSerial, for the receive steps.
  static constexpr LinkDescription kRows[] = {
      {.protocol = LinkProtocol::kAscii,
       .formatBit = 1,
       .name = "ASCII",
       .recordData = kTextRecordSize,
       .padsLastRecord = false,
       .headerRecords = 0,
       .answerMode = 2,
       .buildRecords = BuildTextRecords,
       .transmitLength = TextThroughEot,
       .fileBytes = TextBeforeEot,
       .keepsUnfinishedRecord = true,
       .receiveStep = &CULVOSerial::ReceiveStepText},
      {.protocol = LinkProtocol::kItf00,
       .formatBit = 2,
       .name = "ITF00",
       .recordData = kBlockData,
       .padsLastRecord = true,
       .headerRecords = 0,
       .answerMode = 2,
       .buildRecords = BuildBlockRecords,
       .transmitLength = WholeRecord,
       .fileBytes = WholeRecord,
       .keepsUnfinishedRecord = false,
       .receiveStep = &CULVOSerial::ReceiveStepBlocks},
      {.protocol = LinkProtocol::kItf01,
       .formatBit = 4,
       .name = "ITF01",
       .recordData = kBlockData,
       .padsLastRecord = true,
       .headerRecords = 1,
       .answerMode = 2,
       .buildRecords = BuildHeaderedBlockRecords,
       .transmitLength = WholeRecord,
       .fileBytes = WholeRecord,
       .keepsUnfinishedRecord = false,
       .receiveStep = &CULVOSerial::ReceiveStepBlocks},
      {.protocol = LinkProtocol::kItf02,
       .formatBit = 8,
       .name = "ITF02",
       .recordData = 0,
       .padsLastRecord = false,
       .headerRecords = 0,
       .answerMode = 3,
       .buildRecords = BuildLineRecords,
       .transmitLength = ThroughLineEnd,
       .fileBytes = ThroughLineEnd,
       .keepsUnfinishedRecord = false,
       .receiveStep = &CULVOSerial::ReceiveStepLines},
  };
  static_assert(std::size(kRows) == kFormatBitCount);
  static_assert([] {
    for (size_t i = 0; i < std::size(kRows); ++i)
      if (kRows[i].formatBit != 1u << i || static_cast<size_t>(kRows[i].protocol) != i + 1)
        return false;
    return true;
  }());
  return kRows;
}

const LinkDescription& Describe(LinkProtocol protocol) {
  const size_t row = protocol == LinkProtocol::kNone ? 0 : static_cast<size_t>(protocol) - 1;
  return LinkProtocols()[row < LinkProtocols().size() ? row : 0];
}

LinkProtocol ProtocolOf(uint32_t dataFormat) {
  const auto bit = HighestBit(dataFormat, kFormatBitCount);
  return bit ? LinkProtocols()[static_cast<size_t>(*bit)].protocol : LinkProtocol::kNone;
}

std::string DefaultFormatName(uint32_t bit) {
  for (const LinkDescription& link : LinkProtocols())
    if (link.formatBit == bit) return link.name;
  return {};
}

}  // namespace ulvo
