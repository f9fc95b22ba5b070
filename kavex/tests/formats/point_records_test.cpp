#include "kavex/formats/point_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kavex {
namespace {

const std::string kP1 = "_+P1        _ x +00001000_ y +00002000_ z +00003000";
const std::string kP2 = "_+P2        _ x -00000500_ y +00000000_ z +00000001";

struct Read {
  std::vector<std::string> names;
  bool misaligned = false;
  std::string stop;  // RecordStopText, empty when none
  RecordPlace place;
};

Read ReadPayloads(const std::vector<std::string>& payloads) {
  Read read;
  PointRecordReader reader([&](const PointRecord& r) {
    EXPECT_EQ(r.x.size() + r.y.size() + r.z.size(), 30u);
    read.names.push_back(r.name);
  });
  for (const std::string& p : payloads) reader.AddPayload(p);
  reader.End();
  read.misaligned = reader.Misaligned();
  if (reader.Stop()) {
    read.stop = RecordStopText(*reader.Stop());
    read.place = reader.Stop()->place;
  }
  return read;
}

TEST(PointRecordReader, RecordsOfTheStream) {
  const std::string blanks(20, ' ');
  const struct {
    const char* what;
    std::vector<std::string> payloads;
    std::vector<std::string> names;
    const char* stop;  // "" when the records line up
  } cases[] = {
      {"two records and the padding", {kP1 + kP2 + "_" + blanks}, {"P1        ", "P2        "}, ""},
      {"a record split across payloads",
       {kP1.substr(0, 26), kP1.substr(26) + "_"},
       {"P1        "},
       ""},
      {"a blank name is a point",
       {"_+          _ x +00000001_ y +00000002_ z +00000003_"},
       {"          "},
       ""},
      {"a name holding _ and blanks",
       {"_+P_1 A     _ x +00000001_ y +00000002_ z +00000003_"},
       {"P_1 A     "},
       ""},
      {"fields of other codes passed over",
       {"_!JOB1_$161231" + kP1 + "_ ?123_" + kP2 + "_"},
       {"P1        ", "P2        "},
       ""},
      {"cut short by the end", {kP1 + "_+P2  "}, {"P1        "}, ""},
      {"padding without the last _", {kP1 + blanks}, {"P1        "}, ""},
      {"padding ends the payload, not the stream",
       {kP1 + "_" + blanks + "_+X", kP2 + "_"},
       {"P1        ", "P2        "},
       ""},
      {"y before x",
       {"_+P1        _ y +00001000_ x +00002000_ z +00003000_"},
       {},
       "line 1, field x missing after the point name"},
      {"an 11-character x",
       {"_+P1        _ x +000001000_ y +00002000_ z +00003000_"},
       {},
       "line 1, field x: 11 characters where the record holds 10"},
      {"a wide x whose _ is in the next payload",
       {"_+P1        _ x +0000001000", "0_ y +00002000_ z +00003000_"},
       {},
       "line 1, field x: 13 characters where the record holds 10"},
      {"unpadded names and unsigned values",
       {"_+P00001_ x00000000017_ y00000000029_ z00000003_+P00002_ x00000001017_"},
       {},
       "line 1, point name: 6 characters where the record holds 10"},
      {"a short y",
       {"_+P1        _ x +00001000_ y +0002000_ z +00003000_"},
       {},
       "line 1, field y: 9 characters where the record holds 10"},
      {"a coordinate outside a record",
       {kP1 + "_ x +00000001_"},
       {"P1        "},
       "line 1, field x outside a point record"},
      {"no _ after the record",
       {kP1 + "0_" + kP2},
       {"P1        "},
       "line 1, field z: 11 characters where the record holds 10"},
      {"z running on to the end of the stream",
       {kP1 + "0"},
       {"P1        "},
       "line 1, field z: more than 10 characters where the record holds 10"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Read read = ReadPayloads(c.payloads);
    EXPECT_EQ(read.names, c.names);
    EXPECT_EQ(read.misaligned, *c.stop != 0);
    EXPECT_EQ(read.stop, c.stop);
  }
}

// The place of a stop is the line as handed in and its column with STX as column 1.
TEST(PointRecordReader, StopNamesTheLineAndColumnOfTheField) {
  const Read read =
      ReadPayloads({kP1 + "_", "+P2        _ x +000000500_ y +00000000_ z +00000001_"});
  EXPECT_EQ(read.stop, "line 2, field x: 11 characters where the record holds 10");
  EXPECT_EQ(read.place.line, 2u);
  EXPECT_EQ(read.place.column, 16u);  // payload index 14, after STX
}

TEST(PointRecordReader, FileLinesMustBeBlockLines) {
  std::vector<std::string> names;
  PointRecordReader reader([&](const PointRecord& r) { names.push_back(r.name); });
  std::string payload = kP1 + "_";
  payload.resize(128, ' ');
  reader.AddLine("\x02" + payload.substr(0, 127));  // a payload short of a block
  reader.AddLine(" " + payload + "0000\x03");       // no STX
  EXPECT_TRUE(names.empty());
  reader.AddLine("\x02" + payload + "0000\x03");
  EXPECT_EQ(names, std::vector<std::string>{"P1        "});
}

}  // namespace
}  // namespace kavex
