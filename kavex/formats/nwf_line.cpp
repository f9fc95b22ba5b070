#include "kavex/formats/nwf_line.h"

#include <string>

#include "kavex/formats/text_format.h"

namespace kavex {
namespace {

std::string_view KeywordColumns(std::string_view line) {
  return line.substr(0, kNwfKeywordColumns);
}

}  // namespace

NwfKeyword FindNwfKeyword(std::string_view line) {
  static constexpr std::pair<const char*, NwfKeyword> kKeywords[] = {
      {"JOB", NwfKeyword::Job},   {"NAME", NwfKeyword::Name},   {"INST", NwfKeyword::Inst},
      {"DATE", NwfKeyword::Date}, {"UNITS", NwfKeyword::Units}, {"SCALE", NwfKeyword::Scale},
      {"STN", NwfKeyword::Stn},   {"BS", NwfKeyword::Bs},       {"SS", NwfKeyword::Ss},
      {"FS", NwfKeyword::Fs},
  };
  const std::string_view columns = KeywordColumns(line);
  for (const auto& [word, keyword] : kKeywords) {
    if (columns.find(word) != std::string_view::npos) return keyword;
  }
  return NwfKeyword::None;
}

NwfObservation FindNwfObservation(std::string_view line) {
  static constexpr std::pair<const char*, NwfObservation> kKeywords[] = {
      {"HV", NwfObservation::Hv}, {"SD", NwfObservation::Sd}, {"HD", NwfObservation::Hd}};
  const std::string_view columns = KeywordColumns(line);
  for (const auto& [word, keyword] : kKeywords) {
    if (columns.find(word) != std::string_view::npos) return keyword;
  }
  return NwfObservation::None;
}

std::vector<std::string> ScanNwfValues(std::string_view line) {
  std::vector<std::string> values;
  if (line.empty()) return values;
  // Only a line feed is dropped: a last line without one keeps its last character.
  const std::string_view body = line.back() == '\n' ? line.substr(0, line.size() - 1) : line;
  if (body.size() <= kNwfKeywordColumns) return values;
  std::string_view rest = body.substr(kNwfKeywordColumns);
  while (true) {
    const size_t comma = rest.find(',');
    values.emplace_back(rest.substr(0, comma));
    if (comma == std::string_view::npos) break;
    rest = rest.substr(comma + 1);
  }
  return values;
}

// Text values are appended rather than passed through "%s" so every byte survives.
std::string NwfTextLine(const char* keyword, std::string_view text) {
  return Format("%-8s", keyword).append(text);
}

std::string NwfTargetLine(const char* keyword, std::string_view a, std::string_view b,
                          std::string_view c) {
  std::string line = Format("%-8s", keyword);
  line.append(a).append(",").append(b).append(",").append(c);
  return line;
}

std::string NwfTempLine(std::string_view a, std::string_view b) {
  std::string line = Format("%-8s", "TEMP");
  line.append(a).append(", ").append(b);
  return line;
}

std::string NwfUnitsLine(bool metres, bool degrees) {
  // Feet with gon is "F,G": labelling gon data as degrees would make an instrument
  // misread every angle.
  const std::string value = std::string(metres ? "M" : "F") + (degrees ? ",D" : ",G");
  return NwfTextLine("UNITS", value);
}

double CombinedScaleFactor(double scale, int elevation) {
  return scale * kEarthRadius / (elevation + kEarthRadius);
}

std::string NwfScaleLine(double scale, int elevation) {
  return Format("%-8s%8.6f,%8.6f,%-5d", "SCALE", CombinedScaleFactor(scale, elevation), scale,
                elevation);
}

std::string NwfCoordinateLine(std::string_view point, double c1, double c2, double c3) {
  return std::string(point) + Format(",%0.4f,%0.4f,%0.4f", c1, c2, c3);
}

}  // namespace kavex
