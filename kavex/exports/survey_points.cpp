#include "kavex/exports/survey_points.h"

#include <cmath>

#include "kavex/formats/number_text.h"
#include "kavex/formats/nwf_line.h"
#include "kavex/formats/point_lists.h"
#include "kavex/formats/qrx6_block.h"

namespace kavex {
namespace {

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A whole value that is one finite number, blanks around it allowed.
std::optional<double> WholeNumber(std::string_view text) {
  const std::string_view t = Trimmed(text);
  if (t.empty() || NumberPrefixLength(t) != t.size()) return std::nullopt;
  const double v = ReadDouble(t);
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

bool NwfCoordinateLine(std::string_view line, SurveyPoint& p) {
  std::string_view values[4];
  size_t n = 0;
  size_t start = 0;
  for (;;) {
    const size_t comma = line.find(',', start);
    if (n == 4) return false;
    values[n++] = line.substr(start, comma == std::string_view::npos ? comma : comma - start);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (n != 4) return false;
  const std::optional<double> y = WholeNumber(values[1]);
  const std::optional<double> x = WholeNumber(values[2]);
  const std::optional<double> z = WholeNumber(values[3]);
  if (!y || !x || !z) return false;
  p.name = std::string(Trimmed(values[0]));
  p.easting = *y;
  p.northing = *x;
  p.height = *z;
  return true;
}

bool PointsFileLine(std::string_view line, SurveyPoint& p) {
  if (FindNwfKeyword(line) != NwfKeyword::None) return false;
  PointsLine parsed;
  if (!ParsePointsLine(line, /*hasLineFeed=*/true, parsed)) return false;
  // A name alone is not a point here, though the conversion would put it at 0,0.
  if (parsed.texts[0].empty() && parsed.texts[1].empty()) return false;
  if (!std::isfinite(parsed.x) || !std::isfinite(parsed.y) || !std::isfinite(parsed.z))
    return false;
  p.name = parsed.name;
  p.easting = parsed.y;
  p.northing = parsed.x;
  if (!parsed.texts[2].empty()) p.height = parsed.z;
  return true;
}

}  // namespace

SurveyPointReader::SurveyPointReader() : records_([this](const PointRecord& r) { AddRecord(r); }) {}

void SurveyPointReader::AddRecord(const PointRecord& r) {
  const std::optional<double> x = WholeNumber(r.x);
  const std::optional<double> y = WholeNumber(r.y);
  if (!x || !y) {
    ++unreadable_;
    return;
  }
  SurveyPoint p;
  p.name = std::string(Trimmed(r.name));
  p.northing = *x * 0.001;
  p.easting = *y * 0.001;
  if (const std::optional<double> z = WholeNumber(r.z)) p.height = *z * 0.001;
  p.sourceLine = r.places[0].line - 1;  // places count lines from 1
  points_.push_back(std::move(p));
}

void SurveyPointReader::AddLine(std::string_view line) {
  const size_t index = lines_++;
  if (!line.empty() && line[0] == kStx) {
    records_.AddLine(line);
    return;
  }
  records_.AddLine({});  // keeps its count of lines in step with ours
  SurveyPoint p;
  if (NwfCoordinateLine(line, p) || PointsFileLine(line, p)) {
    p.sourceLine = index;
    points_.push_back(std::move(p));
  }
}

std::vector<SurveyPoint> ReadSurveyPoints(const std::vector<std::string>& lines) {
  SurveyPointReader reader;
  for (const std::string& line : lines) reader.AddLine(line);
  return reader.TakePoints();
}

}  // namespace kavex
