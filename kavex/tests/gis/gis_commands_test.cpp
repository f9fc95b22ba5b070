#include "kavex/gis/gis_commands.h"

#include <gtest/gtest.h>

#include <deque>

#include "kavex/gis/gis_export.h"
#include "kavex/gis/gis_import.h"
#include "kavex/shell/main_logic.h"
#include "kavex/tests/gis/gis_readback.h"
#include "kavex/tests/support/fake_clock.h"
#include "kavex/tests/support/scripted_prompts.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;

// Answers the dialog from a queue: each answer edits what the dialog was shown.
class ScriptedGisDialog : public GisDialog {
 public:
  using Answer = std::function<bool(GisDialogOptions&)>;
  std::deque<Answer> answers;
  std::vector<GisDialogOptions> shown;
  bool Ask(GisDialogOptions& options, bool) override {
    shown.push_back(options);
    if (answers.empty()) {
      ADD_FAILURE() << "dialog shown once too often";
      return false;
    }
    const Answer a = answers.front();
    answers.pop_front();
    return a(options);
  }
};

class GisCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kavex-gis-commands-" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    logic.workDir = dir;
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
  MemoryDataView view;
  testing::ScriptedPrompts prompts;
  testing::FakeClock clock;
  MainLogic logic{view, prompts, clock};
  ScriptedGisDialog dialog;
};

TEST_F(GisCommandsTest, ExportAsksAgainUntilTheSystemIsKnownAndRemembersIt) {
  view.SetLines({"P1,155000.5,463000.25,2", "JOB     x"});
  dialog.answers = {[](GisDialogOptions& o) {
                      o.crs = "EPSG:4326";  // degrees: no job's grid
                      return true;
                    },
                    [&](GisDialogOptions& o) {
                      o.crs = "RD New";
                      o.path = "out.geojson";
                      o.format = GisFormat::kGeoJson;
                      return true;
                    }};
  prompts.ExpectMessage(std::string(kCrsNotPlanarMessage) + "EPSG:4326.");
  prompts.ExpectMessage("1 point written to " + (dir / "out.geojson").string() + ".");
  EXPECT_EQ(ExportCurrentDataToGis(logic, dialog), kConversionSuccess);
  EXPECT_EQ(dialog.shown[0].path, (dir / "points.gpkg").string());
  EXPECT_EQ(dialog.shown[1].crs, "EPSG:4326") << "what was typed stays";
  EXPECT_EQ(logic.Settings().gisCrs, "EPSG:28992");
  const testing::ReadBack back = testing::ReadWithGdal(dir / "out.geojson");
  ASSERT_EQ(back.features.size(), 1u);
  EXPECT_EQ(back.features[0].x, 155000.5);
  EXPECT_EQ(back.features[0].y, 463000.25);

  // Proposed again, and an existing file is only replaced when the user agrees.
  dialog.answers = {[](GisDialogOptions& o) {
                      o.path = "out.geojson";
                      return true;
                    },
                    [](GisDialogOptions&) { return false; }};
  prompts.ExpectMessage("File exists Overwrite?", kModeConfirmation, kResultCancel);
  EXPECT_EQ(ExportCurrentDataToGis(logic, dialog), kConversionCancelled);
  EXPECT_EQ(dialog.shown[2].crs, "EPSG:28992");
}

TEST_F(GisCommandsTest, ExportOfDataWithoutPointsAsksNothing) {
  view.SetLines({"JOB     x"});
  prompts.ExpectMessage(kGisNoPointsMessage);
  EXPECT_EQ(ExportCurrentDataToGis(logic, dialog), kConversionNotDone);
  EXPECT_TRUE(dialog.shown.empty());
}

TEST_F(GisCommandsTest, ImportReplacesTheDataOnlyWhenItSucceeds) {
  std::vector<SurveyPoint> points = {{"S1", "", 463000.25, 155000.5, 1.0, 0}};
  GisExportOptions options;
  options.target = dir / "design.gpkg";
  std::string message;
  options.crs = CoordinateSystem::Resolve("EPSG:28992", message).value();
  ASSERT_TRUE(ExportGis(points, options).ok);

  view.SetLines({"typed"});
  prompts.ExpectMessage("Current DATA will be lost.", kModeConfirmation, kResultOk);
  dialog.answers = {[](GisDialogOptions& o) {
    o.path = "missing.gpkg";
    o.crs = "EPSG:28992";
    return true;
  }};
  prompts.ExpectMessage(std::string(kGisCannotReadMessage) + (dir / "missing.gpkg").string() +
                        ": No such file or directory");
  EXPECT_EQ(ImportGisToCurrentData(logic, dialog), kConversionFileError);
  EXPECT_EQ(view.Lines(), std::vector<std::string>{"typed"});

  dialog.answers = {[](GisDialogOptions& o) {
    o.path = "design.gpkg";
    return true;
  }};
  prompts.ExpectMessage("Current DATA will be lost.", kModeConfirmation, kResultOk);
  prompts.ExpectMessage("1 point read from " + (dir / "design.gpkg").string() + ".");
  EXPECT_EQ(ImportGisToCurrentData(logic, dialog), kConversionSuccess);
  EXPECT_EQ(view.Lines(), std::vector<std::string>{"S1,155000.500,463000.250,1.000"});
  EXPECT_TRUE(view.Modified());
  EXPECT_FALSE(logic.hasFile);
  EXPECT_EQ(view.FileLabel(), "(unsaved)");
}

}  // namespace
}  // namespace kavex
