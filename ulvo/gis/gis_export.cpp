#include "ulvo/gis/gis_export.h"

#include <cpl_string.h>
#include <cpl_vsi.h>
#include <ogrsf_frmts.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "ulvo/engine/replace_file.h"
#include "ulvo/engine/text_codec.h"
#include "ulvo/gis/gdal_session.h"

namespace ulvo {
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
    path_ = "/vsimem/ulvo-gis-" + std::to_string(next++);
    VSIMkdir(path_.c_str(), 0755);
  }
  ~MemoryFolder() { VSIRmdirRecursive(path_.c_str()); }
  MemoryFolder(const MemoryFolder&) = delete;
  MemoryFolder& operator=(const MemoryFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

GisResult Failed(Message message) {
  GisResult r;
  r.message = std::move(message);
  return r;
}

std::string SystemReason() {
  return errno ? std::strerror(errno) : "the file could not be written";
}

// The bytes into a new file beside path; the system's reason when that failed.
std::string WriteBeside(ReplacingWrite& file, std::string_view bytes) {
  if (!file.Problem().empty()) return file.Problem();
  errno = 0;
  std::FILE* out = std::fopen(file.Path().c_str(), "wb");
  if (!out) return SystemReason();
  errno = 0;
  const bool written =
      std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() && std::fflush(out) == 0;
  std::string why = written ? std::string() : SystemReason();
  if (std::fclose(out) != 0 && why.empty()) why = SystemReason();
  return why;
}

// Puts every file GDAL made in folder beside target, all written before the first is
// renamed, so a full disk stops the export with the user's files untouched; companions of an
// old file that would not match the new one go first.
bool PlaceFiles(const std::string& folder, const std::filesystem::path& target,
                const std::vector<const char*>& stale, std::vector<std::filesystem::path>& placed,
                Message& message) {
  char** names = VSIReadDir(folder.c_str());
  std::vector<std::pair<std::filesystem::path, std::unique_ptr<ReplacingWrite>>> files;
  for (char** n = names; n && *n; ++n) {
    const std::string name = *n;
    if (name == "." || name == "..") continue;
    vsi_l_offset length = 0;
    const GByte* bytes = VSIGetMemFileBuffer((folder + "/" + name).c_str(), &length, FALSE);
    if (!bytes) continue;
    const std::filesystem::path path = target.parent_path() / name;
    auto file = std::make_unique<ReplacingWrite>(path);
    const std::string why = WriteBeside(
        *file, std::string_view(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length)));
    if (!why.empty()) {
      message = Message{kGisCannotSave, path.string(), why};
      CSLDestroy(names);
      return false;
    }
    files.emplace_back(path, std::move(file));
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
  for (const auto& [path, file] : files) {
    if (const std::string why = file->Commit(); !why.empty()) {
      message = Message{kGisCannotSave, path.string(), why};
      return false;
    }
    placed.push_back(path);
  }
  return true;
}

// The system's name for a file is UTF-8 as a rule; bytes that are not are shown as Latin-1.
std::string FileNameText(const std::string& name) {
  return FirstUnstorableCharacter(name).empty() ? name : BytesToText(name);
}

}  // namespace

GisResult ExportGis(const std::vector<SurveyPoint>& points, const GisExportOptions& options) {
  if (points.empty()) return Failed(Message{kGisNoPoints, FileNameText(options.sourceName)});
  if (!options.crs.Planar()) return Failed(Message{kGisCrsNotPlanar, options.crs.Label()});
  const GisFormatRow& row = GisFormatOf(options.format);
  const std::string targetName = options.target.filename().string();
  if (targetName.empty()) return Failed(Message{kGisCannotWrite, options.target.string()});

  // Where each point lands in the file's system.
  std::vector<GroundPoint> ground;
  ground.reserve(points.size());
  for (const SurveyPoint& p : points)
    ground.push_back({p.easting, p.northing, p.height.value_or(0)});
  const CoordinateSystem fileCrs = row.forcesWgs84 ? CoordinateSystem::Wgs84() : options.crs;
  Message message{kGisCrsNoTransformation, {}};
  const std::unique_ptr<Reprojection> reprojection =
      Reprojection::Make(options.crs, fileCrs, ground, message);
  if (!reprojection) return Failed(message);
  for (size_t i = 0; i < ground.size(); ++i)
    if (!reprojection->Apply(ground[i]))
      return Failed(Message{kGisCrsPointNotTransformed, BytesToText(points[i].name),
                            options.crs.Label() + " to " + fileCrs.Label()});

  // Layers in the order their codes first appear.
  std::vector<std::string> codes;
  std::map<std::string, std::vector<size_t>> members;
  for (size_t i = 0; i < points.size(); ++i) {
    const std::string code = options.layerByCode ? points[i].code : std::string();
    auto [it, added] = members.try_emplace(code);
    if (added) codes.push_back(code);
    it->second.push_back(i);
  }
  if (codes.size() > 1 && !row.manyLayers) return Failed(Message{kGisOneLayer, row.name});

  QuietGdal quiet;
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(row.driver);
  if (!driver)
    return Failed(
        Message{kGisCannotWrite, options.target.string(), std::string("no driver ") + row.driver});
  OGRSpatialReference srs;
  if (srs.importFromWkt(fileCrs.Wkt().c_str()) != OGRERR_NONE)
    return Failed(Message{kGisCrsUnknown, fileCrs.Label()});
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);

  MemoryFolder folder;
  const std::string memoryPath = folder.Path() + "/" + targetName;
  const auto cannotWrite = [&] {
    return Failed(Message{kGisCannotWrite, options.target.string(),
                          QuietGdal::Reason("the driver refused the data")});
  };
  {
    const CslList datasetOptions(row.datasetOptions);
    std::unique_ptr<GDALDataset> ds(
        driver->Create(memoryPath.c_str(), 0, 0, 0, GDT_Unknown, datasetOptions.list));
    if (!ds) return cannotWrite();
    const std::string stem = options.target.stem().string();
    const std::string source = FileNameText(options.sourceName);
    for (const std::string& code : codes) {
      const std::vector<size_t>& indices = members[code];
      bool threeD = false;
      for (size_t i : indices) threeD = threeD || points[i].height.has_value();
      const CslList layerOptions(row.layerOptions);
      OGRLayer* layer = ds->CreateLayer(code.empty() ? stem.c_str() : BytesToText(code).c_str(),
                                        &srs, threeD ? wkbPoint25D : wkbPoint, layerOptions.list);
      if (!layer) return cannotWrite();
      for (const char* field : {"name", "code", "source"}) {
        OGRFieldDefn defn(field, OFTString);
        if (layer->CreateField(&defn) != OGRERR_NONE) return cannotWrite();
      }
      // One transaction per layer: a GeoPackage of 100,000 points is written in a second.
      const bool transaction = ds->StartTransaction(FALSE) == OGRERR_NONE;
      for (size_t i : indices) {
        OGRFeature feature(layer->GetLayerDefn());
        feature.SetField("name", BytesToText(points[i].name).c_str());
        feature.SetField("code", BytesToText(points[i].code).c_str());
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
  result.message = Message{kGisWritten, std::to_string(points.size()), options.target.string()};
  return result;
}

}  // namespace ulvo
