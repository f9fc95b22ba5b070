// The Plan pane following a QRX-6 coordinate download from instrument-sim in the main
// window: the points appear while the blocks arrive, not only at the end.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "kavex/gui/data_memo.h"
#include "kavex/gui/main_commands.h"
#include "kavex/gui/main_form.h"
#include "kavex/gui/main_plan.h"
#include "kavex/gui/plan_pane.h"
#include "kavex/gui/transfer_dialogs.h"
#include "kavex/gui/ttusin_set_dlg.h"
#include "kavex/tests/comm/test_blocks.h"
#include "sim_process.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;

TEST(GuiPlan, PaneFollowsADownloadBlockByBlock) {
  int argc = 1;
  char name[] = "kavex_gui_e2e_tests";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  const fs::path dir = fs::temp_directory_path() / ("kavex_gui_plan_" + std::to_string(getpid()));
  fs::create_directories(dir);
  qputenv("KAVEX_CONFIG_DIR", QByteArray::fromStdString(dir.string()));
  // The download's capture stays until its lines are saved: it goes to the test's folder.
  const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.string()));

  // 20 records of 51 characters after the leading "_": 8 blocks, point k at
  // northing k m, easting 2 k m.
  std::string stream = "_";
  for (int k = 1; k <= 20; ++k) {
    char record[64];
    std::snprintf(record, sizeof record, "+Q%-9d_ x %+09d_ y %+09d_ z %+09d_", k, 1000 * k,
                  2000 * k, 0);
    stream += record;
  }
  std::string disk;
  for (size_t i = 0, n = 0; i < stream.size(); i += 128, ++n)
    disk += testing::BlockLine(stream.substr(i, 128), static_cast<int>(n % 10));
  ASSERT_EQ(stream.size(), 1u + 20 * 51);
  const fs::path file = dir / "coords.qr6";
  std::ofstream(file, std::ios::binary) << disk;
  testing::ChildProcess sim({std::string(SURVEY_BIN_DIR) + "/instrument-sim", "kavex-qrx6",
                             "--file", file.string(), "--ack-nak", "--baud", "4800"});
  const std::string device = sim.FirstLine();
  ASSERT_FALSE(device.empty());

  {
    TMainForm form({dir / "Kavex.ini", dir / "Kavex.ibk"}, dir.string());
    MainCommands commands(form);
    form.show();
    commands.Plan().PlanItem()->trigger();
    PlanPane* pane = commands.Plan().Pane();
    CommSettings& comm = form.Logic().Settings().comm;
    comm.rateCode = 2;  // 4800
    comm.useAckNak = true;
    comm.writeTextFile = false;
    comm.delayTime = "10 ";
    commands.TransferForms().StorePaths({device, "/dev/null", {}, {}});

    std::vector<size_t> counts;  // each count the pane showed, in order
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (auto* status = qobject_cast<TTusinSetDlg*>(QApplication::activeModalWidget()))
        status->GoButton()->click();
      const size_t n = pane->Model().Points().size();
      if (counts.empty() || counts.back() != n) counts.push_back(n);
    });
    watch.start();
    form.DldQRX6->trigger();
    watch.stop();
    EXPECT_EQ(sim.Wait(), 0);
    pane->Refresh();

    ASSERT_EQ(pane->Model().Points().size(), 20u);
    EXPECT_EQ(pane->Header()->text(), "20 points");
    EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
    // Eight blocks a quarter of a second apart: the plan grew while they came.
    EXPECT_GE(counts.size(), 4u) << counts.size();
    const SurveyPoint& last = pane->Model().Points().back();
    EXPECT_EQ(last.name, "Q20");
    EXPECT_DOUBLE_EQ(last.northing, 20.0);
    EXPECT_DOUBLE_EQ(last.easting, 40.0);
    EXPECT_EQ(last.sourceLine, 7u);  // "+" at 1 + 19 x 51 = 970, in block 7
  }
  qunsetenv("KAVEX_CONFIG_DIR");
  if (dataHome.isEmpty()) {
    qunsetenv("XDG_DATA_HOME");
  } else {
    qputenv("XDG_DATA_HOME", dataHome);
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kavex
