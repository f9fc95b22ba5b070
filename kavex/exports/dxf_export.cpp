#include "kavex/exports/dxf_export.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "kavex/formats/number_text.h"
#include "kavex/formats/text_format.h"
#include "kavex/formats/text_line_reader.h"

namespace kavex {
namespace {

constexpr size_t kFirstLineLimit = 255;

bool AllBlanks(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' '; });
}

// A coordinate text: blanks, one finite number, blanks.
std::optional<double> CoordinateValue(std::string_view text) {
  const size_t end = NumberPrefixLength(text);
  if (end == 0 || !AllBlanks(text.substr(end))) return std::nullopt;
  const double value = ReadDouble(text);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

struct Extents {
  bool any = false;
  std::array<double, 3> min{}, max{};  // x, y, z in file units
  void Add(const std::array<double, 3>& p) {
    for (size_t i = 0; i < 3; ++i) {
      if (!any || p[i] > max[i]) max[i] = p[i];
      if (!any || p[i] < min[i]) min[i] = p[i];
    }
    any = true;
  }
};

class DrawingWriter {
 public:
  explicit DrawingWriter(const std::function<void(const std::string&)>& output) : output_(output) {}

  void Group(int code, const std::string& value) {
    output_(Format("%3d", code));
    output_(value);
  }
  void Header(const Extents& e) {
    const auto metres = [](double v) { return GcvtText(v * 0.001, 6); };
    Group(0, "SECTION");
    Group(2, "HEADER");
    Group(9, "$EXTMIN");
    Group(10, metres(e.min[1]));
    Group(20, metres(e.min[0]));
    Group(30, metres(e.min[2]));
    Group(9, "$EXTMAX");
    Group(10, metres(e.max[1]));
    Group(20, metres(e.max[0]));
    Group(30, metres(e.max[2]));
    Group(9, "$LIMMIN");
    Group(10, metres(e.min[1]));
    Group(20, metres(e.min[0]));
    Group(9, "$LIMMAX");
    Group(10, metres(e.max[1]));
    Group(20, metres(e.max[0]));
    Group(0, "ENDSEC");
    Group(0, "SECTION");
    Group(2, "TABLES");
    Group(0, "TABLE");
    Group(2, "LAYER");
    Group(70, "1");
    Layer("CoordinateData", "7");
    Layer("PointName", "2");
    Group(0, "ENDTAB");
    Group(0, "ENDSEC");
    Group(0, "SECTION");
    Group(2, "BLOCKS");
    Group(0, "ENDSEC");
    Group(0, "SECTION");
    Group(2, "ENTITIES");
  }
  void Point(const PointRecord& r, const std::array<double, 3>& p, double height) {
    const auto entity = [](double v) { return GcvtText(v, 10); };
    const double e = p[1] * 0.001;
    const double n = p[0] * 0.001;
    const double z = p[2] * 0.001;
    const double offset = 0.1 * height;
    Group(0, "POINT");
    Group(8, "CoordinateData");
    Group(10, entity(e));
    Group(20, entity(n));
    Group(30, entity(z));
    std::string name = r.name;
    name.erase(name.find_last_not_of(' ') + 1);
    if (name.empty()) return;  // a point without a name gets no label
    Group(0, "TEXT");
    Group(8, "PointName");
    Group(10, entity(e + offset));
    Group(20, entity(n + offset));
    Group(30, entity(z));
    Group(40, Format("%4.1f", height));
    Group(1, name);
  }
  void End() {
    Group(0, "ENDSEC");
    Group(0, "EOF");
  }

 private:
  void Layer(const char* name, const char* colour) {
    Group(0, "LAYER");
    Group(2, name);
    Group(70, "64");
    Group(62, colour);
    Group(6, "CONTINUOUS");
  }

  const std::function<void(const std::string&)>& output_;
};

// One pass over the file: the first line must still be coordinate data; every point goes
// to f with its coordinates read. False on a line or coordinate that is not as it must be,
// with where and why in stop when that is known.
template <typename F>
bool ReadPoints(TextLineReader& reader, F f, const std::function<void(int)>& betweenLines,
                int percentFrom, std::optional<RecordStop>& stop) {
  static const char* const kFieldNames[3] = {"field x", "field y", "field z"};
  PointRecordReader records([&](const PointRecord& r) {
    if (stop) return;
    std::array<double, 3> p{};
    const std::string* texts[3] = {&r.x, &r.y, &r.z};
    for (size_t i = 0; i < 3; ++i) {
      const std::optional<double> v = CoordinateValue(*texts[i]);
      if (!v) {
        stop = RecordStop{r.places[i + 1],
                          std::string(kFieldNames[i]) + ": \"" + *texts[i] + "\" is not a number"};
        return;
      }
      p[i] = *v;
    }
    f(r, p);
  });
  std::string line;
  bool lf = false;
  size_t n = 0;
  for (; !stop && !records.Stop() && reader.Next(line, lf); ++n) {
    if (n == 0 && !IsCoordinateLine(line)) {
      stop = RecordStop{{1, 1}, "no coordinate record (\"_ x\")"};
      return false;
    }
    records.AddLine(line);
    if (betweenLines && n % 32 == 31) betweenLines(percentFrom + reader.Percent() / 2);
  }
  records.End();
  if (!stop) stop = records.Stop();
  return !stop && n > 0;
}

}  // namespace

bool IsCoordinateLine(std::string_view firstLine) {
  return firstLine.substr(0, kFirstLineLimit).find("_ x") != std::string_view::npos;
}

DxfInput CheckDxfInput(const std::filesystem::path& input) {
  TextLineReader reader;
  if (!reader.Open(input)) return DxfInput::NotOpened;
  std::string line;
  bool lf = false;
  if (!reader.Next(line, lf) || !IsCoordinateLine(line)) return DxfInput::NotCoordinates;
  return DxfInput::Coordinates;
}

DxfResult ExportDxf(const std::filesystem::path& input,
                    const std::function<void(const std::string& line)>& output,
                    const std::function<void(int percent)>& betweenLines, RecordStop* stop) {
  std::optional<RecordStop> where;
  const auto invalid = [&] {
    if (stop && where) *stop = *where;
    return DxfResult::InvalidData;
  };
  TextLineReader reader;
  if (!reader.Open(input)) return DxfResult::NotOpened;
  Extents extents;
  if (!ReadPoints(
          reader, [&](const PointRecord&, const std::array<double, 3>& p) { extents.Add(p); },
          betweenLines, 0, where)) {
    return invalid();
  }
  const double width = std::max(extents.max[0] - extents.min[0], extents.max[1] - extents.min[1]);
  const double height = 0.002 * 0.001 * width;

  TextLineReader second;
  if (!second.Open(input)) return DxfResult::NotOpened;
  DrawingWriter drawing(output);
  drawing.Header(extents);
  // Only a file changed since the first pass fails here.
  if (!ReadPoints(
          second,
          [&](const PointRecord& r, const std::array<double, 3>& p) {
            drawing.Point(r, p, height);
          },
          betweenLines, 50, where)) {
    return invalid();
  }
  drawing.End();
  return DxfResult::Done;
}

std::string GcvtText(double value, int digits) {
  return Format("%.*g", digits, value);
}

}  // namespace kavex
