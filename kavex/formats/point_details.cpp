#include "kavex/formats/point_details.h"

#include <cmath>

#include "kavex/formats/number_text.h"
#include "kavex/formats/text_format.h"
#include "kavex/formats/xor_check.h"

namespace kavex {
namespace {

constexpr PointDetailsFieldInfo kInfo[kPointDetailsFieldCount] = {
    {"SiteEd", "within 10 digits", 10},
    {"ElevEd", "from -9999 to 9999", 0},
    {"ScaleEd", "from 0.9999 to 1.000099", 0},
    {"AccEd", "from 0 to 9999", 0},
    {"Lim1Ed", "from 0 to 99", 0},
    {"Lim2Ed", "from 0 to 99", 0},
    {"NumPtEd", "from 0 to 9999", 0},
};

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// A whole integer (sign allowed, surrounding blanks ignored); nothing when the text is not one.
std::optional<long> ReadWholeInteger(std::string_view text) {
  text = Trim(text);
  std::string_view digits = text;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  for (char c : digits)
    if (c < '0' || c > '9') return std::nullopt;
  return ReadLong(text);
}

std::optional<double> ReadWholeNumber(std::string_view text) {
  text = Trim(text);
  if (text.empty() || NumberPrefixLength(text) != text.size()) return std::nullopt;
  const double value = ReadDouble(text);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

PointDetailsCheck Refused(const char* message) {
  return {std::nullopt, message};
}

PointDetailsCheck IntegerField(std::string_view text, long low, long high, const char* format,
                               const char* outOfRange, const char* unreadable) {
  const std::optional<long> value = ReadWholeInteger(text);
  if (!value) return Refused(unreadable);
  if (*value < low || *value > high) return Refused(outOfRange);
  return {Format(format, static_cast<int>(*value)), {}};
}

}  // namespace

const PointDetailsFieldInfo& PointDetailsFieldInfoOf(PointDetailsField field) {
  return kInfo[static_cast<int>(field)];
}

PointDetailsCheck CheckPointDetailsField(PointDetailsField field, std::string_view text) {
  switch (field) {
    case PointDetailsField::kSite: {
      if (text.size() > 10) return Refused("Invalid data entered in Site.");
      return {Format("%-10s", std::string(text).c_str()), {}};
    }
    case PointDetailsField::kElevation: {
      const char* m = "Invalid value entered in Elevation";
      return IntegerField(text, -9999, 9999, "%+05d", m, m);
    }
    case PointDetailsField::kScale: {
      const std::optional<double> value = ReadWholeNumber(text);
      if (!value || !(*value >= 0.9999 && *value < 1.0001))
        return Refused("Invalid value entered in Scale");
      return {Format("%8.6f", *value), {}};
    }
    case PointDetailsField::kAccuracy:
      return IntegerField(text, 0, 9999, "%04d", "Invalid value entered in Accuracy.",
                          "Invalid value entered in Accuracy");
    case PointDetailsField::kLimitDistance: {
      const char* m = "Invalid value entered in Limit(dist.)";
      return IntegerField(text, 0, 99, "%02d", m, m);
    }
    case PointDetailsField::kLimitTolerance: {
      const char* m = "Invalid value entered in Limit(tol.)";
      return IntegerField(text, 0, 99, "%02d", m, m);
    }
    case PointDetailsField::kPoints: {
      const char* m = "Invalid value entered in Number of points.";
      return IntegerField(text, 0, 9999, "%04d", m, m);
    }
  }
  return Refused("");
}

std::string& PointDetailsValue(PointDetails& d, PointDetailsField field) {
  switch (field) {
    case PointDetailsField::kSite:
      return d.site;
    case PointDetailsField::kElevation:
      return d.elevation;
    case PointDetailsField::kScale:
      return d.scale;
    case PointDetailsField::kAccuracy:
      return d.accuracy;
    case PointDetailsField::kLimitDistance:
      return d.limitDistance;
    case PointDetailsField::kLimitTolerance:
      return d.limitTolerance;
    case PointDetailsField::kPoints:
      break;
  }
  return d.points;
}

const std::string& PointDetailsValue(const PointDetails& d, PointDetailsField field) {
  return PointDetailsValue(const_cast<PointDetails&>(d), field);
}

std::optional<std::string> MakeInitialBlock(const PointDetails& d) {
  if (d.site.size() != 10 || d.elevation.size() != 5 || d.scale.size() != 8 ||
      d.accuracy.size() != 4 || d.limitDistance.size() != 2 || d.limitTolerance.size() != 2 ||
      d.points.size() != 4) {
    return std::nullopt;
  }
  const std::string body = d.site + d.elevation + d.scale + d.accuracy + d.limitDistance + "-" +
                           d.limitTolerance + d.points + "S";
  return "\x02" + body + XorCheckText(body) + "\x03\r\n";
}

}  // namespace kavex
