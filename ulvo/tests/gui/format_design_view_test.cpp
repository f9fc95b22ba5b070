#include "ulvo/gui/format_design_view.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>

#include "ulvo/gui/element_dialog.h"
#include "ulvo/gui/id_name_combo.h"
#include "ulvo/gui/literal_dialog.h"
#include "ulvo/gui/main_frame.h"
#include "ulvo/tests/engine/engine_test_support.h"
#include "ulvo/tests/gui/gui_test_support.h"

namespace ulvo {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

const std::filesystem::path kData = ULVO_DATA_DIR;
// Point lists written as simple definitions, the kind the editor can change group by group.
const std::filesystem::path kSimpleFormats = ULVO_TEST_DATA_DIR "/SimpleFormats";

class DesignView : public testing::Test {
 protected:
  DesignView() {
    EnsureApplication();
    std::filesystem::copy(kData / "Formats", dir / "Formats");
    std::filesystem::copy(kSimpleFormats, dir / "Formats",
                          std::filesystem::copy_options::overwrite_existing |
                              std::filesystem::copy_options::recursive);
    EXPECT_TRUE(settings.load_file((kData / "Settings.xml").c_str()));
  }

  std::unique_ptr<FormatDesignView> Open() {
    FormatDesignContext context;
    context.programFolder = dir.Path();
    context.settings = settings.document_element();
    context.formatsSaved = [this] { ++refreshes; };
    context.warn = [this](const QString& text) { warnings.push_back(text.toStdString()); };
    return std::make_unique<FormatDesignView>(std::move(context));
  }

  static void Choose(IdNameCombo* combo, const std::string& id) {
    ASSERT_TRUE(combo->SelectId(id)) << id;
    emit combo->activated(combo->currentIndex());
  }

  static void SelectRow(QListWidget* list, const QString& text) {
    const auto rows = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(rows.size(), 1) << text.toStdString();
    list->setCurrentItem(rows.first());
  }

  int Run(const std::string& arguments) {
    const std::string command = std::string("'") + SURVEY_BIN_DIR + "/ulvo-cli' --home '" +
                                dir.Path().string() + "' " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  TempDir dir;
  pugi::xml_document settings;
  int refreshes = 0;
  std::vector<std::string> warnings;
};

TEST_F(DesignView, ListsFormatsAndEnablesByTheSelection) {
  auto view = Open();
  EXPECT_EQ(view->windowTitle(), "Format Design");
  EXPECT_EQ(HelpIdOf(view->FormatList()), 2605);
  EXPECT_EQ(HelpIdOf(view->LiteralPanel()->HexCheck()), 2702);
  ASSERT_EQ(view->FormatList()->count(), 3);
  // Sorted by name.
  EXPECT_EQ(view->FormatList()->item(0)->text(), "ITF00 coordinates");
  EXPECT_FALSE(view->Button("IDC_DESIGN_FORMAT_REMOVE_BTN")->isEnabled());
  EXPECT_FALSE(view->Button("IDC_DESIGN_GROUP_ADD_BTN")->isEnabled());
  EXPECT_FALSE(view->FormatType()->isEnabled());

  // A format that is not simple shows no groups and cannot get any.
  SelectRow(view->FormatList(), "ITF00 coordinates");
  EXPECT_EQ(view->FormatType()->SelectedId(), "ITF00");
  EXPECT_TRUE(view->Button("IDC_DESIGN_FORMAT_REMOVE_BTN")->isEnabled());
  EXPECT_FALSE(view->Button("IDC_DESIGN_GROUP_ADD_BTN")->isEnabled());
  EXPECT_EQ(view->GroupList()->count(), 0);

  SelectRow(view->FormatList(), "Point list (comma-separated)");
  EXPECT_TRUE(view->Button("IDC_DESIGN_GROUP_ADD_BTN")->isEnabled());
  ASSERT_EQ(view->GroupList()->count(), 2);
  EXPECT_FALSE(view->Button("IDC_DESIGN_ITEM_ADD_BTN")->isEnabled());
  view->GroupList()->setCurrentRow(0);
  EXPECT_EQ(view->GroupType()->SelectedId(), "PT");
  ASSERT_EQ(view->ItemList()->count(), 10);
  EXPECT_EQ(view->ItemList()->item(0)->text(), "Point name");
  EXPECT_EQ(view->ItemList()->item(1)->text(), ",");
  // CR LF is not printable: the literal is listed in hexadecimal digits.
  EXPECT_EQ(view->ItemList()->item(9)->text(), "0D0A");
  EXPECT_FALSE(view->Button("IDC_DESIGN_ITEM_REMOVE_BTN")->isEnabled());

  // Showing items in their panels is no edit: OK leaves every shipped file as it was.
  for (int row = 0; row < view->ItemList()->count(); ++row) view->ItemList()->setCurrentRow(row);
  EXPECT_TRUE(view->LiteralPanel()->isVisibleTo(view.get()));
  EXPECT_FALSE(view->ElementPanel()->isVisibleTo(view.get()));
  QSignalSpy finished(view.get(), &FormatDesignView::Finished);
  EXPECT_TRUE(view->Save());
  EXPECT_EQ(finished.count(), 1);
  EXPECT_EQ(refreshes, 1);
  for (const auto& entry : std::filesystem::directory_iterator(kData / "Formats")) {
    const std::filesystem::path simple = kSimpleFormats / entry.path().filename();
    const std::filesystem::path given = std::filesystem::exists(simple) ? simple : entry.path();
    EXPECT_EQ(ReadBytes(dir / "Formats" / entry.path().filename()), ReadBytes(given)) << given;
  }
}

TEST_F(DesignView, CommaSeparatedLayoutBuiltFromScratchConverts) {
  auto view = Open();
  view->Button("IDC_DESIGN_FORMAT_ADD_BTN")->click();
  QListWidgetItem* formatRow = view->FormatList()->currentItem();
  ASSERT_TRUE(formatRow);
  EXPECT_EQ(formatRow->text(), "Format");
  formatRow->setText("Name and easting");  // the label edit ends
  Choose(view->FormatType(), "POINTS");
  view->Button("IDC_DESIGN_GROUP_ADD_BTN")->click();
  ASSERT_EQ(view->GroupList()->count(), 1);
  EXPECT_EQ(view->GroupList()->item(0)->text(), "Group");
  Choose(view->GroupType(), "PT");

  // Name, ",", easting, CR LF.
  view->AddElementItem();
  EXPECT_EQ(view->ItemList()->currentItem()->text(), "");
  Choose(view->ElementPanel()->IdCombo(), "NR");
  EXPECT_EQ(view->ItemList()->currentItem()->text(), "Point name");
  view->AddLiteralItem();
  EXPECT_EQ(view->ItemList()->currentItem()->text(), "Test");
  QLineEdit* text = view->LiteralPanel()->TextEdit();
  text->selectAll();
  QTest::keyClicks(text, ",");
  EXPECT_EQ(view->ItemList()->currentItem()->text(), ",");
  view->AddElementItem();
  Choose(view->ElementPanel()->IdCombo(), "E");
  view->AddLiteralItem();
  view->LiteralPanel()->HexCheck()->click();
  EXPECT_EQ(view->LiteralPanel()->TextEdit()->text(), "54657374");  // "Test"
  view->LiteralPanel()->TextEdit()->selectAll();
  QTest::keyClicks(view->LiteralPanel()->TextEdit(), "0D0A0");
  EXPECT_EQ(view->ItemList()->currentItem()->text(), "00D0A0");
  QTest::keyClick(view->LiteralPanel()->TextEdit(), Qt::Key_Backspace);
  EXPECT_EQ(view->ItemList()->currentItem()->text(), "0D0A");
  EXPECT_TRUE(std::filesystem::exists(dir / "Formats"));
  EXPECT_FALSE(std::filesystem::exists(dir / "Formats/Name and easting.xml"));

  ASSERT_TRUE(view->Save());
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(ReadBytes(dir / "Formats/Name and easting.xml"),
            "<?xml version=\"1.0\"?>\r\n<!--ULVO File Format Definition-->\r\n"
            "<format simple=\"true\" name=\"Name and easting\" type=\"POINTS\"><repeat><node>"
            "<radio><group name=\"Group\" id=\"PT\"><terminated><element id=\"NR\"/>"
            "<literal>,</literal></terminated><terminated><element id=\"E\"/>"
            "<literal hex=\"true\">0D0A</literal></terminated></group></radio></node></repeat>"
            "</format>\r\n");

  WriteBytes(dir / "in.csv", "P1,100.5,200.25,10.0,fence post\r\nP2,1,2,3,\r\n");
  ASSERT_EQ(Run("convert --from 'Point list (comma-separated)' --to 'Name and easting' '" +
                (dir / "in.csv").string() + "' '" + (dir / "out.csv").string() + "'"),
            3);  // written, and the check reports northing, elevation and description as dropped
  EXPECT_EQ(ReadBytes(dir / "out.csv"), "P1,200.25\r\nP2,2\r\n");
}

TEST_F(DesignView, PanelEditRules) {
  auto view = Open();
  SelectRow(view->FormatList(), "Point list (fixed columns)");
  view->GroupList()->setCurrentRow(0);
  view->ItemList()->setCurrentRow(0);
  ElementDialog* panel = view->ElementPanel();
  ASSERT_TRUE(panel->isVisibleTo(view.get()));
  const FormatDefinition* format = view->Design().Formats().Find("Point list (fixed columns)");
  ASSERT_TRUE(format);
  EXPECT_FALSE(format->IsModified());
  // Digits only, and the fill edit keeps one character.
  panel->WidthEdit()->selectAll();
  QTest::keyClicks(panel->WidthEdit(), "1x2");
  EXPECT_EQ(panel->WidthEdit()->text(), "12");
  EXPECT_TRUE(format->IsModified());
  panel->FillEdit()->clear();
  QTest::keyClicks(panel->FillEdit(), "ab");
  EXPECT_EQ(panel->FillEdit()->text(), "a");
  const auto* element = dynamic_cast<const ElementDefinition*>(format->Group(0)->Item(0));
  ASSERT_TRUE(element);
  EXPECT_EQ(element->Width(), 12);
  EXPECT_EQ(element->Fill(), 'a');
  panel->SignCheck()->click();
  EXPECT_TRUE(element->Sign());
  panel->AlignCombo()->setCurrentIndex(1);
  emit panel->AlignCombo()->activated(1);
  EXPECT_TRUE(element->AlignRight());
}

TEST_F(DesignView, RemovingAndFailingToSave) {
  auto view = Open();
  // A new format removed again leaves nothing behind.
  view->Button("IDC_DESIGN_FORMAT_ADD_BTN")->click();
  view->Button("IDC_DESIGN_FORMAT_REMOVE_BTN")->click();
  EXPECT_TRUE(view->Design().DeleteQueue().empty());
  EXPECT_EQ(view->FormatList()->count(), 3);
  EXPECT_FALSE(view->Button("IDC_DESIGN_FORMAT_REMOVE_BTN")->isEnabled());

  SelectRow(view->FormatList(), "Point list (fixed columns)");
  view->Button("IDC_DESIGN_FORMAT_REMOVE_BTN")->click();
  ASSERT_EQ(view->Design().DeleteQueue().size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(dir / "Formats/PointListFixed.xml"));
  // The file cannot go: the message names it, the view stays.
  std::filesystem::remove(dir / "Formats/PointListFixed.xml");
  std::filesystem::create_directories(dir / "Formats/PointListFixed.xml/x");
  QSignalSpy finished(view.get(), &FormatDesignView::Finished);
  EXPECT_FALSE(view->Save());
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "Could not delete file\n" + (dir / "Formats/PointListFixed.xml").string());
  EXPECT_EQ(finished.count(), 0);
  EXPECT_EQ(refreshes, 0);

  std::filesystem::remove_all(dir / "Formats/PointListFixed.xml");
  view->Button("IDC_DESIGN_FORMAT_ADD_BTN")->click();
  std::filesystem::rename(dir / "Formats", dir / "Gone");
  EXPECT_FALSE(view->Save());
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[1], "Could not save format 'Format'.");
  EXPECT_EQ(finished.count(), 0);
}

TEST_F(DesignView, RenamingToNothingKeepsTheName) {
  auto view = Open();
  SelectRow(view->FormatList(), "Point list (fixed columns)");
  view->FormatList()->currentItem()->setText("");
  EXPECT_EQ(view->FormatList()->currentItem()->text(), "Point list (fixed columns)");
  EXPECT_FALSE(view->Design().Formats().Find("Point list (fixed columns)")->IsModified());
  view->Button("IDC_DESIGN_CANCEL_BTN")->click();
  EXPECT_EQ(refreshes, 0);
}

}  // namespace
}  // namespace ulvo
