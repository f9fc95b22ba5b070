#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "ulvo/convert/plan_points.h"
#include "ulvo/gis/coordinate_system.h"
#include "ulvo/gis/gis_formats.h"

namespace ulvo {

struct GisExportOptions {
  std::filesystem::path target;
  GisFormat format = GisFormat::kGeoPackage;
  CoordinateSystem crs;  // the job's: the points' coordinates are in it
  bool layerByCode = false;
  std::string
      sourceName;  // the source file attribute of every point: its name, as the system has it
};

struct GisResult {
  bool ok = false;
  Message message{kGisNoPoints, {}};  // why not, when not ok
  size_t points = 0;
  std::filesystem::path target;
  std::vector<std::filesystem::path> files;  // every file written (a Shapefile has several)
};

// Writes the points as a GIS file: easting first, height as Z where the point has one,
// attributes name, code and source. GDAL writes the whole file in memory first; then every
// file of it is put beside the target and renamed over it, so a failure leaves the user's
// files as they were.
GisResult ExportGis(const std::vector<SurveyPoint>& points, const GisExportOptions& options);

}  // namespace ulvo
