// The reading of a GIS file's features into an instrument data document: whatever GDAL makes
// of the bytes (GeoJSON, KML, CSV or DXF, by the first byte), the document holds the points
// it read, named as read, and the writer of a shipped format writes them or names what it
// cannot.
#include <cpl_vsi.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "fuzz_support.h"
#include "ulvo/engine/data_document.h"
#include "ulvo/gis/gis_document.h"

namespace {

// A point list as the shipped one: name, northing, easting, height, code.
ulvo::FormatDefinition& PointList() {
  static ulvo::FormatDefinition* format = [] {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "ulvo-fuzz-gis-format.xml";
    std::ofstream(path, std::ios::binary)
        << "<?xml version=\"1.0\"?>\n<format type=\"POINTS\" name=\"Points\"><repeat><node>"
           "<radio><group id=\"PT\"><terminated><element id=\"NR\"/><literal>,</literal>"
           "</terminated><terminated><element id=\"N\"/><literal>,</literal></terminated>"
           "<terminated><element id=\"E\"/><literal>,</literal></terminated><terminated>"
           "<element id=\"Z\"/><literal>,</literal></terminated><terminated><element id=\"D\"/>"
           "<literal hex=\"true\">0D0A</literal></terminated></group></radio></node></repeat>"
           "</format>\n";
    auto* f = new ulvo::FormatDefinition(path);
    if (!f->Load()) std::abort();
    return f;
  }();
  return *format;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const char* const kExtensions[] = {".geojson", ".kml", ".csv", ".dxf"};
  const std::string path = std::string("/vsimem/ulvo-fuzz") + kExtensions[data[0] % 4];
  const std::string_view bytes = fuzz::Bytes(data + 1, size - 1);
  static const ulvo::CoordinateSystem job = [] {
    ulvo::Message message{ulvo::kGisCrsUnknown, {}};
    return ulvo::CoordinateSystem::Resolve("EPSG:28992", message).value();
  }();
  VSILFILE* file = VSIFileFromMemBuffer(
      path.c_str(), reinterpret_cast<GByte*>(const_cast<char*>(bytes.data())), bytes.size(), FALSE);
  if (!file) return 0;
  VSIFCloseL(file);
  const ulvo::GisImport import = ulvo::ImportGis(path, job);
  VSIUnlink(path.c_str());
  if (import.ok == import.points.empty()) std::abort();
  if (!import.ok) {
    if (!import.message.text.key) std::abort();
    return 0;
  }
  const ulvo::PlanElements elements;
  const std::optional<ulvo::PointRecordKind> kind = ulvo::FindPointRecord(PointList(), elements);
  if (!kind) std::abort();
  pugi::xml_document document;
  const pugi::xml_node records = ulvo::NewDataDocument(document);
  ulvo::BuildPointDocument(records, *kind, elements, import.points);
  const ulvo::DocumentPoints back = ulvo::ReadDocumentPoints(records, elements);
  if (back.records != import.points.size()) std::abort();
  for (size_t i = 0; i < back.points.size(); ++i) {
    const ulvo::SurveyPoint& p = back.points[i];
    const ulvo::GisImportPoint& q = import.points[p.sourceLine];
    if (p.name != q.name) std::abort();
    if (std::abs(p.northing - q.northing) > 0.0005 * std::max(1.0, std::abs(q.northing)))
      std::abort();
  }
  const ulvo::PointsWritten written =
      ulvo::WriteGisPoints(PointList(), elements, import.points, "/dev/null");
  if (!written.ok && !written.message.text.key) std::abort();
  return 0;
}
