#include "kavex/gui/tgis_dlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "kavex/gis/coordinate_system.h"
#include "kavex/tests/gui/gui_test_support.h"
#include "kavex/tests/support/scripted_prompts.h"

namespace kavex {
namespace {

class TGisDlgTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::App(); }
  testing::ScriptedPrompts prompts;
};

TEST_F(TGisDlgTest, GivesBackWhatItWasShownAndWhatWasChosen) {
  TGisDlg dialog(prompts);
  GisDialogOptions shown;
  shown.format = GisFormat::kKml;
  shown.path = "/data/job.kml";
  shown.crs = "EPSG:28992";
  shown.layerByCode = true;
  dialog.Setup(shown, false);
  EXPECT_EQ(dialog.windowTitle().toStdString(), kToGisTitle);
  EXPECT_EQ(dialog.CrsName->text().toStdString(), "EPSG:28992: Amersfoort / RD New");
  GisDialogOptions back = dialog.options();
  EXPECT_EQ(back.format, GisFormat::kKml);
  EXPECT_EQ(back.path, "/data/job.kml");
  EXPECT_EQ(back.crs, "EPSG:28992");
  EXPECT_TRUE(back.layerByCode);

  // Another format renames the file to its extension.
  dialog.FormatBox->setCurrentIndex(
      dialog.FormatBox->findData(static_cast<int>(GisFormat::kShapefile)));
  EXPECT_EQ(dialog.options().path, "/data/job.shp");

  // Enter in the edit searches PROJ's names, and does not close the dialog; choosing one
  // puts its code in the edit.
  dialog.show();
  dialog.CrsEdit->setFocus();
  dialog.CrsEdit->setText("british national grid");
  QTest::keyClick(dialog.CrsEdit, Qt::Key_Return);
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_GT(dialog.CrsList->count(), 0);
  dialog.CrsList->setCurrentRow(0);
  EXPECT_EQ(dialog.options().crs, "EPSG:27700");
  EXPECT_EQ(dialog.CrsName->text().toStdString(), "EPSG:27700: OSGB36 / British National Grid");

  dialog.CrsEdit->setText("EPSG:999999");
  emit dialog.CrsEdit->editingFinished();
  EXPECT_EQ(dialog.CrsName->text().toStdString(), std::string(kCrsUnknownMessage) + "EPSG:999999");
}

TEST_F(TGisDlgTest, ImportAsksOnlyForFileAndSystem) {
  TGisDlg dialog(prompts);
  dialog.Setup({}, true);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle().toStdString(), kFromGisTitle);
  EXPECT_FALSE(dialog.FormatBox->isVisible());
  EXPECT_FALSE(dialog.LayerByCodeBox->isVisible());
  EXPECT_TRUE(dialog.CrsEdit->isVisible());
  EXPECT_EQ(dialog.CrsName->text().toStdString(), kCrsMissingMessage);
  prompts.ExpectOpen("/data/design.gpkg");
  dialog.BrowseButton->click();
  EXPECT_EQ(dialog.options().path, "/data/design.gpkg");
}

}  // namespace
}  // namespace kavex
