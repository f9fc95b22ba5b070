#include "kavex/exports/dxf_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "kavex/tests/comm/test_blocks.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

using Lines = std::vector<std::string>;

// A coordinate record after the stream's leading "_", as the coordinate conversion
// writes it: "+%-10s_ x%10s_ y%10s_ z%10s_".
std::string Record(const std::string& name, const std::string& x, const std::string& y,
                   const std::string& z) {
  std::string n = name;
  n.resize(10, ' ');
  const auto right = [](const std::string& v) { return std::string(10 - v.size(), ' ') + v; };
  return "+" + n + "_ x" + right(x) + "_ y" + right(y) + "_ z" + right(z) + "_";
}

// The block lines of a stream, each followed by CR LF as on disk.
std::string BlockFile(const std::string& stream) {
  std::string file;
  for (size_t i = 0, n = 0; i < stream.size(); i += 128, ++n)
    file += testing::BlockLine(stream.substr(i, 128), static_cast<int>(n % 10));
  return file;
}

// The code lines of each group in order, e.g. {"  0", "SECTION"}.
Lines Groups(std::initializer_list<std::pair<const char*, std::string>> groups) {
  Lines lines;
  for (const auto& [code, value] : groups) {
    lines.push_back(code);
    lines.push_back(value);
  }
  return lines;
}

const Lines kTablesAndBlocks = Groups({
    {"  0", "SECTION"}, {"  2", "TABLES"},     {"  0", "TABLE"},          {"  2", "LAYER"},
    {" 70", "1"},       {"  0", "LAYER"},      {"  2", "CoordinateData"}, {" 70", "64"},
    {" 62", "7"},       {"  6", "CONTINUOUS"}, {"  0", "LAYER"},          {"  2", "PointName"},
    {" 70", "64"},      {" 62", "2"},          {"  6", "CONTINUOUS"},     {"  0", "ENDTAB"},
    {"  0", "ENDSEC"},  {"  0", "SECTION"},    {"  2", "BLOCKS"},         {"  0", "ENDSEC"},
    {"  0", "SECTION"}, {"  2", "ENTITIES"},
});

Lines Header(const char* minE, const char* minN, const char* minZ, const char* maxE,
             const char* maxN, const char* maxZ) {
  Lines lines = Groups({{"  0", "SECTION"},
                        {"  2", "HEADER"},
                        {"  9", "$EXTMIN"},
                        {" 10", minE},
                        {" 20", minN},
                        {" 30", minZ},
                        {"  9", "$EXTMAX"},
                        {" 10", maxE},
                        {" 20", maxN},
                        {" 30", maxZ},
                        {"  9", "$LIMMIN"},
                        {" 10", minE},
                        {" 20", minN},
                        {"  9", "$LIMMAX"},
                        {" 10", maxE},
                        {" 20", maxN},
                        {"  0", "ENDSEC"}});
  lines.insert(lines.end(), kTablesAndBlocks.begin(), kTablesAndBlocks.end());
  return lines;
}

Lines Entity(const char* e, const char* n, const char* z, const char* te, const char* tn,
             const char* height, const char* name) {
  return Groups({{"  0", "POINT"},
                 {"  8", "CoordinateData"},
                 {" 10", e},
                 {" 20", n},
                 {" 30", z},
                 {"  0", "TEXT"},
                 {"  8", "PointName"},
                 {" 10", te},
                 {" 20", tn},
                 {" 30", z},
                 {" 40", height},
                 {"  1", name}});
}

Lines Concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const Lines kEnd = Groups({{"  0", "ENDSEC"}, {"  0", "EOF"}});

class DxfExportTest : public ::testing::Test {
 public:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kavex_dxf_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  fs::path Write(const std::string& bytes) {
    const fs::path p = dir / "in.qr6";
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  DxfResult Export(const std::string& bytes) {
    lines.clear();
    return ExportDxf(Write(bytes), [this](const std::string& l) { lines.push_back(l); });
  }

  fs::path dir;
  Lines lines;
};

TEST_F(DxfExportTest, ThreePointsWithOneSplitAcrossLines) {
  // Two records fill payload positions 0..101; the third has 26 characters in the first
  // block and 25 in the second.
  const std::string stream = "_" + Record("P1", " +00200250", " +00100500", " +00010000") +
                             Record("P2", " +00300000", " +00150000", " +00012000") +
                             Record("P3", " +00250000", " +00400000", " -00001500");
  ASSERT_EQ(stream.size(), 154u);
  ASSERT_EQ(Export(BlockFile(stream)), DxfResult::Done);
  // Extents: E 100.5..400, N 200.25..300, Z -1.5..12. Height 0.002 x 299.5 = 0.599, so the
  // text sits 0.0599 up and right of its point.
  EXPECT_EQ(lines,
            Concat({Header("100.5", "200.25", "-1.5", "400", "300", "12"),
                    Entity("100.5", "200.25", "10", "100.5599", "200.3099", " 0.6", "P1"),
                    Entity("150", "300", "12", "150.0599", "300.0599", " 0.6", "P2"),
                    Entity("400", "250", "-1.5", "400.0599", "250.0599", " 0.6", "P3"), kEnd}));
}

TEST_F(DxfExportTest, SinglePointHasZeroHeightAndSwappedAxes) {
  const std::string stream = "_" + Record("P1", " +01234567", " +07654321", " +00000000");
  ASSERT_EQ(Export(BlockFile(stream)), DxfResult::Done);
  EXPECT_EQ(
      lines,
      Concat({Header("7654.32", "1234.57", "0", "7654.32", "1234.57", "0"),
              Entity("7654.321", "1234.567", "0", "7654.321", "1234.567", " 0.0", "P1"), kEnd}));
}

TEST_F(DxfExportTest, PointWithABlankNameIsDrawnWithoutALabel) {
  // The points file line "   ,4,5,6" gives a name of ten blanks; the padding of the last
  // block has no "+" before its blanks.
  const std::string stream = "_" + Record("P1", " +00001000", " +00002000", " +00000000") +
                             Record("", " +00005000", " +00004000", " +00006000") +
                             Record("P3", " +00003000", " +00001000", " +00000000");
  ASSERT_EQ(Export(BlockFile(stream)), DxfResult::Done);
  const Lines blankPoint = Groups(
      {{"  0", "POINT"}, {"  8", "CoordinateData"}, {" 10", "4"}, {" 20", "5"}, {" 30", "6"}});
  // Extents E 1..4, N 1..5: height 0.002 x 4 = 0.008, offset 0.0008.
  EXPECT_EQ(lines, Concat({Header("1", "1", "0", "4", "5", "6"),
                           Entity("2", "1", "0", "2.0008", "1.0008", " 0.0", "P1"), blankPoint,
                           Entity("1", "3", "0", "1.0008", "3.0008", " 0.0", "P3"), kEnd}));
}

TEST_F(DxfExportTest, EveryRecordOffsetAcrossBlocks) {
  // Up to 12 points put record starts at many offsets of the 128-character payloads.
  for (int count = 1; count <= 12; ++count) {
    std::string stream = "_";
    for (int i = 0; i < count; ++i) {
      char x[16];
      std::snprintf(x, sizeof x, " %+09d", 1000 * i);
      stream += Record("N" + std::to_string(i), x, " +00000000", " +00000000");
    }
    ASSERT_EQ(Export(BlockFile(stream)), DxfResult::Done);
    std::vector<std::string> names;
    for (size_t k = 0; k + 1 < lines.size(); k += 2)
      if (lines[k] == "  1") names.push_back(lines[k + 1]);
    ASSERT_EQ(names.size(), static_cast<size_t>(count));
    EXPECT_EQ(names.back(), "N" + std::to_string(count - 1));
  }
}

TEST_F(DxfExportTest, RefusedInputs) {
  const std::string good = "_" + Record("P1", " +00000001", " +00000002", " +00000003");
  const struct {
    const char* name;
    std::string file;
    DxfInput check;
    DxfResult result;
  } cases[] = {
      {"point codes", BlockFile("_:001TREE      _:002POLE      _"), DxfInput::NotCoordinates,
       DxfResult::InvalidData},
      {"empty file", "", DxfInput::NotCoordinates, DxfResult::InvalidData},
      {"letters in a coordinate", BlockFile("_" + Record("P1", " +0000A001", " +1", " +1")),
       DxfInput::Coordinates, DxfResult::InvalidData},
      {"coordinate beyond any number", BlockFile("_" + Record("P1", "1e999", "1", "1")),
       DxfInput::Coordinates, DxfResult::InvalidData},
      {"blank coordinate", BlockFile("_" + Record("P1", "          ", " +1", " +1")),
       DxfInput::Coordinates, DxfResult::InvalidData},
      {"bad second point", BlockFile(good + Record("P2", "1", "2", "-")), DxfInput::Coordinates,
       DxfResult::InvalidData},
      {"a record without its separators",
       BlockFile("_+P1        _ x +00000001- y +00000002_ z +00000003_"), DxfInput::Coordinates,
       DxfResult::InvalidData},
      {"good", BlockFile(good), DxfInput::Coordinates, DxfResult::Done},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckDxfInput(Write(c.file)), c.check) << c.name;
    EXPECT_EQ(Export(c.file), c.result) << c.name;
    // A refused file gives no drawing at all.
    if (c.result != DxfResult::Done) {
      EXPECT_TRUE(lines.empty()) << c.name;
    }
  }
  EXPECT_EQ(CheckDxfInput(dir / "none.qr6"), DxfInput::NotOpened);
  EXPECT_EQ(ExportDxf(dir / "none.qr6", [](const std::string&) {}), DxfResult::NotOpened);
  EXPECT_EQ(CheckDxfInput(dir), DxfInput::NotOpened);
}

TEST_F(DxfExportTest, FirstLineTestLooksAt255Characters) {
  EXPECT_TRUE(IsCoordinateLine(std::string(252, 'a') + "_ x"));
  EXPECT_FALSE(IsCoordinateLine(std::string(253, 'a') + "_ x"));
}

TEST_F(DxfExportTest, GarbageGivesADrawingOrARefusal) {
  // Records cut and spliced at random, with stray bytes: every run ends in a whole
  // drawing or in a refusal with no line written.
  const std::string pieces[] = {"_+P1        _ x +00001000_ y +00002000_ z +00003000",
                                "_ x",
                                "          ",
                                "\x02",
                                "\n",
                                "1e999",
                                "-",
                                "\xff",
                                std::string(200, '_')};
  unsigned seed = 11;
  for (int run = 0; run < 200; ++run) {
    std::string stream = "_";
    for (int i = 0; i < 12; ++i) {
      seed = seed * 1103515245u + 12345u;
      stream += pieces[(seed >> 16) % std::size(pieces)];
    }
    const DxfResult result = Export(run % 3 ? BlockFile(stream) : stream);
    if (result == DxfResult::Done) {
      ASSERT_GE(lines.size(), 4u);
      EXPECT_EQ(lines.back(), "EOF");
    } else {
      EXPECT_TRUE(lines.empty());
    }
  }
}

TEST(GcvtText, SignificantDigits) {
  const struct {
    double value;
    int digits;
    const char* text;
  } cases[] = {
      {7654.321, 10, "7654.321"},
      {7654.321, 6, "7654.32"},
      {1234567.891, 10, "1234567.891"},
      {1234567.891, 6, "1.23457e+06"},
      {0.0, 6, "0"},
      {-1.5, 10, "-1.5"},
      {0.0001, 6, "0.0001"},
      {0.00001, 6, "1e-05"},
      {100.0, 6, "100"},
  };
  for (const auto& c : cases) EXPECT_EQ(GcvtText(c.value, c.digits), c.text) << c.value;
}

}  // namespace
}  // namespace kavex
