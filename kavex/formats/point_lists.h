#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kavex/formats/point_records.h"

namespace kavex {

// Messages of a bad line: the two commands word them differently.
inline constexpr const char* kInvalidPointsLine = "Invalid data.";
inline constexpr const char* kInvalidCodeLine = "Invalid data";

// --- points file (".pts") ---

// One line of a points file: name, then Y, X, Z in metres (missing numbers are 0).
struct PointsLine {
  std::string name;  // trimmed, at most 10 characters
  double y = 0.0;
  double x = 0.0;
  double z = 0.0;
  std::array<std::string, 3> texts;  // Y, X, Z as the line gives them, for messages
};

// Reads one line (a piece of at most 255 characters, without its line feed). False for a
// bad line: empty or starting with a comma, a name longer than 10 characters or with a
// character outside blank.."z", a stray character in a number, or a missing line feed
// before the third number.
bool ParsePointsLine(std::string_view line, bool hasLineFeed, PointsLine& out);

// A coordinate in metres as the millimetre text of the coordinate record; values outside
// -999999.999..9999999.999, or rounding over either end, give a longer text.
std::string CoordinateText(double metres);
// Whether that text fills its 10-character field exactly: a longer one would shift every
// later field of the stream.
bool CoordinateFits(double metres);

// "+%-10s_ x%10s_ y%10s_ z%10s_": one coordinate record of the field stream, or nothing
// when a coordinate does not fit its field.
std::optional<std::string> CoordinateRecord(std::string_view name, double x, double y, double z);

// --- point-code file (".cod") ---

inline constexpr int kMaxAutomaticCodes = 50;

struct CodeLine {
  int number = 0;    // 1..50
  std::string text;  // at most 10 characters, may be empty
};

// Reads the lines of one point-code file; it keeps the automatic count of the codes that
// have no number of their own.
class CodeLineReader {
 public:
  // True once 50 automatically numbered codes were read: no further line is read.
  bool Full() const { return automaticCount_ >= kMaxAutomaticCodes; }
  // False for a bad line: an item longer than 10 characters or with a character outside
  // "!".."z", a line end where an item must follow, a missing line feed.
  bool Parse(std::string_view line, bool hasLineFeed, CodeLine& out);

 private:
  int automaticCount_ = 0;
};

// ":%03d%-10s_": one point-code record of the field stream.
std::string CodeRecord(int number, std::string_view text);

// --- blocks ---

// Cuts a field stream into QRX-6 block lines (134 characters, no line end) as it grows.
// The stream starts with "_"; a block is finished only when a record does not fit in it,
// so each finished block goes to the output at once.
class BlockWriter {
 public:
  using Output = std::function<void(const std::string& blockLine)>;
  explicit BlockWriter(Output output);

  void Append(std::string_view record);
  // Pads the open block with blanks and finishes it. Without always, a block holding
  // nothing but the stream's leading "_" is dropped.
  void Finish(bool always);

 private:
  Output output_;
  std::string payload_ = "_";
  bool streamStarted_ = false;  // anything appended after the leading "_"
  int number_ = 0;
};

enum class ListKind { kPoints, kCodes };

enum class ListFileResult { kDone, kCannotOpen, kBadLine };

// Where the reading stopped at a bad line: the line of the file (from 1) and, when a
// coordinate was too wide for its field, that number as the line gives it.
struct ListStop {
  size_t line = 0;
  std::string wideValue;
};

// "line 3", or "line 3: 32512345.678 does not fit its 10-character field".
std::string ListStopText(const ListStop& stop);

// The block writer of both commands: reads a ".pts" or ".cod" file and sends every
// finished block line to output. On a bad line the unfinished block is dropped and the
// blocks already sent stay. betweenLines (when given) gets the share read so far; stop
// (when given) learns where a bad line is.
ListFileResult WriteListFileBlocks(const std::filesystem::path& input, ListKind kind,
                                   const BlockWriter::Output& output,
                                   const std::function<void(int percent)>& betweenLines = {},
                                   ListStop* stop = nullptr);

// The same for file text in memory form (LF line ends), read in 255-character pieces.
ListFileResult WriteListTextBlocks(std::string_view text, ListKind kind,
                                   const BlockWriter::Output& output, ListStop* stop = nullptr);

// --- list tables of the data edit ---

inline constexpr const char* kCoordinateColumns[] = {"     POINT NO", "      XCoord",
                                                     "      YCoord", "      ZCoord"};
inline constexpr const char* kCodeColumns[] = {"          CODE NUMBER", "            PT CODE"};

// One coordinate row as the table shows it: the name as it stands (10 characters) and
// the coordinates as "%11.3lf" metres.
struct CoordinateRow {
  std::string name;
  std::string x;
  std::string y;
  std::string z;
};

// One point-code row: the 3-character number and the 10-character code text.
struct CodeRow {
  std::string number;
  std::string code;
};

// Reads the coordinate records out of block lines (payload positions 1..128 of each
// line as one stream; lines may have any length) with PointRecordReader. Nothing when the
// records do not line up: every later value would be read shifted; stop (when given)
// learns where.
std::optional<std::vector<CoordinateRow>> ReadCoordinateList(const std::vector<std::string>& lines,
                                                             RecordStop* stop = nullptr);
// Reads the point-code records; ten blanks in a row outside a record end the list.
// Nothing when the records do not line up; stop (when given) learns where.
std::optional<std::vector<CodeRow>> ReadCodeList(const std::vector<std::string>& lines,
                                                 RecordStop* stop = nullptr);

// Writes rows back as block lines. Cell texts longer than their field are cut; the
// coordinates are read as numbers (metres). The last block always follows. Nothing when
// a coordinate does not fit its field.
std::optional<std::vector<std::string>> WriteCoordinateList(const std::vector<CoordinateRow>& rows);
std::vector<std::string> WriteCodeList(const std::vector<CodeRow>& rows);

}  // namespace kavex
