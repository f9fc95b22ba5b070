#include "kavex/gui/recover_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <filesystem>

#include "kavex/tests/gui/gui_test_support.h"
#include "kavex/tests/support/fake_clock.h"
#include "kavex/tests/support/scripted_prompts.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;

class RecoverDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    folder = fs::temp_directory_path() /
             ("kavex_recover_dlg_" +
              std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  fs::path Capture(const std::string& kind, const std::string& destination,
                   const std::vector<std::string>& lines, int64_t started) {
    CaptureHeader h;
    h.kind = kind;
    h.port = "/dev/ttyUSB0 9600 8N1";
    h.started = started;
    h.destination = destination;
    std::string problem;
    auto w = CaptureWriter::Create(folder, h, clock, problem);
    EXPECT_TRUE(w) << problem;
    for (const auto& l : lines) w->Append(l);
    return w->Path();
  }
  static std::string Cell(QTreeWidget* list, int row, int column) {
    return list->topLevelItem(row)->text(column).toStdString();
  }

  fs::path folder;
  testing::FakeClock clock;
  MemoryDataView view;
  testing::ScriptedPrompts prompts;
  MainLogic logic{view, prompts, clock};
};

TEST_F(RecoverDialogTest, ListsRestoresAndDiscardsEachCapture) {
  EXPECT_TRUE(TRecoverDlg::Unfinished(folder).empty());  // no folder yet: nothing offered
  const fs::path first = Capture("qrx6", "/home/me/job.qr6", {"A"}, 100);
  const fs::path second = Capture("hk", "", {"a,11,;", "b,11,<", "Z,&"}, 200);
  fs::resize_file(second, fs::file_size(second) - 2);  // the last line torn by the crash

  TRecoverDlg dialog(logic, folder);
  QTreeWidget* list = dialog.List();
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(list->headerItem()->text(4).toStdString(), "Cut short at the end");
  EXPECT_EQ(Cell(list, 0, 1), "QRX-210/310/WNV-1000 download");
  EXPECT_EQ(Cell(list, 0, 2), "1 line");
  EXPECT_EQ(Cell(list, 0, 3), "/home/me/job.qr6");
  EXPECT_EQ(Cell(list, 0, 4), "nothing");
  EXPECT_EQ(Cell(list, 1, 1), "HK-101/102 download");
  EXPECT_EQ(Cell(list, 1, 2), "2 lines");
  EXPECT_EQ(Cell(list, 1, 3), "(current data)");
  EXPECT_EQ(Cell(list, 1, 4), "record 3 is unfinished (2 of 3 bytes)");

  list->setCurrentItem(list->topLevelItem(1));
  dialog.RestoreSelected();
  EXPECT_EQ(view.Lines(), (std::vector<std::string>{"a,11,;", "b,11,<"}));
  EXPECT_TRUE(view.Modified());
  EXPECT_FALSE(logic.hasFile);
  EXPECT_FALSE(fs::exists(second));
  EXPECT_EQ(dialog.Note()->text().toStdString(),
            "2 lines restored into the current data (not saved yet). Not restored: record 3 is "
            "unfinished (2 of 3 bytes).");
  ASSERT_EQ(list->topLevelItemCount(), 1);

  // The restored data is unsaved: restoring over it asks first, and a cancel keeps both.
  prompts.ExpectMessage("Current DATA will be lost.", kModeConfirmation, kResultCancel);
  dialog.RestoreSelected();
  EXPECT_EQ(view.LineCount(), 2u);
  EXPECT_TRUE(fs::exists(first));

  dialog.DiscardSelected();
  EXPECT_FALSE(fs::exists(first));
  EXPECT_EQ(list->topLevelItemCount(), 0);
  EXPECT_FALSE(dialog.RestoreButton()->isEnabled());
  EXPECT_FALSE(dialog.DiscardButton()->isEnabled());
}

}  // namespace
}  // namespace kavex
