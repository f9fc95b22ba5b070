#include "ulvo/gui/recover_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "ulvo/tests/gui/gui_test_support.h"
#include "ulvo/tests/transfer/fake_device.h"

namespace ulvo {
namespace {

namespace fs = std::filesystem;

class RecoverDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    dir = fs::temp_directory_path() /
          ("ulvo_recover_dlg_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    folder = dir / "Captures";
  }
  void TearDown() override { fs::remove_all(dir); }

  fs::path Capture(const fs::path& destination, const std::vector<std::string>& records,
                   int64_t started) {
    CaptureHeader h;
    h.instrument = "Total station TS-60";
    h.kind = "ITF00, ACK NAK";
    h.port = "/dev/ttyUSB0 9600,none,8,1";
    h.started = started;
    h.destination = destination.string();
    std::string problem;
    auto w = CaptureWriter::Create(folder, h, clock, problem);
    EXPECT_TRUE(w) << problem;
    for (const auto& r : records) w->Append(r);
    return w->Path();
  }
  std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static std::string Cell(QTreeWidget* list, int row, int column) {
    return list->topLevelItem(row)->text(column).toStdString();
  }

  fs::path dir;
  fs::path folder;
  test::FakeClock clock;
  Translations texts;
};

TEST_F(RecoverDialogTest, RestoresIntoTheDestinationAskingBeforeReplacingOrIntoAChosenFile) {
  EXPECT_TRUE(CRecoverDlg::Unfinished(folder).empty());
  std::ofstream(dir / "job.itf", std::ios::binary) << "yesterday";
  const fs::path existing = Capture(dir / "job.itf", {"PT1,1\r\n", "PT2,2\r\n"}, 100);
  const fs::path gone = Capture(dir / "gone" / "site.itf", {"A\r\n"}, 200);
  const fs::path third = Capture(dir / "new.itf", {"X\r\n", "Y\r\n"}, 300);
  fs::resize_file(third, fs::file_size(third) - 2);  // the last record torn by the crash

  CRecoverDlg dialog(texts, folder);
  std::vector<std::string> asked;
  bool answer = false;
  dialog.askYesNo = [&](const QString& q) {
    asked.push_back(q.toStdString());
    return answer;
  };
  fs::path chosen;
  dialog.chooseFile = [&](const fs::path&) { return chosen; };
  QTreeWidget* list = dialog.List();
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(Cell(list, 0, 1), "Total station TS-60 (ITF00, ACK NAK)");
  EXPECT_EQ(Cell(list, 0, 2), "14 bytes");
  EXPECT_EQ(Cell(list, 0, 3), (dir / "job.itf").string());
  EXPECT_EQ(Cell(list, 2, 2), "3 bytes");
  EXPECT_EQ(Cell(list, 2, 4), "record 2 is unfinished (2 of 3 bytes)");

  // An existing destination: asked, and a no leaves both the file and the capture.
  dialog.RestoreSelected();
  const std::string question =
      (dir / "job.itf").string() + "\nThis file already exists.\nReplace existing file?";
  EXPECT_EQ(asked, std::vector<std::string>{question});
  EXPECT_EQ(Read(dir / "job.itf"), "yesterday");
  EXPECT_TRUE(fs::exists(existing));
  answer = true;
  dialog.RestoreSelected();
  EXPECT_EQ(Read(dir / "job.itf"), "PT1,1\r\nPT2,2\r\n");
  EXPECT_FALSE(fs::exists(existing));
  ASSERT_EQ(list->topLevelItemCount(), 2);

  // A destination whose folder has gone: said, kept; then into a chosen file.
  dialog.RestoreSelected();
  EXPECT_TRUE(dialog.Note()->text().startsWith("Not restored: " +
                                               QString::fromStdString((dir / "gone").string())))
      << dialog.Note()->text().toStdString();
  EXPECT_TRUE(fs::exists(gone));
  dialog.RestoreSelectedTo();  // cancelled: nothing happens
  EXPECT_TRUE(fs::exists(gone));
  chosen = dir / "chosen.itf";
  dialog.RestoreSelectedTo();
  EXPECT_EQ(Read(chosen), "A\r\n");
  EXPECT_FALSE(fs::exists(gone));

  // The torn one: the whole records only, the unfinished one named.
  dialog.RestoreSelected();
  EXPECT_EQ(Read(dir / "new.itf"), "X\r\n");
  EXPECT_EQ(dialog.Note()->text().toStdString(),
            "3 bytes restored to " + (dir / "new.itf").string() +
                ". Not restored: record 2 is unfinished (2 of 3 bytes).");
  EXPECT_EQ(list->topLevelItemCount(), 0);
  EXPECT_FALSE(dialog.RestoreButton()->isEnabled());
}

TEST_F(RecoverDialogTest, DiscardRemovesOnlyTheSelectedCapture) {
  const fs::path a = Capture(dir / "a.itf", {"A"}, 100);
  const fs::path b = Capture(dir / "b.itf", {"B"}, 200);
  CRecoverDlg dialog(texts, folder);
  dialog.List()->setCurrentItem(dialog.List()->topLevelItem(1));
  dialog.DiscardSelected();
  EXPECT_TRUE(fs::exists(a));
  EXPECT_FALSE(fs::exists(b));
  EXPECT_EQ(dialog.List()->topLevelItemCount(), 1);
  EXPECT_FALSE(fs::exists(dir / "b.itf"));
}

}  // namespace
}  // namespace ulvo
