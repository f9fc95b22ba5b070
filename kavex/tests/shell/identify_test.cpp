#include "kavex/shell/identify.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kavex/formats/qrx6_block.h"

namespace kavex {
namespace {

using Lines = std::vector<std::string>;

const std::string kP1 = "_+P1        _ x +00001000_ y +00002000_ z +00003000_";
const std::string kP2 = "+P2        _ x -00000500_ y +00000000_ z +00000001_";

// The first reading, and the stop of the named layout when it is not whole.
struct Seen {
  std::string first;
  std::string stop;
};

Seen Identify(const Lines& lines, const std::string& extension, const char* layout) {
  const std::vector<LayoutReading> readings = IdentifyLines(lines, extension);
  Seen seen{IdentifySummary(readings), ""};
  for (const LayoutReading& r : readings)
    if (std::string(r.layout) == layout && !r.whole) seen.stop = IdentifyText(r);
  return seen;
}

TEST(Identify, EachLayoutReadsItsOwnFilesAndSaysWhereOthersStop) {
  std::string spoiled = MakeBlockLine(kP1 + kP2, 1);
  spoiled[131] = spoiled[131] == '9' ? '0' : static_cast<char>(spoiled[131] + 1);
  const struct {
    const char* what;
    Lines lines;
    const char* extension;
    const char* first;
    const char* layout;  // whose stop is checked
    const char* stop;
  } cases[] = {
      {"coordinates",
       {MakeBlockLine(kP1 + kP2, 0), ""},
       ".qr6",
       "QRX-6 coordinate list, 2 points",
       "QRX-6 point-code list",
       "QRX-6 point-code list: stops at line 1, column 14: a coordinate record"},
      {"point codes",
       {MakeBlockLine("_:001TREE      _:007WALL      _", 0)},
       ".qr6",
       "QRX-6 point-code list, 2 codes",
       "QRX-6 coordinate list",
       "QRX-6 coordinate list: stops at line 1, column 2: no point record"},
      {"a coordinate too wide",
       {MakeBlockLine(kP1 + kP1.substr(1) + "!" + std::string(23, 'J') + "_", 0),
        MakeBlockLine("+P2        _ x+100000000000_ y", 1)},
       ".qr6",
       "QRX-6 data, 2 blocks",
       "QRX-6 coordinate list",
       "QRX-6 coordinate list: stops at line 2, column 16: field x: 13 characters where the "
       "record holds 10"},
      {"a spoiled block",
       {MakeBlockLine(kP1, 0), spoiled},
       ".qr6",
       "No Kavex layout reads this file whole; QRX-6 coordinate list: stops at line 2, column "
       "131: the block checksum does not match",
       "QRX-6 data",
       "QRX-6 data: stops at line 2, column 131: the block checksum does not match"},
      {"blocks out of turn",
       {MakeBlockLine(kP1, 0), MakeBlockLine(kP2, 2)},
       ".qr6",
       "No Kavex layout reads this file whole; QRX-6 coordinate list: stops at line 2, column "
       "130: block number 2 where 1 is due",
       "QRX-6 data",
       "QRX-6 data: stops at line 2, column 130: block number 2 where 1 is due"},
      {"NWF",
       {"JOB     J1", "STN     1,1.5,", "P1,1.0,2.0,3.0"},
       ".qr7",
       "NWF (QRX-7) data, 3 lines",
       "HK-100 level data",
       "HK-100 level data: stops at line 1, column 2: no \",\" after the record letter"},
      {"a points file",
       {"P1,100.5,200.25,10", "P2"},
       ".pts",
       "points list, 2 points",
       "NWF (QRX-7) data",
       "NWF (QRX-7) data: stops at line 2, column 1: neither an NWF keyword in columns 1 to 8 "
       "nor a coordinate line"},
      {"a points file without its extension",
       {"P1,100.5,200.25,10", "P2"},
       "",
       "points list, 2 points",
       "HK-100 level data",
       "HK-100 level data: stops at line 1, column 2: no \",\" after the record letter"},
      {"a code file",
       {"TREE", "7,WALL", "POLE"},
       ".cod",
       "point-code list, 3 codes",
       "points list",
       "points list: stops at line 2: not a points line (name, Y, X, Z)"},
      {"a code too long",
       {"TREE", "ABCDEFGHIJKL"},
       ".cod",
       "No Kavex layout reads this file whole; point-code list: stops at line 2: not a "
       "point-code line (number and code, or a code)",
       "point-code list",
       "point-code list: stops at line 2: not a point-code line (number and code, or a code)"},
      {"level data",
       {"a,11,JOB1,M1,,1612311200,", "Z,"},
       ".hk1",
       "HK-100 level data, 2 records",
       "QRX-6 data",
       "QRX-6 data: stops at line 1, column 1: no STX: not a block line"},
      {"an empty file",
       {},
       ".qr6",
       "No Kavex layout reads this file whole; QRX-6 coordinate list: stops at line 1, column 1: "
       "the file is empty",
       "points list",
       "points list: stops at line 1, column 1: the file is empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Seen seen = Identify(c.lines, c.extension, c.layout);
    EXPECT_EQ(seen.first, c.first);
    EXPECT_EQ(seen.stop, c.stop);
  }
}

// The one-line status of the Open dialog: one point reads as a point, not "1 points".
TEST(Identify, SummaryNamesOneRecordInTheSingular) {
  EXPECT_EQ(IdentifySummary(IdentifyLines({MakeBlockLine(kP1, 0)}, ".qr6")),
            "QRX-6 coordinate list, 1 point");
}

}  // namespace
}  // namespace kavex
