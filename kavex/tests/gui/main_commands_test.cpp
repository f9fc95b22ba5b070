#include "kavex/gui/main_commands.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kavex/gui/data_memo.h"
#include "kavex/gui/line_pane.h"
#include "kavex/gui/main_form.h"
#include "kavex/gui/main_plan.h"
#include "kavex/gui/message_box_dialog.h"
#include "kavex/gui/tconfirm_dlg.h"
#include "kavex/gui/tcvt_q6to7_dlg.h"
#include "kavex/gui/transfer_dialogs.h"
#include "kavex/gui/ttusin_set_dlg.h"
#include "kavex/platform/config_paths.h"
#include "kavex/shell/conversions.h"
#include "kavex/shell/transfer_families.h"
#include "kavex/tests/comm/test_blocks.h"
#include "kavex/tests/gui/gui_test_support.h"
#include "kavex/tests/gui/main_window_fixture.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

class MainCommandsTest : public testing::MainWindowTest {
 protected:
  MainCommandsTest() : MainWindowTest("kavex_commands_") {}
};

TEST_F(MainCommandsTest, BuiltCommandsAreEnabledAndTheRestStayOff) {
  for (QAction* built : {form->DldTerminal, form->DldQRX7, form->DldQRX6, form->DldHK1,
                         form->toQRX7008001, form->toHK100Text1, form->UldTerminal, form->UldQRX7,
                         form->UldQRX6, form->QRX2003006CODE1, form->toQRX61, form->toQRX200300COD1,
                         form->toQRXRaw, form->toDXF, form->PrintItem, form->EditButton})
    EXPECT_TRUE(built->isEnabled()) << built->objectName().toStdString();
  for (QAction* later : std::initializer_list<QAction*>{})
    EXPECT_FALSE(later->isEnabled()) << later->objectName().toStdString();
  // The download tool buttons share the menu's actions.
  EXPECT_TRUE(form->ToolButtons[4]->isEnabled());
  EXPECT_TRUE(form->ToolButtons[5]->isEnabled());
  EXPECT_TRUE(form->ToolButtons[6]->isEnabled());
  for (size_t i = 7; i < 10; ++i) EXPECT_TRUE(form->ToolButtons[i]->isEnabled()) << i;
}

TEST_F(MainCommandsTest, OpenedQrx6FileBecomesUnsavedNwfLines) {
  const fs::path job = dir / "job.qr6";
  std::ofstream(job, std::ios::binary)
      << testing::BlockLine("_'S1_(1.5_)0_+T1_ <0900000+1800000****d000_", 0);
  form->Logic().SetCurrentFile(job.string());
  form->DataMemo1->SetLines({"stand-in for the opened lines"});
  form->DataMemo1->SetModified(false);

  QString shownFile;
  testing::WhenModal([&shownFile](QWidget* w) {
    auto* dialog = qobject_cast<TCvtQ6to7Dlg*>(w);
    ASSERT_NE(dialog, nullptr);
    shownFile = dialog->Edit1->Path();
    dialog->accept();
  });
  form->toQRX7008001->trigger();

  EXPECT_EQ(shownFile.toStdString(), job.string());
  EXPECT_EQ(form->CurrFilePass->text(), "(unsaved)");
  const std::vector<std::string> lines = form->DataMemo1->Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "STN     S1,0,1.5"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "HV      180.00000,90.00000"), lines.end());
  EXPECT_EQ(form->Logic().conversionResult, kConversionSuccess);
  EXPECT_FALSE(form->Busy());
}

TEST_F(MainCommandsTest, NwfFileBecomesUnsavedBlocksWithTheDialogsUnits) {
  const fs::path job = dir / "job.qr7";
  std::ofstream(job, std::ios::binary) << "SS      T1,1.6\r\nHV      10.00000,90.00000\r\n";
  form->Logic().SetCurrentFile(job.string());
  form->DataMemo1->SetModified(false);

  bool choicesShown = false;
  testing::WhenModal([&choicesShown](QWidget* w) {
    auto* dialog = qobject_cast<TConfirmDlg*>(w);
    ASSERT_NE(dialog, nullptr);
    choicesShown = dialog->GroupBox1->isVisible() && dialog->RadioGroup3->isVisible();
    dialog->GonButton->setChecked(true);
    dialog->OkButton->click();
  });
  form->toQRXRaw->trigger();

  EXPECT_TRUE(choicesShown);
  EXPECT_EQ(form->CurrFilePass->text(), "(unsaved)");
  const std::vector<std::string> lines = form->DataMemo1->Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(0, 38), "\x02_+T1_ <0900000+0100000+****g083_,1.6_");
  EXPECT_EQ(form->Logic().conversionResult, kConversionSuccess);
  EXPECT_FALSE(form->Busy());
}

TEST_F(MainCommandsTest, CoordinateFileBecomesADrawing) {
  const fs::path pts = dir / "pts.qr6";
  std::ofstream(pts, std::ios::binary)
      << testing::BlockLine("_+P1        _ x +00001000_ y +00002000_ z +00003000_", 0);
  form->Logic().SetCurrentFile(pts.string());
  form->DataMemo1->SetModified(false);

  bool choicesHidden = false;
  testing::WhenModal([&choicesHidden](QWidget* w) {
    auto* dialog = qobject_cast<TConfirmDlg*>(w);
    ASSERT_NE(dialog, nullptr);
    choicesHidden = !dialog->GroupBox1->isVisible() && dialog->OkButton->isVisible();
    dialog->OkButton->click();
  });
  form->toDXF->trigger();

  EXPECT_TRUE(choicesHidden);
  const std::vector<std::string> lines = form->DataMemo1->Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.back(), "EOF");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "PointName"), lines.end());
  EXPECT_EQ(form->CurrFilePass->text(), "(unsaved)");
  EXPECT_FALSE(form->Busy());
}

TEST_F(MainCommandsTest, PortThatCannotBeOpenedNamesTheDeviceAndWhy) {
  const std::string device = (dir / "no-such-tty").string();
  commands->TransferForms().StorePaths({device, "/dev/null", {}, {}});
  testing::WhenShown<TTusinSetDlg>([](TTusinSetDlg* status) { status->GoButton()->click(); });
  QString text;
  int width = 0;
  testing::WhenShown<TMBoxDlg>([&](TMBoxDlg* box) {
    text = box->Text();
    width = box->width();
    box->OkButton()->click();
  });
  form->DldTerminal->trigger();
  // The program's text first and unchanged, the device and the system's reason under it.
  EXPECT_EQ(text.toStdString(), "COM ERROR.\n" + device + ": No such file or directory");
  // The longest line sets the width, not both lines run together.
  EXPECT_EQ(width, TMBoxDlg::WidthFor(static_cast<int>(text.size()) - 11, kModeMessage));
  EXPECT_FALSE(form->Busy());
}

TEST_F(MainCommandsTest, ConfirmationShowsTheInputsFullPath) {
  // A folder named in UTF-8, deep enough not to fit the field.
  const fs::path folder = dir / "M\xC3\xBCller" / std::string(80, 'd');
  fs::create_directories(folder);
  const fs::path pts = folder / "pts.qr6";
  std::ofstream(pts, std::ios::binary)
      << testing::BlockLine("_+P1        _ x +00001000_ y +00002000_ z +00003000_", 0);
  form->Logic().SetCurrentFile(pts.string());
  form->DataMemo1->SetModified(false);
  QString path, shown;
  testing::WhenShown<TConfirmDlg>([&](TConfirmDlg* dialog) {
    path = dialog->Edit1->Path();
    shown = dialog->Edit1->text();
    dialog->CancelButton->click();
  });
  form->toDXF->trigger();
  EXPECT_EQ(path.toStdString(), pts.string());
  EXPECT_TRUE(path.contains(QString::fromUtf8("M\xC3\xBCller")));
  EXPECT_TRUE(shown.endsWith("/pts.qr6")) << shown.toStdString();
  EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
}

// The words a kavex-cli command's --help offers for its first argument.
std::vector<std::string> HelpWords(const std::string& command) {
  const std::string run = std::string(SURVEY_BIN_DIR) + "/kavex-cli " + command + " --help";
  std::string out;
  if (FILE* pipe = popen(run.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  // "kavex-cli download a|b|c ..." on one line, or "kavex-cli convert a ..." on several.
  const std::string lead = "kavex-cli " + command + " ";
  std::vector<std::string> words;
  for (size_t at = out.find(lead); at != std::string::npos; at = out.find(lead, at + 1)) {
    words.emplace_back();
    for (size_t i = at + lead.size(); i < out.size() && out[i] != ' '; ++i) {
      if (out[i] == '|') {
        words.emplace_back();
      } else {
        words.back() += out[i];
      }
    }
  }
  return words;
}

// "a, b or c" as its words.
std::vector<std::string> SentenceWords(std::string text) {
  for (const char* joint : {", ", " or "})
    for (size_t at; (at = text.find(joint)) != std::string::npos;)
      text.replace(at, std::string(joint).size(), "|");
  std::vector<std::string> words(1);
  for (const char c : text) {
    if (c == '|') {
      words.emplace_back();
    } else {
      words.back() += c;
    }
  }
  return words;
}

// The "Co&mm" menus, the tool bar and kavex-cli are all built from the family tables: each
// family has its item, wired, in table order, a speed button when it has a mark, and the
// command line's word for it names the same family, in --help too.
TEST_F(MainCommandsTest, TransferMenusAndTheCommandLineNameTheSameFamilies) {
  const auto check = [this](QMenu* menu, const auto& families, const std::string& words,
                            const std::string& command, auto named) {
    SCOPED_TRACE(command);
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(static_cast<size_t>(items.size()), families.size());
    const std::vector<std::string> cliWords = SentenceWords(words);
    ASSERT_EQ(cliWords.size(), families.size());
    EXPECT_EQ(HelpWords(command), cliWords);
    for (size_t i = 0; i < families.size(); ++i) {
      const auto& f = families[i];
      QAction* item = items[static_cast<qsizetype>(i)];
      EXPECT_EQ(item->objectName().toStdString(), f.menu.name);
      EXPECT_EQ(item->text().toStdString(), f.menu.caption);
      EXPECT_TRUE(form->IsBuilt(item)) << f.menu.name;
      EXPECT_EQ(std::string(named(cliWords[i])->menu.name), f.menu.name) << cliWords[i];
      const bool button =
          std::any_of(form->ToolButtons.begin(), form->ToolButtons.end(),
                      [item](QToolButton* b) { return b->defaultAction() == item; });
      EXPECT_EQ(button, f.menu.toolMark != nullptr) << f.menu.name;
    }
  };
  check(form->DownloadMenu, DownloadFamilies(), DownloadWords(), "download", DownloadFamilyNamed);
  check(form->UploadMenu, UploadFamilies(), UploadWords(), "upload", UploadFamilyNamed);

  // The tool bar: file commands, downloads, uploads, a gap between the groups.
  std::string expected = "FFFF|";
  for (const DownloadFamily& f : DownloadFamilies())
    if (f.menu.toolMark) expected += 'D';
  expected += '|';
  for (const UploadFamily& f : UploadFamilies())
    if (f.menu.toolMark) expected += 'U';
  expected += "|P";  // the plan's button after the families'
  QLayout* tools = form->ToolButtons[0]->parentWidget()->layout()->itemAt(0)->layout();
  ASSERT_NE(tools, nullptr);
  std::string shown;
  for (int i = 0; i < tools->count(); ++i) {
    QLayoutItem* it = tools->itemAt(i);
    if (auto* b = qobject_cast<QToolButton*>(it->widget())) {
      const QAction* a = b->defaultAction();
      shown += form->DownloadMenu->actions().contains(a) ? 'D'
               : form->UploadMenu->actions().contains(a) ? 'U'
               : a == commands->Plan().PlanItem()        ? 'P'
                                                         : 'F';
    } else if (it->spacerItem() && it->spacerItem()->sizeHint().width() > 0 &&
               it->spacerItem()->expandingDirections() == Qt::Orientations()) {
      shown += '|';
    }
  }
  EXPECT_EQ(shown, expected);
}

// The conversion menu is made from the conversions' table, and kavex-cli convert takes the
// same conversions by their words (its --help lists them in an order of its own).
TEST_F(MainCommandsTest, ConversionMenuAndTheCommandLineNameTheSameConversions) {
  const QList<QAction*> items = form->ConversionMenu->actions();
  // The GIS export and import follow the conversions; kavex-cli has them as export and import.
  ASSERT_EQ(static_cast<size_t>(items.size()), Conversions().size() + 2);
  EXPECT_TRUE(form->IsBuilt(items[items.size() - 2]));
  EXPECT_TRUE(form->IsBuilt(items[items.size() - 1]));
  std::vector<std::string> words;
  for (size_t i = 0; i < Conversions().size(); ++i) {
    const Conversion& c = Conversions()[i];
    QAction* item = items[static_cast<qsizetype>(i)];
    EXPECT_EQ(item->objectName().toStdString(), c.name);
    EXPECT_EQ(item->text().toStdString(), c.caption);
    EXPECT_TRUE(form->IsBuilt(item)) << c.name;
    EXPECT_EQ(ConversionNamed(c.word), &c) << c.word;
    words.push_back(c.word);
  }
  std::vector<std::string> help = HelpWords("convert");
  std::sort(help.begin(), help.end());
  std::sort(words.begin(), words.end());
  EXPECT_EQ(help, words);
}

}  // namespace
}  // namespace kavex

namespace kavex {
namespace {

TEST_F(MainCommandsTest, TheLinePaneIsClosedAtFirstAndRemembersItsState) {
  LinePane* pane = commands->TransferForms().UpDw().Pane();
  ASSERT_NE(pane, nullptr);
  EXPECT_FALSE(pane->IsOpen());
  pane->Toggle()->click();
  EXPECT_TRUE(pane->IsOpen());
  commands = std::make_unique<MainCommands>(*form);
  EXPECT_TRUE(commands->TransferForms().UpDw().Pane()->IsOpen());
  commands->TransferForms().UpDw().Pane()->Toggle()->click();
  commands = std::make_unique<MainCommands>(*form);
  EXPECT_FALSE(commands->TransferForms().UpDw().Pane()->IsOpen());
}

}  // namespace
}  // namespace kavex
