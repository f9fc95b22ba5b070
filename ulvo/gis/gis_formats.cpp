#include "ulvo/gis/gis_formats.h"

#include <algorithm>

namespace ulvo {

const std::vector<GisFormatRow>& GisFormats() {
  // clang-format off
  static const std::vector<GisFormatRow> rows = {
      // SQLite would read an old file's journal into the new one.
      {GisFormat::kGeoPackage, "GeoPackage", ".gpkg", "GPKG", {}, {}, false, true,
       {"-wal", "-shm", "-journal"}},
      // RFC 7946 allows WGS 84 alone; the older form keeps the job's system in "crs".
      {GisFormat::kGeoJson, "GeoJSON", ".geojson", "GeoJSON", {}, {"RFC7946=NO"}, false, false,
       {}},
      {GisFormat::kKml, "KML", ".kml", "KML", {}, {}, true, true, {}},
      // An old spatial index would lead a GIS to the wrong shapes.
      {GisFormat::kShapefile, "Shapefile", ".shp", "ESRI Shapefile", {}, {"ENCODING=UTF-8"},
       false, false, {".qix", ".sbn", ".sbx", ".qpj"}},
      // The .csvt names the column types and the .prj the system, so a GIS opens it placed.
      {GisFormat::kCsv, "CSV with WKT", ".csv", "CSV", {}, {"GEOMETRY=AS_WKT", "CREATE_CSVT=YES"},
       false, false, {}},
  };
  // clang-format on
  return rows;
}

const GisFormatRow& GisFormatOf(GisFormat format) {
  for (const GisFormatRow& row : GisFormats())
    if (row.format == format) return row;
  return GisFormats().front();
}

const GisFormatRow* GisFormatForPath(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  for (const GisFormatRow& row : GisFormats())
    if (ext == row.extension) return &row;
  return nullptr;
}

std::string GisExtensionList() {
  std::string list;
  const auto& rows = GisFormats();
  for (size_t i = 0; i < rows.size(); ++i)
    list += std::string(i == 0 ? "" : i + 1 == rows.size() ? " or " : ", ") + rows[i].extension;
  return list;
}

std::string GisFileFilter(const GisFormatRow& row) {
  return std::string(row.name) + " (*" + row.extension + ")";
}

}  // namespace ulvo
