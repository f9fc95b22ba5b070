#include "kavex/gui/main_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "kavex/gui/data_memo.h"
#include "kavex/gui/help_form.h"
#include "kavex/gui/message_box_dialog.h"
#include "kavex/gui/qt_prompts.h"
#include "kavex/platform/config_paths.h"
#include "kavex/tests/gui/gui_test_support.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

QStringList Captions(const QMenu* menu) {
  QStringList out;
  for (const QAction* a : menu->actions())
    if (!a->isSeparator()) out << a->text();
  return out;
}

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    dir = fs::temp_directory_path() /
          ("kavex_gui_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    paths = {dir / "Kavex.ini", dir / "Kavex.ibk"};
    form = std::make_unique<TMainForm>(paths, DefaultDataDir());
    form->show();
  }
  void TearDown() override {
    form.reset();
    fs::remove_all(dir);
  }
  static std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path dir;
  SettingsPaths paths;
  std::unique_ptr<TMainForm> form;
};

TEST_F(MainFormTest, ShowsTheFullMenu) {
  QStringList top;
  for (const QAction* a : form->menuBar()->actions()) top << a->text();
  EXPECT_EQ(top, (QStringList{"&File", "Co&mm", "Con&version", "&Help"}));
  EXPECT_EQ(Captions(form->FileMenu),
            (QStringList{"&New", "&Open", "&Save", "Save &as ", "&Print", "&Data Dir", "&Exit"}));
  EXPECT_EQ(Captions(form->CommMenu), (QStringList{"&Download", "&Upload"}));
  EXPECT_EQ(Captions(form->DownloadMenu), (QStringList{"&Terminal", "QRX-&700/710/800 (NWF)",
                                                       "QRX-&210/310/WNV-1000", "HK-&101/102"}));
  EXPECT_EQ(Captions(form->UploadMenu),
            (QStringList{"&Terminal", "QRX-&700/710/800 (NWF)", "QRX-210/310/WNV-1000 (&Coords)",
                         "QRX-210/310/WNV-1000 (&Pcode)"}));
  EXPECT_EQ(Captions(form->ConversionMenu),
            (QStringList{"to NWF (QRX-&700/710/800)(Raw or Coords)", "to HK-&101/102 Text",
                         "to QRX-210/310/WNV-1000(Raw)", "to QRX-210/310/WNV-1000 (&Coords)",
                         "to QRX-210/310/WNV-1000 (&Pcode)",
                         "to DXF(Only QRX-210/310/WNV-1000 Coords)", "to GIS...", "from GIS..."}));
  EXPECT_EQ(Captions(form->HelpMenu), (QStringList{"&Contents", "&About"}));
  // Later commands are reachable by their names.
  EXPECT_EQ(form->DownloadMenu->actions().at(2), form->DldQRX6);
  EXPECT_EQ(form->UploadMenu->actions().at(3), form->QRX2003006CODE1);
  EXPECT_EQ(form->ConversionMenu->actions().at(0), form->toQRX7008001);
}

TEST_F(MainFormTest, ShowsTheToolButtonsLabelAndView) {
  const QStringList hints = {"New (Clear)",
                             "File Load",
                             "File Save",
                             "Exit",
                             "Download QRX-700/710/800",
                             "Download QRX-210/310/WNV-1000",
                             "Download HK-101/102",
                             "Upload QRX-700/710/800",
                             "Upload Coords to QRX-200/300/WNV-1000",
                             "Upload Pcodes to QRX-210/310/WNV-1000"};
  const QList<QAction*> commands = {
      form->NewItem, form->OpenItem, form->SaveItem, form->ExitItem, form->DldQRX7,
      form->DldQRX6, form->DldHK1,   form->UldQRX7,  form->UldQRX6,  form->QRX2003006CODE1};
  for (int i = 0; i < 10; ++i) {
    QToolButton* b = form->ToolButtons[static_cast<size_t>(i)];
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->isVisible()) << i;
    EXPECT_EQ(b->toolTip(), hints[i]);
    EXPECT_EQ(b->defaultAction(), commands[i]) << i;
  }
  EXPECT_EQ(form->FileLabel->text(), "File: ");
  EXPECT_EQ(form->CurrFilePass->text(), "(unsaved)");
  EXPECT_EQ(form->EditModeButton->text(), "EDIT MODE");
  EXPECT_EQ(form->EditModeButton->toolTip(), "Edit Coordinate or Pcode");
  EXPECT_TRUE(form->DataMemo1->isVisible());
  EXPECT_FALSE(form->DataMemo1->isReadOnly());
  EXPECT_EQ(form->DataMemo1->font(), QFontDatabase::systemFont(QFontDatabase::FixedFont));
  EXPECT_EQ(form->DataMemo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(form->DataMemo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(form->windowTitle(), "Kavex");
  EXPECT_EQ(form->minimumSize(), form->maximumSize());
  EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);

  form->Logic().SetCurrentFile("/data/job.qr6");
  EXPECT_EQ(form->CurrFilePass->text(), "/data/job.qr6");
}

TEST_F(MainFormTest, BusyGreysEverythingAndUnbuiltCommandsStayOff) {
  EXPECT_TRUE(form->NewItem->isEnabled());
  EXPECT_TRUE(form->AboutItem->isEnabled());
  for (QAction* later : {form->PrintItem, form->DldTerminal, form->DldQRX6, form->UldQRX6,
                         form->toQRX61, form->toDXF, form->EditButton})
    EXPECT_FALSE(later->isEnabled()) << later->objectName().toStdString();

  form->Logic().EnterBusy();
  for (QAction* m : form->menuBar()->actions()) EXPECT_FALSE(m->isEnabled());
  for (QToolButton* b : form->ToolButtons) EXPECT_FALSE(b->isEnabled());
  EXPECT_FALSE(form->DataMemo1->isEnabled());
  EXPECT_FALSE(form->EditModeButton->isEnabled());
  form->close();  // a running command keeps the window
  EXPECT_TRUE(form->isVisible());

  int runs = 0;
  form->Wire(form->DldQRX6, [&runs] { ++runs; });
  EXPECT_FALSE(form->DldQRX6->isEnabled());
  form->Logic().LeaveBusy();
  for (QAction* m : form->menuBar()->actions()) EXPECT_TRUE(m->isEnabled());
  EXPECT_TRUE(form->DataMemo1->isEnabled());
  EXPECT_TRUE(form->ToolButtons[0]->isEnabled());
  EXPECT_TRUE(form->DldQRX6->isEnabled());
  EXPECT_TRUE(form->ToolButtons[5]->isEnabled());
  form->ToolButtons[5]->click();
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(form->DldQRX7->isEnabled());
  EXPECT_FALSE(form->ToolButtons[4]->isEnabled());
  EXPECT_FALSE(form->EditModeButton->isEnabled());
}

TEST_F(MainFormTest, ClosingWithNothingChangedWritesTheDefaults) {
  EXPECT_TRUE(form->close());
  const std::string home = QFile::encodeName(QDir::homePath()).toStdString();
  EXPECT_EQ(ReadBytes(paths.settingsFile), "DATA_DIR=" + home +
                                               "\r\n"
                                               "PROTOCOL=N,N,N\r\n"
                                               "COM_STATUS=COM1,9600,8,N,1\r\n"
                                               "ADVANCED=400 ,100,10000,Y,Y,Y\r\n"
                                               "PRINT=100,1.2,1\r\n"
                                               "UPDDLG=Y\r\n");
}

TEST_F(MainFormTest, ExitWithTypedDataAsksAndCancelKeepsTheWindow) {
  form->DataMemo1->setFocus();
  QTest::keyClicks(form->DataMemo1, "P1,10.0");
  EXPECT_TRUE(form->DataMemo1->Modified());
  QString asked;
  testing::WhenModal([&asked](QWidget* w) {
    asked = static_cast<TMBoxDlg*>(w)->Text();
    static_cast<TMBoxDlg*>(w)->CancelButton()->click();
  });
  form->ExitItem->trigger();
  EXPECT_EQ(asked, "Save the current DATA?");
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->DataMemo1->Lines(), std::vector<std::string>{"P1,10.0"});
  EXPECT_FALSE(fs::exists(paths.settingsFile));

  testing::PressOnModal("NO");
  form->ExitItem->trigger();
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(fs::exists(paths.settingsFile));
}

TEST_F(MainFormTest, NewAsksThroughTheMessageBox) {
  form->DataMemo1->SetLines({"a", "b"});
  testing::PressOnModal("CANCEL");
  form->NewItem->trigger();
  EXPECT_EQ(form->DataMemo1->LineCount(), 2u);
  testing::PressOnModal("OK");
  form->ToolButtons[0]->click();
  EXPECT_EQ(form->DataMemo1->LineCount(), 0u);
  EXPECT_FALSE(form->DataMemo1->Modified());
}

TEST_F(MainFormTest, ContentsWithoutTheManualSaysWhereItLooked) {
  form->SetHelpFile(QString::fromStdString((dir / "help" / "index.html").string()));
  QString asked;
  testing::WhenModal([&asked](QWidget* w) {
    asked = static_cast<TMBoxDlg*>(w)->Text();
    static_cast<TMBoxDlg*>(w)->OkButton()->click();
  });
  form->ContentsItem->trigger();
  EXPECT_EQ(asked, QString::fromStdString("The Kavex manual was not found: " +
                                          (dir / "help" / "index.html").string()));
  EXPECT_EQ(form->HelpForm, nullptr);
}

TEST_F(MainFormTest, ContentsShowsTheManualInOneWindow) {
  // The manual as the build tree holds it, beside bin/ as in an installation.
  ASSERT_TRUE(fs::is_regular_file(HelpFilePath())) << HelpFilePath();
  form->ContentsItem->trigger();
  THelpForm* help = form->HelpForm;
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_EQ(help->windowTitle(), "Kavex Help - Kavex manual");
  EXPECT_TRUE(help->Browser()->toPlainText().contains("Getting connected"));
  // Following a link and asking for the contents again keeps the one window.
  help->Browser()->setSource(QUrl(QStringLiteral("troubleshooting.html")));
  EXPECT_EQ(help->windowTitle(), "Kavex Help - When a transfer does not work");
  form->ContentsItem->trigger();
  EXPECT_EQ(form->HelpForm, help);
  EXPECT_EQ(help->windowTitle(), "Kavex Help - Kavex manual");
}

}  // namespace
}  // namespace kavex
