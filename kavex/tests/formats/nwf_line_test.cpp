#include "kavex/formats/nwf_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kavex {
namespace {

using Lines = std::vector<std::string>;

TEST(NwfLine, KeywordTestCoversColumnsOneToEight) {
  struct Case {
    const char* line;
    NwfKeyword want;
  } cases[] = {
      {"JOB     A", NwfKeyword::Job},       {"NAME    A,B", NwfKeyword::Name},
      {"STN 1,2,3", NwfKeyword::Stn},       {"  DATE  x", NwfKeyword::Date},
      {"UNITS   M,D", NwfKeyword::Units},   {"SCALE   1", NwfKeyword::Scale},
      {"SS12,1.0,2.0,3.0", NwfKeyword::Ss},  // a point named like a keyword
      {"FSBS    x", NwfKeyword::Bs},         // BS is tried before FS
      {"       JOB", NwfKeyword::None},      // beyond column 8
      {"P1,1.0,2.0,3.0", NwfKeyword::None}, {"", NwfKeyword::None},
      {"QRX-700 v3.0", NwfKeyword::None},
  };
  for (const Case& c : cases) EXPECT_EQ(FindNwfKeyword(c.line), c.want) << c.line;

  EXPECT_EQ(FindNwfObservation("HV      1,2"), NwfObservation::Hv);
  EXPECT_EQ(FindNwfObservation("SDHD    1,2"), NwfObservation::Sd);
  EXPECT_EQ(FindNwfObservation("HD      1,2,3"), NwfObservation::Hd);
  EXPECT_EQ(FindNwfObservation("STN     1,2,3"), NwfObservation::None);
}

TEST(NwfLine, ValueScanStartsAtColumnNineAndDropsTheLineFeed) {
  struct Case {
    std::string line;
    Lines want;
  } cases[] = {
      {"STN     A,B,C\n", {"A", "B", "C"}},
      {"STN     A,B,C", {"A", "B", "C"}},  // last line without line feed: nothing lost
      {"STN A,B,C\n", {"C"}},              // too little padding: values from column 9
      {"TEMP    12, 1013\n", {"12", " 1013"}},
      {"FS      P1,,\n", {"P1", "", ""}},
      {"NAME    \n", {}},
      {"JOB\n", {}},
      {"", {}},
      {"JOB     " + std::string(300, 'x') + "\n", {std::string(300, 'x')}},
  };
  for (const Case& c : cases) EXPECT_EQ(ScanNwfValues(c.line), c.want) << c.line;
}

TEST(NwfLine, WriterFormats) {
  EXPECT_EQ(NwfTextLine("JOB", "J1"), "JOB     J1");
  EXPECT_EQ(NwfTargetLine("SS", "P", "", "1.5"), "SS      P,,1.5");
  EXPECT_EQ(NwfTempLine("20", "1013"), "TEMP    20, 1013");
  EXPECT_EQ(NwfUnitsLine(true, true), "UNITS   M,D");
  EXPECT_EQ(NwfUnitsLine(true, false), "UNITS   M,G");
  EXPECT_EQ(NwfUnitsLine(false, true), "UNITS   F,D");
  EXPECT_EQ(NwfUnitsLine(false, false), "UNITS   F,G");
  EXPECT_EQ(NwfScaleLine(1.0, 0), "SCALE   1.000000,1.000000,0    ");
  // 0.9999 * 6372000 / 6372120 = 0.99988117...
  EXPECT_EQ(NwfScaleLine(0.9999, 120), "SCALE   0.999881,0.999900,120  ");
  // 1.0001 * 6372000 / 6371955 = 1.00010706...
  EXPECT_EQ(NwfScaleLine(1.0001, -45), "SCALE   1.000107,1.000100,-45  ");
  EXPECT_EQ(NwfCoordinateLine("C1", 1.5, -2.25, 0), "C1,1.5000,-2.2500,0.0000");
}

}  // namespace
}  // namespace kavex
