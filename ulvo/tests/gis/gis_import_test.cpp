#include "ulvo/gis/gis_import.h"

#include <gtest/gtest.h>

#include "ulvo/gis/gis_commands.h"
#include "ulvo/gis/gis_document.h"
#include "ulvo/gis/gis_export.h"
#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

namespace fs = std::filesystem;

CoordinateSystem Crs(const char* text) {
  Message message{kGisCrsUnknown, {}};
  return CoordinateSystem::Resolve(text, message).value();
}

// The shipped formats, as a user's program folder has them.
FormatList& Shipped() {
  static FormatList formats = [] {
    FormatList f;
    f.Refresh(ULVO_DATA_DIR);
    return f;
  }();
  return formats;
}

const char* const kCoordinateFormats[] = {"Point list (comma-separated)",
                                          "Point list (fixed columns)", "ITF00 coordinates",
                                          "Point list (example to edit)"};

// Export, import into each shipped coordinate format, and that file read back with its own
// format: the same points to the millimetre those formats write, KML's trip through WGS 84
// included.
TEST(GisImportTest, RoundTripThroughEveryFormatIntoEveryShippedFormat) {
  std::vector<SurveyPoint> points(3);
  points[0] = {"P1", "TREE", 463000.125, 155000.5, 1.234, 0};
  points[1] = {"B 7", "", 463010.0, 155020.75, -0.5, 1};
  points[2] = {"K\xe9", "WALL", 463100.0, 155100.0, 0.0, 2};
  for (const GisFormatRow& row : GisFormats()) {
    for (const char* name : kCoordinateFormats) {
      SCOPED_TRACE(std::string(row.name) + " into " + name);
      test::TempDir dir;
      GisExportOptions options;
      options.target = dir / (std::string("trip") + row.extension);
      options.format = row.format;
      options.crs = Crs("EPSG:28992");
      ASSERT_TRUE(ExportGis(points, options).ok);
      GisImportRequest request;
      request.input = options.target;
      request.crs = "EPSG:28992";
      request.targetFormat = name;
      request.output = dir / "out.txt";
      const GisOutcome outcome = ImportGisToFile(Shipped(), {}, request);
      ASSERT_TRUE(outcome.ok) << GisMessageLine(outcome.message);
      EXPECT_TRUE(outcome.notes.empty());

      FormatDefinition& format = *Shipped().Find(name);
      DocumentPoints back;
      ASSERT_TRUE(ReadFilePoints(format, request.output, PlanElements{}, back, nullptr));
      ASSERT_EQ(back.points.size(), points.size());
      const bool codes = FindPointRecord(format, PlanElements{})->elements.size() == 5;
      for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(back.points[i].name, points[i].name);
        EXPECT_EQ(back.points[i].code, codes ? points[i].code : "");
        EXPECT_NEAR(back.points[i].northing, points[i].northing, 0.0005) << i;
        EXPECT_NEAR(back.points[i].easting, points[i].easting, 0.0005) << i;
        ASSERT_TRUE(back.points[i].height) << i;
        EXPECT_NEAR(*back.points[i].height, *points[i].height, 0.0005) << i;
      }
    }
  }
}

// Lines and polygons as their vertices, names as the file gives them; what a format cannot
// hold refused and named, the target file as it was.
TEST(GisImportTest, VerticesNamesAndRefusals) {
  const std::string head = R"({"type":"FeatureCollection","features":[)";
  const auto feature = [](const std::string& props, const std::string& geometry) {
    return R"({"type":"Feature","properties":{)" + props + R"(},"geometry":)" + geometry + "}";
  };
  const auto point = [](const char* at) {
    return std::string(R"({"type":"Point","coordinates":)") + at + "}";
  };
  const char* at = "[5.3872,52.1552,1]";
  struct Case {
    const char* label;
    std::string features;
    const char* format;
    std::vector<std::string> names;  // empty: refused with key
    const char* key;
    std::string argument;
  };
  const Case cases[] = {
      {"line, polygon, multipoint, nameless",
       feature(R"("name":"WALL")",
               R"({"type":"LineString","coordinates":[[5.3872,52.1552,1],[5.3873,52.1553,1]]})") +
           "," +
           feature(R"("name":"PLOT","code":"P")",
                   R"({"type":"Polygon","coordinates":[[[5.3872,52.1552,1],[5.3873,52.1552,1],)"
                   R"([5.3873,52.1553,1],[5.3872,52.1552,1]]]})") +
           "," +
           feature(R"("NAME":" MP ")",
                   R"({"type":"MultiPoint","coordinates":[)" + std::string(at) + "," + at + "]}") +
           "," + feature("", point(at)),
       kCoordinateFormats[0],
       {"WALL-1", "WALL-2", "PLOT-1", "PLOT-2", "PLOT-3", "MP-1", "MP-2", "3"},
       "",
       ""},
      {"too wide for the fixed name",
       feature(R"("name":"ELEVENCHARS")", point(at)),
       kCoordinateFormats[1],
       {},
       kGisTooWide.key,
       "ELEVENCHARS (NR)"},
      {"no height for a record that needs one",
       feature(R"("name":"A")", point(at)) + "," +
           feature(R"("name":"NOZ")", point("[5.3872,52.1552]")),
       kCoordinateFormats[2],
       {},
       kGisNotWritable.key,
       "NOZ"},
      {"a character beyond Latin-1",
       feature(R"("name":"\u4e00")", point(at)),
       kCoordinateFormats[0],
       {},
       kGisNameCharacter.key,
       "\xe4\xb8\x80"},
      {"a control character",
       feature(R"("name":"A\u0007B")", point(at)),
       kCoordinateFormats[0],
       {},
       kGisNameCharacter.key,
       "AB"},
      {"nothing",
       feature(R"("name":"X")", "null"),
       kCoordinateFormats[0],
       {},
       kGisNoFeatures.key,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    test::TempDir dir;
    test::WriteBytes(dir / "in.geojson", head + c.features + "]}");
    test::WriteBytes(dir / "out.txt", "old");
    GisImportRequest request;
    request.input = dir / "in.geojson";
    request.crs = "EPSG:28992";
    request.targetFormat = c.format;
    request.output = dir / "out.txt";
    const GisOutcome outcome = ImportGisToFile(Shipped(), {}, request);
    EXPECT_EQ(outcome.ok, !c.names.empty()) << GisMessageLine(outcome.message);
    if (c.names.empty()) {
      EXPECT_STREQ(outcome.message.text.key, c.key);
      if (!c.argument.empty()) {
        EXPECT_EQ(outcome.message.argument, c.argument);
      }
      EXPECT_EQ(test::ReadBytes(request.output), "old");
      continue;
    }
    DocumentPoints back;
    ASSERT_TRUE(
        ReadFilePoints(*Shipped().Find(c.format), request.output, PlanElements{}, back, nullptr));
    std::vector<std::string> names;
    for (const SurveyPoint& p : back.points) names.push_back(p.name);
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(back.points[3].code, "P");
  }
}

// A CSV of coordinates or a DXF names no system: taken as the job's, and said so.
TEST(GisImportTest, FileWithoutSystemIsTakenAsTheJobs) {
  test::TempDir dir;
  const struct {
    const char* file;
    std::string text;
  } cases[] = {
      {"pts.csv", "Name,Easting,Northing,Height\nQ1,155000.5,463000.25,3\n"},
      {"pts.dxf",
       "0\nSECTION\n2\nENTITIES\n0\nPOINT\n8\n0\n10\n155000.5\n20\n463000.25\n30\n3.0\n0\nENDSEC\n"
       "0\nEOF\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    test::WriteBytes(dir / c.file, c.text);
    const GisImport r = ImportGis((dir / c.file).string(), Crs("EPSG:28992"));
    ASSERT_TRUE(r.ok) << GisMessageLine(r.message);
    ASSERT_EQ(r.points.size(), 1u);
    EXPECT_DOUBLE_EQ(r.points[0].easting, 155000.5);
    EXPECT_DOUBLE_EQ(r.points[0].northing, 463000.25);
    EXPECT_EQ(r.points[0].height, 3.0);
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_STREQ(r.notes[0].text.key, kGisNoCrsNote.key);
  }
}

// A format whose records hold no northing and easting cannot take points.
TEST(GisImportTest, FormatWithoutPointRecordIsRefused) {
  test::TempDir dir;
  test::WriteBytes(
      dir / "f.xml",
      "<?xml version=\"1.0\"?>\n<format type=\"X\" name=\"Names\"><repeat><node><radio>"
      "<group id=\"PT\"><element id=\"NR\"/><literal hex=\"true\">0A</literal>"
      "</group></radio></node></repeat></format>\n");
  FormatDefinition format(dir / "f.xml");
  ASSERT_TRUE(format.Load()) << format.LoadError();
  const PointsWritten w = WriteGisPoints(format, PlanElements{}, {{"A", "", 1, 2, 3}}, dir / "o");
  EXPECT_FALSE(w.ok);
  EXPECT_STREQ(w.message.text.key, kGisNoPointRecord.key);
  EXPECT_FALSE(fs::exists(dir / "o"));
}

}  // namespace
}  // namespace ulvo
