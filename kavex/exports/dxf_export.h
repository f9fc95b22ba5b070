#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kavex {

// A point record of QRX-6 coordinate data as the drawing reads it: 51 characters of the
// blocks' payload stream, "_+", the name (10), "_ x", x (10), "_ y", y (10), "_ z", z (10),
// coordinates in millimetres.
inline constexpr size_t kPointRecordSize = 51;

struct PointRecord {
  std::string name;  // 10 characters as they stand
  std::string x, y, z;
  bool linedUp = true;  // "_+" and the "_" of each coordinate field stand in their places
};

// Walks the payloads of block lines as one stream and hands on every point record that
// carries a point. The padding of the last block ("_" and blanks, no "+") ends the reading
// of that line's payload; a point with a blank name is a point. A record the stream ends
// inside gives nothing.
class PointRecordReader {
 public:
  using Sink = std::function<void(const PointRecord& record)>;
  explicit PointRecordReader(Sink sink) : sink_(std::move(sink)) {}

  // One line as read, without its line end. Lines that do not start with STX or lack a
  // whole payload are not block lines and are passed over.
  void AddLine(std::string_view line);

 private:
  Sink sink_;
  std::string record_;
};

// Coordinate data shows itself on the first line (its first 255 characters) by "_ x".
bool IsCoordinateLine(std::string_view firstLine);

enum class DxfInput { Coordinates, NotOpened, NotCoordinates };
// The check made before the confirmation: can the file be read, is it coordinate data.
DxfInput CheckDxfInput(const std::filesystem::path& input);

enum class DxfResult { Done, NotOpened, InvalidData };

// Writes the drawing of a coordinate file line by line: a first pass gathers the extents,
// a second writes header, tables, blocks and one POINT and one TEXT per point (no TEXT for
// a blank name). A coordinate text that is not a number, or a record that does not line
// up, gives InvalidData before any line is written. betweenLines (when
// given) is called with the share done so far every few lines.
DxfResult ExportDxf(const std::filesystem::path& input,
                    const std::function<void(const std::string& line)>& output,
                    const std::function<void(int percent)>& betweenLines = {});

// "%.*g" with the given significant digits, the way the C library's gcvt writes numbers,
// whatever the process locale.
std::string GcvtText(double value, int digits);

}  // namespace kavex
