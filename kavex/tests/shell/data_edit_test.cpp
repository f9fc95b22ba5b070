#include "kavex/shell/data_edit.h"

#include <gtest/gtest.h>

#include <deque>

#include "kavex/formats/point_lists.h"
#include "kavex/formats/qrx6_block.h"
#include "kavex/tests/support/fake_clock.h"
#include "kavex/tests/support/scripted_prompts.h"

namespace kavex {
namespace {

// Answers confirmations from a queue and records every box.
class ScriptedEditPrompts : public DataEditPrompts {
 public:
  void Notify(const std::string& caption, const std::string& text) override {
    log.push_back(caption + ": " + text);
  }
  bool Confirm(const std::string& text) override {
    log.push_back("confirm: " + text);
    EXPECT_FALSE(answers.empty()) << text;
    if (answers.empty()) return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  std::vector<std::string> log;
  std::deque<bool> answers;
};

using Row = DataEditTable::Row;

DataEditTable Coordinates(std::vector<Row> rows) {
  DataEditTable table(EditKind::kCoordinates);
  ScriptedEditPrompts none;
  for (Row& r : rows) table.Store(r, std::nullopt, none);
  return table;
}

TEST(DataEdit, FirstLineDecidesTheKind) {
  EXPECT_EQ(EditKindOfFirstLine("\x02_+P1        _ x +00000001"), EditKind::kCoordinates);
  EXPECT_EQ(EditKindOfFirstLine("\x02_:001TREE      _"), EditKind::kPointCodes);
  // Coordinates win when both stand in the line.
  EXPECT_EQ(EditKindOfFirstLine("_:001_ x"), EditKind::kCoordinates);
  EXPECT_EQ(EditKindOfFirstLine("_x _ :"), std::nullopt);
  EXPECT_EQ(EditKindOfFirstLine(""), std::nullopt);
  EXPECT_EQ(EditColumnTitles(EditKind::kPointCodes),
            (std::vector<std::string>{"          CODE NUMBER", "            PT CODE"}));
  EXPECT_EQ(EditColumnWidth(EditKind::kCoordinates), 80);
  EXPECT_EQ(EditColumnWidth(EditKind::kPointCodes), 150);
}

TEST(DataEdit, EditModeChoosesTheKind) {
  MemoryDataView view;
  testing::ScriptedPrompts prompts;
  testing::FakeClock clock;
  MainLogic logic(view, prompts, clock);
  int asked = 0;
  auto choose = [&asked]() -> std::optional<EditKind> {
    ++asked;
    return EditKind::kPointCodes;
  };
  EXPECT_EQ(ChooseEditKind(logic, choose), EditKind::kPointCodes);
  EXPECT_EQ(asked, 1);

  view.SetLines({"_:001", "_ x"});
  EXPECT_EQ(ChooseEditKind(logic, choose), EditKind::kPointCodes);
  const std::string neither = std::string("Invalid data.\n") + kNeitherListText;
  view.SetLines({"JOB     J1"});
  view.SetModified(false);
  prompts.ExpectMessage(neither);
  EXPECT_EQ(ChooseEditKind(logic, choose), std::nullopt);
  // A file that is empty: its first line is no list either.
  view.SetLines({});
  view.SetModified(false);
  logic.hasFile = true;
  prompts.ExpectMessage(neither);
  EXPECT_EQ(ChooseEditKind(logic, choose), std::nullopt);
  EXPECT_EQ(asked, 1);
}

TEST(DataEdit, EditNeedsExactlyOneRow) {
  DataEditTable table = Coordinates({{"P1        ", "   12.500", "    1.000", "    0.000"},
                                     {"P2        ", "  -12.500", "    2.000", "    0.000"}});
  ScriptedEditPrompts prompts;
  EXPECT_EQ(table.EditValues(0, 1, prompts), std::nullopt);
  EXPECT_EQ(prompts.log,
            std::vector<std::string>{"Error: 編集したい座標を１点のみ選択してください"});
  EXPECT_EQ(table.EditValues(1, 1, prompts), (Row{"P2", "-12.500", "2.000", "0.000"}));
  DataEditTable empty(EditKind::kPointCodes);
  EXPECT_FALSE(empty.EditDeleteEnabled());
  EXPECT_EQ(empty.ShownRowCount(), 1u);
  EXPECT_EQ(empty.Cell(0, 0), "");
  EXPECT_EQ(empty.EditValues(0, 0, prompts), std::nullopt);
  EXPECT_EQ(prompts.log.size(), 2u);
}

TEST(DataEdit, DeleteAsksWithTheFirstAndLastName) {
  struct Case {
    EditKind kind;
    size_t first;
    size_t last;
    const char* question;
  };
  for (const Case& c : std::vector<Case>{
           {EditKind::kCoordinates, 1, 1, "PtNo(P2) Delete？"},
           {EditKind::kCoordinates, 0, 2, "PtNo(from P1 to P 3) Delete？"},
           {EditKind::kPointCodes, 2, 2, "CODE NUMBER(003) Delete？"},
           {EditKind::kPointCodes, 1, 2, "CODE NUMBER(from 002 to 003) Delete？"},
       }) {
    DataEditTable table(c.kind);
    ScriptedEditPrompts prompts;
    const bool coords = c.kind == EditKind::kCoordinates;
    for (const char* key : {coords ? "P1        " : "001", coords ? "P2        " : "002",
                            coords ? "P 3       " : "003"}) {
      table.Store(coords ? Row{key, "1", "2", "3"} : Row{key, "TREE      "}, std::nullopt, prompts);
    }
    ASSERT_EQ(table.Rows().size(), 3u);
    // Read back from its blocks, as EDIT MODE fills it: nothing changed yet.
    ASSERT_TRUE(table.Load(*table.BlockLines()));
    ASSERT_EQ(table.Rows().size(), 3u);
    EXPECT_FALSE(table.Changed());
    prompts.answers = {false, true};
    EXPECT_FALSE(table.Delete(c.first, c.last, prompts));
    EXPECT_EQ(table.Rows().size(), 3u);
    EXPECT_TRUE(table.Delete(c.first, c.last, prompts));
    EXPECT_EQ(prompts.log, (std::vector<std::string>{std::string("confirm: ") + c.question,
                                                     std::string("confirm: ") + c.question}));
    EXPECT_EQ(table.Rows().size(), 3 - (c.last - c.first + 1));
    EXPECT_TRUE(table.Changed());
  }
  // Deleting every row leaves the empty row and nothing to edit or delete.
  DataEditTable table = Coordinates({{"P1        ", "1", "2", "3"}, {"P2        ", "1", "2", "3"}});
  ScriptedEditPrompts prompts;
  prompts.answers = {true};
  EXPECT_TRUE(table.Delete(0, 1, prompts));
  EXPECT_EQ(table.ShownRowCount(), 1u);
  EXPECT_FALSE(table.EditDeleteEnabled());
  EXPECT_FALSE(table.Delete(0, 0, prompts));
}

TEST(DataInput, ChecksAndFormats) {
  struct Case {
    const char* text;
    bool coordinateOk;
    bool codeOk;
  };
  for (const Case& c : std::vector<Case>{{"10000000", false, false},
                                         {"9999999.999", true, false},
                                         {"-1000000", false, false},
                                         {"-999999.999", true, false},
                                         {"0", true, false},
                                         {"", true, false},
                                         {"1", true, true},
                                         {"50", true, true},
                                         {"51", true, false},
                                         {"-5", true, false}}) {
    EXPECT_EQ(DataInput::CoordinateProblem(c.text),
              c.coordinateOk ? std::nullopt : std::optional<std::string>("Limit over "))
        << c.text;
    EXPECT_EQ(DataInput::CodeNumberProblem(c.text),
              c.codeOk ? std::nullopt : std::optional<std::string>("1<=Cood Number<=50"))
        << c.text;
  }
  EXPECT_EQ(DataInput::Format(EditKind::kCoordinates, {"P1", "-12.5", "12.5", "0"}),
            (Row{"P1        ", "   -12.500", "   12.500", "    0.000"}));
  EXPECT_EQ(DataInput::Format(EditKind::kCoordinates, {"ABCDEFGHIJ", "9999999.999", "-0.5", "1"}),
            (Row{"ABCDEFGHIJ", "9999999.999", "    -0.500", "    1.000"}));
  EXPECT_EQ(DataInput::Format(EditKind::kPointCodes, {"7", "WALL", "", ""}),
            (Row{"007", "WALL      "}));
  // Digits, minus and point of both keyboards and the moving keys; not letters or "+".
  for (int vk : {8, 9, 13, 35, 40, 46, 48, 57, 96, 105, 109, 110, 189, 190})
    EXPECT_TRUE(DataInput::IsNumberKey(vk)) << vk;
  for (int vk : {32, 34, 41, 45, 65, 90, 107, 187, 188, 191})
    EXPECT_FALSE(DataInput::IsNumberKey(vk)) << vk;
  EXPECT_TRUE(DataInput::FiltersKeys(EditKind::kCoordinates, 3));
  EXPECT_FALSE(DataInput::FiltersKeys(EditKind::kCoordinates, 0));
  EXPECT_TRUE(DataInput::FiltersKeys(EditKind::kPointCodes, 0));
  EXPECT_FALSE(DataInput::FiltersKeys(EditKind::kPointCodes, 1));
}

TEST(DataInput, OkStoresOverwritesOrRefuses) {
  DataEditTable table(EditKind::kCoordinates);
  ScriptedEditPrompts prompts;
  int focus = -1;
  std::array<std::string, 4> fields{"P1", "1", "2", "3"};
  // New into the empty row.
  EXPECT_EQ(DataInputOk(table, fields, std::nullopt, prompts, focus), InputOutcome::kClosed);
  EXPECT_EQ(fields,
            (std::array<std::string, 4>{"P1        ", "    1.000", "    2.000", "    3.000"}));
  EXPECT_EQ(table.Rows().size(), 1u);
  EXPECT_TRUE(table.EditDeleteEnabled());
  fields = {"P2", "4", "5", "6"};
  DataInputOk(table, fields, std::nullopt, prompts, focus);
  ASSERT_EQ(table.Rows().size(), 2u);
  EXPECT_TRUE(prompts.log.empty());

  // P1 again: the overwrite question; CANCEL stores nothing, OK changes that row.
  fields = {"P1", "-12.5", "0", "0"};
  prompts.answers = {false};
  EXPECT_EQ(DataInputOk(table, fields, std::nullopt, prompts, focus), InputOutcome::kClosed);
  EXPECT_EQ(table.Rows()[0][1], "    1.000");
  fields = {"P1", "-12.5", "0", "0"};
  prompts.answers = {true};
  DataInputOk(table, fields, std::nullopt, prompts, focus);
  EXPECT_EQ(table.Rows().size(), 2u);
  EXPECT_EQ(table.Rows()[0], (Row{"P1        ", "   -12.500", "    0.000", "    0.000"}));
  EXPECT_EQ(prompts.log, (std::vector<std::string>{"confirm: P1 already exists Overwrite?",
                                                   "confirm: P1 already exists Overwrite?"}));
  // Editing P2 into P1 asks too, and keeps P2 as it was; editing P2 under its own name
  // does not ask.
  prompts.log.clear();
  fields = {"P1", "7", "7", "7"};
  prompts.answers = {true};
  DataInputOk(table, fields, 1, prompts, focus);
  EXPECT_EQ(table.Rows()[0][1], "    7.000");
  EXPECT_EQ(table.Rows()[1][0], "P2        ");
  fields = {"P2", "8", "8", "8"};
  DataInputOk(table, fields, 1, prompts, focus);
  EXPECT_EQ(table.Rows()[1], (Row{"P2        ", "    8.000", "    8.000", "    8.000"}));
  EXPECT_EQ(prompts.log.size(), 1u);

  // Refusals: the name empty keeps the dialog; another field empty closes it unstored; an
  // out-of-range value keeps the focus on it.
  prompts.log.clear();
  fields = {"", "1", "1", "1"};
  EXPECT_EQ(DataInputOk(table, fields, std::nullopt, prompts, focus), InputOutcome::kStay);
  EXPECT_EQ(focus, 0);
  fields = {"P9", "1", "", "1"};
  EXPECT_EQ(DataInputOk(table, fields, std::nullopt, prompts, focus), InputOutcome::kClosed);
  fields = {"P9", "1", "1", "10000000"};
  EXPECT_EQ(DataInputOk(table, fields, std::nullopt, prompts, focus), InputOutcome::kStay);
  EXPECT_EQ(focus, 3);
  EXPECT_EQ(prompts.log, (std::vector<std::string>{"Data Input: No Data", "Data Input: No Data",
                                                   "Data Input: Limit over "}));
  EXPECT_EQ(table.Rows().size(), 2u);

  DataEditTable codes(EditKind::kPointCodes);
  fields = {"0", "TREE", "", ""};
  EXPECT_EQ(DataInputOk(codes, fields, std::nullopt, prompts, focus), InputOutcome::kStay);
  EXPECT_EQ(prompts.log.back(), "Data Input: 1<=Cood Number<=50");
  fields = {"7", "TREE", "", ""};
  EXPECT_EQ(DataInputOk(codes, fields, std::nullopt, prompts, focus), InputOutcome::kClosed);
  EXPECT_EQ(codes.Rows(), (std::vector<Row>{{"007", "TREE      "}}));
}

TEST(DataEdit, LongListsWriteValidBlocksThatReadBack) {
  // 30 records of 51 characters plus the leading "_": 1531 characters, 12 blocks, numbered
  // 0..9 and again 0, 1; records run across the block boundaries.
  DataEditTable table(EditKind::kCoordinates);
  ScriptedEditPrompts none;
  for (int i = 1; i <= 30; ++i) {
    std::array<std::string, 4> fields{"PT" + std::to_string(i), std::to_string(i * 1000.5),
                                      "-" + std::to_string(i), "0.001"};
    int focus = 0;
    DataInputOk(table, fields, std::nullopt, none, focus);
  }
  const std::vector<std::string> lines = table.BlockLines().value();
  ASSERT_EQ(lines.size(), 12u);
  for (size_t i = 0; i < lines.size(); ++i)
    EXPECT_EQ(CheckBlock(lines[i] + "\r\n", static_cast<int>(i % 10), true, true), 0) << i;
  DataEditTable back(EditKind::kCoordinates);
  ASSERT_TRUE(back.Load(lines));
  ASSERT_EQ(back.Rows().size(), 30u);
  EXPECT_EQ(back.Rows()[29], (Row{"PT30      ", "  30015.000", "    -30.000", "      0.001"}));
  EXPECT_FALSE(back.Changed());
}

class ScriptedConfirmation : public UpdateConfirmation {
 public:
  bool Run() override {
    ++shown;
    return ok;
  }
  bool DontDisplay() const override { return dontDisplay; }
  bool ok = true;
  bool dontDisplay = false;
  int shown = 0;
};

TEST(DataEdit, OkConfirmsAndWritesBack) {
  MemoryDataView view;
  testing::ScriptedPrompts prompts;
  testing::FakeClock clock;
  MainLogic logic(view, prompts, clock);
  view.SetLines({"old"});
  ScriptedConfirmation confirmation;

  DataEditTable table(EditKind::kPointCodes);
  EXPECT_TRUE(DataEditOk(logic, table, confirmation));  // nothing changed
  EXPECT_EQ(confirmation.shown, 0);
  EXPECT_EQ(view.Lines(), std::vector<std::string>{"old"});

  ScriptedEditPrompts none;
  table.Store({"007", "WALL      "}, std::nullopt, none);
  // CANCEL with the box ticked: the dialog stays and is not asked again.
  confirmation.ok = false;
  confirmation.dontDisplay = true;
  EXPECT_FALSE(DataEditOk(logic, table, confirmation));
  EXPECT_FALSE(logic.Settings().showUpdateDialog);
  EXPECT_EQ(view.Lines(), std::vector<std::string>{"old"});
  EXPECT_TRUE(DataEditOk(logic, table, confirmation));
  EXPECT_EQ(confirmation.shown, 1);
  const std::string payload = "_:007WALL      _" + std::string(112, ' ');
  EXPECT_EQ(view.Lines(), std::vector<std::string>{MakeBlockLine(payload, 0)});
  EXPECT_TRUE(view.Modified());

  // Shown, OK with the box clear: it stays on.
  logic.Settings().showUpdateDialog = true;
  confirmation.ok = true;
  confirmation.dontDisplay = false;
  view.SetLines({});
  EXPECT_TRUE(DataEditOk(logic, table, confirmation));
  EXPECT_TRUE(logic.Settings().showUpdateDialog);
  EXPECT_EQ(view.LineCount(), 1u);
  confirmation.dontDisplay = true;
  EXPECT_TRUE(DataEditOk(logic, table, confirmation));
  EXPECT_FALSE(logic.Settings().showUpdateDialog);
  EXPECT_EQ(confirmation.shown, 3);
}

// Every writer of the coordinate record at the edges of the 10-character field. The points
// conversion and the list writer take the value as it stands; Data Input stores it with
// three decimals first ("%9.3lf"), so 999999.9995 reaches the blocks as 1000000.000.
TEST(CoordinateField, RangeEdgesThroughEveryWriter) {
  const struct {
    const char* value;
    const char* field;  // the written text, or nullptr when the value is refused
    bool inputAccepts;
  } cases[] = {
      {"9999999.999", "9999999999", true},  {"9999999.9994", "9999999999", true},
      {"9999999.9996", nullptr, false},     {"10000000", nullptr, false},
      {"32512345.678", nullptr, false},     {"1000000", "1000000000", true},
      {"999999.999", "+999999999", true},   {"999999.9994", "+999999999", true},
      {"999999.9995", nullptr, true},       {"-999999.999", "-999999999", true},
      {"-999999.9994", "-999999999", true}, {"-999999.9995", nullptr, false},
      {"-999999.9996", nullptr, false},     {"-1000000", nullptr, false},
      {"-32512345.678", nullptr, false},    {"-0.0004", " -00000000", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    // The points conversion: Y of the second line.
    std::vector<std::string> blocks;
    ListStop stop;
    const ListFileResult result = WriteListTextBlocks(
        std::string("P0\nP1,") + c.value + ",0,0\n", ListKind::kPoints,
        [&](const std::string& l) { blocks.push_back(l); }, &stop);
    if (c.field) {
      ASSERT_EQ(result, ListFileResult::kDone);
      ASSERT_EQ(blocks.size(), 1u);
      EXPECT_EQ(blocks[0].substr(1 + 51 + 28, 10), c.field);
    } else {
      EXPECT_EQ(result, ListFileResult::kBadLine);
      EXPECT_TRUE(blocks.empty());
      EXPECT_EQ(stop.line, 2u);
      EXPECT_EQ(stop.wideValue, c.value);
    }

    // The list writer of the data edit, with the value in the X cell.
    const auto written = WriteCoordinateList({{"P1", c.value, "0", "0"}});
    ASSERT_EQ(written.has_value(), c.field != nullptr);
    if (written) {
      EXPECT_EQ((*written)[0].substr(1 + 15, 10), c.field);
    }

    // Data Input: the check on leaving the field and OK, which never stores what the list
    // writer would refuse.
    EXPECT_EQ(!DataInput::CoordinateProblem(c.value), c.inputAccepts);
    DataEditTable table(EditKind::kCoordinates);
    ScriptedEditPrompts prompts;
    std::array<std::string, 4> fields{"P1", "0", c.value, "0"};
    int focus = 0;
    EXPECT_EQ(DataInputOk(table, fields, std::nullopt, prompts, focus),
              c.inputAccepts ? InputOutcome::kClosed : InputOutcome::kStay);
    EXPECT_EQ(table.Rows().size(), c.inputAccepts ? 1u : 0u);
    if (c.inputAccepts) {
      EXPECT_TRUE(table.BlockLines().has_value());
    }
  }
}

// A field wider than its place shifts every later one: EDIT MODE refuses such data, and a
// list that does not fit its fields is never written back.
TEST(DataEdit, ShiftedRecordsAreRefused) {
  MemoryDataView view;
  testing::ScriptedPrompts prompts;
  testing::FakeClock clock;
  MainLogic logic(view, prompts, clock);
  auto choose = []() -> std::optional<EditKind> { return std::nullopt; };
  const std::string good = "_+P1        _ x +00001000_ y +00002000_ z +00003000_";
  // The message says where, under "Invalid data.".
  const struct {
    const char* name;
    std::vector<std::string> payloads;
    const char* where;  // nullptr when the records line up
  } cases[] = {
      {"aligned", {good}, nullptr},
      {"name holding _", {"_+P_1       _ x +00001000_ y +00002000_ z +00003000_"}, nullptr},
      {"12-character y",
       {"_+P1        _ x +00001000_ y+32512345678_ z +00003000_"},
       "line 1, field y: 12 characters where the record holds 10"},
      {"8-character x",
       {"_+P1        _ x+0001000_ y +00002000_ z +00003000_"},
       "line 1, field x: 8 characters where the record holds 10"},
      {"13-character z before the next record",
       {"_+P1        _ x +00001000_ y +00002000_ z+100000000000_+P2        _ x"},
       "line 1, field z: 13 characters where the record holds 10"},
      {"a wide x in the second line",
       {good + good.substr(1) + "!" + std::string(23, 'J') + "_",
        "+P2        _ x+100000000000_ y +00002000_ z +00003000_"},
       "line 2, field x: 13 characters where the record holds 10"},
      {"code 11 characters wide",
       {"_:001TREE       _:002WALL      _"},
       "line 1, point code: more than 13 characters where the record holds 13"},
      {"codes aligned", {"_:001TREE      _:002WALL      _"}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> lines;
    for (size_t i = 0; i < c.payloads.size(); ++i)
      lines.push_back(MakeBlockLine(c.payloads[i], static_cast<int>(i)));
    view.SetLines(lines);
    if (c.where) prompts.ExpectMessage(std::string("Invalid data.\n") + c.where);
    EXPECT_EQ(ChooseEditKind(logic, choose).has_value(), c.where == nullptr);
    EXPECT_TRUE(prompts.Done());
  }

  // A cell that no longer fits (a value typed past Data Input's check): nothing written.
  ScriptedConfirmation confirmation;
  DataEditTable table(EditKind::kCoordinates);
  ScriptedEditPrompts none;
  table.Store({"P1        ", "1.000", "2.000", "3.000"}, std::nullopt, none);
  table.Store({"P2        ", "10000000.000", "2.000", "3.000"}, std::nullopt, none);
  view.SetLines({"before"});
  prompts.ExpectMessage("Invalid data.");
  EXPECT_FALSE(DataEditOk(logic, table, confirmation));
  EXPECT_EQ(view.Lines(), std::vector<std::string>{"before"});
}

}  // namespace
}  // namespace kavex
