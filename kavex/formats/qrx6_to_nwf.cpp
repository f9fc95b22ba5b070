#include "kavex/formats/qrx6_to_nwf.h"

#include <vector>

#include "kavex/formats/number_text.h"
#include "kavex/formats/nwf_line.h"
#include "kavex/formats/text_format.h"
#include "kavex/formats/text_line_reader.h"

namespace kavex {

std::optional<std::string> AcceptScaleText(std::string_view text) {
  if (NumberPrefixLength(text) == 0) return std::nullopt;
  const double scale = ReadDouble(text);
  if (!(scale >= 0.9999 && scale < 1.0001)) return std::nullopt;
  return Format("%8.6f", scale);
}

std::optional<std::string> AcceptElevationText(std::string_view text) {
  if (NumberPrefixLength(text) == 0) return std::nullopt;
  const long elevation = ReadLong(text);
  if (elevation < -9999 || elevation > 9999) return std::nullopt;
  return Format("%+05d", static_cast<int>(elevation));
}

Qrx6ToNwfConverter::Qrx6ToNwfConverter(const CvtQ6to7Options& options, TargetCounter& counter,
                                       Output output)
    : options_(options), counter_(counter), output_(std::move(output)) {}

void Qrx6ToNwfConverter::FieldStored(int id) {
  if (id == kIdStationThird) counter_.count = 0;
  if (id == kIdTarget) ++counter_.count;
}

void Qrx6ToNwfConverter::WriteTarget(const Qrx6Record& r) {
  const char* keyword = "SS";
  if (counter_.count == 1 && options_.firstIsBs) {
    keyword = "BS";
  } else if (options_.measuredFs) {
    keyword = "FS";
  }
  output_(NwfTargetLine(keyword, r.text[kSlotA], r.text[kSlotC], r.text[kSlotB]));
}

void Qrx6ToNwfConverter::RecordClosed(const Qrx6Record& r) {
  if (options_.addHeader && !headerWritten_) output_(kNwfHeaderLine);
  headerWritten_ = true;
  const auto& v = r.real;
  switch (r.group) {
    case 1: {
      output_(NwfTextLine("JOB", r.text[kSlotA]));
      output_(NwfTextLine("NAME", r.text[kSlotB]));
      output_(NwfTextLine("INST", r.text[kSlotC]));
      output_(NwfUnitsLine(options_.distanceMetres, options_.angleDegrees));
      output_(NwfScaleLine(ReadDouble(options_.scaleText), ReadInt(options_.elevationText)));
      break;
    }
    case 2:
      output_(NwfTempLine(r.text[kSlotA], r.text[kSlotB]));
      break;
    case 3:
      output_(NwfTargetLine("STN", r.text[kSlotA], r.text[kSlotC], r.text[kSlotB]));
      break;
    case 4: {
      if (r.subType == kIdBlockU || r.subType == kIdBlockSlash) break;
      WriteTarget(r);
      switch (r.subType) {
        case kIdBlockHorizontal:
          output_(Format("%-8s%0.5f,%0.4f,%0.4f", "HD", v[0], v[1], v[2]));
          break;
        case kIdBlockAngles:
          output_(Format("%-8s%0.5f,%0.5f", "HV", v[0], v[1]));
          break;
        case kIdBlockHorizontalWide:
          output_(Format("%-8s%0.5f,%0.5f,%0.4f", "HD", v[0], v[1], v[2]));
          break;
        case kIdBlockAnglesWide:
          output_(Format("%-8s%0.5f,%0.5f,%0.4f", "HV", v[0], v[1], v[2]));
          break;
        default:  // single fields only, " ?" and " ("
          output_(Format("%-8s%0.5f,%0.5f,%0.4f", "SD", v[0], v[1], v[2]));
          break;
      }
      break;
    }
    case 5:
      WriteTarget(r);
      if (r.subType == 0) {
        output_(Format("%-8s%0.5f,%0.5f", "HV", v[0], v[1]));
      } else if (r.subType == kIdSingleSlope) {
        output_(Format("%-8s%0.5f,%0.5f,%0.4f", "SD", v[0], v[1], v[2]));
      } else if (r.subType == kIdSingleHorizontal) {
        output_(Format("%-8s%0.5f,%0.4f,%0.4f", "HD", v[0], v[1], v[2]));
      }
      break;
    case 7:
      output_(NwfCoordinateLine(r.text[kSlotA], v[0], v[1], v[2]));
      break;
    default:
      break;
  }
}

void ForEachTextLine(std::string_view text, const std::function<void(std::string_view, bool)>& f) {
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t lf = text.find('\n', pos);
    if (lf == std::string_view::npos) {
      f(text.substr(pos), false);
      break;
    }
    f(text.substr(pos, lf - pos), true);
    pos = lf + 1;
  }
}

bool ConvertQrx6FileToNwf(const std::filesystem::path& input, const CvtQ6to7Options& options,
                          TargetCounter& counter, const Qrx6ToNwfConverter::Output& output,
                          const std::function<void(int percent)>& betweenLines) {
  TextLineReader reader;
  if (!reader.Open(input)) return false;
  Qrx6ToNwfConverter converter(options, counter, output);
  std::string line;
  bool lf = false;
  for (size_t n = 1; reader.Next(line, lf); ++n) {
    converter.AddLine(line, lf);
    if (betweenLines && n % 32 == 0) betweenLines(reader.Percent());
  }
  converter.Finish();
  return true;
}

std::vector<std::string> ConvertQrx6TextToNwf(std::string_view text, const CvtQ6to7Options& options,
                                              TargetCounter& counter) {
  std::vector<std::string> lines;
  Qrx6ToNwfConverter converter(options, counter,
                               [&](const std::string& line) { lines.push_back(line); });
  ForEachTextLine(text, [&](std::string_view line, bool lf) { converter.AddLine(line, lf); });
  converter.Finish();
  return lines;
}

}  // namespace kavex
