#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kavex {

// One QRX-6 block as the instrument sends it: STX, 128 payload characters, block number
// digit, three-digit exclusive-or check, ETX. On the serial line CR LF follows.
inline constexpr char kStx = '\x02';
inline constexpr char kEtx = '\x03';
inline constexpr size_t kBlockPayloadSize = 128;
inline constexpr size_t kBlockLineLength = 134;      // without line end
inline constexpr size_t kReceivedBlockLength = 136;  // with CR LF, as the download reads it

// Error bits of CheckBlock; 0 means good.
inline constexpr int kBlockBadLength = 4;
inline constexpr int kBlockBadNumber = 2;
inline constexpr int kBlockBadChecksum = 1;

// Exclusive-or of positions 1..129 (payload and block number); positions missing from a
// short line count as nothing.
unsigned BlockChecksum(std::string_view line);

// Checks a received line (136 characters with CR LF) against the expected block number
// 0..9. Parts a short line lacks count as wrong.
int CheckBlock(std::string_view line, int expectedNumber, bool checkNumber, bool checkChecksum);

// Builds one block line (no line end) from at most 128 payload characters, padding with
// spaces; number is taken modulo 10.
std::string MakeBlockLine(std::string_view payload, int number);

// Cuts a field stream into block lines, numbered from 0 and wrapping after 9. An empty
// stream gives no block.
std::vector<std::string> CutIntoBlocks(std::string_view stream);

// Cuts a field stream into block lines as it is produced: each block goes to the output as
// soon as its 128 payload characters are complete, numbered from 0 and wrapping after 9.
class BlockStreamWriter {
 public:
  using Output = std::function<void(const std::string& line)>;
  explicit BlockStreamWriter(Output output) : output_(std::move(output)) {}

  void Append(std::string_view text);
  // Pads the unfinished block with spaces and hands it on; a stream that ended exactly at
  // a block's end gets no blank block after it.
  void Finish();
  bool Pending() const { return !payload_.empty(); }

 private:
  Output output_;
  std::string payload_;
  int number_ = 0;
};

}  // namespace kavex
