#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ulvo/gis/coordinate_system.h"

namespace ulvo {

// A document never holds more: an instrument job takes far fewer, and a file with more is
// not a setting-out list.
inline constexpr size_t kGisMaxImportPoints = 1000000;

struct GisImportPoint {
  std::string name;  // bytes (Latin-1): the feature's "name" field, else its number; "-N" a vertex
  std::string code;  // bytes: its "code" field, when it has one
  double northing = 0.0;
  double easting = 0.0;
  std::optional<double> height;
};

struct GisImport {
  bool ok = false;
  Message message{kGisNoFeatures, {}};  // why not, when not ok
  std::vector<Message> notes;           // said beside a good result
  std::vector<GisImportPoint> points;
};

// Every point of every layer GDAL reads in file (a path, or any name GDAL opens), in the
// job's coordinate system; lines and polygons give their vertices, named by feature and
// vertex ("WALL-1", "WALL-2", ...; a ring's closing vertex is not repeated). A name with a
// character the data cannot hold refuses the whole file, each named: nothing is changed.
GisImport ImportGis(const std::string& file, const CoordinateSystem& job);

// The first few names, and how many more: "A, B, C and 4 more".
std::string NamedList(const std::vector<std::string>& names);

}  // namespace ulvo
