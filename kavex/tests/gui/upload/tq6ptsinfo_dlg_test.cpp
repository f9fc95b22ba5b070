#include "kavex/gui/tq6ptsinfo_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "kavex/gui/data_memo.h"
#include "kavex/gui/main_commands.h"
#include "kavex/gui/main_form.h"
#include "kavex/tests/gui/gui_test_support.h"

namespace kavex {
namespace {

using F = PointDetailsField;

struct DialogFixture : ::testing::Test {
  void SetUp() override {
    testing::App();
    dialog = std::make_unique<TQ6ptsinfoDlg>(PointDetails{});
    dialog->setMessageHandler([this](const std::string& m) { messages.push_back(m); });
  }
  std::unique_ptr<TQ6ptsinfoDlg> dialog;
  std::vector<std::string> messages;
};

TEST_F(DialogFixture, ShowsTheStoredTextsAndHints) {
  EXPECT_EQ(dialog->windowTitle(), "Point Details");
  const char* texts[] = {"Site1     ", "+0000", "1.000000", "2000", "20", "10", "0000"};
  const char* hints[] = {"within 10 digits", "from -9999 to 9999", "from 0.9999 to 1.000099",
                         "from 0 to 9999",   "from 0 to 99",       "from 0 to 99",
                         "from 0 to 9999"};
  for (int i = 0; i < kPointDetailsFieldCount; ++i) {
    QLineEdit* e = dialog->Edit(static_cast<F>(i));
    EXPECT_EQ(e->text().toStdString(), texts[i]);
    EXPECT_EQ(e->toolTip().toStdString(), hints[i]);
  }
  EXPECT_EQ(dialog->SiteEd->maxLength(), 10);
  EXPECT_EQ(dialog->OKBtn->text(), "OK");
  EXPECT_EQ(dialog->CancelBtn->text(), "CANCEL");
}

TEST_F(DialogFixture, LeavingStoresOrRefusesWithTheLastStoredText) {
  dialog->ElevEd->setText("-12");
  EXPECT_TRUE(dialog->Leave(F::kElevation));
  EXPECT_EQ(dialog->ElevEd->text(), "-0012");
  dialog->ElevEd->setText("12345");
  EXPECT_FALSE(dialog->Leave(F::kElevation));
  EXPECT_EQ(dialog->ElevEd->text(), "-0012");  // back to what was stored
  EXPECT_EQ(dialog->ElevEd->selectedText(), "-0012");
  dialog->AccEd->setText("abc");
  EXPECT_FALSE(dialog->Leave(F::kAccuracy));
  EXPECT_EQ(messages, (std::vector<std::string>{"Invalid value entered in Elevation",
                                                "Invalid value entered in Accuracy"}));
  EXPECT_EQ(dialog->details().elevation, "-0012");
  EXPECT_EQ(dialog->details().accuracy, "2000");
}

TEST_F(DialogFixture, EnterWalksTheEditsToOk) {
  dialog->show();
  QApplication::setActiveWindow(dialog.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
  EXPECT_EQ(QApplication::focusWidget(), dialog->SiteEd);
  QWidget* order[] = {dialog->ElevEd, dialog->ScaleEd, dialog->AccEd, dialog->Lim1Ed,
                      dialog->Lim2Ed, dialog->NumPtEd, dialog->OKBtn};
  for (QWidget* next : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
  }
  EXPECT_TRUE(messages.empty());
  dialog->hide();
}

TEST_F(DialogFixture, OkChecksEveryEditAndCancelKeepsNothing) {
  dialog->ScaleEd->setText("1.0001");
  dialog->OKBtn->click();
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_EQ(messages, std::vector<std::string>{"Invalid value entered in Scale"});
  dialog->ScaleEd->setText("0.99995");
  dialog->Lim1Ed->setText("7");
  dialog->OKBtn->click();
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(dialog->details().scale, "0.999950");
  EXPECT_EQ(dialog->details().limitDistance, "07");
  // The next showing starts from the stored values.
  TQ6ptsinfoDlg again(dialog->details());
  EXPECT_EQ(again.Lim1Ed->text(), "07");
}

// The Conversion items run on the filed list in the main window.
TEST(ListConversionItems, FiledListsBecomeUnsavedBlocks) {
  namespace fs = std::filesystem;
  testing::App();
  const fs::path dir = fs::temp_directory_path() / "kavex_list_items";
  fs::remove_all(dir);
  fs::create_directories(dir);
  qputenv("KAVEX_CONFIG_DIR", QByteArray::fromStdString(dir.string()));
  {
    TMainForm form({dir / "Kavex.ini", dir / "Kavex.ibk"}, dir.string());
    MainCommands commands(form);
    std::ofstream(dir / "a.cod", std::ios::binary) << "TREE,\r\n";
    form.Logic().SetCurrentFile((dir / "a.cod").string());
    form.DataMemo1->SetLines({"TREE,"});
    form.DataMemo1->SetModified(false);
    form.toQRX200300COD1->trigger();
    ASSERT_EQ(form.DataMemo1->Lines().size(), 1u);
    EXPECT_EQ(form.DataMemo1->Lines()[0].substr(0, 17), "\x02_:001TREE      _");
    EXPECT_EQ(form.CurrFilePass->text(), "(unsaved)");
    EXPECT_EQ(form.Logic().conversionResult, kConversionSuccess);

    // A bad points line: the command's own message, nothing converted.
    std::ofstream(dir / "b.pts", std::ios::binary) << ",1,2,3\r\n";
    form.Logic().SetCurrentFile((dir / "b.pts").string());
    form.DataMemo1->SetModified(false);
    std::string shown;
    testing::WhenModal([&shown](QWidget* w) {
      for (QLabel* l : w->findChildren<QLabel*>())
        if (!l->text().isEmpty()) shown = l->text().toStdString();
      w->close();
    });
    form.toQRX61->trigger();
    EXPECT_EQ(shown, "Invalid data.\n" + (dir / "b.pts").string() + ": line 1");
    EXPECT_TRUE(form.DataMemo1->Lines().empty());
    EXPECT_EQ(form.Logic().conversionResult, kConversionFileError);
    EXPECT_FALSE(form.Busy());
  }
  qunsetenv("KAVEX_CONFIG_DIR");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kavex
