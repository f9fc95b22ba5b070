#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kavex/formats/point_records.h"

namespace kavex {

// One surveyed point as the plan and the GIS exports take it from the current data.
// Northing is X and easting Y, in the file's units (metres or feet).
struct SurveyPoint {
  std::string name;  // blanks trimmed; may be empty (a QRX-6 record with a blank name)
  std::string code;  // empty: none of Kavex's layouts gives a point its code
  double northing = 0.0;
  double easting = 0.0;
  std::optional<double> height;  // none when the record leaves Z out
  size_t sourceLine = 0;         // line of the data (from 0) that holds the point
};

// Takes the points out of the lines of Kavex data, one line at a time, as a download
// delivers them:
// - QRX-6 block lines (STX first): the coordinate records of the field stream, read by
//   PointRecordReader, millimetres to metres;
// - NWF coordinate lines "point,y,x,z" (exactly four values, the last three numbers): no
//   other NWF line has four values, so a point named like a keyword (SS12) is still a point;
// - points-file lines "name,Y,X[,Z]" with their own separators, when no keyword stands in
//   the first columns; a line must give Y or X, so a code list or a name alone gives none.
// Anything else (job and station lines, level data, raw measurements) gives no point.
class SurveyPointReader {
 public:
  SurveyPointReader();
  SurveyPointReader(const SurveyPointReader&) = delete;  // its record reader points at it
  SurveyPointReader& operator=(const SurveyPointReader&) = delete;

  void AddLine(std::string_view line);  // without its line end

  const std::vector<SurveyPoint>& Points() const { return points_; }
  std::vector<SurveyPoint> TakePoints() { return std::move(points_); }
  size_t LineCount() const { return lines_; }
  // QRX-6 records stopped lining up: every later value would be read shifted, so no point
  // after that one was taken.
  bool Misaligned() const { return records_.Misaligned(); }
  // Records whose coordinates are not numbers.
  size_t Unreadable() const { return unreadable_; }

 private:
  void AddRecord(const PointRecord& record);

  PointRecordReader records_;
  std::vector<SurveyPoint> points_;
  size_t lines_ = 0;
  size_t unreadable_ = 0;
};

// Said when Misaligned(): by the window's plan header and the command line.
inline constexpr const char* kPointsMisalignedNote =
    "the coordinate records stop lining up; the points after that are missing";

std::vector<SurveyPoint> ReadSurveyPoints(const std::vector<std::string>& lines);

}  // namespace kavex
