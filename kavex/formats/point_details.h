#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kavex {

// The job values of "Point Details" as stored texts, each in its fixed width. They live
// as long as the program; the coordinate upload builds its initial block from them.
struct PointDetails {
  std::string site = "Site1     ";    // "%-10s"
  std::string elevation = "+0000";    // "%+05d"
  std::string scale = "1.000000";     // "%8.6f"
  std::string accuracy = "2000";      // "%04d"
  std::string limitDistance = "20";   // "%02d"
  std::string limitTolerance = "10";  // "%02d"
  std::string points = "0000";        // "%04d"

  bool operator==(const PointDetails&) const = default;
};

// The edits of the dialog, in the order Enter walks them.
enum class PointDetailsField {
  kSite,
  kElevation,
  kScale,
  kAccuracy,
  kLimitDistance,
  kLimitTolerance,
  kPoints,
};
inline constexpr int kPointDetailsFieldCount = 7;

struct PointDetailsFieldInfo {
  const char* editName;  // SiteEd, ElevEd, ...
  const char* hint;
  int maxLength;  // characters the edit accepts; 0 for no limit
};
const PointDetailsFieldInfo& PointDetailsFieldInfoOf(PointDetailsField field);

// What leaving an edit decides: the stored text, or the message when it is refused.
struct PointDetailsCheck {
  std::optional<std::string> stored;
  std::string message;
};
PointDetailsCheck CheckPointDetailsField(PointDetailsField field, std::string_view text);

std::string& PointDetailsValue(PointDetails& details, PointDetailsField field);
const std::string& PointDetailsValue(const PointDetails& details, PointDetailsField field);

// The second block of the coordinate upload: STX, the values, "S", "%03d" of the
// exclusive-or of the 37 characters after STX, ETX, CR LF. Nothing when a value is not
// in its nominal width (it could not have passed the dialog's checks).
std::optional<std::string> MakeInitialBlock(const PointDetails& details);

}  // namespace kavex
