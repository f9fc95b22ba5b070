#include "kavex/formats/qrx6_block.h"

#include <algorithm>

#include "kavex/formats/xor_check.h"

namespace kavex {
namespace {

// Positions 1..129, payload and block number, as far as the line has them.
std::string_view CheckedPart(std::string_view line) {
  return line.size() > 1 ? line.substr(1, kBlockPayloadSize + 1) : std::string_view();
}

}  // namespace

unsigned BlockChecksum(std::string_view line) {
  return XorOf(CheckedPart(line));
}

int CheckBlock(std::string_view line, int expectedNumber, bool checkNumber, bool checkChecksum) {
  int errors = 0;
  if (line.size() != kReceivedBlockLength) errors |= kBlockBadLength;
  constexpr size_t kNumberPos = 1 + kBlockPayloadSize;
  if (checkNumber) {
    const char expected = static_cast<char>('0' + (expectedNumber % 10 + 10) % 10);
    if (line.size() <= kNumberPos || line[kNumberPos] != expected) errors |= kBlockBadNumber;
  }
  if (checkChecksum) {
    const std::string sum = XorCheckText(CheckedPart(line));
    if (line.size() < kNumberPos + 4 || line.substr(kNumberPos + 1, 3) != sum) {
      errors |= kBlockBadChecksum;
    }
  }
  return errors;
}

std::string MakeBlockLine(std::string_view payload, int number) {
  std::string line;
  line.reserve(kBlockLineLength);
  line.push_back(kStx);
  line.append(payload.substr(0, kBlockPayloadSize));
  line.resize(1 + kBlockPayloadSize, ' ');
  line.push_back(static_cast<char>('0' + (number % 10 + 10) % 10));
  line += XorCheckText(CheckedPart(line));
  line.push_back(kEtx);
  return line;
}

std::vector<std::string> CutIntoBlocks(std::string_view stream) {
  std::vector<std::string> blocks;
  int number = 0;
  for (size_t pos = 0; pos < stream.size(); pos += kBlockPayloadSize) {
    blocks.push_back(MakeBlockLine(stream.substr(pos, kBlockPayloadSize), number));
    number = (number + 1) % 10;
  }
  return blocks;
}

void BlockStreamWriter::Append(std::string_view text) {
  while (!text.empty()) {
    const size_t take = std::min(text.size(), kBlockPayloadSize - payload_.size());
    payload_.append(text.substr(0, take));
    text.remove_prefix(take);
    if (payload_.size() == kBlockPayloadSize) {
      output_(MakeBlockLine(payload_, number_));
      number_ = (number_ + 1) % 10;
      payload_.clear();
    }
  }
}

void BlockStreamWriter::Finish() {
  if (payload_.empty()) return;
  output_(MakeBlockLine(payload_, number_));
  number_ = (number_ + 1) % 10;
  payload_.clear();
}

}  // namespace kavex
