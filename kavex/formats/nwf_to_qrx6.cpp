#include "kavex/formats/nwf_to_qrx6.h"

#include <climits>
#include <cmath>

#include "kavex/formats/measurement_block.h"
#include "kavex/formats/number_text.h"
#include "kavex/formats/text_format.h"
#include "kavex/formats/text_line_reader.h"

namespace kavex {
namespace {

// Truncation toward zero; values beyond the long range saturate instead of being undefined,
// and a value that is not a number gives 0.
long Truncate(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(LONG_MAX)) return LONG_MAX;
  if (value <= static_cast<double>(LONG_MIN)) return LONG_MIN;
  return static_cast<long>(value);
}

// An angle as the block's whole number (value x 10000, truncated toward zero). The nudge
// keeps a product such as 12.3456 x 10000 = 123455.99999999999 from losing a whole unit.
long AngleNumber(double value) {
  constexpr double kNudge = 1e-6;
  return Truncate(value * 10000 + (value < 0 ? -kNudge : kNudge));
}

double Value(const std::vector<std::string>& values, size_t i) {
  return i < values.size() ? ReadDouble(values[i]) : 0.0;
}

std::string Text(const std::vector<std::string>& values, size_t i) {
  return i < values.size() ? values[i] : std::string();
}

// Everything from column 9 up to the line feed; a last line without one keeps its last
// character, as the value scan does.
std::string_view RestOfLine(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (line.size() <= kNwfKeywordColumns) return {};
  return line.substr(kNwfKeywordColumns);
}

// Removes the earth curvature (with refraction k) from a distance in metres.
double Curvature(double x, double k) {
  return x - x * x * (1 - k) / kCurvatureDivisor;
}

}  // namespace

long DegreesToDms(double degrees) {
  const std::string text = Format("%9.6f", degrees);
  const size_t point = text.find('.');
  if (point == std::string::npos) return 0;
  long whole = ReadLong(std::string_view(text).substr(0, point));
  const long f = ReadLong(std::string_view(text).substr(point + 1));
  const double minuteValue = f * 0.000001 * 3600 / 60;
  long m = Truncate(minuteValue);
  long s = Truncate((minuteValue - m) * 60 + 0.5);
  if (s == 60) {
    s = 0;
    ++m;
  }
  if (m == 60) {
    m = 0;
    ++whole;
  }
  if (whole == 360) whole = 0;
  return whole * 10000 + m * 100 + s;
}

std::string MeasurementField(std::string_view line, const NwfToQrx6Options& options) {
  const NwfObservation observation = FindNwfObservation(line);
  if (observation == NwfObservation::None) return {};
  const std::vector<std::string> values = ScanNwfValues(line);
  const double a = Value(values, 0);
  const double b = Value(values, 1);
  const double c = Value(values, 2);
  const bool degrees = options.angleUnit == 'D';
  const char angleLetter = degrees ? 'd' : 'g';
  const char distanceLetter = options.distanceUnit == 'M' ? 'm' : 'f';
  const long horizontal = AngleNumber(a);

  switch (observation) {
    case NwfObservation::Hv:
      return AnglesBlockField(AngleNumber(b), horizontal, angleLetter);
    case NwfObservation::Sd: {
      const long slope = Truncate(c * 1000 + 0.5);
      const long zenith = AngleNumber(b);
      double z = 0;
      if (degrees) {
        // The zenith is taken back from its block text: ddd, mm, ss.
        const std::string zt = Format("%07ld", zenith);
        const std::string_view t(zt);
        z = (ReadLong(t.substr(0, 3)) + ReadLong(t.substr(3, 2)) / 60.0 +
             ReadLong(t.substr(5, 2)) / 3600.0) /
            kDegreesPerRadian;
      } else {
        z = (zenith * 0.0001) / kGonPerRadian;
      }
      const long horizontalDistance = Truncate(slope / 1000.0 * std::sin(z) * 1000 + 0.5);
      return SlopeBlockField(slope, zenith, horizontal, horizontalDistance, angleLetter,
                             distanceLetter);
    }
    case NwfObservation::Hd: {
      const long distance = Truncate(b * 1000 + 0.5);
      const long height = c < 0 ? Truncate(c * 1000 - 0.5) : Truncate(c * 1000 + 0.5);
      const double h = Curvature(distance / 1000.0, options.k);
      const double v = Curvature(height / 1000.0, options.k);
      // Zero over zero has no elevation; the sight is taken as level.
      const double e = (h == 0 && v == 0) ? 0.0 : std::atan(v / h);
      const long zenith = degrees ? DegreesToDms(90 - e * kDegreesPerRadian)
                                  : Truncate((100 - e * kGonPerRadian) * 10000);
      return HorizontalBlockField(distance, zenith, horizontal, height, angleLetter,
                                  distanceLetter);
    }
    case NwfObservation::None:
      break;
  }
  return {};
}

NwfToQrx6Converter::NwfToQrx6Converter(const NwfToQrx6Options& options,
                                       BlockStreamWriter::Output output)
    : options_(options), blocks_(std::move(output)) {}

void NwfToQrx6Converter::WriteTarget(std::string_view observation) {
  const std::vector<std::string>& v = targetValues_;
  std::string fields = "_+" + Text(v, 0);
  fields += MeasurementField(observation, options_);
  if (targetKeyword_ != NwfKeyword::Bs && !Text(v, 2).empty()) fields += "_*" + Text(v, 2);
  fields += "_," + Text(v, 1);
  blocks_.Append(fields);
  targetPending_ = false;
}

void NwfToQrx6Converter::AddLine(std::string_view line) {
  // The line after a target is its observation, whatever it holds.
  if (targetPending_) {
    WriteTarget(line);
    return;
  }
  const NwfKeyword keyword = FindNwfKeyword(line);
  switch (keyword) {
    case NwfKeyword::Job:
      blocks_.Append("_!" + Text(ScanNwfValues(line), 0));
      break;
    case NwfKeyword::Name:
      blocks_.Append(std::string("_\"").append(RestOfLine(line)));
      break;
    case NwfKeyword::Inst:
      blocks_.Append(std::string("_#").append(RestOfLine(line)));
      break;
    case NwfKeyword::Date:
      blocks_.Append("_$" + Text(ScanNwfValues(line), 0));
      break;
    case NwfKeyword::Stn: {
      const std::vector<std::string> v = ScanNwfValues(line);
      blocks_.Append("_'" + Text(v, 0) + "_(" + Text(v, 2) + "_)" + Text(v, 1));
      break;
    }
    case NwfKeyword::Bs:
    case NwfKeyword::Ss:
    case NwfKeyword::Fs:
      targetPending_ = true;
      targetKeyword_ = keyword;
      targetValues_ = ScanNwfValues(line);
      break;
    case NwfKeyword::Units:
    case NwfKeyword::Scale:
    case NwfKeyword::None:
      break;
  }
}

void NwfToQrx6Converter::Finish() {
  // A target on the last line has no observation.
  if (targetPending_) WriteTarget({});
  blocks_.Append("_");
  blocks_.Finish();
}

void ConvertNwfToQrx6(TextLineReader& reader, const NwfToQrx6Options& options,
                      const BlockStreamWriter::Output& output,
                      const std::function<void(int percent)>& betweenLines) {
  NwfToQrx6Converter converter(options, output);
  std::string line;
  bool lf = false;
  for (size_t n = 1; reader.Next(line, lf); ++n) {
    if (lf) line.push_back('\n');
    converter.AddLine(line);
    if (betweenLines && n % 32 == 0) betweenLines(reader.Percent());
  }
  converter.Finish();
}

bool ConvertNwfFileToQrx6(const std::filesystem::path& input, const NwfToQrx6Options& options,
                          const BlockStreamWriter::Output& output) {
  TextLineReader reader;
  if (!reader.Open(input)) return false;
  ConvertNwfToQrx6(reader, options, output);
  return true;
}

std::vector<std::string> ConvertNwfTextToQrx6(std::string_view text,
                                              const NwfToQrx6Options& options) {
  std::vector<std::string> lines;
  NwfToQrx6Converter converter(options, [&](const std::string& l) { lines.push_back(l); });
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t lf = text.find('\n', pos);
    const size_t end = lf == std::string_view::npos ? text.size() : lf + 1;
    converter.AddLine(text.substr(pos, end - pos));
    pos = end;
  }
  converter.Finish();
  return lines;
}

}  // namespace kavex
