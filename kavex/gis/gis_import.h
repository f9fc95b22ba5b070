#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "kavex/gis/coordinate_system.h"

namespace kavex {

inline constexpr const char* kGisCannotReadMessage = "GDAL cannot read ";
inline constexpr const char* kGisNoFeaturesMessage = "No points, lines or polygons in ";
inline constexpr const char* kGisTooManyPointsMessage =
    "More points than Kavex takes in one list in ";
inline constexpr const char* kGisNameTooLongMessage =
    "Point names longer than the instrument's 10 characters: ";
inline constexpr const char* kGisNameCharacterMessage =
    "Point names with a character the instrument does not take: ";
inline constexpr const char* kGisOutOfFieldMessage =
    "Points beyond the instrument's coordinate field (-999999.999 to 9999999.999): ";
inline constexpr const char* kGisNoCrsNote =
    " names no coordinate system: its coordinates are taken as ";

// A list never holds more: an instrument job takes far fewer, and a file with more is not
// a setting-out list.
inline constexpr size_t kGisMaxImportPoints = 1000000;

struct GisImportPoint {
  std::string name;  // the feature's name (its "name" field, else its number), a vertex's "-N"
  std::string code;  // its "code" field, when it has one
  double northing = 0.0;
  double easting = 0.0;
  std::optional<double> height;
};

struct GisImport {
  bool ok = false;
  std::string message;             // why not, when not ok
  std::vector<std::string> notes;  // said beside a good result
  std::vector<GisImportPoint> points;
};

// Every point of every layer GDAL reads in file (a path, or any name GDAL opens), in the
// job's coordinate system; lines and polygons give their vertices, named by feature and
// vertex ("WALL-1", "WALL-2", ...; a ring's closing vertex is not repeated). Names and
// coordinates the instrument cannot hold refuse the whole file, each named: nothing is cut.
GisImport ImportGis(const std::string& file, const CoordinateSystem& job);

// The points-file lines ("name,Y,X[,Z]", to the millimetre) that the coordinate upload and
// the conversion to QRX-6 coordinates read: Y easting, X northing.
std::vector<std::string> PointsFileLines(const std::vector<GisImportPoint>& points);

// "5 points read from /data/design.gpkg."
std::string GisReadMessage(const GisImport& import, const std::string& file);

}  // namespace kavex
