#include "ulvo/gis/gis_export.h"

#include <gtest/gtest.h>

#include <set>

#include "ulvo/engine/replace_file.h"
#include "ulvo/tests/engine/engine_test_support.h"
#include "ulvo/tests/gis/gis_readback.h"

namespace ulvo {
namespace {

namespace fs = std::filesystem;

CoordinateSystem Crs(const char* text) {
  Message message{kGisCrsUnknown, {}};
  return CoordinateSystem::Resolve(text, message).value();
}

SurveyPoint Point(const char* name, double northing, double easting, std::optional<double> height,
                  const char* code = "") {
  SurveyPoint p;
  p.name = name;
  p.code = code;
  p.northing = northing;
  p.easting = easting;
  p.height = height;
  return p;
}

// Northing and easting far apart, so a file with them swapped cannot pass; a Latin-1 name.
const std::vector<SurveyPoint>& Survey() {
  static const std::vector<SurveyPoint> points = {
      Point("P1", 463000.125, 155000.5, 1.234, "TREE"),
      Point("P2", 463010.0, 155020.75, -0.5, "WALL"),
      Point("K\xe9", 463100.0, 155100.0, std::nullopt),
  };
  return points;
}

std::set<std::string> Files(const fs::path& dir) {
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) files.insert(entry.path().filename());
  return files;
}

// Each format read back by GDAL, through its library and its ogrinfo: the count, the system's
// code, easting first, the height, the attributes; KML in WGS 84 within a millimetre of
// PROJ's own gdaltransform.
TEST(GisExportTest, EveryFormatReadsBackWithEastingFirst) {
  const std::vector<std::pair<double, double>> en = {
      {155000.5, 463000.125}, {155020.75, 463010.0}, {155100.0, 463100.0}};
  const auto wgs84 = testing::GdalTransform("EPSG:28992", "EPSG:4326", en);
  ASSERT_EQ(wgs84.size(), 3u) << "gdaltransform (gdal-bin) gave no answer";
  struct Case {
    GisFormat format;
    const char* file;
    const char* epsg;
    std::set<std::string> files;
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
    test::TempDir dir;
    GisExportOptions options;
    options.target = dir / c.file;
    options.format = c.format;
    options.crs = Crs("EPSG:28992");
    // The system names files in UTF-8: the name as it is, not taken for Latin-1.
    options.sourceName =
        "j\xc3\xb6"
        "b.csv";
    const GisResult result = ExportGis(Survey(), options);
    ASSERT_TRUE(result.ok) << DefaultText(result.message);
    EXPECT_EQ(result.points, 3u);
    EXPECT_EQ(Files(dir.Path()), c.files);

    const testing::ReadBack back = testing::ReadWithGdal(options.target);
    ASSERT_TRUE(back.opened);
    ASSERT_EQ(back.epsg.size(), 1u);
    EXPECT_EQ(back.epsg[0], c.epsg);
    ASSERT_EQ(back.features.size(), 3u);
    const bool degrees = c.format == GisFormat::kKml;
    for (size_t i = 0; i < 3; ++i) {
      const testing::ReadFeature& f = back.features[i];
      // A millimetre is about 9e-9 degrees of latitude, and more of longitude.
      EXPECT_NEAR(f.x, degrees ? wgs84[i].first : en[i].first, degrees ? 9e-9 : 1e-6) << i;
      EXPECT_NEAR(f.y, degrees ? wgs84[i].second : en[i].second, degrees ? 9e-9 : 1e-6) << i;
      EXPECT_EQ(f.name, i == 2 ? "K\xc3\xa9" : Survey()[i].name);
      EXPECT_EQ(f.code, Survey()[i].code);
      EXPECT_EQ(f.source,
                "j\xc3\xb6"
                "b.csv");
      if (Survey()[i].height) {
        ASSERT_TRUE(f.z) << i;
        EXPECT_NEAR(*f.z, *Survey()[i].height, 1e-9);
      } else if (c.format != GisFormat::kShapefile) {
        // A Shapefile's points are all 3D once one is.
        EXPECT_FALSE(f.z) << i;
      }
    }
    const std::string info = testing::OgrInfo(options.target, false);
    EXPECT_NE(info.find("Feature Count: 3"), std::string::npos) << info;
    // KML keeps the name as its own "Name".
    EXPECT_NE(info.find("ame (String) = K\xc3\xa9"), std::string::npos) << info;
    EXPECT_NE(info.find("code (String) = WALL"), std::string::npos) << info;
  }
}

TEST(GisExportTest, LayerPerCode) {
  test::TempDir dir;
  GisExportOptions options;
  options.target = dir / "codes.kml";
  options.format = GisFormat::kKml;
  options.crs = Crs("EPSG:28992");
  options.layerByCode = true;
  ASSERT_TRUE(ExportGis(Survey(), options).ok);
  std::multiset<std::pair<std::string, std::string>> layers;
  for (const auto& f : testing::ReadWithGdal(options.target).features)
    layers.insert({f.layer, f.name});
  EXPECT_EQ(layers, (std::multiset<std::pair<std::string, std::string>>{
                        {"TREE", "P1"}, {"WALL", "P2"}, {"codes", "K\xc3\xa9"}}));
}

// Each refusal named, and the user's file as it was.
TEST(GisExportTest, RefusalsAreNamedAndLeaveTheFileAlone) {
  test::TempDir dir;
  const fs::path target = dir / "job.geojson";
  test::WriteBytes(target, "old");
  struct Case {
    const char* label;
    std::vector<SurveyPoint> points;
    const char* crs;
    GisFormat format;
    bool byCode;
    fs::path target;
    const char* key;
    std::string argument;
  };
  const Case cases[] = {
      {"no points",
       {},
       "EPSG:28992",
       GisFormat::kGeoJson,
       false,
       target,
       kGisNoPoints.key,
       "in.csv"},
      {"geographic job", Survey(), "EPSG:4326", GisFormat::kGeoJson, false, target,
       kGisCrsNotPlanar.key, "EPSG:4326"},
      {"one layer", Survey(), "EPSG:28992", GisFormat::kGeoJson, true, target, kGisOneLayer.key,
       "GeoJSON"},
      // Far outside the Netherlands: PROJ has no road there, and no guess is taken.
      {"out of the domain",
       {Survey()[0], Point("FAR", 1e12, 1e12, 0)},
       "EPSG:28992",
       GisFormat::kKml,
       false,
       dir / "far.kml",
       kGisCrsNoTransformation.key,
       "EPSG:28992 to EPSG:4326"},
      // The best road from the British grid needs OSTN15, which PROJ's data here lacks.
      {"missing grid",
       {Point("LON", 180000, 530000, 10)},
       "EPSG:27700",
       GisFormat::kKml,
       false,
       dir / "uk.kml",
       kGisCrsMissingGrid.key,
       "uk_os_OSTN15_NTv2_OSGBtoETRS.tif"},
      {"no file name", Survey(), "EPSG:28992", GisFormat::kGeoJson, false, dir.Path() / "",
       kGisCannotWrite.key, (dir.Path() / "").string()},
      {"missing folder", Survey(), "EPSG:28992", GisFormat::kGeoJson, false,
       dir / "none" / "job.geojson", kGisCannotSave.key, (dir / "none" / "job.geojson").string()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    GisExportOptions options;
    options.target = c.target;
    options.format = c.format;
    options.crs = Crs(c.crs);
    options.layerByCode = c.byCode;
    options.sourceName = "in.csv";
    const GisResult r = ExportGis(c.points, options);
    EXPECT_FALSE(r.ok);
    EXPECT_STREQ(r.message.text.key, c.key) << DefaultText(r.message);
    EXPECT_EQ(r.message.argument, c.argument);
  }
  // The disk fails while the new file is written: the old one stays, nothing beside it.
  SetReplaceStepHook(
      [](ReplaceStep step, const fs::path&) { return step == ReplaceStep::Sync ? 28 : 0; });
  GisExportOptions options;
  options.target = target;
  options.format = GisFormat::kGeoJson;
  options.crs = Crs("EPSG:28992");
  const GisResult r = ExportGis(Survey(), options);
  SetReplaceStepHook({});
  EXPECT_FALSE(r.ok);
  EXPECT_STREQ(r.message.text.key, kGisCannotSave.key);
  EXPECT_EQ(test::ReadBytes(target), "old");
  EXPECT_EQ(Files(dir.Path()), std::set<std::string>{"job.geojson"});
}

TEST(GisExportTest, CoordinateSystemsByCodeNameAndCompound) {
  struct Case {
    const char* text;
    const char* code;  // empty: refused with key
    const char* key;
  };
  const Case cases[] = {
      {"EPSG:28992", "EPSG:28992", ""},          {"RD New", "EPSG:28992", ""},
      {"28992+5709", "EPSG:7415", ""},           {"ETRS89 / UTM zone 32N", "EPSG:25832", ""},
      {"EPSG:99999999", "", kGisCrsUnknown.key}, {"EPSG:28992+4326", "", kGisCrsNoVertical.key},
      {"UTM zone", "", kGisCrsAmbiguous.key},    {"", "", kGisCrsMissing.key},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Message message{kGisCrsUnknown, {}};
    const std::optional<CoordinateSystem> crs = CoordinateSystem::Resolve(c.text, message);
    if (*c.code) {
      ASSERT_TRUE(crs) << DefaultText(message);
      EXPECT_EQ(crs->Code(), c.code);
    } else {
      EXPECT_FALSE(crs);
      EXPECT_STREQ(message.text.key, c.key);
    }
  }
  // NAP heights to ellipsoidal ones need the Dutch geoid, which PROJ's data here lacks: the
  // grid is named, no guess is made.
  Message message{kGisCrsUnknown, {}};
  EXPECT_FALSE(
      Reprojection::Make(Crs("EPSG:7415"), Crs("EPSG:4979"), {{155000, 463000, 1}}, message));
  EXPECT_STREQ(message.text.key, kGisCrsMissingGrid.key);
  EXPECT_NE(message.argument.find("nlgeo"), std::string::npos) << message.argument;
}

}  // namespace
}  // namespace ulvo
