#include "kavex/gis/gis_import.h"

#include <ogrsf_frmts.h>

#include <memory>

#include "kavex/formats/file_problem.h"
#include "kavex/formats/point_lists.h"
#include "kavex/formats/text_format.h"
#include "kavex/gis/gdal_session.h"

namespace kavex {
namespace {

constexpr size_t kMaxNameLength = 10;
constexpr size_t kNamesShown = 5;

std::string Trimmed(std::string s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The fields named like wanted in any case ("name", "Name" and "NAME" may all be there).
std::vector<int> FieldsNamed(const OGRFeatureDefn* defn, const char* wanted) {
  std::vector<int> fields;
  for (int i = 0; i < defn->GetFieldCount(); ++i)
    if (EQUAL(defn->GetFieldDefn(i)->GetNameRef(), wanted)) fields.push_back(i);
  return fields;
}

// The first of fields the feature gives, blanks trimmed; empty when none.
std::string FieldText(const OGRFeature& feature, const std::vector<int>& fields) {
  for (const int i : fields) {
    if (!feature.IsFieldSetAndNotNull(i)) continue;
    std::string text = Trimmed(feature.GetFieldAsString(i));
    if (!text.empty()) return text;
  }
  return {};
}

struct Collector {
  std::vector<GisImportPoint>& points;
  bool tooMany = false;

  void Add(const std::string& name, const std::string& code, const OGRPoint& p) {
    if (points.size() >= kGisMaxImportPoints) {
      tooMany = true;
      return;
    }
    GisImportPoint out;
    out.name = name;
    out.code = code;
    // East first as the layer gives it; set right by the caller.
    out.easting = p.getX();
    out.northing = p.getY();
    if (p.Is3D()) out.height = p.getZ();
    points.push_back(std::move(out));
  }

  // Vertices numbered on from vertex, across the parts of one feature.
  void AddCurve(const std::string& name, const std::string& code, const OGRSimpleCurve& curve,
                bool ring, int& vertex) {
    int n = curve.getNumPoints();
    if (ring && n > 1) {
      OGRPoint first, last;
      curve.getPoint(0, &first);
      curve.getPoint(n - 1, &last);
      if (first.Equals(&last)) --n;
    }
    for (int i = 0; i < n && !tooMany; ++i) {
      OGRPoint p;
      curve.getPoint(i, &p);
      Add(name + "-" + std::to_string(++vertex), code, p);
    }
  }

  void AddGeometry(const std::string& name, const std::string& code, const OGRGeometry& g,
                   int& vertex, bool single) {
    if (tooMany) return;
    if (g.hasCurveGeometry()) {
      const std::unique_ptr<OGRGeometry> linear(g.getLinearGeometry());
      if (linear && !linear->hasCurveGeometry()) AddGeometry(name, code, *linear, vertex, single);
      return;
    }
    switch (wkbFlatten(g.getGeometryType())) {
      case wkbPoint:
        if (!g.IsEmpty()) {
          if (single) {
            Add(name, code, *g.toPoint());
          } else {
            Add(name + "-" + std::to_string(++vertex), code, *g.toPoint());
          }
        }
        break;
      case wkbLineString:
        AddCurve(name, code, *g.toLineString(), false, vertex);
        break;
      case wkbLinearRing:
        AddCurve(name, code, *g.toLinearRing(), true, vertex);
        break;
      case wkbPolygon:
        for (const OGRLinearRing* ring : *g.toPolygon()) AddCurve(name, code, *ring, true, vertex);
        break;
      case wkbTriangle:
        for (const OGRLinearRing* ring : *g.toPolygon()) AddCurve(name, code, *ring, true, vertex);
        break;
      case wkbMultiPoint:
      case wkbMultiLineString:
      case wkbMultiPolygon:
      case wkbGeometryCollection:
      case wkbPolyhedralSurface:
      case wkbTIN: {
        const auto* parts = dynamic_cast<const OGRGeometryCollection*>(&g);
        if (!parts) break;
        const bool alone = parts->getNumGeometries() == 1 &&
                           wkbFlatten(parts->getGeometryRef(0)->getGeometryType()) == wkbPoint;
        for (const OGRGeometry* part : *parts)
          if (part) AddGeometry(name, code, *part, vertex, single && alone);
        break;
      }
      default:
        break;
    }
  }
};

// The names of the first few, and how many more.
std::string Named(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size() && i < kNamesShown; ++i) text += (i ? ", " : "") + names[i];
  if (names.size() > kNamesShown) text += Format(" and %zu more", names.size() - kNamesShown);
  return text + ".";
}

// Whether the layer's coordinates come north first (a system whose own order is so, read
// without GIS order).
bool NorthFirst(const OGRSpatialReference& srs) {
  OGRSpatialReference gisOrder(srs);
  gisOrder.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return srs.GetDataAxisToSRSAxisMapping() != gisOrder.GetDataAxisToSRSAxisMapping();
}

}  // namespace

GisImport ImportGis(const std::string& file, const CoordinateSystem& job) {
  GisImport result;
  if (!job.Planar()) {
    result.message = kCrsNotPlanarMessage + job.Label() + ".";
    return result;
  }
  QuietGdal quiet;
  // A CSV of coordinates gives points only when its columns are named to GDAL: x is east,
  // as in every GIS. Other drivers let these options be.
  const char* const openOptions[] = {"X_POSSIBLE_NAMES=x,east,easting,lon,long,longitude",
                                     "Y_POSSIBLE_NAMES=y,north,northing,lat,latitude",
                                     "Z_POSSIBLE_NAMES=z,height,elevation,h",
                                     "KEEP_GEOM_COLUMNS=NO", nullptr};
  // A file of the disk that cannot be read is said in the system's words; GDAL's own paths
  // (/vsizip/...) are left to GDAL.
  if (!file.starts_with("/vsi")) {
    if (const std::string why = FileProblem(file, false); !why.empty()) {
      result.message = kGisCannotReadMessage + file + ": " + why;
      return result;
    }
  }
  std::unique_ptr<GDALDataset> ds(
      GDALDataset::Open(file.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
                        nullptr, openOptions));
  if (!ds) {
    result.message =
        kGisCannotReadMessage + file + ": " + QuietGdal::Reason("not a file GDAL knows");
    return result;
  }
  std::vector<GisImportPoint>& points = result.points;
  Collector collector{points};
  for (OGRLayer* layer : ds->GetLayers()) {
    const size_t first = points.size();
    OGRFeatureDefn* defn = layer->GetLayerDefn();
    const std::vector<int> nameFields = FieldsNamed(defn, "name");
    const std::vector<int> codeFields = FieldsNamed(defn, "code");
    for (const auto& feature : *layer) {
      const OGRGeometry* g = feature->GetGeometryRef();
      if (!g) continue;
      std::string name = FieldText(*feature, nameFields);
      if (name.empty()) name = std::to_string(feature->GetFID());
      const std::string code = FieldText(*feature, codeFields);
      int vertex = 0;
      collector.AddGeometry(name, code, *g, vertex, true);
      if (collector.tooMany) {
        result.message = kGisTooManyPointsMessage + file + Format(" (%zu).", kGisMaxImportPoints);
        points.clear();
        return result;
      }
    }
    if (points.size() == first) continue;

    // Into the job's system, from the layer's own (or the job's, said so, when it has none).
    const OGRSpatialReference* srs = layer->GetSpatialRef();
    std::optional<CoordinateSystem> layerCrs;
    if (srs) {
      char* wkt = nullptr;
      const char* options[] = {"FORMAT=WKT2_2019", nullptr};
      if (srs->exportToWkt(&wkt, options) == OGRERR_NONE && wkt)
        layerCrs = CoordinateSystem::FromDefinition(wkt);
      CPLFree(wkt);
      if (!layerCrs) {
        result.message = kCrsUnknownMessage + std::string(srs->GetName() ? srs->GetName() : "?");
        points.clear();
        return result;
      }
      if (NorthFirst(*srs))
        for (size_t i = first; i < points.size(); ++i)
          std::swap(points[i].easting, points[i].northing);
    } else {
      layerCrs = job;
      result.notes.push_back(std::string(layer->GetName()) + kGisNoCrsNote + job.Label() + ".");
    }
    std::vector<GroundPoint> ground;
    ground.reserve(points.size() - first);
    for (size_t i = first; i < points.size(); ++i)
      ground.push_back({points[i].easting, points[i].northing, points[i].height.value_or(0)});
    const std::unique_ptr<Reprojection> reprojection =
        Reprojection::Make(*layerCrs, job, ground, result.message);
    if (!reprojection) {
      points.clear();
      return result;
    }
    for (size_t i = first; i < points.size(); ++i) {
      GroundPoint p = ground[i - first];
      if (!reprojection->Apply(p)) {
        result.message =
            kCrsPointNotTransformedMessage + points[i].name + " to " + job.Label() + ".";
        points.clear();
        return result;
      }
      points[i].easting = p[0];
      points[i].northing = p[1];
      if (points[i].height) points[i].height = p[2];
    }
  }
  if (points.empty()) {
    result.message = kGisNoFeaturesMessage + file + ".";
    return result;
  }

  std::vector<std::string> tooLong, badCharacter, outside;
  for (const GisImportPoint& p : points) {
    if (p.name.size() > kMaxNameLength) {
      tooLong.push_back(p.name);
      continue;
    }
    // Blank to "z" as the points file takes them, without the separators of its line.
    bool good = true;
    for (const char c : p.name) good = good && c >= 0x20 && c <= 0x7A && c != ',';
    if (!good) {
      badCharacter.push_back(p.name);
      continue;
    }
    if (!CoordinateFits(p.easting) || !CoordinateFits(p.northing) ||
        (p.height && !CoordinateFits(*p.height)))
      outside.push_back(p.name);
  }
  for (const auto& [names, text] : {std::pair{&tooLong, kGisNameTooLongMessage},
                                    {&badCharacter, kGisNameCharacterMessage},
                                    {&outside, kGisOutOfFieldMessage}}) {
    if (names->empty()) continue;
    result.message += (result.message.empty() ? "" : "\n") + std::string(text) + Named(*names);
  }
  if (!result.message.empty()) {
    points.clear();
    return result;
  }
  result.ok = true;
  return result;
}

std::vector<std::string> PointsFileLines(const std::vector<GisImportPoint>& points) {
  std::vector<std::string> lines;
  lines.reserve(points.size());
  for (const GisImportPoint& p : points) {
    lines.push_back(
        p.height ? Format("%s,%.3f,%.3f,%.3f", p.name.c_str(), p.easting, p.northing, *p.height)
                 : Format("%s,%.3f,%.3f", p.name.c_str(), p.easting, p.northing));
  }
  return lines;
}

std::string GisReadMessage(const GisImport& import, const std::string& file) {
  return Format("%zu point%s read from %s.", import.points.size(),
                import.points.size() == 1 ? "" : "s", file.c_str());
}

}  // namespace kavex
