#include "kavex/gis/gis_export.h"

#include <cpl_string.h>
#include <cpl_vsi.h>
#include <ogrsf_frmts.h>

#include <atomic>
#include <map>
#include <memory>

#include "kavex/formats/replace_file.h"
#include "kavex/formats/text_format.h"
#include "kavex/gis/gdal_session.h"

namespace kavex {
namespace {

struct CslList {
  char** list = nullptr;
  explicit CslList(const std::vector<const char*>& items) {
    for (const char* item : items) list = CSLAddString(list, item);
  }
  ~CslList() { CSLDestroy(list); }
  CslList(const CslList&) = delete;
  CslList& operator=(const CslList&) = delete;
};

// GDAL's in-memory folder of one export, removed with whatever is left in it.
class MemoryFolder {
 public:
  MemoryFolder() {
    static std::atomic<unsigned> next{0};
    path_ = Format("/vsimem/kavex-gis-%u", next++);
    VSIMkdir(path_.c_str(), 0755);
  }
  ~MemoryFolder() { VSIRmdirRecursive(path_.c_str()); }
  MemoryFolder(const MemoryFolder&) = delete;
  MemoryFolder& operator=(const MemoryFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

GisResult Failed(std::string message) {
  GisResult r;
  r.message = std::move(message);
  return r;
}

// Puts every file GDAL made in folder beside target, all written before the first is
// renamed, so a full disk stops the export with the user's files untouched; companions of an
// old file that would not match the new one go first.
bool PlaceFiles(const std::string& folder, const std::filesystem::path& target,
                const std::vector<const char*>& stale, std::vector<std::filesystem::path>& placed,
                std::string& message) {
  char** names = VSIReadDir(folder.c_str());
  std::vector<std::unique_ptr<ReplacingFile>> files;
  for (char** n = names; n && *n; ++n) {
    const std::string name = *n;
    if (name == "." || name == "..") continue;
    vsi_l_offset length = 0;
    const GByte* bytes = VSIGetMemFileBuffer((folder + "/" + name).c_str(), &length, FALSE);
    if (!bytes) continue;
    const std::filesystem::path path = target.parent_path() / name;
    auto file = std::make_unique<ReplacingFile>(path);
    std::string why;
    if (!file->Open(why)) {
      message = std::string(kGisCannotSaveMessage) + "\n" + path.string() + ": " + why;
      CSLDestroy(names);
      return false;
    }
    file->Write(std::string_view(reinterpret_cast<const char*>(bytes), length));
    files.push_back(std::move(file));
  }
  CSLDestroy(names);
  for (const char* companion : stale) {
    std::filesystem::path path = target;
    if (companion[0] == '-') {
      path += companion;
    } else {
      path.replace_extension(companion);
    }
    std::error_code error;
    std::filesystem::remove(path, error);
  }
  for (const auto& file : files) {
    std::string why;
    if (!file->Commit(why)) {
      message = std::string(kGisCannotSaveMessage) + "\n" + file->Target().string() + ": " + why;
      return false;
    }
    placed.push_back(file->Target());
  }
  return true;
}

}  // namespace

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

GisResult ExportGis(const std::vector<SurveyPoint>& points, const GisExportOptions& options) {
  if (points.empty()) return Failed(kGisNoPointsMessage);
  if (!options.crs.Planar()) return Failed(kCrsNotPlanarMessage + options.crs.Label() + ".");
  const GisFormatRow& row = GisFormatOf(options.format);
  const std::string targetName = options.target.filename().string();
  if (targetName.empty()) return Failed(kGisCannotWriteMessage + options.target.string());

  // Where each point lands in the file's system.
  std::vector<GroundPoint> ground;
  ground.reserve(points.size());
  for (const SurveyPoint& p : points)
    ground.push_back({p.easting, p.northing, p.height.value_or(0)});
  const CoordinateSystem fileCrs = row.forcesWgs84 ? CoordinateSystem::Wgs84() : options.crs;
  std::string message;
  const std::unique_ptr<Reprojection> reprojection =
      Reprojection::Make(options.crs, fileCrs, ground, message);
  if (!reprojection) return Failed(message);
  for (size_t i = 0; i < ground.size(); ++i)
    if (!reprojection->Apply(ground[i]))
      return Failed(kCrsPointNotTransformedMessage + Latin1ToUtf8(points[i].name) + " to " +
                    fileCrs.Label() + ".");

  // Layers in the order their codes first appear.
  std::vector<std::string> codes;
  std::map<std::string, std::vector<size_t>> members;
  for (size_t i = 0; i < points.size(); ++i) {
    const std::string code = options.layerByCode ? points[i].code : std::string();
    auto [it, added] = members.try_emplace(code);
    if (added) codes.push_back(code);
    it->second.push_back(i);
  }
  if (codes.size() > 1 && !row.manyLayers)
    return Failed(std::string(row.name) + kGisOneLayerMessage);

  QuietGdal quiet;
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(row.driver);
  if (!driver)
    return Failed(kGisCannotWriteMessage + options.target.string() + ": no driver " + row.driver);
  OGRSpatialReference srs;
  if (srs.importFromWkt(fileCrs.Wkt().c_str()) != OGRERR_NONE)
    return Failed(kCrsUnknownMessage + fileCrs.Label());
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);

  MemoryFolder folder;
  const std::string memoryPath = folder.Path() + "/" + targetName;
  const auto cannotWrite = [&] {
    return Failed(kGisCannotWriteMessage + options.target.string() + ": " +
                  QuietGdal::Reason("the driver refused the data"));
  };
  {
    const CslList datasetOptions(row.datasetOptions);
    std::unique_ptr<GDALDataset> ds(
        driver->Create(memoryPath.c_str(), 0, 0, 0, GDT_Unknown, datasetOptions.list));
    if (!ds) return cannotWrite();
    const std::string stem = options.target.stem().string();
    for (const std::string& code : codes) {
      const std::vector<size_t>& indices = members[code];
      bool threeD = false;
      for (size_t i : indices) threeD = threeD || points[i].height.has_value();
      const CslList layerOptions(row.layerOptions);
      OGRLayer* layer = ds->CreateLayer(code.empty() ? stem.c_str() : Latin1ToUtf8(code).c_str(),
                                        &srs, threeD ? wkbPoint25D : wkbPoint, layerOptions.list);
      if (!layer) return cannotWrite();
      for (const char* field : {"name", "code", "source"}) {
        OGRFieldDefn defn(field, OFTString);
        if (layer->CreateField(&defn) != OGRERR_NONE) return cannotWrite();
      }
      // One transaction per layer: a GeoPackage of 100,000 points is written in a second.
      const bool transaction = ds->StartTransaction(FALSE) == OGRERR_NONE;
      const std::string source = Latin1ToUtf8(options.sourceName);
      for (size_t i : indices) {
        OGRFeature feature(layer->GetLayerDefn());
        feature.SetField("name", Latin1ToUtf8(points[i].name).c_str());
        feature.SetField("code", Latin1ToUtf8(points[i].code).c_str());
        feature.SetField("source", source.c_str());
        OGRPoint point(ground[i][0], ground[i][1]);
        if (points[i].height) point.setZ(ground[i][2]);
        feature.SetGeometry(&point);
        if (layer->CreateFeature(&feature) != OGRERR_NONE) return cannotWrite();
      }
      if (transaction && ds->CommitTransaction() != OGRERR_NONE) return cannotWrite();
    }
    CPLErrorReset();
    ds.reset();
    if (CPLGetLastErrorType() == CE_Failure) return cannotWrite();
  }

  GisResult result;
  if (!PlaceFiles(folder.Path(), options.target, row.staleCompanions, result.files, result.message))
    return result;
  result.ok = true;
  result.target = options.target;
  result.points = points.size();
  return result;
}

std::string GisWrittenMessage(const GisResult& result) {
  return Format("%zu point%s written to %s.", result.points, result.points == 1 ? "" : "s",
                result.target.string().c_str());
}

std::string GisLeftOutNote(const SurveyPointReader& reader) {
  std::string note;
  if (reader.Unreadable() > 0)
    note = Format("%zu record%s", reader.Unreadable(), reader.Unreadable() == 1 ? "" : "s") +
           kGisUnreadableNote;
  if (reader.Misaligned()) note += (note.empty() ? "" : "\n") + std::string(kGisMisalignedNote);
  return note;
}

}  // namespace kavex
