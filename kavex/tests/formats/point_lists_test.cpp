#include "kavex/formats/point_lists.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kavex/formats/text_line_reader.h"

#include "kavex/tests/comm/test_blocks.h"

namespace kavex {
namespace {

// A block line as it stands in the data view: without CR LF.
std::string Block(const std::string& payload, int number) {
  std::string line = testing::BlockLine(payload, number);
  return line.substr(0, line.size() - 2);
}

std::vector<std::string> Blocks(std::string_view text, ListKind kind, ListFileResult* result) {
  std::vector<std::string> out;
  *result = WriteListTextBlocks(text, kind, [&](const std::string& l) { out.push_back(l); });
  return out;
}

TEST(PointsLine, Records) {
  struct Case {
    const char* line;
    bool lineFeed;
    const char* record;
  } cases[] = {
      {"P1,100.5,200.25,10", true, "+P1        _ x +00200250_ y +00100500_ z +00010000_"},
      {"P1", true, "+P1        _ x +00000000_ y +00000000_ z +00000000_"},
      {"P1,,5,1", true, "+P1        _ x +00005000_ y +00000000_ z +00001000_"},
      {"\t\t A B  \t1 2\t\t3", true, "+A B       _ x +00002000_ y +00001000_ z +00003000_"},
      {"ABCDEFGHIJ,-1, 2 ,", true, "+ABCDEFGHIJ_ x +00002000_ y -00001000_ z +00000000_"},
      {"P2,1,2,3,garbage~~", true, "+P2        _ x +00002000_ y +00001000_ z +00003000_"},
      {"P3,1,2,3", false, "+P3        _ x +00002000_ y +00001000_ z +00003000_"},
      {"P4,1", true, "+P4        _ x +00000000_ y +00001000_ z +00000000_"},
      {"  ,1", true, "+          _ x +00000000_ y +00001000_ z +00000000_"},
  };
  for (const Case& c : cases) {
    PointsLine p;
    ASSERT_TRUE(ParsePointsLine(c.line, c.lineFeed, p)) << c.line;
    EXPECT_EQ(CoordinateRecord(p.name, p.x, p.y, p.z), c.record) << c.line;
  }
}

TEST(PointsLine, BadLines) {
  struct Case {
    const char* line;
    bool lineFeed;
  } cases[] = {
      {"", true},
      {",1,2,3", true},
      {"\t,1", true},
      {"ABCDEFGHIJK,1,2,3", true},  // 11 characters
      {" ABCDEFGHIJ,1", true},      // blanks count before trimming
      {"P{,1", true},
      {"P\x01,1", true},
      {"P\x80", true},
      {"P1,1a,2,3", true},
      {"P1,1,2e3,3", true},
      {"P1", false},
      {"P1,1,2", false},
      {"P1,1,2 ", false},
  };
  for (const Case& c : cases) {
    PointsLine p;
    EXPECT_FALSE(ParsePointsLine(c.line, c.lineFeed, p)) << c.line;
  }
}

TEST(PointsLine, CoordinateTexts) {
  struct Case {
    double metres;
    const char* text;
  } cases[] = {
      {1234567.891, "1234567891"}, {123456.789, "+123456789"},  {999999.999, "+999999999"},
      {1000000.0, "1000000000"},   {9999999.999, "9999999999"}, {10000000.0, "+10000000000"},
      {-999999.999, "-999999999"}, {-1.0, " -00001000"},        {0.0, " +00000000"},
      {0.0004, " +00000000"},      {12.3456, " +00012346"},
  };
  for (const Case& c : cases) EXPECT_EQ(CoordinateText(c.metres), c.text) << c.metres;
}

TEST(CodeLine, Codes) {
  CodeLineReader reader;
  struct Case {
    const char* line;
    int number;
    const char* text;
  } cases[] = {
      {"TREE,", 1, "TREE"},
      {" 7,WALL", 7, "WALL"},
      {"\tPOLE", 2, "POLE"},
      {"60,ROAD", 3, "60"},
      {"50 X", 50, "X"},
      {"51,X", 4, "51"},
      {"0,X", 5, "0"},
      {"12", 12, ""},
      {"8,,ROAD", 8, ""},
      {"9\t, ROAD", 9, "ROAD"},
      {"7A,B", 6, "7A"},
      {"ABCDEFGHIJ", 7, "ABCDEFGHIJ"},
      {"3,ABCDEFGHIJ x", 3, "ABCDEFGHIJ"},
      {"7 ", 7, ""},  // trailing blanks after the number alone
      {"8 \t ", 8, ""},
  };
  for (const Case& c : cases) {
    CodeLine code;
    ASSERT_TRUE(reader.Parse(c.line, true, code)) << c.line;
    EXPECT_EQ(code.number, c.number) << c.line;
    EXPECT_EQ(code.text, c.text) << c.line;
  }
  EXPECT_EQ(CodeRecord(7, "WALL"), ":007WALL      _");
  EXPECT_EQ(CodeRecord(12, ""), ":012          _");
}

TEST(CodeLine, BadLines) {
  const char* lines[] = {"",   " ",    ",TREE", "ABCDEFGHIJK", "7,ABCDEFGHIJK",
                         "7,", "7 , ", "TR~E",  "T\x7f",       "7,W\x01"};
  for (const char* line : lines) {
    CodeLineReader reader;
    CodeLine code;
    EXPECT_FALSE(reader.Parse(line, true, code)) << line;
  }
  CodeLineReader reader;
  CodeLine code;
  EXPECT_FALSE(reader.Parse("TREE", false, code));
}

TEST(ListBlocks, PointsCutAcrossBlocks) {
  const std::string r1 = "+P1        _ x +00200250_ y +00100500_ z +00010000_";
  const std::string r2 = "+P2        _ x +00000000_ y +00000000_ z +00000000_";
  const std::string r3 = "+P3        _ x -00001000_ y +00002000_ z +00000000_";
  const std::string stream = "_" + r1 + r2 + r3;  // 154 characters
  ListFileResult result;
  const auto blocks = Blocks("P1,100.5,200.25,10\nP2\nP3\t2\t-1\n", ListKind::kPoints, &result);
  ASSERT_EQ(result, ListFileResult::kDone);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0], Block(stream.substr(0, 128), 0));
  EXPECT_EQ(blocks[1], Block(stream.substr(128), 1));
  EXPECT_EQ(blocks[1].size(), 134u);
}

TEST(ListBlocks, LastBlockRules) {
  ListFileResult result;
  EXPECT_TRUE(Blocks("", ListKind::kPoints, &result).empty());
  EXPECT_EQ(result, ListFileResult::kDone);

  auto codes = Blocks("", ListKind::kCodes, &result);
  ASSERT_EQ(codes.size(), 1u);
  EXPECT_EQ(codes[0], "\x02_" + std::string(127, ' ') + "0" + "079\x03");

  // 1 + 128 * 51 characters: 51 full blocks, and only the final "_" of the last point
  // lands in the 52nd.
  std::string points;
  for (int i = 0; i < 128; ++i) points += "P\n";
  const auto tail = Blocks(points, ListKind::kPoints, &result);
  ASSERT_EQ(tail.size(), 52u);
  EXPECT_EQ(tail[51], Block("_", 1));
  EXPECT_EQ(tail[50].substr(1 + 78, 50), "+P         _ x +00000000_ y +00000000_ z +00000000");
}

TEST(ListBlocks, BadLineKeepsFinishedBlocksOnly) {
  ListFileResult result;
  auto blocks = Blocks("P1\nP2\nP3\nP{\nP5\n", ListKind::kPoints, &result);
  EXPECT_EQ(result, ListFileResult::kBadLine);
  EXPECT_EQ(blocks.size(), 1u);  // the 26 characters of the second block are dropped
  blocks = Blocks("P1\nP2\n", ListKind::kPoints, &result);
  EXPECT_EQ(blocks.size(), 1u);
  EXPECT_TRUE(Blocks("A\n\n", ListKind::kCodes, &result).empty());
  EXPECT_EQ(result, ListFileResult::kBadLine);
  // A 256-character line comes as a 255-character piece without its line feed.
  EXPECT_TRUE(Blocks(std::string(256, 'A') + "\n", ListKind::kCodes, &result).empty());
  EXPECT_EQ(result, ListFileResult::kBadLine);
}

TEST(ListBlocks, FiftyAutomaticCodesEndTheReading) {
  std::string text;
  for (int i = 0; i < 50; ++i) text += "C\n";
  ListFileResult result;
  const auto exact = Blocks(text, ListKind::kCodes, &result);
  // After the 50th automatic code nothing is read: neither a numbered code nor a bad line.
  const auto more = Blocks(text + "7,X\n~~~\n", ListKind::kCodes, &result);
  EXPECT_EQ(result, ListFileResult::kDone);
  EXPECT_EQ(more, exact);
  // 1 + 50 * 15 = 751 characters: five full blocks and 111 in the sixth.
  ASSERT_EQ(exact.size(), 6u);
  EXPECT_EQ(exact[5].substr(1, 16), "     _:044C     ");  // code 43 straddles
  const auto rows = ReadCodeList(exact).value();
  ASSERT_EQ(rows.size(), 50u);
  EXPECT_EQ(rows[49].number, "050");
  // Numbered codes do not count.
  const auto numbered = Blocks("7,X\n" + text + "C\n", ListKind::kCodes, &result);
  EXPECT_EQ(ReadCodeList(numbered).value().size(), 51u);
}

TEST(ListTables, CoordinateRoundTrip) {
  const std::vector<CoordinateRow> rows = {
      {"P1", "200.25", "100.5", "10"},
      {"ABCDEFGHIJKL", "1234567.891", "-12.5", "0"},
  };
  const auto lines = WriteCoordinateList(rows).value();
  const std::string stream =
      "_+P1        _ x +00200250_ y +00100500_ z +00010000_"
      "+ABCDEFGHIJ_ x1234567891_ y -00012500_ z +00000000_";
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], Block(stream, 0));
  const auto back = ReadCoordinateList(lines).value();
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].name, "P1        ");
  EXPECT_EQ(back[0].x, "    200.250");
  EXPECT_EQ(back[0].y, "    100.500");
  EXPECT_EQ(back[0].z, "     10.000");
  EXPECT_EQ(back[1].name, "ABCDEFGHIJ");
  EXPECT_EQ(back[1].x, "1234567.891");
  EXPECT_EQ(back[1].y, "    -12.500");
  // The table shows an empty list as one block holding "_".
  EXPECT_EQ(WriteCoordinateList({}), std::vector<std::string>{Block("_", 0)});
  // A value whose text does not fit its field writes nothing.
  EXPECT_EQ(WriteCoordinateList({rows[0], {"P2", "1", "2", "-1000000"}}), std::nullopt);
}

TEST(ListTables, FieldsSpanLinesAndWrapNumbers) {
  std::vector<CoordinateRow> rows(28, {"P", "1", "2", "3"});
  const auto lines = WriteCoordinateList(rows).value();  // 1 + 28 * 51 = 1429 characters
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[9][129], '9');
  EXPECT_EQ(lines[10][129], '0');
  EXPECT_EQ(lines[11][129], '1');
  EXPECT_EQ(ReadCoordinateList(lines).value().size(), 28u);

  // A field cut by the block boundary; garbage lines of any length do not upset it.
  const std::vector<std::string> cut = {"\x02_+P9        _ x +0000",
                                        "\x02"
                                        "1000_ y +00002000_ z -00003000_",
                                        "", "\x02"};
  const auto read = ReadCoordinateList(cut).value();
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].x, "      1.000");
  EXPECT_EQ(read[0].z, "     -3.000");
}

TEST(ListTables, CodeList) {
  const std::vector<CodeRow> rows = {{"001", "TREE"}, {"007", ""}, {"1234", "ABCDEFGHIJKL"}};
  const auto lines = WriteCodeList(rows);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], Block("_:001TREE      _:007          _:123ABCDEFGHIJ_", 0));
  const auto back = ReadCodeList(lines).value();
  ASSERT_EQ(back.size(), 3u);  // the empty code's ten blanks do not end the list
  EXPECT_EQ(back[1].number, "007");
  EXPECT_EQ(back[1].code, "          ");
  EXPECT_EQ(back[2].code, "ABCDEFGHIJ");
  EXPECT_EQ(WriteCodeList({}), std::vector<std::string>{Block("_", 0)});
  // Ten blanks end the reading even when a record follows.
  EXPECT_TRUE(ReadCodeList({"\x02_          _:001TREE      _"}).value().empty());
}

TEST(ListBlocks, FileIsReadInTextModePieces) {
  const auto path = std::filesystem::path(::testing::TempDir()) / "pieces.pts";
  {
    std::ofstream out(path, std::ios::binary);
    out << "P1,1,2,3\r\nP\rX\r\n"
        << std::string(254, 'A') << "\r\n"
        << std::string(255, 'B') << "\r\nC";
  }
  TextLineReader reader;
  ASSERT_TRUE(reader.Open(path));
  std::string piece;
  bool lf = false;
  const std::pair<std::string, bool> expected[] = {{"P1,1,2,3", true},
                                                   {"P\rX", true},
                                                   {std::string(254, 'A'), true},
                                                   {std::string(255, 'B'), false},
                                                   {"", true},
                                                   {"C", false}};
  for (const auto& [text, hasLf] : expected) {
    ASSERT_TRUE(reader.NextPiece(piece, lf));
    EXPECT_EQ(piece, text);
    EXPECT_EQ(lf, hasLf);
  }
  EXPECT_FALSE(reader.NextPiece(piece, lf));

  std::vector<std::string> blocks;
  {
    std::ofstream out(path, std::ios::binary);
    out << "P1,100.5,200.25,10\r\nP2\r\n";
  }
  EXPECT_EQ(WriteListFileBlocks(path, ListKind::kPoints,
                                [&](const std::string& l) { blocks.push_back(l); }),
            ListFileResult::kDone);
  ListFileResult result;
  EXPECT_EQ(blocks, Blocks("P1,100.5,200.25,10\nP2\n", ListKind::kPoints, &result));
  EXPECT_EQ(WriteListFileBlocks(path.parent_path() / "missing.pts", ListKind::kPoints,
                                [](const std::string&) {}),
            ListFileResult::kCannotOpen);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace kavex
