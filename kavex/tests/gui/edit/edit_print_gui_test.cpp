#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPageSize>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "kavex/formats/point_lists.h"
#include "kavex/formats/qrx6_block.h"
#include "kavex/gui/data_commands.h"
#include "kavex/gui/data_memo.h"
#include "kavex/gui/main_commands.h"
#include "kavex/gui/main_form.h"
#include "kavex/gui/message_box_dialog.h"
#include "kavex/gui/qt_printer.h"
#include "kavex/gui/tcode_edit_dlg.h"
#include "kavex/gui/tinput_data_dlg.h"
#include "kavex/gui/tprint_optn_dlg.h"
#include "kavex/gui/tupdate_conf_dlg.h"
#include "kavex/shell/data_edit.h"
#include "kavex/tests/gui/gui_test_support.h"
#include "kavex/tests/gui/main_window_fixture.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

class EditPrintGui : public testing::MainWindowTest {
 protected:
  EditPrintGui() : MainWindowTest("kavex_edit_") {}
  DataCommands& Data() { return commands->EditAndPrint(); }

  // Acts on the next message box: records its caption and text, then presses caption.
  void AnswerBox(const QString& button) {
    testing::WhenModal([this, button](QWidget* w) {
      auto* box = qobject_cast<TMBoxDlg*>(w);
      if (!box) {
        ADD_FAILURE() << "expected the message box, got " << w->objectName().toStdString();
        w->close();
        return;
      }
      boxes.push_back((box->windowTitle() + "|" + box->Text()).toStdString());
      for (QPushButton* b : {box->OkButton(), box->CancelButton()})
        if (b->isVisible() && b->text() == button) b->click();
    });
  }
  // Fills the next "Data Input" and presses OK; seen gets the fields as shown on opening.
  void FillInput(std::vector<QString> values, std::vector<QString>* seen = nullptr) {
    testing::WhenModal([values, seen](QWidget* w) {
      auto* input = qobject_cast<TInputDataDlg*>(w);
      ASSERT_NE(input, nullptr);
      for (size_t i = 0; i < values.size(); ++i) {
        if (seen) seen->push_back(input->Edits[i]->text());
        input->Edits[i]->setText(values[i]);
      }
      input->OkButton->click();
    });
  }

  std::vector<std::string> boxes;
};

TEST_F(EditPrintGui, CoordinateRowsAddedEditedDeletedAndWrittenBack) {
  ASSERT_TRUE(form->EditButton->isEnabled());
  form->DataMemo1->SetLines(
      {MakeBlockLine("_+P1        _ x +00010500_ y -00003250_ z +00001000_"
                     "+P2        _ x +00021000_ y -00006500_ z +00002000_",
                     0)});
  std::vector<QString> seen;
  bool titlesOk = false;
  testing::WhenShown<TCodeEditDlg>([&](TCodeEditDlg* edit) {
    QAbstractItemModel* model = edit->EditStringGrid->model();
    titlesOk = model->rowCount() == 2 && model->columnCount() == 4 &&
               model->headerData(0, Qt::Horizontal).toString() == "     POINT NO" &&
               model->index(0, 1).data().toString() == "10.500";
    FillInput({"P3", "-12.5", "12.5", "0"});
    edit->NewClicked();
    edit->EditStringGrid->selectRow(0);
    FillInput({"P1", "1.5", "-3.25", "1"}, &seen);
    edit->EditButton->click();
    edit->EditStringGrid->selectRow(1);
    AnswerBox("OK");
    edit->DeleteClicked();
    EXPECT_EQ(model->rowCount(), 2);
    // OK asks "confirm to update" first.
    testing::PressOnModal("OK");
    edit->OkButton->click();
  });
  form->EditButton->trigger();
  EXPECT_TRUE(titlesOk);
  EXPECT_EQ(seen, (std::vector<QString>{"P1", "10.500", "-3.250", "1.000"}));
  EXPECT_EQ(boxes, std::vector<std::string>{"Kavex|PtNo(P2) Delete？"});
  const std::string payload =
      "_+P1        _ x +00001500_ y -00003250_ z +00001000_"
      "+P3        _ x -00012500_ y +00012500_ z +00000000_";
  const std::vector<std::string> lines = form->DataMemo1->Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(1, 128), payload + std::string(128 - payload.size(), ' '));
  EXPECT_EQ(lines[0].size(), 134u);
  EXPECT_EQ(CheckBlock(lines[0] + "\r\n", 0, true, true), 0);
  EXPECT_TRUE(form->DataMemo1->Modified());
  // The update confirmation stays on: its box was not ticked.
  EXPECT_TRUE(form->Logic().Settings().showUpdateDialog);
  ASSERT_TRUE(ReadCoordinateList(lines));
  EXPECT_EQ(ReadCoordinateList(lines)->size(), 2u);
}

TEST_F(EditPrintGui, TypedRowsLineUpWithLoadedRows) {
  form->DataMemo1->SetLines(
      {MakeBlockLine("_+P1        _ x +00012500_ y -00003250_ z +00000000_", 0)});
  std::vector<std::vector<QString>> shown;
  std::vector<std::vector<int>> alignment;
  testing::WhenShown<TCodeEditDlg>([&](TCodeEditDlg* edit) {
    FillInput({"P2", "12.5", "-3.25", "0"});
    edit->NewClicked();
    QAbstractItemModel* model = edit->EditStringGrid->model();
    for (int row = 0; row < model->rowCount(); ++row) {
      shown.emplace_back();
      alignment.emplace_back();
      for (int column = 0; column < 4; ++column) {
        shown.back().push_back(model->index(row, column).data().toString());
        alignment.back().push_back(model->index(row, column).data(Qt::TextAlignmentRole).toInt() &
                                   Qt::AlignHorizontal_Mask);
      }
    }
    edit->CancelButton->click();
  });
  form->EditButton->trigger();
  // The loaded row (read as "%11.3lf") and the typed one ("%9.3lf", "%10.3lf") look alike.
  EXPECT_EQ(shown,
            (std::vector<std::vector<QString>>{{"P1        ", "12.500", "-3.250", "0.000"},
                                               {"P2        ", "12.500", "-3.250", "0.000"}}));
  const std::vector<int> sides = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight};
  EXPECT_EQ(alignment, (std::vector<std::vector<int>>{sides, sides}));
}

TEST_F(EditPrintGui, EditNeedsOneRowAndCancelKeepsTheData) {
  const std::vector<std::string> data = {MakeBlockLine("_:001TREE      _:002WALL      _", 0)};
  form->DataMemo1->SetLines(data);
  bool emptyAfterDelete = false;
  testing::WhenShown<TCodeEditDlg>([&](TCodeEditDlg* edit) {
    edit->EditStringGrid->selectionModel()->select(
        QItemSelection(edit->EditStringGrid->model()->index(0, 0),
                       edit->EditStringGrid->model()->index(1, 1)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    AnswerBox("OK");
    edit->EditClicked();
    AnswerBox("OK");
    edit->DeleteClicked();
    emptyAfterDelete = edit->EditStringGrid->model()->rowCount() == 1 &&
                       !edit->EditButton->isEnabled() && !edit->DeleteButton->isEnabled();
    edit->CancelButton->click();
  });
  form->EditButton->trigger();
  EXPECT_EQ(boxes, (std::vector<std::string>{"Error|編集したい座標を１点のみ選択してください",
                                             "Kavex|CODE NUMBER(from 001 to 002) Delete？"}));
  EXPECT_TRUE(emptyAfterDelete);
  EXPECT_EQ(form->DataMemo1->Lines(), data);
}

TEST_F(EditPrintGui, NoDataAsksWhichListAndOtherDataIsRefused) {
  form->DataMemo1->SetLines({"JOB     J1"});
  AnswerBox("OK");
  form->EditButton->trigger();
  EXPECT_EQ(boxes,
            std::vector<std::string>{std::string("Kavex|Invalid data.\n") + kNeitherListText});

  // No data: "DataSelect", then an empty point-code table; a code added and written back
  // without the confirmation, which was switched off.
  form->Logic().ClearCurrentData();
  form->Logic().Settings().showUpdateDialog = false;
  testing::WhenModal([&](QWidget* select) {
    EXPECT_EQ(select->windowTitle(), "DataSelect");
    for (auto* b : select->findChildren<QRadioButton*>())
      if (b->text() == "PtCode") b->setChecked(true);
    testing::WhenShown<TCodeEditDlg>([&](TCodeEditDlg* edit) {
      EXPECT_EQ(edit->EditStringGrid->model()->rowCount(), 1);
      EXPECT_FALSE(edit->EditButton->isEnabled());
      FillInput({"7", "WALL"});
      edit->NewClicked();
      EXPECT_TRUE(edit->EditButton->isEnabled());
      edit->OkButton->click();
    });
    for (auto* b : select->findChildren<QPushButton*>())
      if (b->text() == "OK") b->click();
  });
  form->EditButton->trigger();
  const std::string payload = "_:007WALL      _";
  EXPECT_EQ(form->DataMemo1->Lines(),
            std::vector<std::string>{MakeBlockLine(payload + std::string(112, ' '), 0)});
}

// A standalone "Data Input" whose boxes are recorded.
class RecordingPrompts : public DataEditPrompts {
 public:
  void Notify(const std::string& caption, const std::string& text) override {
    log.push_back(caption + "|" + text);
  }
  bool Confirm(const std::string& text) override {
    log.push_back("confirm|" + text);
    return true;
  }
  std::vector<std::string> log;
};

TEST_F(EditPrintGui, DataInputKeysEnterAndLeaving) {
  RecordingPrompts prompts;
  TInputDataDlg input(prompts);
  input.Setup(EditKind::kCoordinates, std::nullopt);
  input.show();
  QApplication::setActiveWindow(&input);
  EXPECT_EQ(input.Labels[0]->text().left(4), "PTNO");
  // Letters are names in field 1, refused in a coordinate field.
  QTest::keyClicks(input.Edits[0], "PA-1");
  EXPECT_EQ(input.Edits[0]->text(), "PA-1");
  input.Edits[1]->setFocus();
  QTest::keyClicks(input.Edits[1], "12");
  QTest::keyClick(input.Edits[1], Qt::Key_A);
  EXPECT_EQ(input.Edits[1]->text(), "");
  QTest::keyClicks(input.Edits[1], "-1.5");
  EXPECT_EQ(input.Edits[1]->text(), "-1.5");
  // Enter: empty gives "No Data", out of range "Limit over ", each keeping the focus.
  input.EnterIn(2);
  input.Edits[2]->setText("10000000");
  input.EnterIn(2);
  input.Edits[2]->setText("9999999.999");
  input.EnterIn(2);
  EXPECT_EQ(QApplication::focusWidget(), input.Edits[3]);
  EXPECT_EQ(prompts.log,
            (std::vector<std::string>{"Data Input|Invalid Input Key", "Data Input|No Data",
                                      "Data Input|Limit over "}));
  // Editing shortcuts pass; pasted text is checked as typed: a coordinate field is cleared
  // with the message as for a key, the name takes anything.
  prompts.log.clear();
  QApplication::clipboard()->setText("1,5");
  input.Edits[1]->setFocus();
  QTest::keyClick(input.Edits[1], Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(input.Edits[1], Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(input.Edits[1]->text(), "");
  QApplication::clipboard()->setText("-2.5");
  QTest::keyClick(input.Edits[1], Qt::Key_V, Qt::ControlModifier);
  QTest::keyClick(input.Edits[1], Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(input.Edits[1], Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(input.Edits[1]->text(), "-2.5");
  EXPECT_EQ(QApplication::clipboard()->text(), "-2.5");
  QApplication::clipboard()->setText("PA 1");
  input.Edits[0]->setFocus();
  input.Edits[0]->selectAll();
  QTest::keyClick(input.Edits[0], Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(input.Edits[0]->text(), "PA 1");
  EXPECT_EQ(prompts.log, std::vector<std::string>{"Data Input|Invalid Input Key"});
  // Point codes: field 2 holds any text, field 1 is checked on leaving.
  prompts.log.clear();
  input.Setup(EditKind::kPointCodes, std::nullopt);
  EXPECT_FALSE(input.Edits[2]->isVisible());
  EXPECT_EQ(input.Labels[0]->text(), "Coord Number :");
  input.Edits[0]->setText("51");
  EXPECT_FALSE(input.LeaveField(0));
  input.Edits[0]->setText("50");
  EXPECT_TRUE(input.LeaveField(0));
  EXPECT_EQ(prompts.log, std::vector<std::string>{"Data Input|1<=Cood Number<=50"});
}

TEST_F(EditPrintGui, PrintOptionsChecksAndStoresTheSettings) {
  TPrintOptnDlg& dialog = Data().PrintOptionsDialog();
  std::vector<std::string> messages;
  dialog.SetMessageSink([&messages](const std::string& text) { messages.push_back(text); });
  dialog.SetOptions({"100", "1.2", 1});
  EXPECT_TRUE(dialog.Size11Button->isChecked());
  dialog.CharsEdit->setText("256");
  EXPECT_FALSE(dialog.LeaveCharsPerLine());
  EXPECT_EQ(dialog.CharsEdit->text(), "100");
  dialog.CharsEdit->setText("255");
  EXPECT_TRUE(dialog.LeaveCharsPerLine());
  dialog.IntervalEdit->setText("2.5");
  EXPECT_FALSE(dialog.LeaveLineInterval());
  EXPECT_EQ(dialog.IntervalEdit->text(), "1.2");
  dialog.IntervalEdit->setText("2");
  EXPECT_TRUE(dialog.LeaveLineInterval());
  EXPECT_EQ(dialog.IntervalEdit->text(), "2.0");
  dialog.Size6Button->setChecked(true);
  EXPECT_EQ(dialog.options(), (PrintSettings{"255", "2.0", 0}));
  EXPECT_EQ(messages, (std::vector<std::string>{"Invalid value entered in Characters per line.",
                                                "Invalid value entered in Line intervals."}));
}

TEST_F(EditPrintGui, PrintMenuPrintsTheViewToAPdfFile) {
  ASSERT_TRUE(form->PrintItem->isEnabled());
  std::vector<std::string> lines;
  for (int i = 0; i < 300; ++i) lines.push_back("row " + std::to_string(i + 1));
  form->DataMemo1->SetLines(lines);
  const fs::path pdf = dir / "print.pdf";
  Data().Printer().SetChooser([&pdf](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    printer.setResolution(600);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(36, 36, 36, 36), QPageLayout::Point));
    return true;
  });
  testing::WhenModal([](QWidget* w) {
    auto* options = qobject_cast<TPrintOptnDlg*>(w);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->CharsEdit->text(), "100");
    options->IntervalEdit->setText("2");
    options->Size6Button->setChecked(true);
    options->ContinueButton->click();
  });
  form->PrintItem->trigger();
  EXPECT_EQ(form->Logic().Settings().print, (PrintSettings{"100", "2.0", 0}));
  ASSERT_TRUE(fs::exists(pdf));
  // 6 points at 600 dpi, interval 2: a step of 100 pixels, 64 rows on 6417: 5 pages.
  const fs::path txt = dir / "print.txt";
  ASSERT_EQ(std::system(("pdftotext " + pdf.string() + " " + txt.string()).c_str()), 0);
  std::ifstream in(txt, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(std::count(text.begin(), text.end(), '\f'), 5);
  EXPECT_NE(text.find("row 64\n\n\frow 65\n"), std::string::npos)
      << text.substr(text.find("row 63"), 40);
}

TEST_F(EditPrintGui, TypeTooWideForThePageIsMadeSmallerAndSaidSo) {
  // The printer as the print dialog would leave it: A4, half-inch margins, 600 dpi.
  const fs::path pdf = dir / "wide.pdf";
  QPrinter& device = Data().Printer().Device();
  device.setOutputFormat(QPrinter::PdfFormat);
  device.setOutputFileName(QString::fromStdString(pdf.string()));
  device.setResolution(600);
  device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                   QMarginsF(36, 36, 36, 36), QPageLayout::Point));
  Data().Printer().SetChooser([](QPrinter&) { return true; });
  form->DataMemo1->SetLines({std::string(100, 'W'), std::string(60, 'x')});

  QString note;
  bool hiddenAtSix = false;
  testing::WhenShown<TPrintOptnDlg>([&](TPrintOptnDlg* options) {
    // A fresh installation's settings: 100 characters at 11 points.
    note = options->FitNoteLabel->isVisible() ? options->FitNoteLabel->text() : QString();
    options->Size6Button->setChecked(true);
    hiddenAtSix = options->FitNoteLabel->isHidden();
    options->Size11Button->setChecked(true);
    options->ContinueButton->click();
  });
  form->PrintItem->trigger();
  EXPECT_TRUE(
      note.startsWith("100 characters per line do not fit the page at 11 points: "
                      "printed at "))
      << note.toStdString();
  EXPECT_TRUE(hiddenAtSix);

  // Every row lies inside the printable area: 36 to 595.28 - 36 points.
  const fs::path html = dir / "wide.html";
  ASSERT_EQ(std::system(("pdftotext -bbox " + pdf.string() + " " + html.string()).c_str()), 0);
  std::ifstream in(html, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<std::string> words;
  for (size_t at = text.find("<word "); at != std::string::npos; at = text.find("<word ", at + 1)) {
    auto number = [&](const char* name) {
      return std::strtod(text.c_str() + text.find(name, at) + std::strlen(name), nullptr);
    };
    EXPECT_NEAR(number("xMin=\""), 36.0, 0.01);
    EXPECT_LE(number("xMax=\""), 595.28 - 36.0);
    const size_t open = text.find('>', at) + 1;
    words.push_back(text.substr(open, text.find('<', open) - open));
  }
  EXPECT_EQ(words, (std::vector<std::string>{std::string(100, 'W'), std::string(60, 'x')}));
}

}  // namespace
}  // namespace kavex
