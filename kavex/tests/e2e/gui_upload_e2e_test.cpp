// The coordinate upload as the main window runs it: "Comm Status" and "Point Details"
// answered by the user, the real serial adapter, instrument-sim receiving.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kavex/gui/data_memo.h"
#include "kavex/gui/main_commands.h"
#include "kavex/gui/main_form.h"
#include "kavex/gui/message_box_dialog.h"
#include "kavex/gui/tq6ptsinfo_dlg.h"
#include "kavex/gui/transfer_dialogs.h"
#include "kavex/gui/ttusin_set_dlg.h"
#include "kavex/gui/tupdw_dlg.h"
#include "kavex/tests/comm/test_blocks.h"
#include "sim_process.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;
using testing::BlockLine;
using testing::ChildProcess;

TEST(GuiUpload, CoordinatesAfterPointDetails) {
  int argc = 1;
  char name[] = "kavex_gui_e2e_tests";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  const fs::path dir = fs::temp_directory_path() / ("kavex_gui_upload_" + std::to_string(getpid()));
  fs::create_directories(dir);
  qputenv("KAVEX_CONFIG_DIR", QByteArray::fromStdString(dir.string()));

  const std::string block = BlockLine("_+P1        _ x +00200250_ y +00100500_ z +00010000_", 0);
  ChildProcess sim({std::string(SURVEY_BIN_DIR) + "/instrument-sim", "kavex-receive", "coords",
                    "--ack-nak", "--out", (dir / "received").string(), "--idle-ms", "700"});
  const std::string device = sim.FirstLine();
  ASSERT_FALSE(device.empty());

  TMainForm form({dir / "Kavex.ini", dir / "Kavex.ibk"}, dir.string());
  MainCommands commands(form);
  form.show();
  CommSettings& comm = form.Logic().Settings().comm;
  comm.useAckNak = true;
  comm.blockInterval = "100 ";
  commands.TransferForms().StorePaths({device, "/dev/null", {}, {}});
  std::ofstream(dir / "job.qr6", std::ios::binary) << block;
  form.Logic().SetCurrentFile((dir / "job.qr6").string());
  form.DataMemo1->SetLines({block.substr(0, 134)});
  form.DataMemo1->SetModified(false);

  std::vector<std::string> seen;
  QTimer answer;
  answer.setInterval(5);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || !w->isVisible()) return;
    if (auto* status = qobject_cast<TTusinSetDlg*>(w)) {
      seen.push_back("Comm Status");
      status->GoButton()->click();
    } else if (auto* details = qobject_cast<TQ6ptsinfoDlg*>(w)) {
      seen.push_back("Point Details");
      // Typed as a surveyor would: the site, Enter on to Number of points, then OK.
      details->SiteEd->selectAll();
      QTest::keyClicks(details->SiteEd, "JOB7");
      for (int i = 0; i < 6; ++i)
        QTest::keyClick(details->Edit(static_cast<PointDetailsField>(i)), Qt::Key_Return);
      QTest::keyClicks(details->NumPtEd, "1");  // "00001"
      details->OKBtn->click();
    } else if (auto* box = qobject_cast<TMBoxDlg*>(w)) {
      seen.push_back("message " + box->Text().toStdString());
      box->close();
    } else if (!qobject_cast<TUpDwDlg*>(w)) {
      seen.push_back("unexpected " + w->windowTitle().toStdString());
      w->close();
    }
  });
  answer.start();
  form.UldQRX6->trigger();
  answer.stop();
  EXPECT_EQ(sim.Wait(), 0);

  EXPECT_EQ(seen, (std::vector<std::string>{"Comm Status", "Point Details"}));
  std::ifstream in(dir / "received", std::ios::binary);
  std::stringstream got;
  got << in.rdbuf();
  // "JOB7      +00001.000000200020-100001S": the xor of these 37 characters is 58.
  EXPECT_EQ(got.str(),
            "\x02"
            "F00F000\x03\r\n"
            "\x02JOB7      +00001.000000200020-100001S058\x03\r\n" +
                block + "\x02\x04\x03\r\n");
  EXPECT_EQ(commands.StoredPointDetails().site, "JOB7      ");
  EXPECT_FALSE(form.Busy());
  qunsetenv("KAVEX_CONFIG_DIR");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kavex
