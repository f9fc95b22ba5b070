#include "ulvo/gui/format_design_view.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "ulvo/engine/data_document.h"
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

  std::unique_ptr<FormatDesignView> Open(ChunkWriter write = {}) {
    FormatDesignContext context;
    context.programFolder = dir.Path();
    context.settings = settings.document_element();
    context.formatsSaved = [this] { ++refreshes; };
    context.warn = [this](const QString& text) { warnings.push_back(text.toStdString()); };
    context.askSave = [this](const QString& text) {
      questions.push_back(text.toStdString());
      return answer;
    };
    context.write = std::move(write);
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
  std::vector<std::string> questions;
  QMessageBox::StandardButton answer = QMessageBox::Cancel;
};

TEST_F(DesignView, ListsFormatsAndEnablesByTheSelection) {
  auto view = Open();
  EXPECT_EQ(view->windowTitle(), "Format Design");
  EXPECT_EQ(HelpIdOf(view->FormatList()), 2605);
  EXPECT_EQ(HelpIdOf(view->LiteralPanel()->HexCheck()), 2702);
  ASSERT_EQ(view->FormatList()->count(), 4);
  // Sorted by name.
  EXPECT_EQ(view->FormatList()->item(0)->text(), "ITF00 coordinates");
  EXPECT_FALSE(view->Button("IDC_DESIGN_FORMAT_REMOVE_BTN")->isEnabled());
  EXPECT_FALSE(view->Button("IDC_DESIGN_GROUP_ADD_BTN")->isEnabled());
  EXPECT_FALSE(view->FormatType()->isEnabled());

  // A format that is not simple shows no groups and cannot get any; its hand-written file
  // cannot be removed here either.
  SelectRow(view->FormatList(), "ITF00 coordinates");
  EXPECT_EQ(view->FormatType()->SelectedId(), "ITF00");
  EXPECT_FALSE(view->Button("IDC_DESIGN_FORMAT_REMOVE_BTN")->isEnabled());
  EXPECT_FALSE(view->Button("IDC_DESIGN_GROUP_ADD_BTN")->isEnabled());
  EXPECT_EQ(view->GroupList()->count(), 0);

  SelectRow(view->FormatList(), "Point list (comma-separated)");
  EXPECT_TRUE(view->Button("IDC_DESIGN_FORMAT_REMOVE_BTN")->isEnabled());
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

// The shipped example is one a first user can open, learn from and change.
TEST_F(DesignView, ShippedExampleShowsItsItemsAndTakesAnEdit) {
  auto view = Open();
  SelectRow(view->FormatList(), "Point list (example to edit)");
  EXPECT_TRUE(view->Button("IDC_DESIGN_FORMAT_REMOVE_BTN")->isEnabled());
  EXPECT_EQ(view->GroupArea()->currentWidget(), view->GroupList());
  ASSERT_EQ(view->GroupList()->count(), 1);
  view->GroupList()->setCurrentRow(0);
  QStringList items;
  for (int row = 0; row < view->ItemList()->count(); ++row)
    items << view->ItemList()->item(row)->text();
  EXPECT_EQ(items.join(QLatin1Char('|')).toStdString(),
            "Point name|,|Northing|,|Easting|,|Elevation|0D0A");
  // The name in ten columns: a fixed field, so it is no longer ended by its comma.
  view->ItemList()->setCurrentRow(0);
  view->ElementPanel()->WidthEdit()->selectAll();
  QTest::keyClicks(view->ElementPanel()->WidthEdit(), "10");
  EXPECT_TRUE(view->Save());
  FormatDefinition saved(dir / "Formats" / "PointListExample.xml");
  ASSERT_TRUE(saved.Load()) << saved.LoadError();
  WriteBytes(dir / "in.txt", "P1        ,1.5,2,3\r\n");
  pugi::xml_document document;
  ASSERT_TRUE(saved.ParseFile(dir / "in.txt", NewDataDocument(document)));
  EXPECT_STREQ(document.document_element().child("PT").child_value("NR"), "P1");
}

// A definition of another tool or a later version is listed all the same; what the program
// reads past is told where the format is chosen.
TEST_F(DesignView, WhatADefinitionHoldsBeyondTheProgramIsShownOnItsRow) {
  WriteBytes(dir / "Formats" / "Later.xml",
             "<format name=\"Later\">\n<element id=\"NR\" unit=\"m\"/>\n"
             "<literal hex=\"true\">0D0</literal></format>");
  auto view = Open();
  const auto rows = view->FormatList()->findItems("Later", Qt::MatchExactly);
  ASSERT_EQ(rows.size(), 1);
  EXPECT_EQ(rows.first()->toolTip().toStdString(),
            "unknown attribute 'unit' of <element> at line 2 is ignored\n"
            "hex literal '0D0' is not pairs of hexadecimal digits at line 3; it is read as \"0D\"");
  EXPECT_TRUE(view->FormatList()
                  ->findItems("ITF00 coordinates", Qt::MatchExactly)
                  .first()
                  ->toolTip()
                  .isEmpty());
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
  EXPECT_EQ(view->FormatList()->count(), 4);
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
  EXPECT_EQ(warnings[0], "Could not delete file\n" + (dir / "Formats/PointListFixed.xml").string() +
                             "\nDirectory not empty");
  EXPECT_EQ(finished.count(), 0);
  EXPECT_EQ(refreshes, 0);

  std::filesystem::remove_all(dir / "Formats/PointListFixed.xml");
  view->Button("IDC_DESIGN_FORMAT_ADD_BTN")->click();
  std::filesystem::rename(dir / "Formats", dir / "Gone");
  EXPECT_FALSE(view->Save());
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[1], "Could not save format 'Format'.\n" +
                             (dir / "Formats/Format.xml").string() + ": No such file or directory");
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

TEST_F(DesignView, FormatsThatAreNotSimpleSayWhy) {
  WriteBytes(dir / "Formats/Bare.xml",
             "<format name=\"Bare\" simple=\"true\"><literal>x</literal></format>");
  auto view = Open();
  SelectRow(view->FormatList(), "ITF00 coordinates");
  EXPECT_EQ(view->GroupArea()->currentWidget(), view->NotSimpleText());
  EXPECT_EQ(view->NotSimpleText()->text().toStdString(),
            "The groups of this format cannot be edited here: its file Itf00Coordinates.xml "
            "describes a layout that is more than a list of record kinds. Edit the file with an "
            "XML editor.");
  SelectRow(view->FormatList(), "Bare");
  EXPECT_EQ(view->NotSimpleText()->text().toStdString(),
            "The groups of this format cannot be edited here: its file Bare.xml is marked simple "
            "but does not hold the format, repeat, node and radio elements the editor works on. "
            "Edit the file with an XML editor.");
  EXPECT_FALSE(view->Button("IDC_DESIGN_GROUP_ADD_BTN")->isEnabled());
  SelectRow(view->FormatList(), "Point list (comma-separated)");
  EXPECT_EQ(view->GroupArea()->currentWidget(), view->GroupList());
  // A new format is simple: its groups can be added at once.
  view->Button("IDC_DESIGN_FORMAT_ADD_BTN")->click();
  EXPECT_EQ(view->GroupArea()->currentWidget(), view->GroupList());
  EXPECT_TRUE(view->Button("IDC_DESIGN_GROUP_ADD_BTN")->isEnabled());
}

// Writes half of what it is given, then reports the disk full.
bool FullAfterHalf(std::FILE* file, std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size() / 2, file);
  errno = ENOSPC;
  return false;
}

TEST_F(DesignView, FullDiskKeepsTheFileAndTheWindow) {
  const std::string before = ReadBytes(dir / "Formats/PointListCsv.xml");
  answer = QMessageBox::Save;
  auto view = Open(FullAfterHalf);
  view->show();
  SelectRow(view->FormatList(), "Point list (comma-separated)");
  view->FormatList()->currentItem()->setText("Points");
  QSignalSpy finished(view.get(), &FormatDesignView::Finished);
  // By OK, and by the close button answered with Save.
  EXPECT_FALSE(view->Save());
  EXPECT_FALSE(view->close());
  ASSERT_EQ(warnings.size(), 2u);
  for (const std::string& warning : warnings) {
    EXPECT_EQ(warning, "Could not save format 'Points'.\n" +
                           (dir / "Formats/PointListCsv.xml").string() +
                           ": No space left on device");
  }
  EXPECT_EQ(ReadBytes(dir / "Formats/PointListCsv.xml"), before);
  EXPECT_EQ(finished.count(), 0);
  EXPECT_TRUE(view->isVisible());
  EXPECT_EQ(refreshes, 0);
}

struct CloseCase {
  const char* name;
  bool edit;                           // something changed before closing
  bool byCancel;                       // the Cancel button, else the window's close button
  QMessageBox::StandardButton answer;  // to the question, when asked
  bool closes;
  bool saved;
};

class DesignClose : public DesignView, public testing::WithParamInterface<CloseCase> {};

TEST_P(DesignClose, UnsavedEditsAreDroppedOnlyWhenTheUserAgrees) {
  const CloseCase& c = GetParam();
  const std::string before = ReadBytes(dir / "Formats/PointListFixed.xml");
  answer = c.answer;
  auto view = Open();
  view->show();
  SelectRow(view->FormatList(), "Point list (fixed columns)");
  if (c.edit) view->FormatList()->currentItem()->setText("Fixed");
  QSignalSpy finished(view.get(), &FormatDesignView::Finished);
  const bool closed = c.byCancel ? view->Cancel() : view->close();
  EXPECT_EQ(closed, c.closes);
  EXPECT_EQ(finished.count(), c.byCancel && c.closes ? 1 : 0);
  if (c.edit) {
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0],
              "The format definitions have changes that are not saved.\nSave them before closing?");
  } else {
    EXPECT_TRUE(questions.empty());
  }
  EXPECT_EQ(ReadBytes(dir / "Formats/PointListFixed.xml") != before, c.saved);
  EXPECT_EQ(refreshes, c.saved ? 1 : 0);
  // Once agreed, closing asks no second time.
  if (c.closes) {
    EXPECT_TRUE(view->close());
    EXPECT_EQ(questions.size(), c.edit ? 1u : 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DesignClose,
    testing::Values(
        CloseCase{"NothingChangedCancel", false, true, QMessageBox::Cancel, true, false},
        CloseCase{"NothingChangedCloseButton", false, false, QMessageBox::Cancel, true, false},
        CloseCase{"CancelThenCancel", true, true, QMessageBox::Cancel, false, false},
        CloseCase{"CancelThenDiscard", true, true, QMessageBox::Discard, true, false},
        CloseCase{"CancelThenSave", true, true, QMessageBox::Save, true, true},
        CloseCase{"CloseButtonThenCancel", true, false, QMessageBox::Cancel, false, false},
        CloseCase{"CloseButtonThenDiscard", true, false, QMessageBox::Discard, true, false},
        CloseCase{"CloseButtonThenSave", true, false, QMessageBox::Save, true, true}),
    [](const testing::TestParamInfo<CloseCase>& param) { return std::string(param.param.name); });

TEST_F(DesignView, FieldsRefuseWhatAFileCannotKeep) {
  // Lists edited by hand may hold what no definition can.
  pugi::xml_node conversion = settings.document_element().child("conversion");
  auto add = [&](const char* list, const char* tag, const char* id, const char* name) {
    pugi::xml_node entry = conversion.child(list).append_child(tag);
    entry.append_attribute("id") = id;
    entry.append_attribute("name") = name;
  };
  add("types", "type", "T\x01", "Bad type");
  add("groups", "group", "1st", "Bad group");
  add("elements", "element", "a b", "Bad element");
  auto view = Open();
  auto message = [&] { return view->Message()->text().toStdString(); };
  SelectRow(view->FormatList(), "Point list (fixed columns)");
  FormatDefinition* format = view->Design().Formats().Find("Point list (fixed columns)");
  ASSERT_TRUE(format);

  view->FormatList()->currentItem()->setText("Fixed\x01");
  EXPECT_EQ(view->FormatList()->currentItem()->text(), "Point list (fixed columns)");
  EXPECT_EQ(message(), "The character U+0001 cannot be stored in a format definition.");
  view->FormatList()->currentItem()->setText("Fixed");
  EXPECT_EQ(message(), "");
  EXPECT_EQ(format->Name(), "Fixed");

  Choose(view->FormatType(), "T\x01");
  EXPECT_EQ(format->Type(), "POINTS");
  EXPECT_EQ(view->FormatType()->SelectedId(), "POINTS");
  EXPECT_EQ(message(), "The character U+0001 cannot be stored in a format definition.");

  view->GroupList()->setCurrentRow(0);
  Choose(view->GroupType(), "1st");
  EXPECT_EQ(format->Group(0)->Id(), "PT");
  EXPECT_EQ(message(),
            "The identifier '1st' cannot be used: it must start with a letter or '_' and hold "
            "only letters, digits, '_', '-' and '.'.");
  view->GroupList()->currentItem()->setText("Line\nend");
  EXPECT_EQ(format->Group(0)->Name(), "Point with description");
  EXPECT_EQ(message(), "The character U+000A cannot be stored in a format definition.");

  view->ItemList()->setCurrentRow(0);
  ElementDialog* panel = view->ElementPanel();
  Choose(panel->IdCombo(), "a b");
  const auto* element = dynamic_cast<const ElementDefinition*>(format->Group(0)->Item(0));
  ASSERT_TRUE(element);
  EXPECT_EQ(element->Id(), "NR");
  EXPECT_EQ(panel->IdCombo()->SelectedId(), "NR");
  EXPECT_NE(message().find("'a b' cannot be used"), std::string::npos);
  // The width edit never shows more than is stored.
  panel->WidthEdit()->selectAll();
  QTest::keyClicks(panel->WidthEdit(), "2000000");
  EXPECT_EQ(panel->WidthEdit()->text(), "200000");
  EXPECT_EQ(element->Width(), 200000);
  EXPECT_EQ(message(), "The width cannot be more than 1048576.");
  QTest::keyClick(panel->WidthEdit(), Qt::Key_Backspace);
  EXPECT_EQ(message(), "");
  panel->FillEdit()->selectAll();
  QApplication::clipboard()->setText(QString::fromUtf8("\u20AC"));
  panel->FillEdit()->paste();
  EXPECT_EQ(panel->FillEdit()->text(), " ");
  EXPECT_EQ(element->Fill(), ' ');
  EXPECT_EQ(message(),
            "The character '\u20AC' (U+20AC) has no byte value: literals and fill characters hold "
            "single bytes (Latin-1).");
  panel->OffsetEdit()->selectAll();
  QTest::keyClicks(panel->OffsetEdit(), "1e999");
  EXPECT_EQ(panel->OffsetEdit()->text(), "1e99");
  EXPECT_EQ(element->Offset(), 1e99);
  EXPECT_EQ(message(), "The offset 1e999 is too large to be stored.");

  view->ItemList()->setCurrentRow(4);
  EXPECT_EQ(message(), "");
  QLineEdit* text = view->LiteralPanel()->TextEdit();
  text->selectAll();
  QApplication::clipboard()->setText(QString::fromUtf8("a\u20ACb\x01"));
  text->paste();
  EXPECT_EQ(text->text(), QString::fromUtf8("ab\x01"));
  EXPECT_NE(message().find("'\u20AC' (U+20AC) has no byte value"), std::string::npos);

  // What was taken is saved, and every file loads again.
  ASSERT_TRUE(view->Save());
  FormatList reread;
  reread.Refresh(dir.Path());
  EXPECT_TRUE(reread.Failures().empty());
  const FormatDefinition* fixed = reread.Find("Fixed");
  ASSERT_TRUE(fixed);
  const auto* literal = dynamic_cast<const LiteralDefinition*>(fixed->Group(0)->Item(4));
  ASSERT_TRUE(literal);
  EXPECT_EQ(literal->Text(), "616201");  // control characters go in hexadecimal
}

}  // namespace
}  // namespace ulvo
