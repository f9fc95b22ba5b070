#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "ulvo/gui/about_dlg.h"
#include "ulvo/gui/cconvert_view.h"
#include "ulvo/gui/cplan_view.h"
#include "ulvo/gui/ctransfer_view.h"
#include "ulvo/gui/help_view.h"
#include "ulvo/gui/id_name_combo.h"
#include "ulvo/gui/line_pane.h"
#include "ulvo/gui/main_frame.h"
#include "ulvo/gui/splash_wnd.h"
#include "ulvo/gui/task_windows.h"
#include "ulvo/tests/gui/gui_test_support.h"

namespace fs = std::filesystem;

namespace ulvo {
namespace {

// The one application of the test program, shared with the help page tests.
QApplication& App() {
  return EnsureApplication();
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

class MainFrameTest : public testing::Test {
 protected:
  void SetUp() override {
    App();
    folder_ =
        fs::path(testing::TempDir()) /
        ("ulvo_gui_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    frame_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    fs::remove_all(folder_);
  }
  CMainFrame& Frame() {
    app_.Start(folder_, &profile_);
    frame_ = std::make_unique<CMainFrame>(app_);
    frame_->SetMessageHandler([this](const QString& text) { messages_.push_back(text); });
    frame_->SetLockKeyReader([] { return LockKeys{}; });
    return *frame_;
  }
  // Menu texts in order, submenus indented by their parent's title.
  static QStringList MenuTexts(QMenuBar* bar) {
    QStringList texts;
    for (QAction* top : bar->actions()) {
      texts << top->text();
      for (QAction* item : top->menu()->actions()) {
        if (item->isSeparator()) continue;
        texts << "  " + item->text();
        if (item->menu()) {
          for (QAction* sub : item->menu()->actions()) {
            if (!sub->isSeparator()) texts << "    " + sub->text();
          }
        }
      }
    }
    return texts;
  }
  static int SubWindows(CMainFrame& frame) {
    int open = 0;
    for (QMdiSubWindow* w : frame.findChild<QMdiArea*>()->subWindowList()) {
      if (!w->isHidden()) ++open;
    }
    return open;
  }

  fs::path folder_;
  MemoryProfileStore profile_;
  CDunmarkApp app_;
  std::unique_ptr<CMainFrame> frame_;
  QStringList messages_;
};

const QStringList kDefaultMenu = {
    "&File",      "  &Format Design", "    &Formats",
    "    &Types", "    &Groups",      "    &Elements",
    "  E&xit",    "&Tasks",           "  &Transfer",
    "  &Convert", "  &Plan",          "&View",
    "  &Toolbar", "  &Status Bar",    "&Help",
    "  &Index",   "  &About ULVO...",
};

TEST_F(MainFrameTest, MenuShowsTheTableWithoutTranslations) {
  CMainFrame& frame = Frame();
  frame.TranslateMenu();
  EXPECT_EQ(MenuTexts(frame.menuBar()), kDefaultMenu);
}

TEST_F(MainFrameTest, MenuIsTranslatedOnceShown) {
  WriteAll(folder_ / "ulvo.tft",
           "TRANSLATIONS FILE ULVO\nVERSION 1.0\n"
           "MNU_FILE = \"&Bestand\"\nMNU_FILE_DESIGN = \"&Formaatontwerp\"\n"
           "MNU_FILE_DESIGN_ELEMENTS = \"&Elementen\"\nMNU_FILE_EXIT = \"&Afsluiten\"\n"
           "MNU_TASKS_CONVERT = \"&Omzetten\"\nmnu_view_statusbar=\"&Statusbalk\"\n"
           "MNU_HELP_ABOUT = \"&Over ULVO...\"\n");
  CMainFrame& frame = Frame();
  EXPECT_EQ(MenuTexts(frame.menuBar()), kDefaultMenu);
  frame.TranslateMenu();
  const QStringList dutch = {
      "&Bestand",        "  &Formaatontwerp", "    &Formats", "    &Types",
      "    &Groups",     "    &Elementen",    "  &Afsluiten", "&Tasks",
      "  &Transfer",     "  &Omzetten",       "  &Plan",      "&View",
      "  &Toolbar",      "  &Statusbalk",     "&Help",        "  &Index",
      "  &Over ULVO...",
  };
  EXPECT_EQ(MenuTexts(frame.menuBar()), dutch);
  EXPECT_EQ(frame.CommandAction(kCmdConvert)->toolTip(), "Omzetten");
}

TEST_F(MainFrameTest, ViewMenuHidesAndShowsTheBars) {
  CMainFrame& frame = Frame();
  frame.show();
  QAction* toolBarItem = nullptr;
  QAction* statusBarItem = nullptr;
  for (QAction* item : frame.menuBar()->actions()[2]->menu()->actions()) {
    (item->text() == "&Toolbar" ? toolBarItem : statusBarItem) = item;
  }
  auto* toolBar = frame.findChild<QToolBar*>();
  ASSERT_TRUE(toolBarItem && statusBarItem && toolBar);
  EXPECT_TRUE(toolBarItem->isChecked());
  toolBarItem->trigger();
  EXPECT_FALSE(toolBar->isVisible());
  statusBarItem->trigger();
  EXPECT_FALSE(frame.statusBar()->isVisible());
  toolBar->toggleViewAction()->trigger();  // the toolbar shown again by its own means
  EXPECT_TRUE(toolBar->isVisible());
  EXPECT_TRUE(toolBarItem->isChecked());
  frame.showMinimized();
  EXPECT_TRUE(toolBarItem->isChecked());
}

TEST_F(MainFrameTest, ShippedDutchFileTranslatesEveryMenuText) {
  fs::copy_file(fs::path(ULVO_SHIPPED_DATA_DIR) / "ulvo-nl.tft", folder_ / "ulvo.tft");
  CMainFrame& frame = Frame();
  frame.TranslateMenu();
  const QStringList dutch = {
      "&Bestand",
      "  &Formaatontwerp",
      "    &Formaten",
      "    &Typen",
      "    &Groepen",
      "    &Elementen",
      "  &Afsluiten",
      "&Taken",
      "  &Overdracht",
      "  &Converteren",
      "  &Plattegrond",
      "Be&eld",
      "  &Werkbalk",
      "  &Statusbalk",
      "&Help",
      "  &Inhoud",
      "  Info &over ULVO...",
  };
  EXPECT_EQ(MenuTexts(frame.menuBar()), dutch);
  bool ready = false;
  for (QLabel* label : frame.statusBar()->findChildren<QLabel*>())
    ready |= label->text() == "Gereed";
  EXPECT_TRUE(ready);
  EXPECT_EQ(frame.CommandAction(kCmdPrint)->toolTip(), "Afdrukken");
}

// Qt's own buttons follow the translations' language, and only while the frame lives.
TEST_F(MainFrameTest, QtsOwnTextsSpeakTheTranslationsLanguage) {
  const auto yesNo = [] {
    QMessageBox box(QMessageBox::Question, "ULVO", "?", QMessageBox::Yes | QMessageBox::No);
    return box.button(QMessageBox::Yes)->text() + "/" + box.button(QMessageBox::No)->text();
  };
  ASSERT_EQ(yesNo(), "&Yes/&No");
  fs::copy_file(fs::path(ULVO_SHIPPED_DATA_DIR) / "ulvo-nl.tft", folder_ / "ulvo.tft");
  Frame();
  EXPECT_EQ(yesNo(), "&Ja/&Nee");
  EXPECT_EQ(QFileDialog::tr("&Open"), "&Openen") << "file dialogs too";
  frame_.reset();
  EXPECT_EQ(yesNo(), "&Yes/&No");
}

TEST_F(MainFrameTest, TaskCommandsEnabledOnlyWhileNoWindowOfTheirType) {
  CMainFrame& frame = Frame();
  for (int id :
       {kCmdTransfer, kCmdConvert, kCmdFormats, kCmdTypes, kCmdGroups, kCmdElements, kCmdPrint}) {
    EXPECT_FALSE(frame.CommandAction(id)->isEnabled()) << id;
  }
  frame.RegisterTask(kTransferType, [](CMainFrame&) { return new QLabel("transfer"); });
  frame.RegisterTask(kDesignType, [](CMainFrame&) { return new QLabel("design"); });
  EXPECT_TRUE(frame.CommandAction(kCmdTransfer)->isEnabled());
  EXPECT_TRUE(frame.CommandAction(kCmdFormats)->isEnabled());
  EXPECT_FALSE(frame.CommandAction(kCmdConvert)->isEnabled());

  frame.CommandAction(kCmdTransfer)->trigger();
  EXPECT_TRUE(frame.TaskIsOpen(kTransferType));
  EXPECT_FALSE(frame.TaskIsOpen(kDesignType));
  EXPECT_FALSE(frame.CommandAction(kCmdTransfer)->isEnabled());
  EXPECT_TRUE(frame.CommandAction(kCmdFormats)->isEnabled());
  QWidget* view = frame.TaskView(kTransferType);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(frame.OpenTask(kTransferType), view);  // brought forward, not opened twice
  EXPECT_EQ(SubWindows(frame), 1);

  frame.CloseTask(view);
  QCoreApplication::processEvents();
  EXPECT_FALSE(frame.TaskIsOpen(kTransferType));
  EXPECT_TRUE(frame.CommandAction(kCmdTransfer)->isEnabled());
  EXPECT_EQ(frame.OpenTask(kConvertType), nullptr);
  EXPECT_EQ(frame.OpenTask(kMergeType), nullptr);

  int asked = 0;
  frame.SetCommandHandler(kCmdGroups, [&asked] { ++asked; });
  EXPECT_TRUE(frame.CommandAction(kCmdGroups)->isEnabled());
  EXPECT_FALSE(frame.CommandAction(kCmdTypes)->isEnabled());
  frame.CommandAction(kCmdGroups)->trigger();
  EXPECT_EQ(asked, 1);
}

TEST_F(MainFrameTest, HelpWindowIsReused) {
  WriteAll(folder_ / "help" / "ulvo.htm", "<html><body><h1>Index</h1></body></html>");
  WriteAll(folder_ / "help" / "H0000402.htm", "<html><body><h1>Transfer</h1></body></html>");
  CMainFrame& frame = Frame();
  EXPECT_FALSE(frame.TaskIsOpen(kHelpType));
  frame.ShowHelpIndex();
  auto* help = qobject_cast<CHelpView*>(frame.TaskView(kHelpType));
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->source().path().endsWith("/help/ulvo.htm"));
  EXPECT_EQ(help->windowTitle(), "Help");
  frame.ShowContextHelp(402);
  frame.ShowHelpIndex();
  frame.ShowContextHelp(402);
  EXPECT_EQ(frame.TaskView(kHelpType), help);
  EXPECT_EQ(SubWindows(frame), 1);
  EXPECT_TRUE(help->source().path().endsWith("/help/H0000402.htm"));
  EXPECT_TRUE(help->toPlainText().contains("Transfer"));
  EXPECT_TRUE(messages_.isEmpty());
  help->Navigate(QString::fromStdString((folder_ / "help" / "gone.htm").string()));
  EXPECT_TRUE(help->toPlainText().isEmpty());
}

TEST_F(MainFrameTest, F1OnAControlLooksForItsPage) {
  CMainFrame& frame = Frame();
  QLineEdit* edit = nullptr;
  frame.RegisterTask(kTransferType, [&edit](CMainFrame&) {
    auto* view = new QWidget;
    edit = new QLineEdit(view);
    SetHelpId(edit, 1701);
    return view;
  });
  frame.show();
  frame.OpenTask(kTransferType);
  QApplication::setActiveWindow(&frame);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_F1);
  ASSERT_EQ(messages_.size(), 1);
  EXPECT_EQ(messages_[0], "helpfile H0001701.htm not found.");
  EXPECT_FALSE(frame.TaskIsOpen(kHelpType));

  WriteAll(folder_ / "help" / "H0001701.htm", "<html><body>Port</body></html>");
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_F1);
  EXPECT_EQ(messages_.size(), 1);
  auto* help = qobject_cast<CHelpView*>(frame.TaskView(kHelpType));
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->source().path().endsWith("/help/H0001701.htm"));
}

// The frame's F1 shortcut does not reach a modal dialog; its controls have pages too.
TEST_F(MainFrameTest, F1InAModalDialogShowsItsPageInTheHelpWindow) {
  WriteAll(folder_ / "help" / "H0002504.htm", "<html><body>Identifier</body></html>");
  CMainFrame& frame = Frame();
  frame.show();
  QDialog dialog(&frame);
  auto* edit = new QLineEdit(&dialog);
  SetHelpId(edit, 2504);
  bool shown = false;
  QTimer::singleShot(0, [&] {
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_F1);
    shown = frame.TaskIsOpen(kHelpType);
    dialog.reject();
  });
  dialog.exec();
  EXPECT_TRUE(shown);
  auto* help = qobject_cast<CHelpView*>(frame.TaskView(kHelpType));
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->source().path().endsWith("/help/H0002504.htm"));
  EXPECT_TRUE(messages_.isEmpty());
}

// At 1366 x 768 the Transfer window with its Line pane open stays within the main window:
// the pane takes the room there is, and the buttons under it stay in sight.
TEST_F(MainFrameTest, TransferWindowWithTheLinePaneFitsTheScreen) {
  fs::copy(fs::path(ULVO_SHIPPED_DATA_DIR) / "IIF", folder_ / "IIF");
  CMainFrame& frame = Frame();
  RegisterTaskWindows(frame);
  frame.resize(1366, 768);
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  QWidget* view = frame.OpenTask(kTransferType);
  ASSERT_NE(view, nullptr);
  auto* transfer = qobject_cast<CTransferView*>(view);
  ASSERT_NE(transfer, nullptr);
  LinePane* pane = transfer->Pane();
  auto* area = frame.findChild<QMdiArea*>();
  for (bool open : {false, true, false, true}) {
    SCOPED_TRACE(open);
    if (pane->IsOpen() != open) pane->Toggle()->click();
    QCoreApplication::processEvents();
    const QRect room = area->viewport()->rect();
    for (const char* name : {"next", "close", "LineHex", "SaveTrace", "LineToggle"}) {
      auto* control = view->findChild<QWidget*>(name);
      ASSERT_NE(control, nullptr) << name;
      if (!control->isVisibleTo(view)) continue;
      const QRect at(control->mapTo(area->viewport(), QPoint(0, 0)), control->size());
      EXPECT_TRUE(room.contains(at))
          << name << " at y " << at.top() << ".." << at.bottom() << ", room " << room.bottom();
    }
    if (open) {
      EXPECT_GT(pane->Text()->height(), 40);
    }
  }
}

TEST_F(MainFrameTest, MissingHelpPageMessageIsTranslated) {
  WriteAll(folder_ / "ulvo.tft",
           "TRANSLATIONS FILE ULVO\nVERSION 1.0\n"
           "EMSG_HELPFILENOTFOUND = \"Helpbestand %s niet gevonden.\"\n");
  CMainFrame& frame = Frame();
  frame.ShowContextHelp(32773);
  ASSERT_EQ(messages_.size(), 1);
  EXPECT_EQ(messages_[0], "Helpbestand H0032773.htm niet gevonden.");
}

TEST_F(MainFrameTest, StatusBarShowsTheLockKeys) {
  CMainFrame& frame = Frame();
  auto pane = [&frame](const char* name) {
    return frame.statusBar()->findChild<QLabel*>(name)->text();
  };
  EXPECT_EQ(pane("CAP"), "");
  frame.SetLockKeyReader([] { return LockKeys{true, false, true}; });
  EXPECT_EQ(pane("CAP"), "CAP");
  EXPECT_EQ(pane("NUM"), "");
  EXPECT_EQ(pane("SCRL"), "SCRL");
  frame.SetLockKeyReader([] { return LockKeys{false, true, false}; });
  EXPECT_EQ(pane("CAP"), "");
  EXPECT_EQ(pane("NUM"), "NUM");
  EXPECT_EQ(pane("SCRL"), "");

  // Caps Lock pressed while the program has the keyboard: its key release shows it.
  bool caps = false;
  int reads = 0;
  frame.SetLockKeyReader([&caps, &reads] {
    ++reads;
    return LockKeys{caps, false, false};
  });
  frame.show();
  QApplication::setActiveWindow(&frame);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  caps = true;
  reads = 0;
  QTest::keyClick(frame.windowHandle(), Qt::Key_CapsLock);
  EXPECT_EQ(pane("CAP"), "CAP");
  EXPECT_EQ(reads, 1);
}

TEST_F(MainFrameTest, ClosingTheFrameWritesTheSettings) {
  CMainFrame& frame = Frame();
  frame.RegisterTask(kTransferType, [](CMainFrame&) { return new QLabel("transfer"); });
  frame.OpenTask(kTransferType);
  frame.show();
  EXPECT_FALSE(fs::exists(folder_ / "Settings.xml"));
  EXPECT_TRUE(frame.close());
  EXPECT_TRUE(fs::exists(folder_ / "Settings.xml"));
  EXPECT_TRUE(messages_.isEmpty());
}

// Leaving the program with the Convert window open keeps what the window shows.
TEST_F(MainFrameTest, ExitWithTheConvertWindowOpenKeepsItsChoices) {
  fs::copy(fs::path(ULVO_SHIPPED_DATA_DIR) / "Formats", folder_ / "Formats");
  fs::copy_file(fs::path(ULVO_SHIPPED_DATA_DIR) / "Settings.xml", folder_ / "Settings.xml");
  CMainFrame& frame = Frame();
  RegisterTaskWindows(frame);
  auto* convert = qobject_cast<CConvertView*>(frame.OpenTask(kConvertType));
  ASSERT_NE(convert, nullptr);
  convert->TargetFile()->setText(QStringLiteral("/data/chosen target.txt"));
  frame.show();
  EXPECT_TRUE(frame.close());
  std::ifstream in(folder_ / "Settings.xml", std::ios::binary);
  const std::string written(std::istreambuf_iterator<char>(in), {});
  EXPECT_NE(written.find("<file name=\"/data/chosen target.txt\"/>"), std::string::npos) << written;
}

// Answers every conversion message without a message box.
class SilentPrompts : public ConversionPrompts {
 public:
  void ShowMessage(const Message& message) override { shown.push_back(message.text.key); }
  bool AskReplace(const Message&) override { return true; }
  std::vector<std::string> shown;
};

// After a conversion the Convert window opens the Plan window on either side of it: the
// target holds the same points as the source, and each format keeps its own element choice.
TEST_F(MainFrameTest, ConvertPlanShowsTheSamePointsForSourceAndTarget) {
  fs::copy(fs::path(ULVO_SHIPPED_DATA_DIR) / "Formats", folder_ / "Formats");
  fs::copy_file(fs::path(ULVO_SHIPPED_DATA_DIR) / "Settings.xml", folder_ / "Settings.xml");
  WriteAll(folder_ / "in.csv", "P1,100,200,1,\r\nP2,110,200,2,PEG\r\nP3,100,230,3,\r\n");
  CMainFrame& frame = Frame();
  RegisterTaskWindows(frame);
  auto* convert = qobject_cast<CConvertView*>(frame.OpenTask(kConvertType));
  ASSERT_NE(convert, nullptr);
  SilentPrompts prompts;
  convert->SetPrompts(&prompts);
  EXPECT_FALSE(convert->PlanButton()->isEnabled());
  ASSERT_EQ(convert->PlanMenu()->actions().size(), 2);
  QAction* source = convert->PlanMenu()->actions()[0];
  QAction* target = convert->PlanMenu()->actions()[1];
  EXPECT_EQ(source->text(), "Plan of the &source");
  // Nothing to draw before a conversion.
  source->trigger();
  EXPECT_FALSE(frame.TaskIsOpen(kPlanType));

  convert->SourceFile()->setText(QString::fromStdString((folder_ / "in.csv").string()));
  convert->TargetFile()->setText(QString::fromStdString((folder_ / "out.txt").string()));
  convert->Convert();
  ASSERT_EQ(prompts.shown, std::vector<std::string>{kCnvSuccessMsg.key});
  EXPECT_TRUE(convert->PlanButton()->isEnabled());
  // Fields changed after the conversion do not change what its plan shows.
  convert->SourceFile()->setText(QStringLiteral("/nowhere/else.csv"));

  const auto names = [](const CPlanView& view) {
    std::vector<std::string> n;
    for (const SurveyPoint& p : view.Model().Points()) n.push_back(p.name);
    return n;
  };
  struct Step {
    QAction* side;
    const char* format;
    bool swapAndDraw;  // the user swaps northing and easting and draws again
    double firstNorthing;
  };
  const Step steps[] = {
      {source, "Point list (comma-separated)", true, 200},
      {target, "Point list (fixed columns)", false, 100},
      {source, "Point list (comma-separated)", false, 200},
  };
  for (const Step& step : steps) {
    step.side->trigger();
    auto* plan = qobject_cast<CPlanView*>(frame.TaskView(kPlanType));
    ASSERT_NE(plan, nullptr);
    if (step.swapAndDraw) {
      plan->Element(0)->setEditText(QStringLiteral("E"));
      plan->Element(1)->setEditText(QStringLiteral("N"));
      ASSERT_TRUE(plan->Draw());
    }
    SCOPED_TRACE(step.format);
    EXPECT_EQ(plan->Format()->currentText(), step.format);
    EXPECT_EQ(plan->Header()->text(), "3 points");
    EXPECT_EQ(names(*plan), (std::vector<std::string>{"P1", "P2", "P3"}));
    EXPECT_DOUBLE_EQ(plan->Model().Points()[0].northing, step.firstNorthing);
  }
  EXPECT_TRUE(messages_.isEmpty());
}

// A Settings.xml that cannot be read is named at start, with where it went; the lists are
// the shipped ones, so Convert offers its formats.
TEST_F(MainFrameTest, StartTellsWhichSettingsFileWasSetAside) {
  fs::copy(fs::path(ULVO_SHIPPED_DATA_DIR) / "Formats", folder_ / "Formats");
  WriteAll(folder_ / "Settings.xml", "<other/>");
  WriteAll(folder_ / "Settings.xml.bad", "an earlier one");
  CMainFrame& frame = Frame();
  RegisterTaskWindows(frame);
  frame.ShowStartNotices();
  ASSERT_EQ(messages_.size(), 1);
  EXPECT_EQ(
      messages_[0].toStdString(),
      (folder_ / "Settings.xml").string() +
          " could not be read: its root element is <other>, not <settings>.\nIt was kept as " +
          (folder_ / "Settings.xml.2.bad").string() +
          ".\nULVO starts with the types, groups and elements it was shipped with.");
  std::ifstream earlier(folder_ / "Settings.xml.bad", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(earlier), {}), "an earlier one");
  auto* convert = qobject_cast<CConvertView*>(frame.OpenTask(kConvertType));
  ASSERT_NE(convert, nullptr);
  EXPECT_EQ(convert->SourceType()->count(), 2);
  EXPECT_GT(convert->SourceFormat()->count(), 0);

  // A readable file is nothing to tell.
  messages_.clear();
  CDunmarkApp quiet;
  quiet.Start(folder_ / "missing", &profile_);
  CMainFrame plain(quiet);
  plain.SetMessageHandler([this](const QString& text) { messages_.push_back(text); });
  plain.ShowStartNotices();
  EXPECT_TRUE(messages_.isEmpty());
}

// A task view with unsaved work that the user keeps.
class RefusingView : public QLabel {
 protected:
  void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

TEST_F(MainFrameTest, ARefusingTaskWindowKeepsTheProgramOpen) {
  CMainFrame& frame = Frame();
  frame.RegisterTask(kDesignType, [](CMainFrame&) { return new RefusingView; });
  frame.OpenTask(kDesignType);
  frame.show();
  EXPECT_FALSE(frame.close());
  EXPECT_TRUE(frame.TaskIsOpen(kDesignType));
  EXPECT_FALSE(fs::exists(folder_ / "Settings.xml"));
}

// A task view whose work has to stop first: it closes itself a moment after it refused.
class StoppingView : public QLabel {
 protected:
  void closeEvent(QCloseEvent* event) override {
    if (stopped_) return event->accept();
    event->ignore();
    if (property(kClosesWhenStoppedProperty).toBool()) return;
    setProperty(kClosesWhenStoppedProperty, true);
    QTimer::singleShot(50, this, [this] {
      stopped_ = true;
      parentWidget()->close();
    });
  }
  bool stopped_ = false;
};

TEST_F(MainFrameTest, ExitDuringWorkThatStopsFirstExitsOnceItStopped) {
  CMainFrame& frame = Frame();
  frame.RegisterTask(kTransferType, [](CMainFrame&) { return new StoppingView; });
  frame.OpenTask(kTransferType);
  frame.show();
  EXPECT_FALSE(frame.close());
  EXPECT_FALSE(frame.close());  // asked again while stopping: still one exit
  EXPECT_TRUE(frame.isVisible());
  QElapsedTimer timer;
  timer.start();
  while (frame.isVisible() && timer.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  EXPECT_FALSE(frame.isVisible());
  EXPECT_TRUE(fs::exists(folder_ / "Settings.xml"));
}

TEST_F(MainFrameTest, AboutBoxTitleAndFields) {
  Translations none;
  CAboutDlg plain(none);
  EXPECT_EQ(plain.windowTitle(), "About ULVO");
  EXPECT_FALSE(plain.VersionText().isEmpty());
  EXPECT_FALSE(plain.LegalText().isEmpty());
  Translations dutch;
  dutch.Parse("TRANSLATIONS FILE ULVO\nVERSION 1.0\nAB_TITLE = \"Over ULVO\"\n");
  CAboutDlg translated(dutch);
  EXPECT_EQ(translated.windowTitle(), "Over ULVO");
  for (QLineEdit* field : translated.findChildren<QLineEdit*>()) EXPECT_TRUE(field->isReadOnly());
}

TEST(SplashTest, FirstKeyClosesTheSplashAndIsSwallowed) {
  App();
  QLineEdit edit;
  edit.show();
  QApplication::setActiveWindow(&edit);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  QPointer<CSplashWnd> splash = CSplashWnd::ShowSplashScreen();
  ASSERT_TRUE(splash);
  EXPECT_GT(splash->RemainingMilliseconds(), 1000);
  EXPECT_LE(splash->RemainingMilliseconds(), CSplashWnd::kShowMilliseconds);
  QTest::keyClick(&edit, Qt::Key_A);
  EXPECT_TRUE(!splash || splash->isHidden());
  EXPECT_EQ(edit.text(), "");
  QTest::keyClick(&edit, Qt::Key_B);
  EXPECT_EQ(edit.text(), "b");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(splash.isNull());
}

TEST(SplashTest, FirstMousePressClosesTheSplashAndIsSwallowed) {
  App();
  QLineEdit edit("text");
  edit.show();
  QPointer<CSplashWnd> splash = CSplashWnd::ShowSplashScreen();
  ASSERT_TRUE(splash);
  edit.setCursorPosition(0);
  QTest::mouseClick(&edit, Qt::LeftButton, {}, QPoint(edit.width() - 2, edit.height() / 2));
  EXPECT_TRUE(!splash || splash->isHidden());
  EXPECT_EQ(edit.cursorPosition(), 0);
  QTest::mouseClick(&edit, Qt::LeftButton, {}, QPoint(edit.width() - 2, edit.height() / 2));
  EXPECT_EQ(edit.cursorPosition(), 4);
}

}  // namespace
}  // namespace ulvo
