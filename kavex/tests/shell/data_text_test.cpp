#include "kavex/shell/data_text.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace kavex {
namespace {

using Lines = std::vector<std::string>;

std::string Join(const DataText& t) {
  return t.Text({0, 0}, t.End());
}

TEST(DataTextTest, EditsUndoAndRedo) {
  struct Case {
    const char* name;
    Lines start;
    std::function<void(DataText&)> edit;
    std::string after;       // the whole text, line feeds included
    std::string afterUndo;   // after undoing everything
    LinesChange lastChange;  // of the edit (not of its undo)
  };
  const std::vector<Case> cases = {
      {"insert in a line",
       {"abc"},
       [](DataText& t) {
         t.Replace({0, 1}, {0, 1}, "XY");
       },
       "aXYbc\n",
       "abc\n",
       {0, 1, 1}},
      {"split a line",
       {"abc", "d"},
       [](DataText& t) {
         t.Replace({0, 2}, {0, 2}, "\n");
       },
       "ab\nc\nd\n",
       "abc\nd\n",
       {0, 1, 2}},
      {"line feed at a line's end keeps it",
       {"abc", "d"},
       [](DataText& t) {
         t.Replace({0, 3}, {0, 3}, "\nnew");
       },
       "abc\nnew\nd\n",
       "abc\nd\n",
       {1, 0, 1}},
      {"join two lines",
       {"ab", "cd"},
       [](DataText& t) {
         t.Replace({0, 2}, {1, 0}, "");
       },
       "abcd\n",
       "ab\ncd\n",
       {0, 2, 1}},
      {"delete across lines",
       {"one", "two", "three"},
       [](DataText& t) {
         t.Replace({0, 1}, {2, 2}, "");
       },
       "oree\n",
       "one\ntwo\nthree\n",
       {0, 3, 1}},
      {"replace across lines by lines",
       {"one", "two", "three"},
       [](DataText& t) {
         t.Replace({2, 1}, {0, 2}, "A\nB\nC\nD");
       },
       "onA\nB\nC\nDhree\n",
       "one\ntwo\nthree\n",
       {0, 3, 4}},
      {"typing joins one undo step",
       {""},
       [](DataText& t) {
         TextPos at{0, 0};
         for (const char* c : {"a", "b", "c"}) at = t.Replace(at, at, c, true);
       },
       "abc\n",
       "\n",
       {0, 1, 1}},
      {"CR and Latin-1 bytes stay",
       {"a\rb"},
       [](DataText& t) {
         t.Replace({0, 3}, {0, 3}, "\xA0\xFF\r");
       },
       "a\rb\xA0\xFF\r\n",
       "a\rb\n",
       {0, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DataText t(100);
    t.SetDataLines(c.start);
    LinesChange last{};
    t.onChange = [&last](const LinesChange& change) { last = change; };
    c.edit(t);
    EXPECT_EQ(Join(t), c.after);
    EXPECT_EQ(t.Size(), c.after.size());
    EXPECT_EQ(last.first, c.lastChange.first);
    EXPECT_EQ(last.removed, c.lastChange.removed);
    EXPECT_EQ(last.added, c.lastChange.added);
    while (t.CanUndo()) t.Undo();
    EXPECT_EQ(Join(t), c.afterUndo);
    EXPECT_EQ(t.Size(), c.afterUndo.size());
    while (t.CanRedo()) t.Redo();
    EXPECT_EQ(Join(t), c.after);
  }
}

TEST(DataTextTest, DataLinesEndWithALineFeed) {
  DataText t(100);
  EXPECT_EQ(t.DataLines(), Lines{});
  t.SetDataLines({"x", ""});
  EXPECT_EQ(t.LineCount(), 3u);
  EXPECT_EQ(t.DataLines(), (Lines{"x", ""}));
  // Typed without a line end, the last line is still a line; appending goes after it.
  t.Replace(t.End(), t.End(), "typed");
  EXPECT_EQ(t.DataLines(), (Lines{"x", "", "typed"}));
  LinesChange change{};
  t.onChange = [&change](const LinesChange& c) { change = c; };
  t.AppendDataLines({"a", "b"});
  EXPECT_EQ(t.DataLines(), (Lines{"x", "", "typed", "a", "b"}));
  EXPECT_EQ(change.first, 3u);  // the lines before are as they were
  EXPECT_EQ(change.removed, 0u);
  t.AppendDataLines({"c"});
  EXPECT_EQ(change.first, 5u);
  EXPECT_EQ(change.removed, 1u);  // the final empty line
  EXPECT_EQ(t.DataLines(), (Lines{"x", "", "typed", "a", "b", "c"}));
  // Lines the program adds leave nothing to undo.
  EXPECT_FALSE(t.CanUndo());
}

TEST(DataTextTest, RoomAndModifiedFlag) {
  DataText t(10);
  t.SetDataLines({"12345678"});  // 9 with its line feed
  EXPECT_EQ(t.Room({0, 8}, {0, 8}), 1u);
  EXPECT_EQ(t.Room({0, 0}, {1, 0}), 10u);  // what is selected goes
  t.SetDataLines({std::string(12, 'x')});  // the program may go beyond
  EXPECT_EQ(t.Room({0, 0}, {0, 0}), 0u);
  EXPECT_EQ(t.Room({0, 0}, {0, 5}), 2u);

  EXPECT_TRUE(t.Modified());
  t.SetModified(false);
  t.Replace({0, 0}, {0, 0}, "a", true);
  EXPECT_TRUE(t.Modified());
  t.Undo();
  EXPECT_FALSE(t.Modified());  // back where it was saved
  t.Redo();
  EXPECT_TRUE(t.Modified());
  t.SetModified(false);
  t.Replace({0, 1}, {0, 1}, "b", true);  // a new step, not joined to the saved one
  t.Undo();
  EXPECT_FALSE(t.Modified());
  EXPECT_EQ(t.Line(0), "a" + std::string(12, 'x'));
  t.AppendDataLines({"z"});
  EXPECT_TRUE(t.Modified());
}

TEST(DataTextTest, PlacesOutsideTheTextAreClamped) {
  DataText t(100);
  t.SetDataLines({"ab"});
  EXPECT_EQ(t.Clamp({0, 9}), (TextPos{0, 2}));
  EXPECT_EQ(t.Clamp({7, 9}), (TextPos{1, 0}));
  EXPECT_EQ(t.Replace({0, 9}, {5, 0}, "c"), (TextPos{0, 3}));
  EXPECT_EQ(Join(t), "abc");
}

}  // namespace
}  // namespace kavex
