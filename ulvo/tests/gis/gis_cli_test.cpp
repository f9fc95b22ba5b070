#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <deque>

#include "ulvo/gis/gis_commands.h"
#include "ulvo/tests/engine/engine_test_support.h"
#include "ulvo/tests/gis/gis_readback.h"

namespace ulvo {
namespace {

constexpr const char* kCsv = "Point list (comma-separated)";
// Millimetres and a code on every line: the form the point list is written in.
constexpr const char* kPoints =
    "P1,463000.125,155000.500,1.234,TREE\r\nP2,463010.000,155020.750,-0.500,WALL\r\n"
    "K\xe9,463100.000,155100.000,2.000,X\r\n";

// ulvo-cli, run as a user would.
class GisCli : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy(std::filesystem::path(ULVO_DATA_DIR) / "Formats", dir / "Formats");
    test::WriteBytes(dir / "in.csv", kPoints);
  }
  int Run(const std::string& arguments) {
    const std::string command =
        std::string("'") + SURVEY_BIN_DIR + "/ulvo-cli' --home '" + dir.Path().string() + "' " +
        arguments + " >'" + (dir / "stdout").string() + "' 2>'" + (dir / "stderr").string() + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Err() { return test::ReadBytes(dir / "stderr"); }
  std::string Path(const char* name) { return "'" + (dir / name).string() + "'"; }
  std::string Export(const char* output, const std::string& more = " --crs EPSG:28992") {
    return std::string("export --format '") + kCsv + "' " + Path("in.csv") + " -o " + Path(output) +
           more;
  }
  test::TempDir dir;
};

// Every extension, read back by ogrinfo; then imported into the point list again: the
// same bytes as the file the points came from.
TEST_F(GisCli, ExportEveryFormatAndImportTheSameFileBack) {
  for (const char* output : {"out.gpkg", "out.geojson", "out.kml", "out.shp", "out.csv"}) {
    SCOPED_TRACE(output);
    ASSERT_EQ(Run(Export(output)), 0) << Err();
    EXPECT_EQ(test::ReadBytes(dir / "stdout"),
              "Points written to GIS: 3 (" + (dir / output).string() + ")\n");
    const std::string summary = testing::OgrInfo(dir / output, true);
    EXPECT_NE(summary.find("Feature Count: 3"), std::string::npos) << summary;
    const bool kml = std::string(output) == "out.kml";
    EXPECT_NE(summary.find(kml ? "ID[\"EPSG\",4326]]" : "ID[\"EPSG\",28992]]"), std::string::npos)
        << summary;
    ASSERT_EQ(Run("import " + Path(output) + " --crs 'RD New' --format '" + kCsv + "' -o " +
                  Path("back.csv") + " --force"),
              0)
        << Err();
    EXPECT_EQ(test::ReadBytes(dir / "back.csv"), kPoints);
  }
}

TEST_F(GisCli, UsageFailuresAndTheElementChoice) {
  struct Case {
    std::string arguments;
    int status;
    const char* said;
  };
  const Case cases[] = {
      {Export("x.gpkg", ""), 2, "missing --crs"},
      {Export("x.dxf"), 2, "Not a GIS file format ULVO writes"},
      {Export("x.gpkg", " --crs EPSG:28992 --colour red"), 2, "unknown option '--colour'"},
      {"export " + Path("in.csv") + " -o " + Path("x.gpkg") + " --crs EPSG:28992", 2,
       "missing --format"},
      {Export("x.gpkg", " --crs 'Nowhere Grid'"), 1, "Coordinate system not known to PROJ"},
      {Export("x.geojson", " --crs EPSG:28992 --layer-by-code"), 1, "holds one layer"},
      {Export("x.gpkg", " --crs EPSG:28992 --northing Q"), 1, "No points with coordinates"},
      {"import " + Path("in.csv") + " --crs EPSG:28992 --format nothing -o " + Path("x.txt"), 1,
       "No format named nothing."},
      {"import " + Path("none.gpkg") + " --crs EPSG:28992 --format '" + kCsv + "' -o " +
           Path("x.txt"),
       1, "GDAL cannot read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(Run(c.arguments), c.status);
    EXPECT_NE(Err().find(c.said), std::string::npos) << Err();
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "x.gpkg"));
  EXPECT_FALSE(std::filesystem::exists(dir / "x.txt"));
  // An existing file is replaced only with --force, as convert does.
  test::WriteBytes(dir / "old.gpkg", "old");
  EXPECT_EQ(Run(Export("old.gpkg")), 1);
  EXPECT_NE(Err().find("This file already exists."), std::string::npos) << Err();
  EXPECT_EQ(test::ReadBytes(dir / "old.gpkg"), "old");
  EXPECT_EQ(Run(Export("old.gpkg", " --crs EPSG:28992 --force")), 0) << Err();

  // The Plan window's choice for the format: northing and easting the other way round.
  test::WriteBytes(dir / "Settings.xml",
                   std::string("<?xml version=\"1.0\"?>\r\n<settings><conversion><plan><format "
                               "name=\"") +
                       kCsv +
                       "\" northing=\"E\" easting=\"N\"/></plan></conversion></settings>\r\n");
  ASSERT_EQ(Run(Export("swapped.geojson")), 0) << Err();
  const testing::ReadBack back = testing::ReadWithGdal(dir / "swapped.geojson");
  ASSERT_EQ(back.features.size(), 3u);
  EXPECT_DOUBLE_EQ(back.features[0].x, 463000.125);
  EXPECT_DOUBLE_EQ(back.features[0].y, 155000.5);
}

// The window's flow: asked again until the system resolves, which is kept and proposed next
// time; a cancel writes nothing.
class ScriptedPrompts : public GisPrompts {
 public:
  std::deque<GisDialogOptions> answers;
  std::vector<GisDialogOptions> proposed;
  std::vector<std::string> said;
  bool Ask(GisDialogOptions& options, bool) override {
    proposed.push_back(options);
    if (answers.empty()) return false;
    options = answers.front();
    answers.pop_front();
    return true;
  }
  void ShowMessage(const Message& message, bool) override { said.push_back(message.text.key); }
  bool AskReplace(const Message&) override { return true; }
  std::vector<bool> busy;
  size_t saidBeforeIdle = 0;
  void SetBusy(bool b) override {
    busy.push_back(b);
    if (!b) saidBeforeIdle = said.size();
  }
};

TEST(GisAskedTest, SystemAskedAgainKeptAndProposed) {
  test::TempDir dir;
  std::filesystem::copy(std::filesystem::path(ULVO_DATA_DIR) / "Formats", dir / "Formats");
  test::WriteBytes(dir / "in.csv", kPoints);
  FormatList formats;
  formats.Refresh(dir.Path());
  pugi::xml_document settingsDocument;
  const pugi::xml_node settings = settingsDocument.append_child("settings");

  ScriptedPrompts prompts;
  GisDialogOptions nonsense{GisFormat::kKml, (dir / "job.kml").string(), "Nowhere Grid", false};
  GisDialogOptions noFile{GisFormat::kKml, "", "RD New", false};
  GisDialogOptions good{GisFormat::kKml, (dir / "job.kml").string(), "RD New", false};
  prompts.answers = {nonsense, noFile, good};
  EXPECT_TRUE(ExportToGisAsked(formats, settings, kCsv, dir / "in.csv", prompts));
  EXPECT_EQ(prompts.said,
            (std::vector<std::string>{kGisCrsUnknown.key, kGisChooseFile.key, kGisWritten.key}));
  // The wait cursor is on for the work alone: off again before the result is said.
  EXPECT_EQ(prompts.busy, (std::vector<bool>{true, false}));
  EXPECT_EQ(prompts.saidBeforeIdle, 2u);
  EXPECT_EQ(prompts.proposed.front().path, (dir / "in.gpkg").string());
  EXPECT_EQ(ReadGisCrs(settings), "EPSG:28992");
  EXPECT_EQ(testing::ReadWithGdal(dir / "job.kml").features.size(), 3u);

  ScriptedPrompts again;
  again.answers = {{GisFormat::kGeoPackage, (dir / "job.kml").string(), "EPSG:28992", false}};
  EXPECT_TRUE(
      ImportFromGisAsked(formats, settings, "Point list (fixed columns)", dir / "out.txt", again));
  ASSERT_FALSE(again.proposed.empty());
  EXPECT_EQ(again.proposed.front().crs, "EPSG:28992");
  EXPECT_EQ(again.said, std::vector<std::string>{kGisImported.key});
  EXPECT_EQ(again.busy, (std::vector<bool>{true, false}));

  ScriptedPrompts cancelled;
  EXPECT_FALSE(ExportToGisAsked(formats, settings, kCsv, dir / "in.csv", cancelled));
  EXPECT_TRUE(cancelled.said.empty());
  EXPECT_TRUE(cancelled.busy.empty());
}

}  // namespace
}  // namespace ulvo
