#include "kavex/gui/plan_pane.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "kavex/gui/data_commands.h"
#include "kavex/gui/data_memo.h"
#include "kavex/gui/main_commands.h"
#include "kavex/gui/main_form.h"
#include "kavex/gui/main_plan.h"
#include "kavex/gui/tcode_edit_dlg.h"
#include "kavex/tests/comm/test_blocks.h"
#include "kavex/tests/gui/gui_test_support.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

std::string Record(std::string name, const std::string& x, const std::string& y) {
  name.resize(10, ' ');
  const auto right = [](const std::string& v) { return std::string(10 - v.size(), ' ') + v; };
  return "+" + name + "_ x" + right(x) + "_ y" + right(y) + "_ z" + right("+00000000") + "_";
}

// Block lines (no line end) of records P1..Pn at northing 10 k m, easting 20 k m.
std::vector<std::string> Blocks(int n) {
  std::string stream = "_";
  for (int k = 1; k <= n; ++k) {
    char x[16], y[16];
    std::snprintf(x, sizeof x, "%+09d", 10'000 * k);
    std::snprintf(y, sizeof y, "%+09d", 20'000 * k);
    stream += Record("P" + std::to_string(k), x, y);
  }
  std::vector<std::string> lines;
  for (size_t i = 0, b = 0; i < stream.size(); i += 128, ++b) {
    std::string line = testing::BlockLine(stream.substr(i, 128), static_cast<int>(b % 10));
    line.resize(line.size() - 2);
    lines.push_back(line);
  }
  return lines;
}

class PlanPaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    memo = std::make_unique<DataMemo>();
    pane = std::make_unique<PlanPane>(*memo);
    pane->resize(PlanPane::kWidth, 400);
    pane->SetOpen(true);
  }
  size_t Count() const { return pane->Model().Points().size(); }

  std::unique_ptr<DataMemo> memo;
  std::unique_ptr<PlanPane> pane;
};

TEST_F(PlanPaneTest, FollowsLinesAsADownloadAddsThem) {
  // Record k ends at stream position 51 k - 1: 2 end in block 0, 5 by block 1, 7 by 2.
  const std::vector<std::string> lines = Blocks(7);
  ASSERT_EQ(lines.size(), 3u);
  const size_t expected[] = {2, 5, 7};
  for (size_t i = 0; i < lines.size(); ++i) {
    memo->AppendLine(lines[i]);
    pane->Refresh();
    EXPECT_EQ(Count(), expected[i]) << i;
  }
  EXPECT_EQ(pane->Header()->text(), "7 points");
  EXPECT_EQ(pane->Model().Points()[6].sourceLine, 2u);
  EXPECT_DOUBLE_EQ(pane->Model().Points()[6].northing, 70.0);
}

TEST_F(PlanPaneTest, AnEditMovesAPointAndAReplacementReplacesThem) {
  memo->SetLines({"P1,20.0000,10.0000,0.0000", "P2,40.0000,20.0000,0.0000"});
  pane->Refresh();
  ASSERT_EQ(Count(), 2u);
  // Typing in the text: P2's Y becomes 45.
  memo->MoveCursor({1, 3});
  QTest::keyClick(memo.get(), Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(memo.get(), Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClicks(memo.get(), "45");
  pane->Refresh();
  ASSERT_EQ(Count(), 2u);
  EXPECT_DOUBLE_EQ(pane->Model().Points()[1].easting, 45.0);

  // A conversion puts other data in: the plan shows only that.
  memo->SetLines({"A,1,2,3", "A,4,5,6", "JOB     X"});
  pane->Refresh();
  ASSERT_EQ(Count(), 2u);
  EXPECT_EQ(pane->Header()->text(), "2 points, 2 with the same name");
  memo->ClearLines();
  pane->Refresh();
  EXPECT_EQ(Count(), 0u);
  EXPECT_FALSE(pane->SaveButton()->isEnabled());
}

TEST_F(PlanPaneTest, LinesFasterThanTheSettlingTimeStillShowBeforeTheEnd) {
  // A download that starts by clearing the view, then adds a block every 40 ms (38400
  // baud): the plan may not wait for a pause that never comes.
  const std::vector<std::string> lines = Blocks(60);
  ASSERT_GT(lines.size() * 40, size_t{PlanPane::kMaxWaitMs});  // outlasts the longest wait
  memo->SetLines({"old data"});
  size_t shownDuring = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    memo->AppendLine(lines[i]);
    QTest::qWait(40);
    shownDuring = std::max(shownDuring, Count());
  }
  EXPECT_GT(shownDuring, 0u);
}

TEST_F(PlanPaneTest, AClosedPaneCatchesUpWhenOpened) {
  pane->SetOpen(false);
  for (const std::string& line : Blocks(4)) memo->AppendLine(line);
  EXPECT_EQ(Count(), 0u);
  pane->SetOpen(true);
  EXPECT_EQ(Count(), 4u);
}

TEST_F(PlanPaneTest, PickingAPointSelectsItsLineAndTheLineSelectsThePoint) {
  memo->SetLines(
      {"JOB     J1", "P1,0.0000,0.0000,0.0000", "STN     P1,1.5,", "P2,30.0000,40.0000,0"});
  pane->Refresh();
  ASSERT_EQ(Count(), 2u);
  PlanCanvas* canvas = pane->Canvas();
  const SurveyPoint& p2 = pane->Model().Points()[1];
  const PlanPoint at = ToArea(canvas->View(), p2.northing, p2.easting);
  QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(int(at.x + 0.5), int(at.y + 0.5)));
  EXPECT_EQ(canvas->Selected(), std::optional<size_t>(1));
  EXPECT_EQ(memo->CursorLine(), 3);
  EXPECT_EQ(memo->SelectedText(), "P2,30.0000,40.0000,0");

  memo->MoveCursor({1, 0});
  EXPECT_EQ(canvas->Selected(), std::optional<size_t>(0));
  memo->MoveCursor({2, 0});
  EXPECT_EQ(canvas->Selected(), std::nullopt);  // a station line holds no point
}

TEST_F(PlanPaneTest, KeysZoomPanAndFit) {
  memo->SetLines({"P1,0,0,0", "P2,100,100,0"});
  pane->Refresh();
  PlanCanvas* canvas = pane->Canvas();
  const PlanView fitted = canvas->View();
  struct Case {
    int key;
    double scale;  // times the fitted scale
    double dx;     // of the centre's easting, in output units at the fitted scale
  };
  const Case cases[] = {
      {Qt::Key_Plus, 1.25, 0},
      {Qt::Key_Minus, 1 / 1.25, 0},
      {Qt::Key_Right, 1, std::min(fitted.width, fitted.height) / 8},
  };
  for (const Case& c : cases) {
    canvas->Fit();
    QTest::keyClick(canvas, static_cast<Qt::Key>(c.key));
    EXPECT_DOUBLE_EQ(canvas->View().scale, fitted.scale * c.scale) << c.key;
    EXPECT_NEAR(canvas->View().centreEasting, fitted.centreEasting + c.dx / fitted.scale, 1e-9);
  }
  QTest::keyClick(canvas, Qt::Key_Home);
  EXPECT_DOUBLE_EQ(canvas->View().scale, fitted.scale);
}

TEST_F(PlanPaneTest, SaveWritesTheChosenSheetOrSaysWhyNot) {
  const fs::path dir = fs::temp_directory_path() / ("kavex_plan_save_" + std::to_string(getpid()));
  fs::create_directories(dir);
  memo->SetLines({"P1,0,0,0", "P2,100,100,0"});
  pane->Refresh();
  pane->title = [] { return QStringLiteral("job.qr7"); };
  std::string message;
  pane->onMessage = [&](const std::string& text) { message = text; };
  pane->SheetBox()->setCurrentIndex(1);  // A4
  pane->ScaleBox()->setCurrentIndex(pane->ScaleBox()->findText("1:1000"));
  ASSERT_TRUE(pane->SaveTo(QString::fromStdString((dir / "plan.svg").string())));
  std::ifstream in(dir / "plan.svg", std::ios::binary);
  const std::string svg{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_NE(svg.find(R"(width="210mm")"), std::string::npos);  // 100 x 100 m: portrait
  EXPECT_NE(svg.find(">1:1000    "), std::string::npos);
  EXPECT_NE(svg.find(">job.qr7<"), std::string::npos);
  EXPECT_EQ(pane->Note()->text(), "Saved plan.svg");
  // No extension: a PDF.
  ASSERT_TRUE(pane->SaveTo(QString::fromStdString((dir / "plan").string())));
  EXPECT_TRUE(fs::exists(dir / "plan.pdf"));

  EXPECT_FALSE(pane->SaveTo(QString::fromStdString((dir / "missing" / "plan.png").string())));
  EXPECT_EQ(message.rfind(kPlanNotSavedMessage, 0), 0u) << message;
  fs::remove_all(dir);
}

// In the main window: the "Vie&w" item opens the pane and widens the window; Data Edit
// opens on the plan's point and its current row selects the plan's point.
TEST(MainPlanTest, MenuItemPaneAndDataEditRoundTrip) {
  testing::App();
  const fs::path dir = fs::temp_directory_path() / ("kavex_main_plan_" + std::to_string(getpid()));
  fs::create_directories(dir);
  qputenv("KAVEX_CONFIG_DIR", QByteArray::fromStdString(dir.string()));
  {
    TMainForm form({dir / "Kavex.ini", dir / "Kavex.ibk"}, dir.string());
    MainCommands commands(form);
    form.show();
    MainPlan& plan = commands.Plan();
    const int narrow = form.width();
    EXPECT_FALSE(plan.Pane()->isVisible());
    plan.PlanItem()->trigger();
    EXPECT_TRUE(plan.Pane()->isVisible());
    EXPECT_EQ(form.width(), narrow + PlanPane::kWidth + 4);
    // Opened near the screen's right edge, the wider window moves back onto the screen.
    plan.PlanItem()->trigger();
    const QRect area = form.screen()->availableGeometry();
    form.move(area.right() - narrow, area.top());
    plan.PlanItem()->trigger();
    const QRect frame = form.frameGeometry();
    EXPECT_GE(frame.left(), area.left());
    // Within the screen, or at its left edge when the screen is narrower than the window.
    EXPECT_TRUE(frame.right() <= area.right() || frame.left() == area.left())
        << frame.left() << ".." << frame.right();
    EXPECT_LT(frame.left(), area.right() - narrow);

    form.DataMemo1->SetLines(Blocks(5));
    plan.Pane()->Refresh();
    ASSERT_EQ(plan.Pane()->Model().Points().size(), 5u);
    plan.Pane()->SelectPoint(3);

    int rowShown = -1;
    std::optional<size_t> afterRowChange;
    testing::WhenShown<TCodeEditDlg>([&](TCodeEditDlg* edit) {
      QTest::qWait(20);  // the dialog settles on its row after it is shown
      rowShown = edit->EditStringGrid->currentIndex().row();
      edit->EditStringGrid->selectRow(1);
      afterRowChange = plan.Pane()->Canvas()->Selected();
      edit->CancelButton->click();
    });
    form.EditButton->trigger();
    EXPECT_EQ(rowShown, 3);
    EXPECT_EQ(afterRowChange, std::optional<size_t>(1));

    plan.PlanItem()->trigger();
    EXPECT_EQ(form.width(), narrow);
  }
  qunsetenv("KAVEX_CONFIG_DIR");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kavex
