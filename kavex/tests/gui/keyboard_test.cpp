// The keyboard in every Kavex window: unique mnemonics, the standard keys of the main
// window, Tab through the data view and the radio groups, and the data edit by keys alone.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "kavex/formats/qrx6_block.h"
#include "kavex/gui/about_box.h"
#include "kavex/gui/data_memo.h"
#include "kavex/gui/dir_change_dialog.h"
#include "kavex/gui/main_commands.h"
#include "kavex/gui/main_form.h"
#include "kavex/gui/message_box_dialog.h"
#include "kavex/gui/recover_dialog.h"
#include "kavex/gui/save_current_dialog.h"
#include "kavex/gui/save_now_dialog.h"
#include "kavex/gui/tadvanced_dlg.h"
#include "kavex/gui/tcode_edit_dlg.h"
#include "kavex/gui/tconfirm_dlg.h"
#include "kavex/gui/tcvt_q6to7_dlg.h"
#include "kavex/gui/tdata_select_dlg.h"
#include "kavex/gui/tinput_data_dlg.h"
#include "kavex/gui/tloading_data_dlg.h"
#include "kavex/gui/tprint_optn_dlg.h"
#include "kavex/gui/tq6ptsinfo_dlg.h"
#include "kavex/gui/ttusin_set_dlg.h"
#include "kavex/gui/tupdate_conf_dlg.h"
#include "kavex/gui/tupdw_dlg.h"
#include "kavex/tests/gui/gui_test_support.h"
#include "kavex/tests/gui/main_window_fixture.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

// The letter a text underlines ("Con&version": V), null when none ("&&" is an ampersand).
QChar Mnemonic(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != QLatin1Char('&')) continue;
    if (text[i + 1] == QLatin1Char('&')) {
      ++i;
      continue;
    }
    return text[i + 1].isLetterOrNumber() ? text[i + 1].toUpper() : QChar();
  }
  return {};
}

// "A / B" per letter that two texts of the list share.
std::string Shared(const QStringList& texts) {
  std::map<QChar, QStringList> owners;
  for (const QString& t : texts)
    if (const QChar c = Mnemonic(t); !c.isNull()) owners[c] << t;
  QStringList shared;
  for (const auto& [letter, owned] : owners)
    if (owned.size() > 1) shared << owned.join(QStringLiteral(" / "));
  return shared.join(QLatin1Char('\n')).toStdString();
}

QStringList ControlTexts(QWidget* window) {
  QStringList texts;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (auto* button = qobject_cast<QAbstractButton*>(w)) texts << button->text();
    if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
    if (auto* box = qobject_cast<QGroupBox*>(w)) texts << box->title();
  }
  return texts;
}

void CollectMenus(const QList<QAction*>& actions, std::vector<std::string>& shared) {
  QStringList texts;
  for (QAction* a : actions) texts << a->text();
  shared.push_back(Shared(texts));
  for (QAction* a : actions)
    if (a->menu()) CollectMenus(a->menu()->actions(), shared);
}

class KeyboardTest : public testing::MainWindowTest {
 protected:
  KeyboardTest() : MainWindowTest("kavex_keys_") {}
  void SetUp() override {
    MainWindowTest::SetUp();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }
};

struct NoPrompts final : DataEditPrompts {
  void Notify(const std::string&, const std::string&) override {}
  bool Confirm(const std::string&) override { return false; }
};

// Every window of the program, as it is first shown.
std::vector<std::pair<const char*, std::unique_ptr<QWidget>>> EveryDialog(TMainForm& form,
                                                                          NoPrompts& prompts) {
  std::vector<std::pair<const char*, std::unique_ptr<QWidget>>> all;
  auto* input = new TInputDataDlg(prompts);
  auto* loading = new TLoadingDataDlg;
  struct Never final : UpdateConfirmation {
    bool Run() override { return false; }
    bool DontDisplay() const override { return false; }
  };
  static Never never;
  all.emplace_back("TTusinSetDlg", std::make_unique<TTusinSetDlg>(CommStatusOptions{}));
  all.emplace_back("TAdvancedDlg", std::make_unique<TAdvancedDlg>(AdvancedOptions{}));
  all.emplace_back("TCvtQ6to7Dlg", std::make_unique<TCvtQ6to7Dlg>(CvtQ6to7Options{}, "a.qr6"));
  all.emplace_back("TQ6ptsinfoDlg", std::make_unique<TQ6ptsinfoDlg>(PointDetails{}));
  all.emplace_back("TCrrSaveDlg1", std::make_unique<TCrrSaveDlg1>());
  all.emplace_back("TUpDwDlg", std::make_unique<TUpDwDlg>());
  all.emplace_back("TPrintOptnDlg", std::make_unique<TPrintOptnDlg>());
  all.emplace_back("TAboutBox", std::make_unique<TAboutBox>());
  all.emplace_back("TDirChgDlg", std::make_unique<TDirChgDlg>());
  all.emplace_back("TMBoxDlg", std::make_unique<TMBoxDlg>());
  all.emplace_back("TCodeEditDlg",
                   std::make_unique<TCodeEditDlg>(form.Logic(), prompts, *input, never, *loading));
  all.emplace_back("TInputDataDlg", std::unique_ptr<QWidget>(input));
  all.emplace_back("TLoadingDataDlg", std::unique_ptr<QWidget>(loading));
  all.emplace_back("TConfirmDlg", std::make_unique<TConfirmDlg>());
  all.emplace_back("TDataSelectDlg", std::make_unique<TDataSelectDlg>());
  all.emplace_back("TUpdateConfDlg", std::make_unique<TUpdateConfDlg>());
  all.emplace_back("TSaveNowDlg", std::make_unique<TSaveNowDlg>());
  return all;
}

TEST_F(KeyboardTest, EveryMenuAndDialogHasUniqueMnemonics) {
  std::vector<std::string> menus;
  CollectMenus(form->menuBar()->actions(), menus);
  for (const std::string& shared : menus) EXPECT_EQ(shared, "") << "menu";
  NoPrompts prompts;
  auto dialogs = EveryDialog(*form, prompts);
  // The data edit's destroys the input and loading dialogs it was given: it goes first.
  for (auto& [name, dialog] : dialogs) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Shared(ControlTexts(dialog.get())), "");
  }
  dialogs.clear();
  TRecoverDlg recover(form->Logic(), dir);
  EXPECT_EQ(Shared(ControlTexts(&recover)), "") << "TRecoverDlg";
}

// Tab through a dialog lands on the checked button of a radio group, never on the others
// (the arrow keys move within the group).
TEST_F(KeyboardTest, TabLandsOnTheCheckedRadioButton) {
  NoPrompts prompts;
  auto dialogs = EveryDialog(*form, prompts);
  for (auto& [name, dialog] : dialogs) {
    if (dialog->findChildren<QRadioButton*>().isEmpty()) continue;
    SCOPED_TRACE(name);
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    QStringList landed;
    for (int i = 0; i < 60; ++i) {
      QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : dialog.get(),
                      Qt::Key_Tab);
      if (auto* radio = qobject_cast<QRadioButton*>(QApplication::focusWidget()))
        if (!radio->isChecked()) landed << radio->text();
    }
    EXPECT_EQ(landed.join(QStringLiteral(", ")).toStdString(), "");
    dialog->hide();
  }
}

TEST_F(KeyboardTest, MainWindowAnswersTheStandardKeys) {
  const struct {
    QAction* action;
    QKeySequence key;
  } cases[] = {
      {form->NewItem, QKeySequence(Qt::CTRL | Qt::Key_N)},
      {form->OpenItem, QKeySequence(Qt::CTRL | Qt::Key_O)},
      {form->SaveItem, QKeySequence(Qt::CTRL | Qt::Key_S)},
      {form->PrintItem, QKeySequence(Qt::CTRL | Qt::Key_P)},
      {form->ContentsItem, QKeySequence(Qt::Key_F1)},
      {form->ExitItem, QKeySequence(Qt::CTRL | Qt::Key_Q)},  // last: it closes the window
  };
  // Whatever dialog a command opens is closed, so the test goes on.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  closer.start(10);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.action->text().toStdString());
    // Shown in the menu beside the item, and answered with the focus in the data view.
    EXPECT_EQ(c.action->shortcut(), c.key);
    ASSERT_TRUE(c.action->isEnabled());
    QSignalSpy spy(c.action, &QAction::triggered);
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->DataMemo1->setFocus();
    QTest::keySequence(form->DataMemo1, c.key);
    EXPECT_EQ(spy.count(), 1);
  }
}

TEST_F(KeyboardTest, TabLeavesTheDataViewAndCtrlTabTypesATab) {
  DataMemo* memo = form->DataMemo1;
  memo->setFocus();
  ASSERT_TRUE(memo->hasFocus());
  QTest::keyClick(memo, Qt::Key_A);
  QTest::keyClick(memo, Qt::Key_Tab, Qt::ControlModifier);
  QTest::keyClick(memo, Qt::Key_B);
  EXPECT_EQ(memo->Lines(), std::vector<std::string>{"a\tb"});
  QTest::keyClick(memo, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_NE(memo->Lines(), std::vector<std::string>{"a\tb"});
  QTest::keyClick(memo, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(memo->Lines(), std::vector<std::string>{"a\tb"});
  QTest::keyClick(memo, Qt::Key_Tab);
  EXPECT_FALSE(memo->hasFocus());
  EXPECT_EQ(memo->Lines(), std::vector<std::string>{"a\tb"});
}

// Data Edit without the mouse: Tab to the buttons and back, Return edits, Delete deletes
// after its question, Insert adds.
TEST_F(KeyboardTest, DataEditByKeys) {
  form->DataMemo1->SetLines(
      {MakeBlockLine("_+P1        _ x +00010500_ y -00003250_ z +00001000_"
                     "+P2        _ x +00021000_ y -00006500_ z +00002000_",
                     0)});
  std::vector<std::string> seen;
  testing::WhenShown<TCodeEditDlg>([&](TCodeEditDlg* edit) {
    QTableView* grid = edit->EditStringGrid;
    QApplication::setActiveWindow(edit);
    EXPECT_TRUE(QTest::qWaitForWindowActive(edit));
    grid->setFocus();
    grid->selectRow(1);
    QTest::keyClick(grid, Qt::Key_Tab);
    auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
    seen.push_back(button ? button->text().toStdString() : "no button");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    seen.push_back(grid->hasFocus() ? "grid" : "not the grid");
    const auto inputShown = [&seen](const char* key) {
      testing::WhenShown<TInputDataDlg>([&seen, key](TInputDataDlg* input) {
        seen.push_back(std::string(key) + ": " + input->Edits[0]->text().toStdString());
        input->CancelButton->click();
      });
    };
    inputShown("Return");
    QTest::keyClick(grid, Qt::Key_Return);
    inputShown("Insert");
    QTest::keyClick(grid, Qt::Key_Insert);
    testing::WhenShown<TMBoxDlg>([&seen](TMBoxDlg* box) {
      seen.push_back("Delete: " + box->Text().toStdString());
      box->OkButton()->click();
    });
    QTest::keyClick(grid, Qt::Key_Delete);
    seen.push_back("rows " + std::to_string(grid->model()->rowCount()));
    edit->CancelButton->click();
  });
  form->EditButton->trigger();
  EXPECT_EQ(seen, (std::vector<std::string>{"&New", "grid", "Return: P2",
                                            "Insert: ", "Delete: PtNo(P2) Delete？", "rows 1"}));
}

}  // namespace
}  // namespace kavex
