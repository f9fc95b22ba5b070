#include "kavex/gui/tcvt_q6to7_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <functional>
#include <vector>

#include "kavex/gui/message_box_dialog.h"
#include "kavex/tests/gui/gui_test_support.h"

// Fontconfig keeps a cache for the life of the process that the leak checker reports once
// Qt has loaded fonts; it is not ours to free.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n";
}

namespace kavex {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "kavex_cvt_dialog_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tearing Qt down among the static destructors crashes at exit.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class CvtDialogTest : public ::testing::Test {
 public:
  void SetUp() override { App(); }

  // A dialog whose messages are recorded instead of shown.
  std::unique_ptr<TCvtQ6to7Dlg> Make(const CvtQ6to7Options& options = {}) {
    auto dialog = std::make_unique<TCvtQ6to7Dlg>(options, "16123101.qr6");
    dialog->setMessageHandler([this](const QString& title, const QString& text) {
      messages.push_back(title + "|" + text);
    });
    return dialog;
  }
  static void Press(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier,
                    const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &press);
  }

  std::vector<QString> messages;
};

TEST_F(CvtDialogTest, BuiltFromOptionsAndReadBack) {
  auto d = Make();
  EXPECT_EQ(d->windowTitle(), "Convert QRX/WNV to NWF");
  EXPECT_EQ(d->Edit1->text(), "16123101.qr6");
  EXPECT_TRUE(d->Edit1->isReadOnly());
  EXPECT_TRUE(d->AddHeadCbx->isChecked());
  EXPECT_TRUE(d->DegreeButton->isChecked());
  EXPECT_TRUE(d->MeterButton->isChecked());
  EXPECT_TRUE(d->RadioButton2->isChecked());
  EXPECT_TRUE(d->CheckBox3->isChecked());
  EXPECT_EQ(d->Edit2->text(), "1.000000");
  EXPECT_EQ(d->Edit3->text(), "0");
  EXPECT_EQ(d->Edit2->toolTip(), "from 0.9999 to 1.000099");
  EXPECT_EQ(d->Edit3->toolTip(), "from -10000 to 10000");

  CvtQ6to7Options o;
  o.addHeader = false;
  o.angleDegrees = false;
  o.distanceMetres = false;
  o.scaleText = "0.999900";
  o.elevationText = "-0045";
  o.measuredFs = true;
  o.firstIsBs = false;
  auto e = Make(o);
  EXPECT_TRUE(e->GonButton->isChecked());
  EXPECT_TRUE(e->FeetButton->isChecked());
  EXPECT_TRUE(e->RadioButton1->isChecked());
  const CvtQ6to7Options back = e->options();
  EXPECT_EQ(back.addHeader, o.addHeader);
  EXPECT_EQ(back.angleDegrees, o.angleDegrees);
  EXPECT_EQ(back.distanceMetres, o.distanceMetres);
  EXPECT_EQ(back.scaleText, o.scaleText);
  EXPECT_EQ(back.elevationText, o.elevationText);
  EXPECT_EQ(back.measuredFs, o.measuredFs);
  EXPECT_EQ(back.firstIsBs, o.firstIsBs);
}

TEST_F(CvtDialogTest, KeysMapToVirtualKeyCodes) {
  struct Case {
    int key;
    Qt::KeyboardModifiers mods;
    int vk;
    bool accepted;
  } cases[] = {
      {Qt::Key_Backspace, Qt::NoModifier, 8, true},
      {Qt::Key_Tab, Qt::NoModifier, 9, true},
      {Qt::Key_End, Qt::NoModifier, 35, true},
      {Qt::Key_Down, Qt::NoModifier, 40, true},
      {Qt::Key_Delete, Qt::NoModifier, 46, true},
      {Qt::Key_0, Qt::NoModifier, 48, true},
      {Qt::Key_9, Qt::NoModifier, 57, true},
      {Qt::Key_0, Qt::KeypadModifier, 96, true},
      {Qt::Key_9, Qt::KeypadModifier, 105, true},
      {Qt::Key_Minus, Qt::KeypadModifier, 109, true},
      {Qt::Key_Period, Qt::KeypadModifier, 110, true},
      {Qt::Key_Minus, Qt::NoModifier, 189, true},
      {Qt::Key_Period, Qt::NoModifier, 190, true},
      {Qt::Key_Plus, Qt::KeypadModifier, 107, false},
      {Qt::Key_Plus, Qt::NoModifier, 187, false},
      {Qt::Key_Space, Qt::NoModifier, 32, false},
      {Qt::Key_Insert, Qt::NoModifier, 45, false},
      {Qt::Key_A, Qt::NoModifier, 65, false},
      {Qt::Key_Escape, Qt::NoModifier, 27, false},
      {Qt::Key_Comma, Qt::NoModifier, 188, false},
  };
  for (const Case& c : cases) {
    QKeyEvent e(QEvent::KeyPress, c.key, c.mods);
    EXPECT_EQ(TCvtQ6to7Dlg::VirtualKeyCode(e), c.vk) << c.key;
    EXPECT_EQ(TCvtQ6to7Dlg::IsAcceptedKey(c.vk), c.accepted) << c.key;
  }
  EXPECT_FALSE(TCvtQ6to7Dlg::IsAcceptedKey(-1));
}

TEST_F(CvtDialogTest, KeyFilterRefusesOtherKeys) {
  auto d = Make();
  d->Edit2->setText("1.0000");
  Press(d->Edit2, Qt::Key_5, Qt::NoModifier, "5");
  EXPECT_EQ(d->Edit2->text(), "1.00005");
  Press(d->Edit2, Qt::Key_Shift);  // a modifier alone says nothing
  EXPECT_TRUE(messages.empty());

  Press(d->Edit2, Qt::Key_A, Qt::NoModifier, "a");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Data Input|Invalid Input Key");
  EXPECT_EQ(d->Edit2->text(), "1.000000");  // the last accepted text, selected
  EXPECT_EQ(d->Edit2->selectedText(), "1.000000");

  Press(d->Edit3, Qt::Key_Plus, Qt::NoModifier, "+");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(d->Edit3->text(), "0");

  Press(d->Edit3, Qt::Key_Return);  // moves the focus, no message
  EXPECT_EQ(messages.size(), 2u);
}

TEST_F(CvtDialogTest, EditingShortcutsPassAndPastedTextIsCheckedAsTyped) {
  auto d = Make();
  QLineEdit* e = d->Edit2;
  e->setText("1.000000");
  Press(e, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(e->selectedText(), "1.000000");
  Press(e, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "1.000000");
  Press(e, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(e->text(), "");
  Press(e, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(e->text(), "1.000000");
  EXPECT_TRUE(messages.empty());

  struct Case {
    const char* pasted;
    bool taken;
  };
  for (const Case& c : std::vector<Case>{{"0.9999", true},
                                         {"-12.5", true},
                                         {"", true},
                                         {"1,0", false},
                                         {"1e-4", false},
                                         {" 1", false},
                                         {"1\n", false},
                                         {"\xD9\xA1", false}}) {  // a digit of another script
    messages.clear();
    e->setText("1.000000");
    e->selectAll();
    QApplication::clipboard()->setText(QString::fromUtf8(c.pasted));
    Press(e, Qt::Key_V, Qt::ControlModifier);
    if (c.taken) {
      EXPECT_EQ(e->text(), QString::fromUtf8(c.pasted)) << c.pasted;
      EXPECT_TRUE(messages.empty()) << c.pasted;
    } else {
      // As a key that types it would be: the message, the last accepted text back.
      EXPECT_EQ(e->text(), "1.000000") << c.pasted;
      EXPECT_EQ(messages, std::vector<QString>{"Data Input|Invalid Input Key"}) << c.pasted;
    }
  }
  // A paste from the context menu is checked the same way.
  messages.clear();
  d->Edit3->setText("0");
  QApplication::clipboard()->setText("12 m");
  d->Edit3->selectAll();
  d->Edit3->paste();
  EXPECT_EQ(d->Edit3->text(), "0");
  EXPECT_EQ(messages, std::vector<QString>{"Data Input|Invalid Input Key"});
}

TEST_F(CvtDialogTest, LeaveChecks) {
  struct Case {
    bool scale;
    QString typed;
    bool accepted;
    QString shown;
  } cases[] = {
      {true, "1.0001", false, "1.000000"}, {true, "0.9999", true, "0.999900"},
      {true, "abc", false, "0.999900"},    {true, "1.00009", true, "1.000090"},
      {false, "10000", false, "0"},        {false, "-9999", true, "-9999"},
      {false, "120", true, "+0120"},       {false, "-45", true, "-0045"},
      {false, "-", false, "-0045"},
  };
  auto d = Make();
  for (const Case& c : cases) {
    messages.clear();
    QLineEdit* edit = c.scale ? d->Edit2 : d->Edit3;
    edit->setText(c.typed);
    EXPECT_EQ(c.scale ? d->LeaveScale() : d->LeaveElevation(), c.accepted) << c.typed.toStdString();
    EXPECT_EQ(edit->text(), c.shown) << c.typed.toStdString();
    if (c.accepted) {
      EXPECT_TRUE(messages.empty());
    } else {
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0], c.scale ? "Kavex|Invalid value entered in Scale."
                                     : "Kavex|Invalid value entered in Elevation.");
      EXPECT_EQ(edit->selectedText(), c.shown);
    }
  }
  EXPECT_EQ(d->options().scaleText, "1.000090");
  EXPECT_EQ(d->options().elevationText, "-0045");
}

TEST_F(CvtDialogTest, OkRefusesInvalidEditsAndKeepsValidOnes) {
  auto d = Make();
  d->Edit3->setText("99999");
  d->Button1->click();
  EXPECT_NE(d->result(), QDialog::Accepted);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Kavex|Invalid value entered in Elevation.");

  d->Edit2->setText("1.00001");
  d->Edit3->setText("12");
  d->FeetButton->setChecked(true);
  d->Button1->click();
  EXPECT_EQ(d->result(), QDialog::Accepted);
  const CvtQ6to7Options o = d->options();
  EXPECT_EQ(o.scaleText, "1.000010");
  EXPECT_EQ(o.elevationText, "+0012");
  EXPECT_FALSE(o.distanceMetres);
}

TEST_F(CvtDialogTest, OneDialogKeepsWhatCancelLeftInIt) {
  QWidget parent;
  CvtQ6to7DialogPrompt prompt(&parent);
  CvtQ6to7Options options;
  testing::WhenShown<TCvtQ6to7Dlg>([](TCvtQ6to7Dlg* d) {
    d->AddHeadCbx->setChecked(false);
    d->GonButton->setChecked(true);
    d->Button2->click();
  });
  EXPECT_FALSE(prompt.Run("a.qr6", options));
  EXPECT_TRUE(options.addHeader);
  EXPECT_TRUE(options.angleDegrees);
  TCvtQ6to7Dlg* first = prompt.Dialog();
  ASSERT_NE(first, nullptr);

  bool keptAfterCancel = false;
  QString file;
  testing::WhenShown<TCvtQ6to7Dlg>([&](TCvtQ6to7Dlg* d) {
    keptAfterCancel = !d->AddHeadCbx->isChecked() && d->GonButton->isChecked();
    file = d->Edit1->text();
    d->Button1->click();
  });
  EXPECT_TRUE(prompt.Run("b.qr6", options));
  EXPECT_EQ(prompt.Dialog(), first);
  EXPECT_TRUE(keptAfterCancel);
  EXPECT_EQ(file, "b.qr6");
  EXPECT_FALSE(options.addHeader);
  EXPECT_FALSE(options.angleDegrees);
}

TEST_F(CvtDialogTest, MessagesUseTheProgramMessageBox) {
  TCvtQ6to7Dlg dialog(CvtQ6to7Options{}, "x.qr6");
  QString shown;
  int width = 0;
  testing::WhenShown<TMBoxDlg>([&](TMBoxDlg* box) {
    shown = box->windowTitle() + "|" + box->Text();
    width = box->width();
    box->OkButton()->click();
  });
  dialog.Edit2->setText("2");
  EXPECT_FALSE(dialog.LeaveScale());
  EXPECT_EQ(shown, "Kavex|Invalid value entered in Scale.");
  EXPECT_EQ(width, 6 * 31 + 35);
  testing::WhenShown<TMBoxDlg>([&](TMBoxDlg* box) {
    shown = box->windowTitle() + "|" + box->Text();
    width = box->width();
    box->OkButton()->click();
  });
  QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QApplication::sendEvent(dialog.Edit3, &key);
  EXPECT_EQ(shown, "Data Input|Invalid Input Key");
  EXPECT_EQ(width, 6 * 17 + 35);
}

}  // namespace
}  // namespace kavex
