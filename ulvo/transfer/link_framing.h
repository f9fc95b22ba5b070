#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ulvo {

// The instrument's control characters (defaults of the instrument file).
struct ControlChars {
  char ack = 6;
  char nak = 21;
  char etx = 3;
  char stx = 2;
  char eot = 4;
  char enq = 5;
  bool addCrLf = false;
};

// Low 6 bits of the sum of the bytes taken as signed 8-bit values, plus 0x20.
char CheckCharacter(std::string_view bytes);
// Exclusive-or of the bytes as sign-extended values, "%03d", first three characters.
std::string BlockCheck(std::string_view bytes);

// Control record: kind 0 ENQ ",01", 1 ACK, 2 NAK, 3 EOT; then ",", check, ",", CR, LF.
std::string BuildControlRecord(int kind, const ControlChars& cc);

// Each protocol's framing below offers what its description (link_protocol.h) names: the
// records a file is sent as (false for a file with nothing to send), how many bytes of a
// record go on the wire, and how many bytes of a received record go to the file.

// --- "ASCII": text up to EOT, in records of 253 bytes.

inline constexpr size_t kTextRecordSize = 253;

bool BuildTextRecords(std::string_view file, const ControlChars& cc,
                      std::vector<std::string>& records);
// Up to and including the first EOT, else 253 bytes.
size_t TextThroughEot(std::string_view record, char eot);
// Up to but not including the first EOT, else 253 bytes.
size_t TextBeforeEot(std::string_view record, char eot);

// --- "ITF00" and "ITF01": 136-byte numbered blocks with a block check; "ITF01" sends two
// header records first.

inline constexpr size_t kBlockSize = 136;
inline constexpr size_t kBlockData = 128;
inline constexpr size_t kHeaderData = 36;
inline constexpr size_t kHeader0Size = 11;
inline constexpr size_t kHeader1Size = 48;
// The part of header record 1 that is checked: STX, 36 data, "S", check, ETX. What follows
// (line ends and padding) a receiver must not wait for.
inline constexpr size_t kHeader1Frame = 42;
inline constexpr size_t kEndRecordSize = 5;

// A 136-byte block of at most 128 data bytes (padded with spaces).
std::string BuildBlock(std::string_view data, char blockNumber, const ControlChars& cc);
// STX EOT ETX CR LF.
std::string BuildEndRecord(const ControlChars& cc);
// The end record in a 136-byte frame: zero bytes up to CR LF at 134 and 135.
std::string BuildFramedEndRecord(const ControlChars& cc);
// Header records of "ITF01" as they go on the wire (11 and 48 bytes). The 36 data bytes of
// record 1 are padded with spaces for a shorter file; the two bytes before its final CR LF
// are zero bytes.
std::string BuildHeaderRecord0(const ControlChars& cc);
std::string BuildHeaderRecord1(std::string_view data, const ControlChars& cc);

// Next block number: '0'..'9', then '0' again.
inline char NextBlockNumber(char n) {
  return n >= '9' || n < '0' ? '0' : static_cast<char>(n + 1);
}

// "ITF00": the blocks, then the end record in a block's frame. An empty file sends the end
// record alone.
bool BuildBlockRecords(std::string_view file, const ControlChars& cc,
                       std::vector<std::string>& records);
// "ITF01": the two header records, the blocks of the rest of the file, the end record.
bool BuildHeaderedBlockRecords(std::string_view file, const ControlChars& cc,
                               std::vector<std::string>& records);
// Every byte of the record.
size_t WholeRecord(std::string_view record, char eot);

struct BlockVerdict {
  bool numberOk = false;
  bool checkOk = false;
};
// Judges a 136-byte block against the block number expected.
BlockVerdict JudgeBlock(std::string_view block, char expectedNumber);

// Header record 1 of "ITF01" (its first 42 bytes): STX, 36 data, "S", check over data and
// "S", ETX.
bool IsValidHeaderRecord1(std::string_view frame, const ControlChars& cc);

// The frame that received bytes of a block receive begin with.
enum class BlockFrame { kNone, kEndRecord, kHeader0, kHeader1, kBlock };
struct BlockScan {
  size_t skip = 0;  // bytes before the frame that start none: padding, line ends, noise
  BlockFrame frame = BlockFrame::kNone;  // kNone: nothing yet that could start a frame
  size_t need = 1;  // at the least, the bytes still missing before the frame is whole
};
// Where the frame begins, which it is and whether it is whole. The receive takes frames by
// it and its reads end by it, so both agree on where a frame ends. `headers`: the receive
// expects the header records of "ITF01"; `headerState` counts them (0 before header 0,
// 1 before header 1).
BlockScan ScanBlockFrame(std::string_view pending, bool headers, int headerState,
                         const ControlChars& cc);

// --- "ITF02": each line with a check character, between a start and an end record.

// An "ITF02" line record for a line's text (without its line end).
std::string BuildLineRecord(std::string_view text);
// The start record, a line record for every line of the file, the end record. A last line
// without a line end, and a line ending in LF alone, go as if they ended in CR LF.
bool BuildLineRecords(std::string_view file, const ControlChars& cc,
                      std::vector<std::string>& records);
// Up to and including the first LF, else the whole record.
size_t ThroughLineEnd(std::string_view record, char eot);
// A received "ITF02" line (ending in LF) whose check character is right.
bool LineCheckOk(std::string_view line);

}  // namespace ulvo
