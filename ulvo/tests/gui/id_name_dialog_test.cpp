#include "ulvo/gui/id_name_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <sstream>

#include "ulvo/tests/gui/gui_test_support.h"

namespace ulvo {
namespace {

std::string Xml(pugi::xml_node node) {
  std::ostringstream out;
  node.print(out, "", pugi::format_raw);
  return out.str();
}

class IdNames : public testing::Test {
 protected:
  IdNames() {
    EnsureApplication();
    EXPECT_TRUE(doc.load_string(
        R"(<groups><group id="b" name="beta"/><group id="A" name="Gamma"/></groups>)"));
  }
  pugi::xml_document doc;
};

TEST_F(IdNames, AddEditSortAndWriteBackOnOk) {
  IdNameDialog dialog(doc.first_child(), "group", "Groups", nullptr);
  EXPECT_EQ(dialog.windowTitle(), "Groups");
  ASSERT_EQ(dialog.List()->topLevelItemCount(), 2);
  EXPECT_EQ(dialog.List()->headerItem()->text(0), "ID");
  EXPECT_EQ(dialog.List()->headerItem()->text(1), "Name");
  EXPECT_FALSE(dialog.RemoveButton()->isEnabled());

  dialog.AddButton()->click();
  ASSERT_EQ(dialog.List()->topLevelItemCount(), 3);
  EXPECT_EQ(dialog.IdEdit()->text(), "ID");
  EXPECT_EQ(dialog.IdEdit()->selectedText(), "ID");
  EXPECT_EQ(dialog.NameEdit()->text(), "Name");
  EXPECT_TRUE(dialog.RemoveButton()->isEnabled());
  // Typing over the placeholder: the space never reaches the identifier.
  QTest::keyClicks(dialog.IdEdit(), "A B");
  EXPECT_EQ(dialog.IdEdit()->text(), "AB");
  EXPECT_EQ(dialog.List()->topLevelItem(2)->text(0), "AB");
  dialog.NameEdit()->selectAll();
  QTest::keyClicks(dialog.NameEdit(), "alpha");

  // By name without regard to case: alpha, beta, Gamma; the new row stays selected.
  emit dialog.List()->header()->sectionClicked(1);
  EXPECT_EQ(dialog.List()->topLevelItem(0)->text(0), "AB");
  EXPECT_EQ(dialog.IdEdit()->text(), "AB");
  emit dialog.List()->header()->sectionClicked(0);
  EXPECT_EQ(dialog.List()->topLevelItem(0)->text(0), "A");
  EXPECT_EQ(dialog.List()->topLevelItem(1)->text(0), "AB");

  // Removing the last row selects the one before it.
  dialog.List()->setCurrentItem(dialog.List()->topLevelItem(2));
  dialog.RemoveButton()->click();
  ASSERT_EQ(dialog.List()->topLevelItemCount(), 2);
  EXPECT_EQ(dialog.IdEdit()->text(), "AB");

  EXPECT_EQ(Xml(doc.first_child()),
            R"(<groups><group id="b" name="beta"/><group id="A" name="Gamma"/></groups>)");
  dialog.findChild<QPushButton*>("IDOK")->click();
  EXPECT_EQ(Xml(doc.first_child()),
            R"(<groups><group id="A" name="Gamma"/><group id="AB" name="alpha"/></groups>)");
}

TEST_F(IdNames, OkRefusesIdentifiersThatCannotNameRecords) {
  IdNameDialog dialog(doc.first_child(), "group", "Groups", nullptr, nullptr, true);
  std::vector<QString> warnings;
  dialog.SetWarn([&](const QString& text) { warnings.push_back(text); });
  dialog.AddButton()->click();
  QTest::keyClicks(dialog.IdEdit(), "1st");
  dialog.List()->setCurrentItem(dialog.List()->topLevelItem(0));
  dialog.findChild<QPushButton*>("IDOK")->click();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].toStdString(),
            "The identifier '1st' cannot be used: it must start with a letter or '_' and hold "
            "only letters, digits, '_', '-' and '.'.");
  EXPECT_EQ(dialog.IdEdit()->text(), "1st");  // the offending row is shown
  EXPECT_EQ(Xml(doc.first_child()),
            R"(<groups><group id="b" name="beta"/><group id="A" name="Gamma"/></groups>)");
  QTest::keyClick(dialog.IdEdit(), Qt::Key_Home);
  QTest::keyClicks(dialog.IdEdit(), "_");
  dialog.findChild<QPushButton*>("IDOK")->click();
  EXPECT_EQ(warnings.size(), 1u);
  EXPECT_EQ(Xml(doc.first_child()), R"(<groups><group id="b" name="beta"/><group id="A" )"
                                    R"(name="Gamma"/><group id="_1st" name="Name"/></groups>)");
}

TEST_F(IdNames, EditsAreLabelledAndKeepOnlyWhatTheSettingsCanHold) {
  IdNameDialog dialog(doc.first_child(), "group", "Groups", nullptr);
  for (auto [label, edit] : {std::pair{"IDC_IDNAME_ID_LBL", dialog.IdEdit()},
                             std::pair{"IDC_IDNAME_NAME_LBL", dialog.NameEdit()}}) {
    auto* found = dialog.findChild<QLabel*>(label);
    ASSERT_TRUE(found) << label;
    EXPECT_EQ(found->buddy(), edit) << label;
  }
  EXPECT_EQ(dialog.findChild<QLabel*>("IDC_IDNAME_ID_LBL")->text(), "&ID:");
  EXPECT_EQ(dialog.findChild<QLabel*>("IDC_IDNAME_NAME_LBL")->text(), "&Name:");

  dialog.List()->setCurrentItem(dialog.List()->topLevelItem(1));
  dialog.IdEdit()->selectAll();
  QApplication::clipboard()->setText(QString::fromUtf8("T \x01y\u00E9"));
  dialog.IdEdit()->paste();
  EXPECT_EQ(dialog.IdEdit()->text(), QString::fromUtf8("Ty\u00E9"));
  EXPECT_EQ(dialog.IdEdit()->cursorPosition(), 3);
  EXPECT_EQ(dialog.Message()->text().toStdString(),
            "The character U+0001 cannot be stored in the list; it was left out.");
  dialog.NameEdit()->selectAll();
  QApplication::clipboard()->setText("Two\nlines\t");
  dialog.NameEdit()->paste();
  EXPECT_EQ(dialog.NameEdit()->text(), "Twolines");
  EXPECT_EQ(dialog.Message()->text().toStdString(),
            "The character U+000A cannot be stored in the list; it was left out.");
  QTest::keyClicks(dialog.NameEdit(), "!");
  EXPECT_TRUE(dialog.Message()->text().isEmpty());
  dialog.findChild<QPushButton*>("IDOK")->click();
  EXPECT_EQ(Xml(doc.first_child()),
            "<groups><group id=\"b\" name=\"beta\"/><group id=\"Ty\u00E9\" "
            "name=\"Twolines!\"/></groups>");
}

TEST_F(IdNames, OkRefusesRowsTheFileCannotKeep) {
  // A type list edited by hand: types need not be XML names, but must be storable.
  ASSERT_TRUE(
      doc.load_string("<types><type id=\"1 a\" name=\"ok\"/>"
                      "<type id=\"b\" name=\"tab&#9;name\"/></types>"));
  IdNameDialog dialog(doc.first_child(), "type", "Types", nullptr);
  std::vector<QString> warnings;
  dialog.SetWarn([&](const QString& text) { warnings.push_back(text); });
  dialog.findChild<QPushButton*>("IDOK")->click();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].toStdString(),
            "The character U+0009 cannot be stored in the list: remove it from the selected "
            "row.");
  EXPECT_EQ(dialog.IdEdit()->text(), "b");
  EXPECT_EQ(dialog.result(), 0);
  dialog.NameEdit()->setText("tab name");
  emit dialog.NameEdit()->textEdited("tab name");
  dialog.findChild<QPushButton*>("IDOK")->click();
  EXPECT_EQ(warnings.size(), 1u);
  EXPECT_EQ(Xml(doc.first_child()),
            R"(<types><type id="1 a" name="ok"/><type id="b" name="tab name"/></types>)");
}

TEST_F(IdNames, CancelLeavesTheSettings) {
  IdNameDialog dialog(doc.first_child(), "group", "Groups", nullptr);
  dialog.List()->setCurrentItem(dialog.List()->topLevelItem(0));
  dialog.RemoveButton()->click();
  dialog.findChild<QPushButton*>("IDCANCEL")->click();
  EXPECT_EQ(Xml(doc.first_child()),
            R"(<groups><group id="b" name="beta"/><group id="A" name="Gamma"/></groups>)");
}

}  // namespace
}  // namespace ulvo
