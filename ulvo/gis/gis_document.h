#pragma once

#include <filesystem>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "ulvo/convert/plan_points.h"
#include "ulvo/engine/format_definition.h"
#include "ulvo/gis/gis_import.h"

namespace ulvo {

// The record kind of a format that holds points: the first top-level group whose own
// elements include the chosen northing and easting, with its elements in the order the
// format writes them.
struct PointRecordKind {
  std::string group;
  std::vector<std::string> elements;
};
std::optional<PointRecordKind> FindPointRecord(const FormatDefinition& format,
                                               const PlanElements& elements);

// An instrument data document with one record of kind per point, holding those of the
// chosen elements the kind has: the name, northing, easting and height (to the millimetre)
// and the code. A point without a height leaves its height element out.
void BuildPointDocument(pugi::xml_node data, const PointRecordKind& kind,
                        const PlanElements& elements, const std::vector<GisImportPoint>& points);

struct PointsWritten {
  bool ok = false;
  Message message{kGisNotWritable, {}};
};

// Writes the points with the loaded format to output, as the second half of a conversion
// does. Refused, with output as it was and the points named, when the format cannot write a
// record or when a value is wider than its field (a field never cuts a value, so the fields
// after it would move).
PointsWritten WriteGisPoints(FormatDefinition& format, const PlanElements& elements,
                             const std::vector<GisImportPoint>& points,
                             const std::filesystem::path& output);

}  // namespace ulvo
