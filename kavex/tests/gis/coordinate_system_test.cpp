#include "kavex/gis/coordinate_system.h"

#include <gtest/gtest.h>

#include <cmath>

#include "kavex/tests/gis/gis_readback.h"

namespace kavex {
namespace {

TEST(CrsCodeTest, ReadsCodesOnly) {
  struct Case {
    const char* text;
    bool ok;
    int horizontal, vertical;
  };
  const Case cases[] = {
      {"EPSG:28992", true, 28992, 0},
      {"  epsg:28992 ", true, 28992, 0},
      {"28992", true, 28992, 0},
      {"EPSG:28992+5709", true, 28992, 5709},
      {"EPSG:28992+EPSG:5709", true, 28992, 5709},
      {"EPSG:", false, 0, 0},
      {"EPSG:28992+", false, 0, 0},
      {"EPSG:-1", false, 0, 0},
      {"EPSG:0", false, 0, 0},
      {"EPSG:1234567890", false, 0, 0},
      {"RD New", false, 0, 0},
      {"EPSG:28992x", false, 0, 0},
      {"", false, 0, 0},
  };
  for (const Case& c : cases) {
    const std::optional<CrsCode> code = ParseCrsCode(c.text);
    ASSERT_EQ(code.has_value(), c.ok) << c.text;
    if (!code) continue;
    EXPECT_EQ(code->horizontal, c.horizontal) << c.text;
    EXPECT_EQ(code->vertical, c.vertical) << c.text;
  }
}

TEST(CoordinateSystemTest, ResolvesCodesNamesAndCompounds) {
  struct Case {
    const char* text;
    const char* code;
    const char* name;
  };
  const Case cases[] = {
      {"EPSG:28992", "EPSG:28992", "Amersfoort / RD New"},
      {"RD New", "EPSG:28992", "Amersfoort / RD New"},
      {"etrs89 / utm zone 32n", "EPSG:25832", "ETRS89 / UTM zone 32N"},
      {"British National Grid", "EPSG:27700", "OSGB36 / British National Grid"},
      // PROJ's list has the compound of RD New and NAP height: its own code is used.
      {"EPSG:28992+5709", "EPSG:7415", "Amersfoort / RD New + NAP height"},
      // No registered compound of these two: one is made, named by both codes.
      {"EPSG:25832+5709", "EPSG:25832+5709", "ETRS89 / UTM zone 32N + NAP height"},
  };
  for (const Case& c : cases) {
    std::string message;
    const std::optional<CoordinateSystem> crs = CoordinateSystem::Resolve(c.text, message);
    ASSERT_TRUE(crs) << c.text << ": " << message;
    EXPECT_EQ(crs->Code(), c.code) << c.text;
    EXPECT_EQ(crs->Name(), c.name) << c.text;
  }
}

TEST(CoordinateSystemTest, RefusesWhatProjDoesNotKnow) {
  struct Case {
    const char* text;
    std::string message;
  };
  const Case cases[] = {
      {"EPSG:999999", std::string(kCrsUnknownMessage) + "EPSG:999999"},
      {"No Such System Anywhere", std::string(kCrsUnknownMessage) + "No Such System Anywhere"},
      {"UTM zone 32N", std::string(kCrsAmbiguousMessage) + "UTM zone 32N"},
      {"EPSG:28992+4326", std::string(kCrsNoVerticalMessage) + "EPSG:4326"},
      {"   ", kCrsMissingMessage},
  };
  for (const Case& c : cases) {
    std::string message;
    EXPECT_FALSE(CoordinateSystem::Resolve(c.text, message)) << c.text;
    EXPECT_EQ(message, c.message);
  }
}

TEST(CoordinateSystemTest, SearchFindsEveryWordInUseFirst) {
  const std::vector<CrsEntry> found = SearchCoordinateSystems("rd NEW");
  ASSERT_FALSE(found.empty());
  bool seenDeprecated = false;
  bool hasRdNew = false;
  for (const CrsEntry& e : found) {
    EXPECT_NE(e.name.find("RD New"), std::string::npos) << e.name;
    EXPECT_FALSE(seenDeprecated && !e.deprecated) << e.code << " after a deprecated one";
    seenDeprecated = seenDeprecated || e.deprecated;
    hasRdNew = hasRdNew || e.code == "EPSG:28992";
  }
  EXPECT_TRUE(hasRdNew);
  EXPECT_EQ(SearchCoordinateSystems("28992").front().code, "EPSG:28992");
  EXPECT_EQ(SearchCoordinateSystems("utm", 3).size(), 3u);
  EXPECT_TRUE(SearchCoordinateSystems("  ").empty());
}

CoordinateSystem Crs(const char* text) {
  std::string message;
  return CoordinateSystem::Resolve(text, message).value();
}

// Control points against PROJ's own tool, in two systems, one of them through a grid.
TEST(ReprojectionTest, AgreesWithGdaltransform) {
  struct Case {
    const char* from;
    std::vector<std::pair<double, double>> points;
  };
  const Case cases[] = {
      {"EPSG:28992", {{155000, 463000}, {121687.5, 487484.3}, {233883.131, 582065.167}}},
      {"EPSG:31467", {{3500000, 5400000}, {3565000.25, 5933000.75}}},
  };
  for (const Case& c : cases) {
    std::vector<GroundPoint> samples;
    for (const auto& [e, n] : c.points) samples.push_back({e, n, 0});
    std::string message;
    const auto r = Reprojection::Make(Crs(c.from), CoordinateSystem::Wgs84(), samples, message);
    ASSERT_TRUE(r) << message;
    const auto expected = testing::GdalTransform(c.from, "EPSG:4326", c.points);
    ASSERT_EQ(expected.size(), c.points.size()) << "gdaltransform (gdal-bin) gave no answer";
    for (size_t i = 0; i < samples.size(); ++i) {
      GroundPoint p = samples[i];
      ASSERT_TRUE(r->Apply(p));
      // A millimetre is about 9e-9 degrees of latitude, and more of longitude.
      EXPECT_NEAR(p[0], expected[i].first, 9e-9) << c.from << " point " << i;
      EXPECT_NEAR(p[1], expected[i].second, 9e-9) << c.from << " point " << i;
    }
  }
}

TEST(ReprojectionTest, RefusesMissingGridsAndGuesses) {
  struct Case {
    const char* from;
    const char* to;
    std::string start;
    const char* named;
  };
  const Case cases[] = {
      // NAP heights to ellipsoidal ones need the Dutch geoid, which proj-data lacks.
      {"EPSG:7415", "EPSG:4979", kCrsMissingGridMessage, "nl_nsgi_nlgeo2018.tif"},
      {"EPSG:5709", "EPSG:5703", kCrsNoTransformationMessage, "EPSG:5709 to EPSG:5703"},
  };
  for (const Case& c : cases) {
    std::string message;
    EXPECT_FALSE(Reprojection::Make(Crs(c.from), Crs(c.to), {{155000, 463000, 1}}, message));
    EXPECT_EQ(message.rfind(c.start, 0), 0u) << message;
    EXPECT_NE(message.find(c.named), std::string::npos) << message;
  }
}

TEST(ReprojectionTest, SameSystemLeavesPointsAlone) {
  std::string message;
  const auto r = Reprojection::Make(Crs("EPSG:28992"), Crs("RD New"), {}, message);
  ASSERT_TRUE(r);
  GroundPoint p{1.5, 2.5, 3.5};
  EXPECT_TRUE(r->Apply(p));
  EXPECT_EQ(p, (GroundPoint{1.5, 2.5, 3.5}));
}

}  // namespace
}  // namespace kavex
