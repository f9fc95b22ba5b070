#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <filesystem>
#include <set>
#include <string>

#include "ulvo/gui/help_view.h"
#include "ulvo/gui/main_frame.h"
#include "ulvo/gui/task_windows.h"
#include "ulvo/shell/help_pages.h"
#include "ulvo/tests/gui/gui_test_support.h"
#include "ulvo/transfer/profile_store.h"

namespace fs = std::filesystem;

namespace ulvo {
namespace {

// A program folder made of the shipped files, in a folder of the test's own.
class ShippedFolder {
 public:
  ShippedFolder() {
    path_ =
        fs::path(testing::TempDir()) /
        ("ulvo_help_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(path_);
    fs::copy(ULVO_SHIPPED_DATA_DIR, path_, fs::copy_options::recursive);
  }
  ~ShippedFolder() { fs::remove_all(path_); }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// Every identifier F1 can ask for: each window the menus and toolbar open is opened and every
// control in it looked at; modal dialogs are looked at while they are open, then closed.
std::set<int> HelpIdsOfEveryWindow(CMainFrame& frame) {
  std::set<int> ids;
  const auto collect = [&ids](QWidget* root) {
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets << root;
    for (QWidget* w : widgets) {
      if (const int id = HelpIdOf(w)) ids.insert(id);
    }
  };
  QTimer dialogs;
  dialogs.setInterval(5);
  QObject::connect(&dialogs, &QTimer::timeout, [&collect] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      collect(modal);
      modal->close();
    }
  });
  dialogs.start();
  for (int command : frame.CommandIds()) {
    QAction* action = frame.CommandAction(command);
    if (action && action->isEnabled()) action->trigger();
  }
  dialogs.stop();
  collect(&frame);
  return ids;
}

class HelpPagesTest : public testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    app_.Start(folder_.Path(), &profile_);
    frame_ = std::make_unique<CMainFrame>(app_);
    frame_->SetMessageHandler([this](const QString& text) { messages_.push_back(text); });
    frame_->SetLockKeyReader([] { return LockKeys{}; });
    RegisterTaskWindows(*frame_);
  }
  void TearDown() override {
    frame_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  ShippedFolder folder_;
  MemoryProfileStore profile_;
  CDunmarkApp app_;
  std::unique_ptr<CMainFrame> frame_;
  QStringList messages_;
};

TEST_F(HelpPagesTest, EveryIdentifierF1CanAskForHasAShippedPage) {
  const std::set<int> ids = HelpIdsOfEveryWindow(*frame_);
  // The windows are found through the menus, not listed here; a few dozen controls at least.
  ASSERT_GE(ids.size(), 10u);
  std::string missing;
  for (int id : ids) {
    if (!fs::is_regular_file(HelpFolder(ULVO_SHIPPED_DATA_DIR) / HelpPageName(id)))
      missing += " " + HelpPageName(id);
  }
  EXPECT_EQ(missing, "") << "controls without a help page in ulvo/data/help";
}

TEST_F(HelpPagesTest, F1OnAControlWithoutAPageOfItsOwnShowsItsWindowsPage) {
  struct Window {
    const char* type;
    int id;
    const char* page;
    const char* title;
  };
  const Window windows[] = {
      {kTransferType, 402, "/help/H0000402.htm", "Transfer window"},
      {kPlanType, 407, "/help/H0000407.htm", "Plan window"},
  };
  for (const Window& w : windows) {
    SCOPED_TRACE(w.type);
    QWidget* view = frame_->OpenTask(w.type);
    ASSERT_TRUE(view);
    auto* file = view->findChild<QLineEdit*>();
    ASSERT_TRUE(file);
    ASSERT_EQ(HelpIdOf(file), w.id);
    frame_->ShowContextHelp(HelpIdOf(file));
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
    auto* help = qobject_cast<CHelpView*>(frame_->TaskView(kHelpType));
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->source().path().endsWith(w.page));
    EXPECT_TRUE(help->toPlainText().contains(w.title));
  }
}

}  // namespace
}  // namespace ulvo
