#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ulvo {

enum class GisFormat { kGeoPackage, kGeoJson, kKml, kShapefile, kCsv };

// One GIS file format: everything the export, the import's file dialog, the window and the
// command line ask of it.
struct GisFormatRow {
  GisFormat format;
  const char* name;       // "GeoPackage": the window's choice and the messages
  const char* extension;  // ".gpkg": the command line picks the format by it
  const char* driver;     // GDAL's driver
  std::vector<const char*> datasetOptions;
  std::vector<const char*> layerOptions;
  bool forcesWgs84;  // the format knows no other system: points are reprojected
  bool manyLayers;   // one file holds a layer per code
  // Files other programs keep beside an old file of the format that would not match the new
  // one: ".qix" in place of the extension, "-wal" after the whole name.
  std::vector<const char*> staleCompanions;
};

const std::vector<GisFormatRow>& GisFormats();
const GisFormatRow& GisFormatOf(GisFormat format);
// The format of a file name by its extension (any case); nullptr when none has it.
const GisFormatRow* GisFormatForPath(const std::filesystem::path& path);
// ".gpkg, .geojson, .kml, .shp or .csv", for usage and messages.
std::string GisExtensionList();
// "GeoPackage (*.gpkg)": the save dialog's filter for one format.
std::string GisFileFilter(const GisFormatRow& row);
// What the open dialog offers: every file GDAL reads points from that a surveyor is given.
inline constexpr const char* kGisImportFilter =
    "GIS (*.gpkg *.geojson *.json *.kml *.shp *.csv *.dxf);;* (*)";

}  // namespace ulvo
