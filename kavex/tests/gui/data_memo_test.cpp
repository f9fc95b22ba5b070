#include "kavex/gui/data_memo.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "kavex/tests/gui/gui_test_support.h"

namespace kavex {
namespace {

using Lines = std::vector<std::string>;

class DataMemoTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::App(); }
};

TEST_F(DataMemoTest, EditsByKeys) {
  struct Case {
    const char* name;
    Lines start;
    TextPos caret;
    std::function<void(DataMemo&)> keys;
    Lines after;
    QString selected;
  };
  const auto key = [](DataMemo& m, Qt::Key k, Qt::KeyboardModifiers mods = {}) {
    QTest::keyClick(&m, k, mods);
  };
  const std::vector<Case> cases = {
      {"Enter splits a line",
       {"abcd"},
       {0, 2},
       [&](DataMemo& m) { key(m, Qt::Key_Return); },
       {"ab", "cd"},
       {}},
      {"Backspace at a line's start joins it to the one before",
       {"ab", "cd"},
       {1, 0},
       [&](DataMemo& m) { key(m, Qt::Key_Backspace); },
       {"abcd"},
       {}},
      {"Delete at a line's end joins the next",
       {"ab", "cd"},
       {0, 2},
       [&](DataMemo& m) { key(m, Qt::Key_Delete); },
       {"abcd"},
       {}},
      {"Ctrl+Backspace deletes back to the word's start, Ctrl+Delete on to the next word",
       {"PT1,12.5 X"},
       {0, 8},
       [&](DataMemo& m) {
         key(m, Qt::Key_Backspace, Qt::ControlModifier);
         EXPECT_EQ(m.Lines(), Lines{"PT1,12. X"});
         key(m, Qt::Key_Home);
         key(m, Qt::Key_Delete, Qt::ControlModifier);
       },
       {"12. X"},
       {}},
      {"typing replaces a selection across lines",
       {"abc", "def"},
       {0, 1},
       [&](DataMemo& m) {
         key(m, Qt::Key_Down, Qt::ShiftModifier);
         QTest::keyClicks(&m, "X");
       },
       {"aXef"},
       {}},
      {"cut all and paste it back",
       {"a", "b"},
       {0, 0},
       [&](DataMemo& m) {
         key(m, Qt::Key_A, Qt::ControlModifier);
         key(m, Qt::Key_X, Qt::ControlModifier);
         EXPECT_EQ(m.Lines(), Lines{});
         EXPECT_EQ(QApplication::clipboard()->text(), "a\nb\n");
         key(m, Qt::Key_V, Qt::ControlModifier);
       },
       {"a", "b"},
       {}},
      {"undo and redo typing",
       {"x"},
       {0, 1},
       [&](DataMemo& m) {
         QTest::keyClicks(&m, "yz");
         key(m, Qt::Key_Z, Qt::ControlModifier);
         EXPECT_EQ(m.Lines(), Lines{"x"});
         key(m, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
       },
       {"xyz"},
       {}},
      {"undo takes back a line break, then the typing before it",
       {"x"},
       {0, 1},
       [&](DataMemo& m) {
         QTest::keyClicks(&m, "Q1,2.5");
         key(m, Qt::Key_Return);
         key(m, Qt::Key_Z, Qt::ControlModifier);
         EXPECT_EQ(m.Lines(), Lines{"xQ1,2.5"});
         key(m, Qt::Key_Z, Qt::ControlModifier);
       },
       {"x"},
       {}},
      {"Up and Down keep the column over a short line",
       {"abcdef", "ab", "abcdef"},
       {0, 5},
       [&](DataMemo& m) {
         key(m, Qt::Key_Down);
         key(m, Qt::Key_Down);
         QTest::keyClicks(&m, "X");
       },
       {"abcdef", "ab", "abcdeXf"},
       {}},
      {"Home, End and the text's ends",
       {"abc", "def"},
       {1, 1},
       [&](DataMemo& m) {
         key(m, Qt::Key_Home);
         QTest::keyClicks(&m, "<");
         key(m, Qt::Key_End);
         QTest::keyClicks(&m, ">");
         key(m, Qt::Key_Home, Qt::ControlModifier);
         QTest::keyClicks(&m, "^");
         key(m, Qt::Key_End, Qt::ControlModifier);
         key(m, Qt::Key_Home, Qt::ShiftModifier | Qt::ControlModifier);
       },
       {"^abc", "<def>"},
       "^abc\n<def>\n"},
      {"Left ends a selection at its start",
       {"abcd"},
       {0, 1},
       [&](DataMemo& m) {
         key(m, Qt::Key_Right, Qt::ShiftModifier);
         key(m, Qt::Key_Right, Qt::ShiftModifier);
         key(m, Qt::Key_Left);
         QTest::keyClicks(&m, "X");
       },
       {"aXbcd"},
       {}},
      {"a CR inside a line shows as its picture and pastes back as the byte",
       {"a\rb"},
       {0, 0},
       [&](DataMemo& m) {
         key(m, Qt::Key_End, Qt::ShiftModifier);
         EXPECT_EQ(m.SelectedText(), QStringLiteral(u"a\u240Db"));
         QApplication::clipboard()->setText(QStringLiteral(u"x\u240Dy\r\nz\u00E9"));
         m.paste();
       },
       {"x\ry", "z\xE9"},
       {}},
      {"read-only takes no typing but copies",
       {"abc"},
       {0, 0},
       [&](DataMemo& m) {
         m.setReadOnly(true);
         key(m, Qt::Key_End, Qt::ShiftModifier);
         QTest::keyClicks(&m, "X");
         key(m, Qt::Key_Backspace);
         key(m, Qt::Key_C, Qt::ControlModifier);
         EXPECT_EQ(QApplication::clipboard()->text(), "abc");
       },
       {"abc"},
       "abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DataMemo memo;
    memo.SetLines(c.start);
    memo.MoveCursor(c.caret);
    c.keys(memo);
    EXPECT_EQ(memo.Lines(), c.after);
    EXPECT_EQ(memo.SelectedText(), c.selected);
  }
}

TEST_F(DataMemoTest, MouseSelectsAndTheCaretLineIsSignalled) {
  DataMemo memo;
  memo.resize(400, 200);
  memo.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&memo));
  memo.SetLines({"JOB     J1", "P12,30.0,40.0,0", "third"});
  QSignalSpy lines(&memo, &DataMemo::cursorLineChanged);
  const QFontMetrics m(memo.font());
  const qreal cell =
      QFontMetricsF(memo.font()).horizontalAdvance(QString(100, QLatin1Char('x'))) / 100;
  const auto at = [&](int line, int column) {
    return QPoint(4 + static_cast<int>(column * cell) + 1,
                  4 + line * m.lineSpacing() + m.lineSpacing() / 2);
  };
  QWidget* area = memo.viewport();
  QTest::mouseDClick(area, Qt::LeftButton, {}, at(1, 1));
  EXPECT_EQ(memo.SelectedText(), "P12");
  ASSERT_EQ(lines.count(), 1);
  EXPECT_EQ(lines.at(0).at(0).toInt(), 1);
  QTest::mouseClick(area, Qt::LeftButton, {}, at(0, 4));
  QTest::mouseClick(area, Qt::LeftButton, Qt::ShiftModifier, at(2, 2));
  EXPECT_EQ(memo.SelectedText(), "    J1\nP12,30.0,40.0,0\nth");
  EXPECT_EQ(lines.count(), 3);
  memo.SelectLine(1);
  EXPECT_EQ(memo.SelectedText(), "P12,30.0,40.0,0");
  EXPECT_EQ(memo.CursorLine(), 1);
  // A third click on the spot of a double click takes the whole line.
  QTest::mouseDClick(area, Qt::LeftButton, {}, at(2, 1));
  EXPECT_EQ(memo.SelectedText(), "third");
  QTest::mouseDClick(area, Qt::LeftButton, {}, at(1, 5));
  QTest::mouseClick(area, Qt::LeftButton, {}, at(1, 5));
  EXPECT_EQ(memo.SelectedText(), "P12,30.0,40.0,0");

  // A drag held below the text scrolls on and the selection grows with it; it stops on
  // release.
  Lines many(300, "row");
  memo.SetLines(many);
  QTest::mousePress(area, Qt::LeftButton, {}, at(1, 0));
  QMouseEvent below(QEvent::MouseMove, QPointF(at(1, 2).x(), area->height() + 5),
                    area->mapToGlobal(QPointF(at(1, 2).x(), area->height() + 5)), Qt::NoButton,
                    Qt::LeftButton, {});
  QApplication::sendEvent(area, &below);
  QTest::qWait(400);
  const int scrolled = memo.verticalScrollBar()->value();
  EXPECT_GT(scrolled, 2);
  EXPECT_GT(memo.CursorLine(), scrolled);
  EXPECT_TRUE(memo.SelectedText().startsWith("row\nrow\n"));
  QTest::mouseRelease(area, Qt::LeftButton, {}, at(1, 2));
  const int released = memo.verticalScrollBar()->value();
  QTest::qWait(200);
  EXPECT_EQ(memo.verticalScrollBar()->value(), released);
}

TEST_F(DataMemoTest, ManyLinesComeInAtOnceAndScroll) {
  DataMemo memo;
  memo.resize(400, 300);
  memo.show();
  Lines many(2'400'000, "10");
  QSignalSpy changes(&memo, &DataMemo::linesChanged);
  memo.SetLines(many);
  memo.AppendLines({"EOF"});
  EXPECT_EQ(memo.LineCount(), many.size() + 1);
  ASSERT_EQ(changes.count(), 2);
  EXPECT_EQ(changes.at(1).at(0).toInt(), 2'400'000);  // the lines before stay as they were
  memo.setFocus();
  QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(memo.verticalScrollBar()->value(), memo.verticalScrollBar()->maximum());
  EXPECT_GT(memo.verticalScrollBar()->maximum(), 2'000'000);
  QTest::keyClick(&memo, Qt::Key_PageUp);
  EXPECT_LT(memo.CursorLine(), 2'400'000);
  QTest::keyClicks(&memo, "x");
  EXPECT_TRUE(memo.Modified());
  // New lines put the caret back at the start, and the panes that follow it hear so.
  QSignalSpy caret(&memo, &DataMemo::cursorLineChanged);
  memo.SetLines({"a"});
  ASSERT_EQ(caret.count(), 1);
  EXPECT_EQ(caret.at(0).at(0).toInt(), 0);
}

// A screen reader reads the lines by character offsets, a line feed between lines, and
// moves the caret and the selection through them.
TEST_F(DataMemoTest, ScreenReadersReadTheTextAndMoveTheCaret) {
  DataMemo memo;
  memo.resize(400, 300);
  memo.show();
  memo.SetLines({"PT1,1.0", "PT\r2", ""});
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&memo);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->role(), QAccessible::EditableText);
  EXPECT_EQ(a->text(QAccessible::Name), "Current data");
  QAccessibleTextInterface* t = a->textInterface();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->characterCount(), 14);  // "PT1,1.0\nPT\r2\n\n"
  EXPECT_EQ(t->text(0, 7), "PT1,1.0");
  EXPECT_EQ(t->text(6, 11), QString::fromUtf16(u"0\nPT\u240D"));
  EXPECT_EQ(t->text(12, 99), "\n\n");
  EXPECT_EQ(t->text(5, 5), "");
  t->setCursorPosition(10);
  EXPECT_EQ(memo.Cursor(), (TextPos{1, 2}));
  EXPECT_EQ(t->cursorPosition(), 10);
  EXPECT_EQ(t->selectionCount(), 0);
  t->setSelection(0, 4, 10);
  EXPECT_EQ(memo.SelectedText(), "1.0\nPT");
  int start = -1, end = -1;
  t->selection(0, &start, &end);
  EXPECT_EQ(start, 4);
  EXPECT_EQ(end, 10);
  EXPECT_EQ(t->offsetAtPoint(t->characterRect(9).center()), 9);
  memo.setReadOnly(true);
  EXPECT_TRUE(a->state().readOnly);
  EXPECT_FALSE(a->state().editable);
}

}  // namespace
}  // namespace kavex
