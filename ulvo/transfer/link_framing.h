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

inline constexpr size_t kBlockSize = 136;
inline constexpr size_t kBlockData = 128;
inline constexpr size_t kTextRecordSize = 253;
inline constexpr size_t kHeaderData = 36;
inline constexpr size_t kHeader0Size = 11;
inline constexpr size_t kHeader1Size = 48;
// The part of header record 1 that is checked: STX, 36 data, "S", check, ETX. What follows
// (line ends and padding) a receiver must not wait for.
inline constexpr size_t kHeader1Frame = 42;
inline constexpr size_t kEndRecordSize = 5;

// Low 6 bits of the sum of the bytes taken as signed 8-bit values, plus 0x20.
char CheckCharacter(std::string_view bytes);
// Exclusive-or of the bytes as sign-extended values, "%03d", first three characters.
std::string BlockCheck(std::string_view bytes);

// Control record: kind 0 ENQ ",01", 1 ACK, 2 NAK, 3 EOT; then ",", check, ",", CR, LF.
std::string BuildControlRecord(int kind, const ControlChars& cc);

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
// An "ITF02" line record for a line's text (without its line end).
std::string BuildLineRecord(std::string_view text);

// Next block number: '0'..'9', then '0' again.
inline char NextBlockNumber(char n) {
  return n >= '9' || n < '0' ? '0' : static_cast<char>(n + 1);
}

// The records a file is sent as, in wire form, for protocol 0..4. Returns false for an empty
// file in protocols 0, 1 and 4 (nothing to send).
bool BuildSendRecords(int protocol, std::string_view file, const ControlChars& cc,
                      std::vector<std::string>& records);

// How many bytes of a record go on the wire.
size_t TransmitLength(int protocol, std::string_view record, char eot);

struct BlockVerdict {
  bool numberOk = false;
  bool checkOk = false;
};
// Judges a 136-byte block against the block number expected.
BlockVerdict JudgeBlock(std::string_view block, char expectedNumber);

// Header record 1 of "ITF01" (its first 42 bytes): STX, 36 data, "S", check over data and
// "S", ETX.
bool IsValidHeaderRecord1(std::string_view frame, const ControlChars& cc);

// A received "ITF02" line (ending in LF) whose check character is right.
bool LineCheckOk(std::string_view line);

// How many more bytes, at the least, the received bytes of an "ITF00"/"ITF01" receive need
// before they hold a whole frame (a block, the end record, a header record): 0 once they do.
// `headerState` is that of the "ITF01" receive: 0 before header 0, 1 before header 1.
size_t BlockFrameNeed(std::string_view pending, int protocol, int headerState,
                      const ControlChars& cc);

}  // namespace ulvo
