// The reading of a GIS file's features into a points list: whatever GDAL makes of the bytes
// (GeoJSON, KML, CSV or DXF, by the first byte), the list holds only names and coordinates
// the instrument takes. The first line of the rest is read as a coordinate system code too.
#include <cpl_vsi.h>

#include <cstdlib>

#include "fuzz_support.h"
#include "kavex/formats/point_lists.h"
#include "kavex/gis/gis_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const char* const kExtensions[] = {".geojson", ".kml", ".csv", ".dxf"};
  const std::string path = std::string("/vsimem/kavex-fuzz") + kExtensions[data[0] % 4];
  const std::string_view bytes = fuzz::Bytes(data + 1, size - 1);

  if (const std::optional<kavex::CrsCode> code =
          kavex::ParseCrsCode(bytes.substr(0, bytes.find('\n')))) {
    if (code->horizontal <= 0 || code->vertical < 0) std::abort();
  }

  static const kavex::CoordinateSystem job = [] {
    std::string message;
    return kavex::CoordinateSystem::Resolve("EPSG:28992", message).value();
  }();
  VSILFILE* file = VSIFileFromMemBuffer(
      path.c_str(), reinterpret_cast<GByte*>(const_cast<char*>(bytes.data())), bytes.size(), FALSE);
  if (!file) return 0;
  VSIFCloseL(file);
  const kavex::GisImport import = kavex::ImportGis(path, job);
  VSIUnlink(path.c_str());
  if (import.ok == import.points.empty()) std::abort();
  if (!import.ok && import.message.empty()) std::abort();
  const std::vector<std::string> lines = kavex::PointsFileLines(import.points);
  for (size_t i = 0; i < lines.size(); ++i) {
    kavex::PointsLine parsed;
    if (!kavex::ParsePointsLine(lines[i], true, parsed) || parsed.name != import.points[i].name)
      std::abort();
    if (!kavex::CoordinateFits(parsed.x) || !kavex::CoordinateFits(parsed.y)) std::abort();
  }
  return 0;
}
