// kavex-cli export and import, read back with GDAL's own tools (gdal-bin).
#include <gtest/gtest.h>

#include <string>

#include "kavex/tests/cli/cli_fixture.h"

namespace kavex::testing {
namespace {

class GisCliTest : public CliFixture {
 protected:
  // What ogrinfo says of a file: its summary (-so) or every feature.
  std::string OgrInfo(const std::string& file, bool summary) {
    const std::string command = "ogrinfo -al " + std::string(summary ? "-so " : "-q ") +
                                (dir / file).string() + " >" + (dir / "ogrinfo").string() + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return Read("ogrinfo");
  }
};

// The points file of a small job: name, Y (easting), X (northing), Z.
constexpr const char* kJob =
    "P1,155000.5,463000.125,1.234\r\n"
    "P2,155020.75,463010,-0.5\r\n";

TEST_F(GisCliTest, ExportReadsBackWithOgrinfo) {
  // The same points as QRX-6 coordinate blocks, made by the coordinate conversion.
  const std::string pts = Write("job.pts", kJob);
  ASSERT_EQ(Run("convert coords " + pts + " -o " + (dir / "job.qr6").string()), 0);
  struct Case {
    const char* input;
    const char* output;
    const char* epsg;
    const char* firstPoint;  // easting first
  };
  const Case cases[] = {
      {"job.pts", "a.gpkg", "ID[\"EPSG\",28992]", "POINT Z (155000.5 463000.125 1.234)"},
      {"job.qr6", "b.geojson", "ID[\"EPSG\",28992]", "POINT Z (155000.5 463000.125 1.234)"},
      {"job.qr6", "c.shp", "ID[\"EPSG\",28992]", "POINT Z (155000.5 463000.125 1.234)"},
      {"job.pts", "d.csv", "ID[\"EPSG\",28992]", "POINT Z (155000.5 463000.125 1.234)"},
      // RD New's origin point lies where Amersfoort's tower stands.
      {"job.pts", "e.kml", "ID[\"EPSG\",4326]", "POINT Z (5.387"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    ASSERT_EQ(Run(std::string("export ") + (dir / c.input).string() + " -o " +
                  (dir / c.output).string() + " --crs EPSG:28992"),
              0)
        << Read("stderr");
    const std::string summary = OgrInfo(c.output, true);
    EXPECT_NE(summary.find("Feature Count: 2"), std::string::npos) << summary;
    EXPECT_NE(summary.find(c.epsg), std::string::npos) << summary;
    const std::string features = OgrInfo(c.output, false);
    EXPECT_NE(features.find(c.firstPoint), std::string::npos) << features;
    EXPECT_NE(features.find("ame (String) = P2"), std::string::npos) << features;
    EXPECT_NE(features.find(std::string("source (String) = ") + c.input), std::string::npos);
  }
}

TEST_F(GisCliTest, ImportGivesAPointsFile) {
  // A design in WGS 84: a point, a line and a closed polygon, written by hand.
  Write(
      "design.geojson",
      R"({"type":"FeatureCollection","features":[)"
      R"({"type":"Feature","properties":{"name":"S1"},"geometry":{"type":"Point","coordinates":[5.38720350848315,52.1551723025768,2.5]}},)"
      R"({"type":"Feature","properties":{"name":"KERB"},"geometry":{"type":"LineString","coordinates":[[5.38720350848315,52.1551723025768],[5.38720350848315,52.1551723025768]]}},)"
      R"({"type":"Feature","properties":{"Name":"LOT"},"geometry":{"type":"Polygon","coordinates":[[[5.38720350848315,52.1551723025768],[5.38720350848315,52.1551723025768],[5.38720350848315,52.1551723025768],[5.38720350848315,52.1551723025768]]]}})"
      "]}");
  ASSERT_EQ(Run("import " + (dir / "design.geojson").string() + " --crs \"RD New\" -o " +
                (dir / "design.pts").string()),
            0)
      << Read("stderr");
  // gdaltransform -s_srs EPSG:4326 -t_srs EPSG:28992 gives 155000.000122 463000.000600.
  EXPECT_EQ(Read("design.pts"),
            "S1,155000.000,463000.001,2.500\r\n"
            "KERB-1,155000.000,463000.001\r\n"
            "KERB-2,155000.000,463000.001\r\n"
            "LOT-1,155000.000,463000.001\r\n"
            "LOT-2,155000.000,463000.001\r\n"
            "LOT-3,155000.000,463000.001\r\n");
  // The list goes on to the instrument's blocks as any points file does.
  EXPECT_EQ(Run("convert coords " + (dir / "design.pts").string()), 0) << Read("stderr");
}

TEST_F(GisCliTest, RefusalsNameTheirCause) {
  Write("job.pts", kJob);
  Write(
      "long.geojson",
      R"({"type":"FeatureCollection","features":[)"
      R"({"type":"Feature","properties":{"name":"BOUNDARY"},"geometry":{"type":"LineString","coordinates":[)"
      R"([5.38,52.15],[5.38,52.15],[5.38,52.15],[5.38,52.15],[5.38,52.15],[5.38,52.15],[5.38,52.15],[5.38,52.15],[5.38,52.15],[5.38,52.15]]}}]})");
  Write("empty.pts", "");
  struct Case {
    std::string args;
    int status;
    std::string error;
  };
  const std::string d = dir.string() + "/";
  const Case cases[] = {
      {"export " + d + "job.pts -o " + d + "x.gpkg", 2, "missing --crs"},
      {"export " + d + "job.pts -o " + d + "x.dwg --crs EPSG:28992", 2,
       "Not a GIS file format Kavex writes: "},
      {"export " + d + "job.pts -o " + d + "x.gpkg --crs EPSG:999999", 1,
       "Coordinate system not known to PROJ: EPSG:999999\n"},
      {"export " + d + "job.pts -o " + d + "x.gpkg --crs EPSG:4326", 1,
       "The job's coordinates are metres or feet on a map grid"},
      {"export " + d + "empty.pts -o " + d + "x.gpkg --crs EPSG:28992", 1,
       "No points with coordinates in the data.\n"},
      {"export " + d + "job.pts -o " + d + "none/x.gpkg --crs EPSG:28992", 1, "Saving Aborted.\n"},
      {"import " + d + "job.pts --crs EPSG:28992", 1, "GDAL cannot read "},
      // The tenth vertex's name has eleven characters: the file is refused, never cut.
      {"import " + d + "long.geojson --crs EPSG:28992", 1,
       "Point names longer than the instrument's 10 characters: BOUNDARY-10.\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.args), c.status) << c.args;
    EXPECT_NE(Read("stderr").find(c.error), std::string::npos) << c.args << "\n" << Read("stderr");
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "x.gpkg"));
}

}  // namespace
}  // namespace kavex::testing
