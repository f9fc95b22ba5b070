#include "kavex/gis/gis_import.h"

#include <gtest/gtest.h>

#include <fstream>

#include "kavex/formats/point_lists.h"
#include "kavex/gis/gis_export.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;

CoordinateSystem Crs(const char* text) {
  std::string message;
  return CoordinateSystem::Resolve(text, message).value();
}

class GisImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kavex-gis-import-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const char* name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return (dir_ / name).string();
  }
  fs::path dir_;
};

// Export, import, and the points file the upload reads: the same points to the millimetre,
// in every format, KML's trip through WGS 84 included.
TEST_F(GisImportTest, RoundTripThroughEveryFormat) {
  const std::vector<SurveyPoint> points = {
      {"P1", "", 463000.125, 155000.5, 1.234, 0},
      {"B 7", "", 463010.0, 155020.75, -0.5, 1},
      {"NOZ", "", 463100.0, 155100.0, std::nullopt, 2},
  };
  for (const GisFormatRow& row : GisFormats()) {
    SCOPED_TRACE(row.name);
    GisExportOptions options;
    options.target = dir_ / (std::string("trip") + row.extension);
    options.format = row.format;
    options.crs = Crs("EPSG:28992");
    ASSERT_TRUE(ExportGis(points, options).ok);
    const GisImport back = ImportGis(options.target.string(), Crs("EPSG:28992"));
    ASSERT_TRUE(back.ok) << back.message;
    EXPECT_TRUE(back.notes.empty());
    const std::vector<std::string> lines = PointsFileLines(back.points);
    ASSERT_EQ(lines.size(), points.size());
    for (size_t i = 0; i < points.size(); ++i) {
      PointsLine parsed;
      ASSERT_TRUE(ParsePointsLine(lines[i], true, parsed)) << lines[i];
      EXPECT_EQ(parsed.name, points[i].name);
      EXPECT_NEAR(parsed.y, points[i].easting, 0.0005) << lines[i];
      EXPECT_NEAR(parsed.x, points[i].northing, 0.0005) << lines[i];
      // A Shapefile gives every point a Z once one has it.
      if (points[i].height || row.format == GisFormat::kShapefile)
        EXPECT_NEAR(parsed.z, points[i].height.value_or(0), 0.0005) << lines[i];
      else
        EXPECT_TRUE(parsed.texts[2].empty()) << lines[i];
    }
    for (const auto& f : fs::directory_iterator(dir_)) fs::remove(f.path());
  }
}

TEST_F(GisImportTest, NamesAndRefusals) {
  const std::string head = R"({"type":"FeatureCollection","features":[)";
  const auto feature = [](const std::string& props, const std::string& geometry) {
    return R"({"type":"Feature","properties":{)" + props + R"(},"geometry":)" + geometry + "}";
  };
  const std::string at = "[5.3872,52.1552]";
  struct Case {
    const char* label;
    std::string features;
    std::vector<std::string> names;  // empty: refused
    std::string message;
  };
  const Case cases[] = {
      {"multipoint and nameless",
       feature(R"("name":"MP")", R"({"type":"MultiPoint","coordinates":[)" + at + "," + at + "]}") +
           "," + feature("", R"({"type":"Point","coordinates":)" + at + "}"),
       {"MP-1", "MP-2", "1"},
       ""},
      {"code and blanks trimmed",
       feature(R"("NAME":"  S9 ","Code":"TREE")", R"({"type":"Point","coordinates":)" + at + "}"),
       {"S9"},
       ""},
      {"too long",
       feature(R"("name":"ELEVENCHARS")", R"({"type":"Point","coordinates":)" + at + "}"),
       {},
       std::string(kGisNameTooLongMessage) + "ELEVENCHARS."},
      {"bad character",
       feature(R"("name":"A,B")", R"({"type":"Point","coordinates":)" + at + "}") + "," +
           feature(R"("name":"\u00e9t\u00e9")", R"({"type":"Point","coordinates":)" + at + "}"),
       {},
       std::string(kGisNameCharacterMessage) + "A,B, \xc3\xa9t\xc3\xa9."},
      {"nothing", feature(R"("name":"X")", "null"), {}, kGisNoFeaturesMessage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string file = Write("in.geojson", head + c.features + "]}");
    const GisImport r = ImportGis(file, Crs("EPSG:28992"));
    std::vector<std::string> names;
    for (const GisImportPoint& p : r.points) names.push_back(p.name);
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(r.ok, !c.names.empty());
    EXPECT_EQ(r.message.rfind(c.message, 0), 0u) << r.message;
  }
}

// A CSV of coordinates or a DXF names no system: taken as the job's, and said so.
TEST_F(GisImportTest, FileWithoutSystemIsTakenAsTheJobs) {
  const std::string csv =
      Write("pts.csv", "Name,Easting,Northing,Height\nQ1,155000.5,463000.25,3\n");
  const GisImport r = ImportGis(csv, Crs("EPSG:28992"));
  ASSERT_TRUE(r.ok) << r.message;
  ASSERT_EQ(r.points.size(), 1u);
  EXPECT_EQ(r.points[0].name, "Q1");
  EXPECT_DOUBLE_EQ(r.points[0].easting, 155000.5);
  EXPECT_DOUBLE_EQ(r.points[0].northing, 463000.25);
  EXPECT_EQ(r.points[0].height, 3.0);
  EXPECT_EQ(r.notes.size(), 1u);
  const std::string dxf = Write("pts.dxf",
                                "0\nSECTION\n2\nENTITIES\n0\nPOINT\n8\n0\n10\n155000.5\n20\n"
                                "463000.25\n30\n3.0\n0\nENDSEC\n0\nEOF\n");
  const GisImport d = ImportGis(dxf, Crs("EPSG:28992"));
  ASSERT_TRUE(d.ok) << d.message;
  ASSERT_EQ(d.points.size(), 1u);
  EXPECT_DOUBLE_EQ(d.points[0].easting, 155000.5);
  EXPECT_DOUBLE_EQ(d.points[0].northing, 463000.25);
  ASSERT_EQ(d.notes.size(), 1u);
  EXPECT_NE(d.notes[0].find(std::string(kGisNoCrsNote) + "EPSG:28992."), std::string::npos);
}

}  // namespace
}  // namespace kavex
