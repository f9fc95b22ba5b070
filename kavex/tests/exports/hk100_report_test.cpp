#include "kavex/exports/hk100_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kavex {
namespace {

using Lines = std::vector<std::string>;

Lines Report(std::initializer_list<std::string> records) {
  std::string text;
  for (const auto& r : records) text += r + "\n";
  Lines lines = MakeHk100Report(text);
  EXPECT_EQ(lines.at(0), "      HK-100 TEXT ");
  lines.erase(lines.begin());
  return lines;
}

TEST(HkFields, SplittingRules) {
  struct Case {
    std::string line;
    Lines want;
  } cases[] = {
      {"a,b,c", {"a", "b"}},  // text after the last comma is ignored
      {"a,,c,", {"a", "", "c"}},
      {"x," + std::string(18, 'y') + ",z,", {"x", std::string(18, 'y'), "z"}},
      {"x," + std::string(19, 'y') + ",z,", {"x"}},  // a 19-character field ends splitting
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitHkFields(c.line), c.want) << c.line;
  std::string many;
  for (int i = 0; i < 30; ++i) many += std::to_string(i) + ",";
  const Lines fields = SplitHkFields(many);
  ASSERT_EQ(fields.size(), 21u);
  EXPECT_EQ(fields[20], "20");
}

TEST(HkReport, MeasureJobInMetres) {
  // clang-format off
  const Lines want = {
      "",
      "",
      "   Measure",
      "",
      "   JOB#:" "JOB1    " "  MEASURE#:" "M1      " "  " "16/12/31  10:30",
      "",
      "   P#            Dist.(m)    Staf.(m)      Note",
      "   " "P1      " "  " "     25.00" "  " "    12.345",
      "   END JOB#:" "JOB1    " "   " "16/12/31  11:00",
  };
  // clang-format on
  EXPECT_EQ(
      Report({"a,01,JOB1,M1,,1612311030,", "f,01,12345,2500,,,,P1,", "t,01,JOB1,,1612311100,"}),
      want);
}

TEST(HkReport, MeasureJobInFeet) {
  // clang-format off
  const Lines want = {
      "",
      "",
      "   Measure",
      "",
      "   JOB#:" "J       " "  MEASURE#:" "M       " "  " "16/12/31  10:30",
      "",
      "   P#            Dist.(ft)   Staf.(ft)     Note",
      "   " "P1      " "  " "     25.00" "  " "     12.34",
      "   " "P2      " "  " "     25.00" "  " "    1.2340",  // code A: reading x 0.0001
  };
  // clang-format on
  EXPECT_EQ(Report({"a,04,J,M,,1612311030,", "f,04,1234,2500,,,,P1,", "f,0A,12340,2500,,,,P2,"}),
            want);
}

TEST(HkReport, LevelingJobInMetres) {
  const std::string cLine =
      std::string("c,01,JOB3,") + std::string(15, ',') + "BM5,99000,1612311700,";
  const Lines lines = Report({
      "b,01,JOB2,BM1,100000,1612311200,",
      "g,01,1500,3000,,,,BM1,",
      "h,01,1500,3000,101500,,,BM1,",
      "h,01,1500,3000,0,,,BM1,",
      "i,01,1234,2900,100266,,,P2,",
      "j,01,1234,2900,,,,P2,",
      "k,41,1234,2900,100266,,,P3,",
      "l,81,1234,2900,100266,,,P4,",
      "g,<1,1500,3000,,,,P5,",
      "g,0Z,1500,3000,,,,P6,",
      "g,4Z,1500,3000,,,,P7,",
      "v,01,,CP1,1612311300,1234,5678,3000,6000,101234,",
      "w,01,,BM9,1612311400,1,2,3,4,5,",
      "u,01,JOB2,7,1612311500,",
      cLine,
  });
  // clang-format off
  const Lines want = {
      "",
      "",
      "   Leveling ",
      "",
      "   JOB#:" "JOB2    " "  START BM#:" "BM1     " "  " "16/12/31  12:00",
      "   GH(m):" "     100.000",
      "",
      "                       Dist.(m)          Staf.(m)",
      "   " "BM1     " "    " "     30.00" "          " "   1.500" "                  ",
      "   " "BM1     " "    " "     30.00" "          " "   1.500" "        " "   101.500",
      "   " "BM1     " "    " "     30.00" "          " "   1.500" "                  ",
      "   " "P2      " "              " "     29.00" "        " "   1.234" "   100.266",
      "   " "P2      " "              " "     29.00" "        " "   1.234" "          ",
      "   " "P3      " "  I           " "     29.00" "        " "   1.234" "   100.266",
      " Operation Error",
      "   " "P4      " "  S           " "     29.00" "        " "   1.234" "   100.266",
      " Evaluation Error",
      "   " "P5      " "    " "     30.00" "          " "   1.500" "                  ",
      " Read Error",
      " Operation Error",  // unknown unit: no row, the error line still
      "",
      "   CHANGING#:" "CP1     " "  " "16/12/31  13:00",
      "   Relative Height(m):      1.234  Total Relative Height(m):      5.678",
      "   Distance(m):      30.00  Total Distance(m):      60.00",
      "   GH(m):    101.234",
      "   END BM#:" "BM9     " "  " "16/12/31  14:00",
      "   Relative Height(m):      0.001  Total Relative Height(m):      0.002",
      "   Distance(m):       0.03  Total Distance(m):       0.04",
      "   GH(m):      0.005",
      "   END JOB#:" "JOB2    " "  LAST MEASURE#:" "7       " "  " "16/12/31  15:00",
      "",
      "",
      "   Leveling ",
      "",
      "   JOB#:" "JOB3    " "  START BM#:" "BM5     " "  " "16/12/31  17:00",
      "   GH(m):" "      99.000",
      "",
      "                       Dist.(m)          Staf.(m)",
  };
  // clang-format on
  EXPECT_EQ(lines, want);
}

TEST(HkReport, LevelingJobInFeetAndFinerUnits) {
  const Lines lines = Report({
      "b,04,J,BM,10000,1612311200,", "h,04,150,3000,10150,,,BM,", "i,06,1234,2900,100266,,,P2,",
      "v,04,,CP,1612311300,1234,5678,3000,6000,10123,", "b,0A,J,BM,1012345,1612311200,",
      "w,0A,,E,1612311400,12345,23456,3000,6000,1012345,", "b,08,J,BM,10123456,1612311200,",
      "g,08,123456,30001,,,,P,",
      "b,0X,J,BM,1,1612311200,",  // unknown unit: no GH line, no titles
  });
  // clang-format off
  const Lines want = {
      "",
      "",
      "   Leveling ",
      "",
      "   JOB#:" "J       " "  START BM#:" "BM      " "  " "16/12/31  12:00",
      "   GH(ft):" "      100.00",
      "",
      "                       Dist.(ft)         Staf.(ft)",
      "     P#      Flag     Bk.       Fr.      Bk.     Fr.      GH      Note",
      "   " "BM      " "    " "     30.00" "          " "    1.50" "        " "    101.50",
      "   " "P2      " "              " "     29.00" "        " "  0.1234" "   100.266",
      "",
      "   CHANGING#:" "CP      " "  " "16/12/31  13:00",
      "   Relative Height(ft):      12.34  Total Relative Height(ft):      56.78",
      "   Distance(ft):      30.00  Total Distance(ft):      60.00",
      "   GH(ft):     101.23",
      "",
      "",
      "   Leveling ",
      "",
      "   JOB#:" "J       " "  START BM#:" "BM      " "  " "16/12/31  12:00",
      "   GH(ft):" "      101.2345",
      "",
      "                       Dist.(ft)         Staf.(ft)",
      "     P#      Flag     Bk.       Fr.      Bk.     Fr.      GH      Note",
      "   END BM#:" "E       " "  " "16/12/31  14:00",
      "   Relative Height(ft):     1.2345  Total Relative Height(ft):     2.3456",
      "   Distance(ft):      30.00  Total Distance(ft):      60.00",
      "   GH(ft):   101.2345",
      "",
      "",
      "   Leveling ",
      "",
      "   JOB#:" "J       " "  START BM#:" "BM      " "  " "16/12/31  12:00",
      "   GH(m):" "     101.23456",
      "",
      "                       Dist.(m)          Staf.(m)",
      "   " "P       " "    " "    30.001" "          " " 1.23456" "                  ",
      "",
      "",
      "   Leveling ",
      "",
      "   JOB#:" "J       " "  START BM#:" "BM      " "  " "16/12/31  12:00",
  };
  // clang-format on
  EXPECT_EQ(lines, want);
}

TEST(HkReport, AdjustmentHeadingOnceAndResults) {
  const Lines lines = Report({
      "m,011,1500,3000,,", "m,012,1400,3000,,", "n,013,1450,3000,-50,,,0,,1612311600,",
      "n,015,1450,3000,-50,,,2,,1612311600,",  // no label, no difference line
      "m,044,150,3000,,", "n,041,150,3000,5,,,1,,1612311700,",
      "m,079,150,3000,,",  // code 7: no value line, mode 9: no label
      "z,01,anything,",    // unknown type writes nothing
  });
  // clang-format off
  const Lines want = {
      "",
      "",
      "",
      "   Adjusting",
      "",
      "",
      "   From  To              Dist.(m) Staf.(m)",
      "     A   a (normal)  ",
      "     30.00" " " "   1.500",
      "     A   a (reverse) ",
      "     30.00" " " "   1.400",
      "     B   a (compe)   ",
      "     30.00" " " "   1.450",
      "   Difference:" "  -0.05000" " Correction: No       " "16/12/31  16:00",
      "     30.00" " " "   1.450",
      "",
      "",
      "",
      "   Adjusting",
      "",
      "",
      "   From  To             Dist.(ft) Staf.(ft)",
      "     A   b (reverse) ",
      "     30.00" " " "    1.50",
      "     B   b (normal)  ",
      "     30.00" " " "    1.50",
      "   Difference:" "   0.05000" " Correction: Yes      " "16/12/31  17:00",
      "",
      "",
      "",
      "   Adjusting",
  };
  // clang-format on
  EXPECT_EQ(lines, want);
}

TEST(HkReport, ShortAndGarbageLinesAreSafe) {
  // Missing fields read as empty; a short date-time field gives short pieces.
  const Lines want = {"   END JOB#:           //  :", "   END JOB#:J          16//  :"};
  EXPECT_EQ(Report({"t,", "a", ",,,", std::string(5000, 'x'), "t,01,J,,16,"}), want);
}

}  // namespace
}  // namespace kavex
