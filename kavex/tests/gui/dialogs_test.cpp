#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QWidget>

#include "kavex/gui/about_box.h"
#include "kavex/gui/data_memo.h"
#include "kavex/gui/dir_change_dialog.h"
#include "kavex/gui/message_box_dialog.h"
#include "kavex/gui/qt_prompts.h"
#include "kavex/gui/save_current_dialog.h"
#include "kavex/gui/save_now_dialog.h"
#include "kavex/shell/main_logic.h"
#include "kavex/tests/gui/gui_test_support.h"
#include "kavex/tests/support/fake_clock.h"

namespace kavex {
namespace {

using Lines = std::vector<std::string>;

class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::App(); }
};

TEST_F(DialogsTest, MessageBoxWidthRule) {
  const struct {
    int chars;
    int mode;
    int width;
  } cases[] = {
      {0, 0, 200},  {6, 0, 200},  {7, 0, 77},   {30, 0, 215}, {0, 1, 250},  {27, 1, 250},
      {28, 1, 203}, {40, 1, 275}, {13, 2, 375}, {48, 2, 375}, {49, 2, 329}, {60, 2, 395},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TMBoxDlg::WidthFor(c.chars, c.mode), c.width) << c.chars << " mode " << c.mode;
}

TEST_F(DialogsTest, MessageBoxModesAnswerWithTheirCodes) {
  QWidget parent;
  QtPrompts prompts(&parent);
  const struct {
    int mode;
    const char* press;
    int result;
    QStringList visible;
  } cases[] = {
      {0, "OK", 1, {"OK"}},
      {1, "OK", 1, {"OK", "CANCEL"}},
      {1, "CANCEL", 2, {"OK", "CANCEL"}},
      {2, "YES", 6, {"YES", "NO", "CANCEL"}},
      {2, "NO", 7, {"YES", "NO", "CANCEL"}},
      {2, "CANCEL", 2, {"YES", "NO", "CANCEL"}},
  };
  for (const auto& c : cases) {
    QStringList shown;
    int width = 0;
    int height = 0;
    QString title;
    testing::WhenModal([&, press = QString::fromLatin1(c.press)](QWidget* w) {
      QList<QPushButton*> buttons = w->findChildren<QPushButton*>();
      std::sort(buttons.begin(), buttons.end(),
                [](const QPushButton* a, const QPushButton* b) { return a->x() < b->x(); });
      for (QPushButton* b : buttons)
        if (b->isVisible()) shown << b->text();
      width = w->width();
      height = w->height();
      title = w->windowTitle();
      for (QPushButton* b : w->findChildren<QPushButton*>())
        if (b->isVisible() && b->text() == press) b->click();
    });
    EXPECT_EQ(prompts.MessageBox("Save changes?", c.mode), c.result) << c.press;
    EXPECT_EQ(shown, c.visible) << c.mode;
    EXPECT_EQ(width, TMBoxDlg::WidthFor(13, c.mode));
    EXPECT_GE(height, TMBoxDlg::kHeight);
    EXPECT_EQ(title, "Kavex");
  }
  // Closing the box is CANCEL.
  testing::WhenModal([](QWidget* w) { w->close(); });
  EXPECT_EQ(prompts.MessageBox("Current DATA will be lost.", 1), 2);
}

TEST_F(DialogsTest, DataViewKeepsEveryByte) {
  DataMemo memo;
  std::string all;
  for (int b = 0; b < 256; ++b)
    if (b != '\n') all.push_back(static_cast<char>(b));
  const Lines lines = {all, "", "\xA0 nbsp\r", "last"};
  memo.SetLines(lines);
  EXPECT_EQ(memo.Lines(), lines);
  EXPECT_EQ(memo.LineCount(), 4u);
  EXPECT_TRUE(memo.Modified());
  memo.SetModified(false);
  memo.AppendLine("appended");
  EXPECT_TRUE(memo.Modified());
  EXPECT_EQ(memo.LineCount(), 5u);
  EXPECT_EQ(memo.Lines().back(), "appended");
  memo.ClearLines();
  EXPECT_EQ(memo.LineCount(), 0u);
  EXPECT_EQ(memo.Lines(), Lines{});
}

TEST_F(DialogsTest, LinesAddedInBatchesReadBackAsAddedOneByOne) {
  struct Case {
    Lines before;
    std::vector<Lines> batches;
    Lines after;
  };
  for (const Case& c : std::vector<Case>{
           {{}, {{"a", "b"}}, {"a", "b"}},
           {{"x"}, {{}, {"a"}, {"", "b\r"}}, {"x", "a", "", "b\r"}},
           {{"x", ""}, {{"", ""}}, {"x", "", "", ""}},
       }) {
    DataMemo memo;
    memo.SetLines(c.before);
    memo.SetModified(false);
    for (const Lines& batch : c.batches) memo.AppendLines(batch);
    EXPECT_EQ(memo.Lines(), c.after);
    EXPECT_TRUE(memo.Modified());
  }
}

TEST_F(DialogsTest, TypedTextIsReadAsLines) {
  DataMemo memo;
  memo.show();
  memo.setFocus();
  QTest::keyClicks(&memo, "A,1");
  QTest::keyClick(&memo, Qt::Key_Return);
  QTest::keyClicks(&memo, "B,2");
  EXPECT_EQ(memo.Lines(), (Lines{"A,1", "B,2"}));
  memo.AppendLine("C,3");
  EXPECT_EQ(memo.Lines(), (Lines{"A,1", "B,2", "C,3"}));
  // The view ends after the appended line; a line break typed there adds an empty line.
  QTest::keyClick(&memo, Qt::Key_Return);
  EXPECT_EQ(memo.Lines(), (Lines{"A,1", "B,2", "C,3", ""}));
}

TEST_F(DialogsTest, TypingStopsAtTheCharacterLimit) {
  DataMemo memo;
  // 99,999 lines of 99 characters and a line feed, then 97 and a line feed: two short of
  // full.
  Lines lines(kDataViewCharLimit / 100 - 1, std::string(99, 'x'));
  lines.push_back(std::string(97, 'x'));
  memo.SetLines(lines);
  ASSERT_EQ(memo.CharacterCount(), kDataViewCharLimit - 2);
  memo.MoveCursor({lines.size() - 1, 97});
  memo.setFocus();
  QTest::keyClicks(&memo, "abcd");
  EXPECT_EQ(memo.CharacterCount(), kDataViewCharLimit);
  QApplication::clipboard()->setText(QStringLiteral("pasted"));
  memo.paste();
  EXPECT_EQ(memo.CharacterCount(), kDataViewCharLimit);
  EXPECT_EQ(memo.Lines().back(), std::string(97, 'x') + "ab");
  // A paste is cut to the room left; the selection it replaces makes room.
  QTest::keyClick(&memo, Qt::Key_Home, Qt::ShiftModifier);
  QApplication::clipboard()->setText(QString(120, QLatin1Char('p')));
  memo.paste();
  EXPECT_EQ(memo.CharacterCount(), kDataViewCharLimit);
  EXPECT_EQ(memo.Lines().back(), std::string(99, 'p'));
}

TEST_F(DialogsTest, SavedNameWithoutExtensionTakesTheFilters) {
  const QString qr6 = QtPrompts::QtFilter("QRX-6 Data(*.qr6)|*.qr6").section(";;", 0, 0);
  struct Case {
    const char* name;
    QString filter;
    const char* saved;
  };
  for (const Case& c : std::vector<Case>{
           {"/data/job", qr6, "/data/job.qr6"},
           {"/data/job.qr6", qr6, "/data/job.qr6"},
           {"/data/job.txt", qr6, "/data/job.txt"},      // an extension of its own
           {"/data/job.", qr6, "/data/job."},            // a dot typed on purpose
           {"/data/.hidden", qr6, "/data/.hidden"},      // a name that starts with one
           {"/data.old/job", qr6, "/data.old/job.qr6"},  // only the file name counts
           {"/data/job", "Points (*.pts *.PTS)", "/data/job.pts"},
           {"/data/job", "All Files (*)", "/data/job"},
           {"/data/job", "Odd (*.q?6)", "/data/job"},
           {"/data/job", "", "/data/job"},
       }) {
    EXPECT_EQ(QtPrompts::WithFilterExtension(c.name, c.filter), c.saved)
        << c.name << " " << c.filter.toStdString();
  }
}

TEST_F(DialogsTest, SaveDialogAddsTheExtensionAndShowsWholeColumns) {
  const auto dir = std::filesystem::temp_directory_path() / "kavex_save_dialog_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "old.qr6") << "x\r\n";
  QWidget parent;
  QtPrompts prompts(&parent);
  int width = 0;
  std::vector<QHeaderView::ResizeMode> modes;
  testing::WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    width = dialog->width();
    if (auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView")))
      for (int c = 0; c < view->header()->count(); ++c)
        modes.push_back(view->header()->sectionResizeMode(c));
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(QStringLiteral("job"));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  FileDialogRequest request{"Save As", "QRX-6 Data(*.qr6)|*.qr6|All Files(*.*)|*.*", dir.string(),
                            ""};
  EXPECT_EQ(prompts.SaveFileName(request), (dir / "job.qr6").string());
  EXPECT_GE(width, 780);
  // Name stretches; size, type and date take what they hold.
  EXPECT_EQ(modes, (std::vector<QHeaderView::ResizeMode>{
                       QHeaderView::Stretch, QHeaderView::ResizeToContents,
                       QHeaderView::ResizeToContents, QHeaderView::ResizeToContents}));
  std::filesystem::remove_all(dir);
}

// The type of what is saved is the chosen filter, and a bare name takes its extension.
TEST_F(DialogsTest, SaveDialogPreselectsTheTypeOfTheData) {
  const auto dir = std::filesystem::temp_directory_path() / "kavex_save_type_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  QWidget parent;
  QtPrompts prompts(&parent);
  MemoryDataView view;
  testing::FakeClock clock;
  MainLogic logic(view, prompts, clock);
  const struct {
    const char* type;
    const char* filter;  // shown chosen
    const char* saved;
  } cases[] = {
      {".dxf", "DXF (*.dxf *.DXF)", "plot.dxf"},
      {".qr7", "QRX-7 Data (*.qr7 *.QR7)", "plot.qr7"},
      {".txt", "Text (*.txt *.TXT)", "plot.txt"},
      {"", "QRX-6 Data (*.qr6 *.QR6)", "plot.qr6"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    logic.dataType = c.type;
    FileDialogRequest request = logic.SaveRequest();
    request.initialFolder = dir.string();
    QString chosen;
    testing::WhenShown<QFileDialog>([&](QFileDialog* dialog) {
      chosen = dialog->selectedNameFilter();
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
          ->setText(QStringLiteral("plot"));
      QMetaObject::invokeMethod(dialog, "accept");
    });
    EXPECT_EQ(prompts.SaveFileName(request), (dir / c.saved).string());
    EXPECT_EQ(chosen.toStdString(), c.filter);
  }
  std::filesystem::remove_all(dir);
}

// The open dialog says which layout reads the file pointed at, before it is opened.
TEST_F(DialogsTest, OpenDialogSaysWhatTheFileIs) {
  const auto dir = std::filesystem::temp_directory_path() / "kavex_open_identify_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "job.pts") << "P1,1,2,3\nP2,4,5,6\n";
  QWidget parent;
  QtPrompts prompts(&parent);
  QString status;
  testing::WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    dialog->selectFile(QString::fromStdString((dir / "job.pts").string()));
    QApplication::processEvents();
    if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("IdentifyStatus")))
      status = label->text();
    dialog->reject();
  });
  FileDialogRequest request{"Open File", "Points(*.pts)|*.pts|All Files(*.*)|*.*", dir.string(),
                            ""};
  EXPECT_EQ(prompts.OpenFileName(request), std::nullopt);
  EXPECT_EQ(status.toStdString(), "points list, 2 points");
  std::filesystem::remove_all(dir);
}

TEST_F(DialogsTest, FileDialogFilters) {
  EXPECT_EQ(QtPrompts::QtFilter("QRX-6 Data(*.qr6)|*.qr6|All Files(*.*)|*.*"),
            "QRX-6 Data (*.qr6 *.QR6);;All Files (*)");
  EXPECT_EQ(QtPrompts::QtFilter("Points(*.pts)|*.pts;*.txt"), "Points (*.pts *.PTS *.txt *.TXT)");
}

TEST_F(DialogsTest, PathFieldsShowTheWholePathOrItsTwoEnds) {
  QWidget parent;
  QtPrompts prompts(&parent);
  const std::string folder =
      "/home/surveyor/projects/2016/north-bypass/section-" + std::string(60, 'x') + "/downloads";
  struct Case {
    std::string path;
    bool elided;
  };
  for (const Case& c : std::vector<Case>{{"/data/16123101.qr6", false},
                                         {folder + "/16123101.qr6", true},
                                         {"/data/m\xC3\xBCller/16123101.hk1", false}}) {
    const QString path = QString::fromUtf8(c.path.c_str());
    QString shown, tip, kept;
    int room = 0, used = 0;
    testing::WhenShown<TCrrSaveDlg1>([&](TCrrSaveDlg1* d) {
      PathField* field = d->NameField();
      shown = field->text();
      tip = field->toolTip();
      kept = field->Path();
      room = field->width();
      used = field->fontMetrics().horizontalAdvance(shown);
      d->CancelButton()->click();
    });
    prompts.ConfirmSaveCurrent("Cvt to NWF", c.path);
    EXPECT_EQ(kept, path);
    EXPECT_EQ(tip, path);
    EXPECT_LT(used, room) << c.path;
    if (!c.elided) {
      EXPECT_EQ(shown, path);
      continue;
    }
    // The start of the folder and the whole file name stay in sight.
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith("/home/surveyor/")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("/16123101.qr6")) << shown.toStdString();
  }
}

TEST_F(DialogsTest, SaveCurrentDialogShowsTheName) {
  QWidget parent;
  QtPrompts prompts(&parent);
  QString title;
  QString name;
  bool readOnly = false;
  testing::WhenModal([&](QWidget* w) {
    auto* d = static_cast<TCrrSaveDlg1*>(w);
    title = d->windowTitle();
    name = d->NameField()->text();
    readOnly = d->NameField()->isReadOnly();
    d->OkButton()->click();
  });
  EXPECT_TRUE(prompts.ConfirmSaveCurrent("Cvt to NWF", "16123101.qr6"));
  EXPECT_EQ(title, "Cvt to NWF");
  EXPECT_EQ(name, "16123101.qr6");
  EXPECT_TRUE(readOnly);
  testing::PressOnModal("CANCEL");
  EXPECT_FALSE(prompts.ConfirmSaveCurrent("Save NWF", "16123101.qr7"));
}

TEST_F(DialogsTest, ProgressWindowShowsTextAndPosition) {
  QWidget parent;
  QtPrompts prompts(&parent);
  TSaveNowDlg& dialog = prompts.ProgressDialog();
  {
    auto sink = prompts.ShowProgress("Kavex", false);
    sink->SetText("Saving Now ...");
    sink->SetPosition(140);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.TextLabel()->text(), "Saving Now ...");
    EXPECT_EQ(dialog.Bar()->value(), 100);
    dialog.reject();  // without a Cancel button the close box does nothing
    EXPECT_FALSE(sink->CancelRequested());
  }
  EXPECT_FALSE(dialog.isVisible());
  auto sink = prompts.ShowProgress("Download/Upload", true);
  dialog.reject();
  EXPECT_TRUE(sink->CancelRequested());
}

TEST_F(DialogsTest, AboutBoxAndFolderDialog) {
  TAboutBox about;
  EXPECT_EQ(about.windowTitle(), "About Kavex");
  EXPECT_EQ(about.findChild<QLabel*>("ProductName")->text(), "Kavex");
  EXPECT_EQ(about.findChild<QLabel*>("Version")->text(), "Version 1.3");
  EXPECT_EQ(about.OkButton()->text(), "OK");

  TDirChgDlg folders;
  EXPECT_EQ(folders.windowTitle(), "Select Data Directory");
  const QString home = QDir::homePath();
  folders.SetOptions({home});
  EXPECT_EQ(folders.options().folder, home);
  EXPECT_GT(folders.DriveBox()->count(), 0);
  EXPECT_TRUE(home.startsWith(folders.DriveBox()->currentData().toString()));
}

TEST_F(DialogsTest, FolderDialogKeepsTheCurrentFolderInView) {
  // Many folders beside each other, listed only after the dialog opened.
  const auto dir = std::filesystem::temp_directory_path() / "kavex_folder_view_test";
  std::filesystem::remove_all(dir);
  for (int i = 0; i < 300; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "f%03d", i);
    std::filesystem::create_directories(dir / name);
  }
  std::filesystem::create_directories(dir / "f250" / "jobs");
  const QString target = QString::fromStdString((dir / "f250" / "jobs").string());

  TDirChgDlg folders;
  folders.show();
  folders.SetOptions({target});
  QTreeView* tree = folders.FolderList();
  auto inView = [tree] {
    const QRect row = tree->visualRect(tree->currentIndex());
    return row.isValid() && tree->viewport()->rect().contains(row);
  };
  // Give the listings time to arrive; the folder must end up (and stay) in view.
  QTest::qWait(1500);
  EXPECT_EQ(folders.options().folder, target);
  EXPECT_TRUE(inView()) << "row at " << tree->visualRect(tree->currentIndex()).y() << " of a view "
                        << tree->viewport()->height() << " high";
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kavex
