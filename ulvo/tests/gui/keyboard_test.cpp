// The keyboard in every window: each window's mnemonics are its own and unique, a task
// window's form keeps its mnemonics while the menu bar stays reachable.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "ulvo/gui/main_frame.h"
#include "ulvo/gui/task_windows.h"
#include "ulvo/tests/gui/gui_test_support.h"

namespace fs = std::filesystem;

namespace ulvo {
namespace {

// The letter a text underlines ("Con&vert": V), null when none ("&&" is an ampersand).
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

// The texts of window's controls that share a mnemonic, "A / B" per shared letter. Panels
// that take turns (the design window's element and literal panels, a sheet's pages) are
// counted all at once: a letter must not change its meaning with the panel.
std::string SharedMnemonics(QWidget* window) {
  std::map<QChar, QStringList> owners;
  const auto add = [&](const QString& text) {
    if (const QChar c = Mnemonic(text); !c.isNull()) owners[c] << text;
  };
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (qobject_cast<QMenu*>(w) || qobject_cast<QMenuBar*>(w)) continue;
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      if (button->parent() && qobject_cast<QTabBar*>(button->parent())) continue;  // scrollers
      add(button->text());
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
      add(label->text());
    } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
      add(box->title());
    } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
      for (int i = 0; i < tabs->count(); ++i) add(tabs->tabText(i));
    }
  }
  QStringList shared;
  for (const auto& [letter, texts] : owners)
    if (texts.size() > 1) shared << texts.join(QStringLiteral(" / "));
  return shared.join(QLatin1Char('\n')).toStdString();
}

QStringList SharedInMenu(const QList<QAction*>& actions) {
  std::map<QChar, QStringList> owners;
  for (QAction* a : actions)
    if (const QChar c = Mnemonic(a->text()); !c.isNull()) owners[c] << a->text();
  QStringList shared;
  for (const auto& [letter, texts] : owners)
    if (texts.size() > 1) shared << texts.join(QStringLiteral(" / "));
  for (QAction* a : actions)
    if (a->menu()) shared << SharedInMenu(a->menu()->actions());
  return shared;
}

// Runs what opens a modal dialog and hands the dialog to inspect, then closes it.
void WithModal(const std::function<void()>& open, const std::function<void(QWidget*)>& inspect,
               const std::string& what) {
  bool seen = false;
  QTimer timer;  // gone with this call, also when no dialog came
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    seen = modal != nullptr;
    if (!modal) return;
    inspect(modal);
    modal->close();
  });
  timer.start(0);
  open();
  EXPECT_TRUE(seen) << "no dialog opened: " << what;
}

class KeyboardTest : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    EnsureApplication();
    folder_ = fs::path(testing::TempDir()) /
              ("ulvo_keyboard_" + std::to_string(getpid()) + "_" + GetParam());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    for (const char* part : {"Formats", "IIF"})
      fs::copy(fs::path(ULVO_SHIPPED_DATA_DIR) / part, folder_ / part);
    fs::copy_file(fs::path(ULVO_SHIPPED_DATA_DIR) / "Settings.xml", folder_ / "Settings.xml");
    if (std::string(GetParam()) == "nl")
      fs::copy_file(fs::path(ULVO_SHIPPED_DATA_DIR) / "ulvo-nl.tft", folder_ / "ulvo.tft");
    app_.Start(folder_, &profile_);
    frame_ = std::make_unique<CMainFrame>(app_);
    frame_->SetMessageHandler([](const QString&) {});
    frame_->SetLockKeyReader([] { return LockKeys{}; });
    RegisterTaskWindows(*frame_);
    frame_->TranslateMenu();
    frame_->show();
  }
  void TearDown() override {
    for (QMdiSubWindow* w : frame_->findChild<QMdiArea*>()->subWindowList()) w->close();
    frame_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    fs::remove_all(folder_);
  }

  fs::path folder_;
  MemoryProfileStore profile_;
  CDunmarkApp app_;
  std::unique_ptr<CMainFrame> frame_;
};

TEST_P(KeyboardTest, EveryWindowsMnemonicsAreUnique) {
  CMainFrame& frame = *frame_;
  EXPECT_EQ(SharedInMenu(frame.menuBar()->actions()).join(QLatin1Char('\n')).toStdString(), "")
      << "menu bar";
  for (const char* type : {kTransferType, kConvertType, kMergeType, kDesignType}) {
    QWidget* view = frame.OpenTask(type);
    ASSERT_NE(view, nullptr) << type;
    EXPECT_EQ(SharedMnemonics(view), "") << type;
  }
  // The dialogs: the transfer settings, the identifier lists and About.
  QWidget* transfer = frame.TaskView(kTransferType);
  transfer->findChild<QComboBox*>("instrument")->setCurrentIndex(0);
  auto* params = transfer->findChild<QPushButton*>("parameters");
  WithModal([&] { params->click(); },
            [](QWidget* sheet) { EXPECT_EQ(SharedMnemonics(sheet), "") << "sheet"; }, "sheet");
  for (int command : {kCmdTypes, kCmdGroups, kCmdElements}) {
    WithModal([&] { frame.CommandAction(command)->trigger(); },
              [&](QWidget* dialog) { EXPECT_EQ(SharedMnemonics(dialog), "") << command; },
              std::to_string(command));
  }
  QAction* about = frame.menuBar()->actions().last()->menu()->actions().last();
  WithModal([&] { about->trigger(); },
            [](QWidget* dialog) { EXPECT_EQ(SharedMnemonics(dialog), "") << "About"; }, "About");
}

// Whatever message a pressed button shows is answered, so the test goes on.
class ModalCloser {
 public:
  ModalCloser() {
    QObject::connect(&timer_, &QTimer::timeout, [] {
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    timer_.start(10);
  }

 private:
  QTimer timer_;
};

class FormKeysTest : public KeyboardTest {
 protected:
  // The task window open, active, with the focus on its control named focus.
  QWidget* Open(const char* type, const char* focus) {
    QWidget* view = frame_->OpenTask(type);
    QApplication::setActiveWindow(frame_.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
    auto* control = view->findChild<QWidget*>(focus);
    EXPECT_NE(control, nullptr) << focus;
    if (control) control->setFocus();
    return view;
  }
  // Presses key (with modifiers) where the focus is.
  void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
  }
  static bool Clicked(QSignalSpy& spy) { return spy.count() > 0 || spy.wait(1000); }
};

// Each task window's action answers its own Alt+letter, not the menu bar's.
TEST_P(FormKeysTest, ActionMnemonicPressesTheFormsButton) {
  struct Action {
    const char* type;
    const char* focus;
    int key;
    const char* button;
  };
  const Action actions[] = {
      {kConvertType, "2003", Qt::Key_V, "2001"},  // Con&vert, although &View is the menu's
      {kTransferType, "file", Qt::Key_X, "next"},
      {kTransferType, "file", Qt::Key_H, "help"},  // &Help, as the menu's
      {kDesignType, "IDC_DESIGN_FORMAT_LIST", Qt::Key_O, "IDC_DESIGN_OK_BTN"},
  };
  ModalCloser answer;
  for (const Action& a : actions) {
    QWidget* view = Open(a.type, a.focus);
    auto* button = view->findChild<QPushButton*>(a.button);
    ASSERT_NE(button, nullptr) << a.button;
    button->setEnabled(true);
    QSignalSpy clicked(button, &QPushButton::clicked);
    Press(a.key, Qt::AltModifier);
    EXPECT_TRUE(Clicked(clicked)) << a.type << " " << a.button;
    if (a.type == kConvertType) {  // still where it was, for the next key
      ASSERT_NE(QApplication::focusWidget(), nullptr);
      EXPECT_EQ(QApplication::focusWidget()->objectName(), a.focus);
    }
    EXPECT_EQ(frame_->menuBar()->activeAction(), nullptr) << a.type;
  }
}

// A label's mnemonic moves the focus to its control; a letter the form does not have
// still opens the menu.
TEST_P(FormKeysTest, LabelMnemonicFocusesItsControlAndOtherLettersOpenTheMenu) {
  Open(kConvertType, "2003");
  Press(Qt::Key_F, Qt::AltModifier);  // the source's "&Format:", not the File menu
  ASSERT_NE(QApplication::focusWidget(), nullptr);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "2002");
  EXPECT_EQ(frame_->menuBar()->activeAction(), nullptr);
  Press(Qt::Key_T, Qt::AltModifier);  // the source's "&Type:"
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "2014");
  Press(Qt::Key_K, Qt::AltModifier);  // nobody's: the focus stays
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "2014");
}

// The menu bar from a task window: F10, and Alt pressed and released alone.
TEST_P(FormKeysTest, MenuBarIsReachedByF10AndByAltAlone) {
  Open(kConvertType, "2003");
  QMenuBar* bar = frame_->menuBar();
  QAction* file = bar->actions().first();
  Press(Qt::Key_F10);
  EXPECT_EQ(bar->activeAction(), file);
  EXPECT_TRUE(file->menu()->isVisible());
  file->menu()->close();
  QTest::keyClick(bar, Qt::Key_Escape);
  bar->setActiveAction(nullptr);

  Open(kConvertType, "2003");
  QWidget* focus = QApplication::focusWidget();
  QTest::keyPress(focus, Qt::Key_Alt, Qt::AltModifier);
  QTest::keyRelease(focus, Qt::Key_Alt, Qt::NoModifier);
  EXPECT_EQ(bar->activeAction(), file);
}

// Enter that the focused control lets through presses the form's default button.
TEST_P(FormKeysTest, EnterInAFieldPressesTheDefaultButton) {
  ModalCloser answer;
  QWidget* view = Open(kTransferType, "file");
  QSignalSpy next(view->findChild<QPushButton*>("next"), &QPushButton::clicked);
  Press(Qt::Key_Return);
  EXPECT_TRUE(Clicked(next));
  view = Open(kConvertType, "2003");
  QSignalSpy convert(view->findChild<QPushButton*>("2001"), &QPushButton::clicked);
  Press(Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_TRUE(Clicked(convert));
}

// The controls Tab visits in view, from its first one, by name (or class when unnamed).
QStringList TabOrder(QWidget* view) {
  QWidget* first = nullptr;
  for (QWidget* w = view->nextInFocusChain(); w != view && !first; w = w->nextInFocusChain())
    if (view->isAncestorOf(w) && w->isVisible() && w->isEnabled() &&
        (w->focusPolicy() & Qt::TabFocus))
      first = w;
  QStringList names;
  if (!first) return names;
  first->setFocus(Qt::TabFocusReason);
  for (int n = 0; n < 40; ++n) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !view->isAncestorOf(focus)) break;
    const QString name =
        focus->objectName().isEmpty() ? focus->metaObject()->className() : focus->objectName();
    if (!names.isEmpty() && focus == first) break;
    names << name;
    QTest::keyClick(focus, Qt::Key_Tab);
  }
  return names;
}

// Tab visits every control of a task window once, in reading order: down each column of
// the design window, for one.
TEST_P(FormKeysTest, TabVisitsEveryControlInReadingOrder) {
  struct Order {
    const char* type;
    QStringList names;
  };
  const Order orders[] = {
      {kTransferType,
       {"send", "instrument", "option", "file", "browse", "port", "parameters", "help", "next",
        "close", "LineToggle"}},
      {kConvertType,
       {"2014", "2002", "identify", "fromGis", "2003", "2004", "2028", "2005", "2006", "2007",
        "2018", "2001", "2017"}},
      {kMergeType, {"2105", "2106", "2107", "2108", "2109", "2104", "2123"}},
      {kDesignType,
       // Remove is off for the first format, which the editor cannot show.
       {"IDC_DESIGN_FORMAT_LIST", "IDC_DESIGN_FORMAT_ADD_BTN", "IDC_DESIGN_FORMAT_TYPE_LIST",
        "IDC_DESIGN_ITEM_LIST", "IDC_DESIGN_HELP_BTN", "IDC_DESIGN_OK_BTN",
        "IDC_DESIGN_CANCEL_BTN"}},
  };
  for (const Order& o : orders) {
    QWidget* view = frame_->OpenTask(o.type);
    QApplication::setActiveWindow(frame_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
    if (auto* formats = view->findChild<QListWidget*>("IDC_DESIGN_FORMAT_LIST"))
      formats->setCurrentRow(0);
    EXPECT_EQ(TabOrder(view).join(QStringLiteral(", ")).toStdString(),
              o.names.join(QStringLiteral(", ")).toStdString());
  }
}

// The dialogs: OK is the default button (Enter), Escape closes without keeping what was typed.
TEST_P(FormKeysTest, DialogsHaveOkAsDefaultAndEscapeCancels) {
  CMainFrame& frame = *frame_;
  for (int command : {kCmdTypes, kCmdGroups, kCmdElements}) {
    WithModal([&] { frame.CommandAction(command)->trigger(); },
              [&](QWidget* dialog) {
                auto* ok = dialog->findChild<QPushButton*>("IDOK");
                ASSERT_NE(ok, nullptr);
                EXPECT_TRUE(ok->isDefault()) << command;
                auto* id = dialog->findChild<QLineEdit*>("IDC_IDNAME_ID");
                ASSERT_NE(id, nullptr);
                QTest::keyClick(dialog->findChild<QPushButton*>("IDC_IDNAME_ADD_BTN"),
                                Qt::Key_Space);
                QTest::keyClicks(id, "typed");
                QTest::keyClick(id, Qt::Key_Escape);
                EXPECT_FALSE(dialog->isVisible()) << command;
              },
              std::to_string(command));
  }
  std::ostringstream text;  // the lists as they were
  app_.Settings().Root().print(text);
  EXPECT_EQ(text.str().find("typed"), std::string::npos);
}

// The letters pressed are the English ones.
INSTANTIATE_TEST_SUITE_P(English, FormKeysTest, testing::Values("en"));
INSTANTIATE_TEST_SUITE_P(Languages, KeyboardTest, testing::Values("en", "nl"));

}  // namespace
}  // namespace ulvo
