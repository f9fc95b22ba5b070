#include "kavex/exports/survey_points.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kavex/tests/comm/test_blocks.h"

namespace kavex {
namespace {

std::string Record(std::string name, const std::string& x, const std::string& y,
                   const std::string& z) {
  name.resize(10, ' ');
  const auto right = [](const std::string& v) { return std::string(10 - v.size(), ' ') + v; };
  return "+" + name + "_ x" + right(x) + "_ y" + right(y) + "_ z" + right(z) + "_";
}

// Block lines of a stream as the view holds them (no line end).
std::vector<std::string> Blocks(const std::string& stream) {
  std::vector<std::string> lines;
  for (size_t i = 0, n = 0; i < stream.size(); i += 128, ++n) {
    std::string line = testing::BlockLine(stream.substr(i, 128), static_cast<int>(n % 10));
    line.resize(line.size() - 2);
    lines.push_back(line);
  }
  return lines;
}

struct Expected {
  std::string name;
  double northing, easting;
  bool hasHeight;
  double height;
  size_t line;
};

void ExpectPoints(const std::vector<std::string>& lines, const std::vector<Expected>& expected) {
  const std::vector<SurveyPoint> points = ReadSurveyPoints(lines);
  ASSERT_EQ(points.size(), expected.size());
  for (size_t i = 0; i < points.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(points[i].name, expected[i].name);
    EXPECT_DOUBLE_EQ(points[i].northing, expected[i].northing);
    EXPECT_DOUBLE_EQ(points[i].easting, expected[i].easting);
    EXPECT_EQ(points[i].height.has_value(), expected[i].hasHeight);
    if (expected[i].hasHeight && points[i].height) {
      EXPECT_DOUBLE_EQ(*points[i].height, expected[i].height);
    }
    EXPECT_EQ(points[i].sourceLine, expected[i].line);
    EXPECT_EQ(points[i].code, "");
  }
}

TEST(SurveyPoints, Qrx6RecordsInMetresOnTheLineOfTheirPlus) {
  // "_" and three 52-character records fill 157 characters: the third starts in the first
  // block and ends in the second, the fourth starts in the second.
  std::string stream = "_" + Record("P1", "+00200250", "+00100500", "+00010000") +
                       Record("  P2 ", "1234567891", "-00000500", "+00000000") +
                       Record("P3", "+00001000", "+00002000", "") + Record("", "+0", "+0", "+0");
  std::vector<std::string> lines = {"QRX-6 download"};
  for (const std::string& l : Blocks(stream)) lines.push_back(l);
  ASSERT_EQ(lines.size(), 3u);
  ExpectPoints(lines, {{"P1", 200.25, 100.5, true, 10.0, 1},
                       {"P2", 1234567.891, -0.5, true, 0.0, 1},
                       {"P3", 1.0, 2.0, false, 0, 1},
                       {"", 0, 0, true, 0, 2}});
}

TEST(SurveyPoints, TextLinesTable) {
  struct Case {
    const char* line;
    bool point;
    Expected expected;
  };
  const Case cases[] = {
      // NWF coordinate line: point, y, x, z.
      {"P7,100.0000,200.0000,10.0000", true, {"P7", 200, 100, true, 10, 0}},
      // A keyword inside the name does not hide a coordinate line.
      {"SS12,1.0000,2.0000,3.0000", true, {"SS12", 2, 1, true, 3, 0}},
      {"LONGPOINTNAME12,-1.5,2.5,0", true, {"LONGPOINTNAME12", 2.5, -1.5, true, 0, 0}},
      // Points-file lines: name, Y, X, Z with their own separators.
      {"P1\t100.5\t200.25", true, {"P1", 200.25, 100.5, false, 0, 0}},
      {"P2,10 20 30", true, {"P2", 20, 10, true, 30, 0}},
      {"P3,,5,1", true, {"P3", 5, 0, true, 1, 0}},
      // No point in these.
      {"P4", false, {}},
      {"TREE", false, {}},
      {"7,WALL", false, {}},
      {"JOB     J1", false, {}},
      {"STN     P1,1.500,", false, {}},
      {"SS      P3,1.500,X", false, {}},
      {"HD      1.00000,2.0000,0.5000", false, {}},
      // Five values are no NWF line, but a points file ignores what follows Z.
      {"P5,1,2,3,4", true, {"P5", 2, 1, true, 3, 0}},
      {"P6,1,2x,3", false, {}},
      {"", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ExpectPoints({c.line}, c.point ? std::vector<Expected>{c.expected} : std::vector<Expected>{});
  }
}

TEST(SurveyPoints, ReaderFollowsLinesAsTheyArrive) {
  const std::string stream = "_" + Record("A", "+00001000", "+00002000", "+00000000") +
                             Record("B", "+00003000", "+00004000", "+00000000") +
                             Record("C", "+00005000", "+00006000", "+00000000");
  const std::vector<std::string> lines = Blocks(stream);
  SurveyPointReader reader;
  reader.AddLine(lines[0]);
  EXPECT_EQ(reader.Points().size(), 2u);  // C is not complete yet
  reader.AddLine(lines[1]);
  ASSERT_EQ(reader.Points().size(), 3u);
  EXPECT_EQ(reader.Points()[2].name, "C");
  EXPECT_EQ(reader.Points()[2].sourceLine, 0u);
  EXPECT_FALSE(reader.Misaligned());
}

TEST(SurveyPoints, UnreadableAndMisalignedRecordsAreCounted) {
  SurveyPointReader bad;
  for (const std::string& l : Blocks("_" + Record("A", "12ab", "+0", "+0"))) bad.AddLine(l);
  EXPECT_EQ(bad.Points().size(), 0u);
  EXPECT_EQ(bad.Unreadable(), 1u);

  SurveyPointReader shifted;
  for (const std::string& l :
       Blocks("_" + Record("A", "+0", "+0", "+0") + "+B_ x+0_" + Record("C", "+0", "+0", "+0")))
    shifted.AddLine(l);
  EXPECT_TRUE(shifted.Misaligned());
  EXPECT_EQ(shifted.Points().size(), 1u);
}

}  // namespace
}  // namespace kavex
