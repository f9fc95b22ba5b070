#pragma once

#include <string>

#include "kavex/gis/gis_formats.h"

namespace kavex {

class MainLogic;

// Texts of the two commands of the "Con&version" menu.
inline constexpr const char* kToGisName = "toGIS";
inline constexpr const char* kToGisCaption = "to GIS...";
inline constexpr const char* kFromGisName = "fromGIS";
inline constexpr const char* kFromGisCaption = "from GIS...";
inline constexpr const char* kToGisTitle = "Export to GIS";
inline constexpr const char* kFromGisTitle = "Import from GIS";
inline constexpr const char* kGisImportFilter =
    "GIS files(*.gpkg *.geojson *.json *.kml *.shp *.csv "
    "*.dxf)|*.gpkg;*.geojson;*.json;*.kml;*.shp;"
    "*.csv;*.dxf|All Files(*.*)|*.*";

// What the "to GIS..." and "from GIS..." dialog asks.
struct GisDialogOptions {
  GisFormat format = GisFormat::kGeoPackage;  // export only
  std::string path;
  std::string crs;           // a code or a name from PROJ's list
  bool layerByCode = false;  // export only
};

// The dialog as the commands see it: shown with options, which it changes; false on Cancel.
class GisDialog {
 public:
  virtual ~GisDialog() = default;
  virtual bool Ask(GisDialogOptions& options, bool importing) = 0;
};

// "to GIS...": the points of the current data to a GIS file. The coordinate system
// chosen is kept in the settings and proposed next time. Returns conversionResult's value.
int ExportCurrentDataToGis(MainLogic& logic, GisDialog& dialog);

// "from GIS...": the points of a GIS file, in the job's system, become the current data as
// a points file (unsaved), ready for the coordinate upload.
int ImportGisToCurrentData(MainLogic& logic, GisDialog& dialog);

}  // namespace kavex
