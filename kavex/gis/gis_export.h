#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "kavex/exports/survey_points.h"
#include "kavex/gis/coordinate_system.h"
#include "kavex/gis/gis_formats.h"

namespace kavex {

inline constexpr const char* kGisNoPointsMessage = "No points with coordinates in the data.";
inline constexpr const char* kGisCannotWriteMessage = "GDAL cannot write ";
inline constexpr const char* kGisCannotSaveMessage = "Saving Aborted.";
inline constexpr const char* kGisOneLayerMessage =
    " holds one layer: a layer per code needs GeoPackage or KML.";

struct GisExportOptions {
  std::filesystem::path target;
  GisFormat format = GisFormat::kGeoPackage;
  CoordinateSystem crs;  // the job's: the points' coordinates are in it
  bool layerByCode = false;
  std::string sourceName;  // the source file attribute of every point (Latin-1, as the data)
};

struct GisResult {
  bool ok = false;
  std::string message;  // why not, when not ok
  size_t points = 0;
  std::filesystem::path target;
  std::vector<std::filesystem::path> files;  // every file written (a Shapefile has several)
};

// Writes the points as a GIS file: easting first, height as Z where the point has one,
// attributes name, code and source. GDAL writes the whole file in memory first; then every
// file of it is put beside the target and renamed over it, so a failure leaves the user's
// files as they were.
GisResult ExportGis(const std::vector<SurveyPoint>& points, const GisExportOptions& options);

// "12 points written to /data/job.gpkg."
std::string GisWrittenMessage(const GisResult& result);

inline constexpr const char* kGisMisalignedNote =
    "The QRX-6 records stop lining up: the points after the last one read are left out.";
inline constexpr const char* kGisUnreadableNote =
    " with coordinates that are not numbers left out.";
// What the reading of the data left out, to be said with the export; empty when nothing.
std::string GisLeftOutNote(const SurveyPointReader& reader);

// Latin-1 bytes, as Kavex holds its data, in the UTF-8 every GIS format wants.
std::string Latin1ToUtf8(std::string_view bytes);

}  // namespace kavex
