#include "kavex/shell/identify.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

#include "kavex/formats/nwf_line.h"
#include "kavex/formats/point_lists.h"
#include "kavex/formats/qrx6_block.h"

namespace kavex {
namespace {

using Lines = std::vector<std::string>;

LayoutReading Stopped(const char* layout, size_t line, size_t column, std::string why) {
  LayoutReading r;
  r.layout = layout;
  r.stop = {line, column};
  r.why = std::move(why);
  return r;
}

LayoutReading Whole(const char* layout, size_t records, const char* unit) {
  LayoutReading r;
  r.layout = layout;
  r.whole = true;
  r.records = records;
  r.unit = unit;
  return r;
}

// A final empty line is the end of the last line, not a record.
size_t LineCount(const Lines& lines) {
  return !lines.empty() && lines.back().empty() ? lines.size() - 1 : lines.size();
}

// Every line a block line with its number and checksum; nothing when they all are.
std::optional<LayoutReading> CheckBlocks(const char* layout, const Lines& lines) {
  const size_t n = LineCount(lines);
  if (n == 0) return Stopped(layout, 1, 1, "the file is empty");
  for (size_t i = 0; i < n; ++i) {
    const std::string& line = lines[i];
    if (line.empty() || line[0] != kStx)
      return Stopped(layout, i + 1, 1, "no STX: not a block line");
    const int bits = CheckBlock(line + "\r\n", static_cast<int>(i % 10), true, true);
    if (bits & 4)
      return Stopped(layout, i + 1, std::min(line.size(), kBlockLineLength) + 1,
                     std::to_string(line.size()) + " characters where a block line holds " +
                         std::to_string(kBlockLineLength));
    if (bits & 2)
      return Stopped(
          layout, i + 1, 130,
          "block number " + line.substr(129, 1) + " where " + std::to_string(i % 10) + " is due");
    if (bits & 1) return Stopped(layout, i + 1, 131, "the block checksum does not match");
  }
  return std::nullopt;
}

LayoutReading Qrx6Data(const Lines& lines) {
  const char* layout = "QRX-6 data";
  if (auto stop = CheckBlocks(layout, lines)) return *stop;
  return Whole(layout, LineCount(lines), "blocks");
}

LayoutReading Qrx6Coordinates(const Lines& lines) {
  const char* layout = "QRX-6 coordinate list";
  if (auto stop = CheckBlocks(layout, lines)) return *stop;
  RecordStop where;
  const auto rows = ReadCoordinateList(lines, &where);
  if (!rows) return Stopped(layout, where.place.line, where.place.column, where.what);
  if (rows->empty()) return Stopped(layout, 1, 2, "no point record");
  return Whole(layout, rows->size(), "points");
}

LayoutReading Qrx6Codes(const Lines& lines) {
  const char* layout = "QRX-6 point-code list";
  if (auto stop = CheckBlocks(layout, lines)) return *stop;
  if (lines[0].find("_ x") != std::string::npos)
    return Stopped(layout, 1, lines[0].find("_ x") + 1, "a coordinate record");
  RecordStop where;
  const auto rows = ReadCodeList(lines, &where);
  if (!rows) return Stopped(layout, where.place.line, where.place.column, where.what);
  if (rows->empty()) return Stopped(layout, 1, 2, "no point-code record");
  return Whole(layout, rows->size(), "codes");
}

bool IsNumber(const std::string& text) {
  size_t digits = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      ++digits;
    } else if (!((c == '-' || c == '+') && i == 0) && c != '.') {
      return false;
    }
  }
  return digits > 0;
}

LayoutReading Nwf(const Lines& lines) {
  const char* layout = "NWF (QRX-7) data";
  const size_t n = LineCount(lines);
  if (n == 0) return Stopped(layout, 1, 1, "the file is empty");
  for (size_t i = 0; i < n; ++i) {
    const std::string& line = lines[i];
    if (line == kNwfHeaderLine && i == 0) continue;
    if (FindNwfKeyword(line) != NwfKeyword::None ||
        FindNwfObservation(line) != NwfObservation::None || line.rfind("TEMP", 0) == 0)
      continue;
    // A coordinate line: point, then three numbers.
    std::vector<std::string> values;
    size_t start = 0;
    for (size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1)
      values.push_back(line.substr(start, comma - start));
    values.push_back(line.substr(start));
    if (values.size() == 4 && !values[0].empty() &&
        std::all_of(values.begin() + 1, values.end(), IsNumber))
      continue;
    return Stopped(layout, i + 1, 1,
                   "neither an NWF keyword in columns 1 to 8 nor a coordinate line");
  }
  return Whole(layout, n, "lines");
}

LayoutReading Hk100(const Lines& lines) {
  const char* layout = "HK-100 level data";
  const size_t n = LineCount(lines);
  if (n == 0) return Stopped(layout, 1, 1, "the file is empty");
  for (size_t i = 0; i < n; ++i) {
    const std::string& line = lines[i];
    if (line.empty() || !std::isalpha(static_cast<unsigned char>(line[0])))
      return Stopped(layout, i + 1, 1, "no record letter");
    if (line.size() < 2 || line[1] != ',')
      return Stopped(layout, i + 1, 2, "no \",\" after the record letter");
    if (line.size() > 256)
      return Stopped(layout, i + 1, 257,
                     std::to_string(line.size()) + " characters where a line holds 256");
  }
  return Whole(layout, n, "records");
}

LayoutReading PointsFile(const Lines& lines) {
  const char* layout = "points list";
  const size_t n = LineCount(lines);
  if (n == 0) return Stopped(layout, 1, 1, "the file is empty");
  for (size_t i = 0; i < n; ++i) {
    PointsLine p;
    if (lines[i].size() > 255 || !ParsePointsLine(lines[i], true, p))
      return Stopped(layout, i + 1, 0, "not a points line (name, Y, X, Z)");
  }
  return Whole(layout, n, "points");
}

LayoutReading CodeFile(const Lines& lines) {
  const char* layout = "point-code list";
  const size_t n = LineCount(lines);
  if (n == 0) return Stopped(layout, 1, 1, "the file is empty");
  CodeLineReader reader;
  size_t codes = 0;
  for (size_t i = 0; i < n && !reader.Full(); ++i, ++codes) {
    CodeLine code;
    if (lines[i].size() > 255 || !reader.Parse(lines[i], true, code))
      return Stopped(layout, i + 1, 0, "not a point-code line (number and code, or a code)");
  }
  return Whole(layout, codes, "codes");
}

// The layouts in the order a file that more than one reads whole is named: the most
// particular first.
struct Layout {
  LayoutReading (*read)(const Lines& lines);
  const char* extension;  // of the files the layout is kept in
};
const Layout kLayouts[] = {
    {Qrx6Coordinates, ".qr6"}, {Qrx6Codes, ".qr6"}, {Qrx6Data, ".qr6"},
    {Hk100, ".hk1"},           {Nwf, ".qr7"},       {PointsFile, ".pts"},
    {CodeFile, ".cod"},
};

}  // namespace

std::vector<LayoutReading> IdentifyLines(const Lines& lines, const std::string& extension) {
  std::vector<LayoutReading> whole, wholeElsewhere;
  std::vector<std::pair<LayoutReading, bool>> stopped;  // with: the file's own layout
  for (const Layout& layout : kLayouts) {
    LayoutReading r = layout.read(lines);
    const bool own = extension == layout.extension;
    if (!r.whole)
      stopped.push_back({std::move(r), own});
    else
      (own ? whole : wholeElsewhere).push_back(std::move(r));
  }
  whole.insert(whole.end(), wholeElsewhere.begin(), wholeElsewhere.end());
  // Furthest first; of two that stop at the same place, the file's own layout.
  std::stable_sort(stopped.begin(), stopped.end(), [](const auto& a, const auto& b) {
    if (a.first.stop.line != b.first.stop.line) return a.first.stop.line > b.first.stop.line;
    if (a.first.stop.column != b.first.stop.column)
      return a.first.stop.column > b.first.stop.column;
    return a.second && !b.second;
  });
  for (auto& s : stopped) whole.push_back(std::move(s.first));
  return whole;
}

std::string IdentifyText(const LayoutReading& r) {
  if (r.whole) {
    std::string unit = r.unit;
    if (r.records == 1 && !unit.empty()) unit.pop_back();
    return std::string(r.layout) + ", " + std::to_string(r.records) + " " + unit;
  }
  std::string where = "line " + std::to_string(r.stop.line);
  if (r.stop.column > 0) where += ", column " + std::to_string(r.stop.column);
  return std::string(r.layout) + ": stops at " + where + ": " + r.why;
}

std::string IdentifySummary(const std::vector<LayoutReading>& readings) {
  if (readings.empty()) return {};
  if (readings.front().whole) return IdentifyText(readings.front());
  return "No Kavex layout reads this file whole; " + IdentifyText(readings.front());
}

}  // namespace kavex
