#include "ulvo/transfer/link_framing.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace ulvo {

char CheckCharacter(std::string_view bytes) {
  int32_t sum = 0;
  for (const char c : bytes) sum += static_cast<int8_t>(c);
  return static_cast<char>((sum & 0x3F) + 0x20);
}

std::string BlockCheck(std::string_view bytes) {
  int32_t x = 0;
  for (const char c : bytes) x ^= static_cast<int32_t>(static_cast<int8_t>(c));
  char text[16];
  std::snprintf(text, sizeof text, "%03d", static_cast<int>(x));
  return std::string(text, 3);
}

std::string BuildControlRecord(int kind, const ControlChars& cc) {
  std::string body;
  switch (kind) {
    case 0:
      body = std::string(1, cc.enq) + ",01";
      break;
    case 1:
      body = std::string(1, cc.ack);
      break;
    case 2:
      body = std::string(1, cc.nak);
      break;
    default:
      body = std::string(1, cc.eot);
      break;
  }
  body += ',';
  body += CheckCharacter(body);
  body += ",\r\n";
  return body;
}

// --- "ASCII"

bool BuildTextRecords(std::string_view file, const ControlChars& cc,
                      std::vector<std::string>& records) {
  records.clear();
  size_t start = 0;
  while (file.size() - start >= kTextRecordSize) {
    records.emplace_back(file.substr(start, kTextRecordSize));
    start += kTextRecordSize;
  }
  records.emplace_back(std::string(file.substr(start)) + cc.eot);
  return !(records.size() == 1 && records[0].size() == 1);
}

size_t TextThroughEot(std::string_view record, char eot) {
  const size_t end = record.find(eot);
  if (end != std::string_view::npos) return end + 1;
  return std::min(record.size(), kTextRecordSize);
}

size_t TextBeforeEot(std::string_view record, char eot) {
  const size_t end = record.find(eot);
  return end != std::string_view::npos ? end : std::min(record.size(), kTextRecordSize);
}

// --- "ITF00" and "ITF01"

std::string BuildBlock(std::string_view data, char blockNumber, const ControlChars& cc) {
  std::string block(kBlockSize, ' ');
  block[0] = cc.stx;
  block.replace(1, data.size() < kBlockData ? data.size() : kBlockData, data.substr(0, kBlockData));
  block[129] = blockNumber;
  block.replace(130, 3, BlockCheck(std::string_view(block).substr(1, 129)));
  block[133] = cc.etx;
  block[134] = '\r';
  block[135] = '\n';
  return block;
}

std::string BuildEndRecord(const ControlChars& cc) {
  return std::string{cc.stx, cc.eot, cc.etx, '\r', '\n'};
}

std::string BuildFramedEndRecord(const ControlChars& cc) {
  std::string frame(kBlockSize, '\0');
  frame.replace(0, kEndRecordSize, BuildEndRecord(cc));
  frame[134] = '\r';
  frame[135] = '\n';
  return frame;
}

std::string BuildHeaderRecord0(const ControlChars& cc) {
  return std::string(1, cc.stx) + "F00F000" + std::string(1, cc.etx) + "\r\n";
}

std::string BuildHeaderRecord1(std::string_view data, const ControlChars& cc) {
  std::string body(kHeaderData, ' ');
  body.replace(0, data.size() < kHeaderData ? data.size() : kHeaderData,
               data.substr(0, kHeaderData));
  body += 'S';
  std::string record(1, cc.stx);
  record += body;
  record += BlockCheck(body);
  record += cc.etx;
  record += "\r\n";
  record += std::string(2, '\0');
  record += "\r\n";
  return record;
}

namespace {

// The blocks of `rest`, numbered from '0'.
void AppendBlocks(std::string_view rest, const ControlChars& cc,
                  std::vector<std::string>& records) {
  char number = '0';
  while (!rest.empty()) {
    const size_t n = rest.size() < kBlockData ? rest.size() : kBlockData;
    records.push_back(BuildBlock(rest.substr(0, n), number, cc));
    number = NextBlockNumber(number);
    rest.remove_prefix(n);
  }
}

}  // namespace

bool BuildBlockRecords(std::string_view file, const ControlChars& cc,
                       std::vector<std::string>& records) {
  records.clear();
  AppendBlocks(file, cc, records);
  records.push_back(BuildFramedEndRecord(cc));
  return true;
}

bool BuildHeaderedBlockRecords(std::string_view file, const ControlChars& cc,
                               std::vector<std::string>& records) {
  records.clear();
  records.push_back(BuildHeaderRecord0(cc));
  records.push_back(BuildHeaderRecord1(file.substr(0, kHeaderData), cc));
  file.remove_prefix(file.size() < kHeaderData ? file.size() : kHeaderData);
  AppendBlocks(file, cc, records);
  records.push_back(BuildEndRecord(cc));
  return true;
}

size_t WholeRecord(std::string_view record, char /*eot*/) {
  return record.size();
}

BlockVerdict JudgeBlock(std::string_view block, char expectedNumber) {
  BlockVerdict v;
  if (block.size() < kBlockSize) return v;
  v.numberOk = block[129] == expectedNumber;
  // Compared as the three characters the sender printed: a check cut from "-100" to "-10"
  // must still match its own block.
  v.checkOk = BlockCheck(block.substr(1, 129)) == block.substr(130, 3);
  return v;
}

bool IsValidHeaderRecord1(std::string_view frame, const ControlChars& cc) {
  if (frame.size() < kHeader1Frame) return false;
  return frame[0] == cc.stx && frame[37] == 'S' && frame[41] == cc.etx &&
         BlockCheck(frame.substr(1, 37)) == frame.substr(38, 3);
}

BlockScan ScanBlockFrame(std::string_view pending, bool headers, int headerState,
                         const ControlChars& cc) {
  const std::string endRecord = BuildEndRecord(cc);
  const std::string shortEnd{cc.eot, '\r', '\n'};
  const std::string header0 = BuildHeaderRecord0(cc);
  const auto less = [](size_t want, size_t have) { return want > have ? want - have : 0; };
  size_t skip = 0;
  for (;;) {
    // Padding and stray line ends between frames never start a frame.
    while (skip < pending.size() &&
           (pending[skip] == '\0' || pending[skip] == '\r' || pending[skip] == '\n'))
      ++skip;
    const std::string_view rest = pending.substr(skip);
    if (rest.empty()) return {skip, BlockFrame::kNone, 1};
    if (cc.eot != 0 && (rest.starts_with(endRecord) || rest.starts_with(shortEnd)))
      return {skip, BlockFrame::kEndRecord, 0};
    if (rest[0] != cc.stx) {
      if (cc.eot != 0 && std::string_view(shortEnd).starts_with(rest))
        return {skip, BlockFrame::kEndRecord, less(shortEnd.size(), rest.size())};
      // Line noise between frames: every frame starts with STX, so resume there.
      const size_t at = rest.find(cc.stx);
      if (at == std::string_view::npos) return {pending.size(), BlockFrame::kNone, 1};
      skip += at;
      continue;
    }
    // The frame this STX starts, at its shortest: it may yet turn out to be the end record.
    const size_t endNeed = cc.eot != 0 && std::string_view(endRecord).starts_with(rest)
                               ? less(endRecord.size(), rest.size())
                               : std::string_view::npos;
    if (headers && headerState == 0) {
      if (rest.starts_with(header0)) return {skip, BlockFrame::kHeader0, 0};
      if (std::string_view(header0).starts_with(rest))
        return {
            skip, BlockFrame::kHeader0,
            std::min({less(header0.size(), rest.size()), less(kBlockSize, rest.size()), endNeed})};
    }
    if (headers && headerState == 1)
      return {skip, BlockFrame::kHeader1, std::min(less(kHeader1Frame, rest.size()), endNeed)};
    return {skip, BlockFrame::kBlock, std::min(less(kBlockSize, rest.size()), endNeed)};
  }
}

// --- "ITF02"

std::string BuildLineRecord(std::string_view text) {
  std::string record(text);
  record += ',';
  record += CheckCharacter(record);
  record += ",\r\n";
  return record;
}

bool BuildLineRecords(std::string_view file, const ControlChars& cc,
                      std::vector<std::string>& records) {
  records.clear();
  records.push_back(BuildControlRecord(0, cc));
  size_t start = 0;
  while (start < file.size()) {
    const size_t lf = file.find('\n', start);
    // A last line without a line end, and a line ending in LF alone, go as if they
    // ended in CR LF: nothing of the file is dropped.
    const size_t end = lf == std::string_view::npos ? file.size() : lf;
    std::string_view text = file.substr(start, end - start);
    if (lf != std::string_view::npos && !text.empty() && text.back() == '\r') text.remove_suffix(1);
    records.push_back(BuildLineRecord(text));
    start = lf == std::string_view::npos ? file.size() : lf + 1;
  }
  records.push_back(BuildControlRecord(3, cc));
  return records.size() > 2;
}

size_t ThroughLineEnd(std::string_view record, char /*eot*/) {
  const size_t lf = record.find('\n');
  return lf != std::string_view::npos ? lf + 1 : record.size();
}

bool LineCheckOk(std::string_view line) {
  if (line.size() < 4) return false;
  const size_t at = line.size() - 4;
  return line[at] == CheckCharacter(line.substr(0, at));
}

}  // namespace ulvo
