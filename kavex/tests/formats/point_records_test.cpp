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
};

Read ReadPayloads(const std::vector<std::string>& payloads) {
  Read read;
  PointRecordReader reader([&](const PointRecord& r) {
    EXPECT_EQ(r.x.size() + r.y.size() + r.z.size(), 30u);
    read.names.push_back(r.name);
  });
  for (const std::string& p : payloads) reader.AddPayload(p);
  read.misaligned = reader.Misaligned();
  return read;
}

TEST(PointRecordReader, RecordsOfTheStream) {
  const std::string blanks(20, ' ');
  const struct {
    const char* what;
    std::vector<std::string> payloads;
    std::vector<std::string> names;
    bool misaligned;
  } cases[] = {
      {"two records and the padding",
       {kP1 + kP2 + "_" + blanks},
       {"P1        ", "P2        "},
       false},
      {"a record split across payloads",
       {kP1.substr(0, 26), kP1.substr(26) + "_"},
       {"P1        "},
       false},
      {"a blank name is a point",
       {"_+          _ x +00000001_ y +00000002_ z +00000003_"},
       {"          "},
       false},
      {"a name holding _ and blanks",
       {"_+P_1 A     _ x +00000001_ y +00000002_ z +00000003_"},
       {"P_1 A     "},
       false},
      {"fields of other codes passed over",
       {"_!JOB1_$161231" + kP1 + "_ ?123_" + kP2 + "_"},
       {"P1        ", "P2        "},
       false},
      {"cut short by the end", {kP1 + "_+P2  "}, {"P1        "}, false},
      {"padding without the last _", {kP1 + blanks}, {"P1        "}, false},
      {"padding ends the payload, not the stream",
       {kP1 + "_" + blanks + "_+X", kP2 + "_"},
       {"P1        ", "P2        "},
       false},
      {"y before x", {"_+P1        _ y +00001000_ x +00002000_ z +00003000_"}, {}, true},
      {"an 11-character x", {"_+P1        _ x +000001000_ y +00002000_ z +00003000_"}, {}, true},
      {"a coordinate outside a record", {kP1 + "_ x +00000001_"}, {"P1        "}, true},
      {"no _ after the record", {kP1 + "0_" + kP2}, {"P1        "}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Read read = ReadPayloads(c.payloads);
    EXPECT_EQ(read.names, c.names);
    EXPECT_EQ(read.misaligned, c.misaligned);
  }
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
