#include "kavex/gis/gis_export.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "kavex/formats/replace_file.h"
#include "kavex/tests/gis/gis_readback.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;

class GisExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kavex-gis-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    SetReplaceStepHook({});
    fs::remove_all(dir_);
  }
  static CoordinateSystem Crs(const char* text) {
    std::string message;
    return CoordinateSystem::Resolve(text, message).value();
  }
  static SurveyPoint Point(const char* name, double northing, double easting,
                           std::optional<double> height, const char* code = "") {
    SurveyPoint p;
    p.name = name;
    p.code = code;
    p.northing = northing;
    p.easting = easting;
    p.height = height;
    return p;
  }
  fs::path dir_;
};

// Northing and easting far apart, so a file with them swapped cannot pass.
const std::vector<SurveyPoint>& Survey() {
  static const std::vector<SurveyPoint> points = {
      {"P1", "", 463000.125, 155000.5, 1.234, 0},
      {"P2", "", 463010.0, 155020.75, -0.5, 1},
      {"K\xe9", "", 463100.0, 155100.0, std::nullopt, 2},  // Latin-1 e acute
  };
  return points;
}

TEST_F(GisExportTest, EveryFormatReadsBackWithEastingFirst) {
  const std::vector<std::pair<double, double>> enPoints = {
      {155000.5, 463000.125}, {155020.75, 463010.0}, {155100.0, 463100.0}};
  const auto wgs84 = testing::GdalTransform("EPSG:28992", "EPSG:4326", enPoints);
  ASSERT_EQ(wgs84.size(), 3u);
  struct Case {
    GisFormat format;
    const char* file;
    const char* epsg;
    std::set<std::string> files;  // what lands in the folder
  };
  const Case cases[] = {
      {GisFormat::kGeoPackage, "job.gpkg", "28992", {"job.gpkg"}},
      {GisFormat::kGeoJson, "job.geojson", "28992", {"job.geojson"}},
      {GisFormat::kKml, "job.kml", "4326", {"job.kml"}},
      {GisFormat::kShapefile,
       "job.shp",
       "28992",
       {"job.shp", "job.shx", "job.dbf", "job.prj", "job.cpg"}},
      {GisFormat::kCsv, "job.csv", "28992", {"job.csv", "job.csvt", "job.prj"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    GisExportOptions options;
    options.target = dir_ / c.file;
    options.format = c.format;
    options.crs = Crs("EPSG:28992");
    options.sourceName = "job.qr6";
    const GisResult result = ExportGis(Survey(), options);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.points, 3u);
    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir_)) files.insert(entry.path().filename());
    EXPECT_EQ(files, c.files);

    const testing::ReadBack back = testing::ReadWithGdal(dir_ / c.file);
    ASSERT_TRUE(back.opened);
    ASSERT_EQ(back.epsg.size(), 1u);
    EXPECT_EQ(back.epsg[0], c.epsg);
    ASSERT_EQ(back.features.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      const testing::ReadFeature& f = back.features[i];
      const bool degrees = c.format == GisFormat::kKml;
      const double e = degrees ? wgs84[i].first : enPoints[i].first;
      const double n = degrees ? wgs84[i].second : enPoints[i].second;
      EXPECT_NEAR(f.x, e, degrees ? 9e-9 : 1e-6) << "point " << i;
      EXPECT_NEAR(f.y, n, degrees ? 9e-9 : 1e-6) << "point " << i;
      EXPECT_EQ(f.name, i == 2 ? "K\xc3\xa9" : Survey()[i].name);
      EXPECT_EQ(f.code, "");
      EXPECT_EQ(f.source, "job.qr6");
      if (Survey()[i].height) {
        ASSERT_TRUE(f.z) << "point " << i;
        EXPECT_NEAR(*f.z, *Survey()[i].height, 1e-9);
      } else if (c.format != GisFormat::kShapefile) {
        // A Shapefile's points are all 3D once one is.
        EXPECT_FALSE(f.z) << "point " << i;
      }
    }
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
}

TEST_F(GisExportTest, LayerPerCode) {
  const std::vector<SurveyPoint> points = {Point("A", 463000, 155000, 1, "TREE"),
                                           Point("B", 463001, 155001, 1, "WALL"),
                                           Point("C", 463002, 155002, 1, "TREE")};
  GisExportOptions options;
  options.target = dir_ / "codes.gpkg";
  options.crs = Crs("EPSG:28992");
  options.layerByCode = true;
  ASSERT_TRUE(ExportGis(points, options).ok);
  const testing::ReadBack back = testing::ReadWithGdal(options.target);
  ASSERT_EQ(back.epsg.size(), 2u);
  std::multiset<std::pair<std::string, std::string>> layers;
  for (const auto& f : back.features) layers.insert({f.layer, f.name});
  EXPECT_EQ(layers, (std::multiset<std::pair<std::string, std::string>>{
                        {"TREE", "A"}, {"TREE", "C"}, {"WALL", "B"}}));

  options.target = dir_ / "codes.geojson";
  options.format = GisFormat::kGeoJson;
  const GisResult one = ExportGis(points, options);
  EXPECT_FALSE(one.ok);
  EXPECT_EQ(one.message, std::string("GeoJSON") + kGisOneLayerMessage);
  EXPECT_FALSE(fs::exists(options.target));
}

TEST_F(GisExportTest, FailuresLeaveTheUsersFileAlone) {
  const fs::path target = dir_ / "job.kml";
  { std::ofstream(target) << "old"; }
  struct Case {
    const char* label;
    std::vector<SurveyPoint> points;
    const char* crs;
    fs::path target;
    std::string start;
  };
  const Case cases[] = {
      {"no points", {}, "EPSG:28992", target, kGisNoPointsMessage},
      {"missing folder", Survey(), "EPSG:28992", dir_ / "none" / "job.kml", kGisCannotSaveMessage},
  };
  for (const Case& c : cases) {
    GisExportOptions options;
    options.target = c.target;
    options.format = GisFormat::kKml;
    options.crs = Crs(c.crs);
    const GisResult r = ExportGis(c.points, options);
    EXPECT_FALSE(r.ok) << c.label;
    EXPECT_EQ(r.message.rfind(c.start, 0), 0u) << c.label << ": " << r.message;
  }
  // The disk fails while the new file is written: the old one stays.
  SetReplaceStepHook(
      [](ReplaceStep step, const fs::path&) { return step == ReplaceStep::Sync ? 28 : 0; });
  GisExportOptions options;
  options.target = target;
  options.format = GisFormat::kKml;
  options.crs = Crs("EPSG:28992");
  const GisResult r = ExportGis(Survey(), options);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message.rfind(kGisCannotSaveMessage, 0), 0u) << r.message;
  std::ifstream in(target);
  std::string kept;
  std::getline(in, kept);
  EXPECT_EQ(kept, "old");
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(dir_)) files.insert(entry.path().filename());
  EXPECT_EQ(files, std::set<std::string>{"job.kml"});
}

// What another program left beside an old file, and would not match the new one, goes.
TEST_F(GisExportTest, StaleCompanionsOfTheOldFileGo) {
  struct Case {
    GisFormat format;
    const char* file;
    std::vector<const char*> stale;
  };
  const Case cases[] = {
      {GisFormat::kShapefile, "job.shp", {"job.qix", "job.sbn", "job.sbx"}},
      {GisFormat::kGeoPackage, "job.gpkg", {"job.gpkg-wal", "job.gpkg-shm", "job.gpkg-journal"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    for (const char* name : c.stale) std::ofstream(dir_ / name) << "old";
    std::ofstream(dir_ / "job.txt") << "mine";
    GisExportOptions options;
    options.target = dir_ / c.file;
    options.format = c.format;
    options.crs = Crs("EPSG:28992");
    ASSERT_TRUE(ExportGis(Survey(), options).ok);
    for (const char* name : c.stale) EXPECT_FALSE(fs::exists(dir_ / name)) << name;
    EXPECT_TRUE(fs::exists(dir_ / "job.txt"));
    EXPECT_EQ(testing::ReadWithGdal(options.target).features.size(), 3u);
  }
}

TEST(GisFormatsTest, ByExtensionInAnyCase) {
  struct Case {
    const char* path;
    const char* name;
  };
  const Case cases[] = {{"a.gpkg", "GeoPackage"}, {"b/C.GeoJSON", "GeoJSON"}, {"x.KML", "KML"},
                        {"y.shp", "Shapefile"},   {"z.csv", "CSV with WKT"},  {"z.dxf", nullptr},
                        {"noext", nullptr}};
  for (const Case& c : cases) {
    const GisFormatRow* row = GisFormatForPath(c.path);
    EXPECT_EQ(std::string(row ? row->name : ""), std::string(c.name ? c.name : "")) << c.path;
  }
  EXPECT_EQ(GisExtensionList(), ".gpkg, .geojson, .kml, .shp or .csv");
}

}  // namespace
}  // namespace kavex
