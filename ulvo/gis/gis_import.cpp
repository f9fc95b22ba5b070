#include "ulvo/gis/gis_import.h"

#include <ogrsf_frmts.h>

#include <memory>

#include "ulvo/engine/format_definition.h"
#include "ulvo/engine/text_codec.h"
#include "ulvo/gis/gdal_session.h"

namespace ulvo {
namespace {

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

// Whether the layer's coordinates come north first (a system whose own order is so, read
// without GIS order).
bool NorthFirst(const OGRSpatialReference& srs) {
  OGRSpatialReference gisOrder(srs);
  gisOrder.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return srs.GetDataAxisToSRSAxisMapping() != gisOrder.GetDataAxisToSRSAxisMapping();
}

// The data holds Latin-1 bytes: a name in UTF-8 with a character beyond them, or with a
// control character, cannot be kept as it is.
std::optional<std::string> DataBytes(const std::string& utf8) {
  if (!FirstUnstorableCharacter(utf8).empty()) return std::nullopt;
  std::string bytes;
  for (size_t i = 0; i < utf8.size();) {
    unsigned long code = 0;
    if (!NextCodePoint(utf8, i, code) || code > 0xFF) return std::nullopt;
    bytes += static_cast<char>(code);
  }
  return bytes;
}

}  // namespace

std::string NamedList(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size() && i < kNamesShown; ++i) text += (i ? ", " : "") + names[i];
  if (names.size() > kNamesShown)
    text += " and " + std::to_string(names.size() - kNamesShown) + " more";
  return text;
}

GisImport ImportGis(const std::string& file, const CoordinateSystem& job) {
  GisImport result;
  if (!job.Planar()) {
    result.message = Message{kGisCrsNotPlanar, job.Label()};
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
    if (const std::string why = InputProblem(file); !why.empty()) {
      result.message = Message{kGisCannotRead, file, why};
      return result;
    }
  }
  std::unique_ptr<GDALDataset> ds(
      GDALDataset::Open(file.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
                        nullptr, openOptions));
  if (!ds) {
    result.message = Message{kGisCannotRead, file, QuietGdal::Reason("not a file GDAL knows")};
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
        result.message = Message{kGisTooManyPoints, file, std::to_string(kGisMaxImportPoints)};
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
        result.message = Message{kGisCrsUnknown, srs->GetName() ? srs->GetName() : "?"};
        points.clear();
        return result;
      }
      if (NorthFirst(*srs))
        for (size_t i = first; i < points.size(); ++i)
          std::swap(points[i].easting, points[i].northing);
    } else {
      layerCrs = job;
      result.notes.push_back(Message{kGisNoCrsNote, layer->GetName(), job.Label()});
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
        result.message = Message{kGisCrsPointNotTransformed, points[i].name,
                                 layerCrs->Label() + " to " + job.Label()};
        points.clear();
        return result;
      }
      points[i].easting = p[0];
      points[i].northing = p[1];
      if (points[i].height) points[i].height = p[2];
    }
  }
  if (points.empty()) {
    result.message = Message{kGisNoFeatures, file};
    return result;
  }

  // GDAL gives UTF-8; the data holds its bytes.
  std::vector<std::string> badCharacter;
  for (GisImportPoint& p : points) {
    const std::optional<std::string> name = DataBytes(p.name);
    const std::optional<std::string> code = DataBytes(p.code);
    if (!name || !code) {
      badCharacter.push_back(p.name);
      continue;
    }
    p.name = *name;
    p.code = *code;
  }
  if (!badCharacter.empty()) {
    // Shown as the file gives them, with what cannot be stored left out of the message only.
    for (std::string& n : badCharacter) n = RemoveUnstorableCharacters(n, nullptr);
    result.message = Message{kGisNameCharacter, NamedList(badCharacter), file};
    points.clear();
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace ulvo
