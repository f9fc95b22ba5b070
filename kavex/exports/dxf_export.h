#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kavex/formats/point_records.h"

namespace kavex {

// Coordinate data shows itself on the first line (its first 255 characters) by "_ x".
bool IsCoordinateLine(std::string_view firstLine);

enum class DxfInput { Coordinates, NotOpened, NotCoordinates };
// The check made before the confirmation: can the file be read, is it coordinate data.
DxfInput CheckDxfInput(const std::filesystem::path& input);

enum class DxfResult { Done, NotOpened, InvalidData };

// Writes the drawing of a coordinate file line by line: a first pass gathers the extents,
// a second writes header, tables, blocks and one POINT and one TEXT per point (no TEXT for
// a blank name). A coordinate text that is not a number, or a record that does not line
// up, gives InvalidData before any line is written, with where and why in stop (when
// given). betweenLines (when given) is called with the share done so far every few lines.
DxfResult ExportDxf(const std::filesystem::path& input,
                    const std::function<void(const std::string& line)>& output,
                    const std::function<void(int percent)>& betweenLines = {},
                    RecordStop* stop = nullptr);

// "%.*g" with the given significant digits, the way the C library's gcvt writes numbers,
// whatever the process locale.
std::string GcvtText(double value, int digits);

}  // namespace kavex
