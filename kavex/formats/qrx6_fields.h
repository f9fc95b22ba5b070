#pragma once

#include <array>
#include <string>
#include <string_view>

namespace kavex {

// Field ids of the QRX-6 field stream: the high hexadecimal digit is the record group,
// ids of the form x1 open a new record.
inline constexpr int kIdEmpty = 0x00;
inline constexpr int kIdJob = 0x11;
inline constexpr int kIdName = 0x12;
inline constexpr int kIdInst = 0x13;
inline constexpr int kIdDate = 0x14;
inline constexpr int kIdTemp1 = 0x21;
inline constexpr int kIdTemp2 = 0x22;
inline constexpr int kIdStation = 0x31;
inline constexpr int kIdStationThird = 0x32;  // also resets the target counter
inline constexpr int kIdStationSecond = 0x33;
inline constexpr int kIdTarget = 0x41;
inline constexpr int kIdAngle1 = 0x42;
inline constexpr int kIdAngle2 = 0x43;
inline constexpr int kIdDistance = 0x44;
inline constexpr int kIdTargetThird = 0x45;
inline constexpr int kIdTargetSecond = 0x46;
inline constexpr int kIdBlockSlope = 0x47;           // " ?"
inline constexpr int kIdBlockHorizontal = 0x48;      // " R"
inline constexpr int kIdBlockAngles = 0x49;          // " <"
inline constexpr int kIdBlockSlopeWide = 0x4A;       // " ("
inline constexpr int kIdBlockHorizontalWide = 0x4B;  // " *"
inline constexpr int kIdBlockAnglesWide = 0x4C;      // " '"
inline constexpr int kIdBlockU = 0x4D;               // " U", read but not converted
inline constexpr int kIdBlockSlash = 0x4E;           // " /", read but not converted
inline constexpr int kIdSingleOpen = 0x51;
inline constexpr int kIdSingleAngle1 = 0x52;
inline constexpr int kIdSingleAngle2 = 0x53;
inline constexpr int kIdSingleSlope = 0x54;       // " c"
inline constexpr int kIdSingleHorizontal = 0x55;  // " d"
inline constexpr int kIdSingleDistance = 0x56;    // " e"
inline constexpr int kIdSingleThird = 0x57;
inline constexpr int kIdSingleSecond = 0x58;
inline constexpr int kIdCoordOpen = 0x71;
inline constexpr int kIdCoordFirst = 0x77;  // last of " x".." h"

// What a field code lookup found: the id and how many characters the code takes.
struct FieldCode {
  int id = -1;  // -1: the code is in none of the table's rows
  size_t length = 0;
};

// Looks the start of a field up in the 39-row code table, in table order.
FieldCode LookupFieldCode(std::string_view field);

inline constexpr size_t kTextSlotSize = 16;

// What the reader gathers between two record openings.
struct Qrx6Record {
  int group = 0;
  int subType = 0;
  std::array<std::string, 4> text;  // slots A, B, C, D, at most 16 characters each
  std::array<double, 3> real{};     // first, second, third
};

enum TextSlot { kSlotA = 0, kSlotB = 1, kSlotC = 2, kSlotD = 3 };

// Receives what the field reader produces.
class Qrx6RecordSink {
 public:
  virtual ~Qrx6RecordSink() = default;
  // A record is closed (also the empty group-0 record before the first field).
  virtual void RecordClosed(const Qrx6Record& record) = 0;
  // A field's value was stored into the open record; id after the group changes.
  virtual void FieldStored(int /*id*/) {}
};

// Turns the lines of a ".qr6" file into records. Lines that are not block lines are
// skipped; the payloads form one field stream in which a field may span two blocks.
class Qrx6FieldReader {
 public:
  explicit Qrx6FieldReader(Qrx6RecordSink& sink) : sink_(sink) {}

  // One line as read, without its line end; hasLineFeed says whether one followed it.
  // A line counts only with at least 135 characters including the line feed; of a longer
  // line only the first 128 payload characters are used.
  void AddLine(std::string_view line, bool hasLineFeed);
  // Processes one field (code and value, without the "_" separators).
  void ProcessField(std::string_view field);
  // Closes the open record; characters after the last "_" are dropped.
  void Finish();

  // The pending field never grows beyond this; further characters before the next "_"
  // are dropped, so garbage without separators cannot grow memory.
  static constexpr size_t kMaxPendingField = 128;
  // A block line with its line feed has at least this many characters.
  static constexpr size_t kBlockMinimum = 135;
  static constexpr size_t kPayload = 128;

 private:
  void StoreValue(int id, std::string_view value);

  Qrx6RecordSink& sink_;
  Qrx6Record record_;
  std::string pending_;
};

}  // namespace kavex
