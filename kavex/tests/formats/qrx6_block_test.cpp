#include "kavex/formats/qrx6_block.h"

#include <gtest/gtest.h>

#include <string>

#include "kavex/formats/qrx6_fields.h"
#include "kavex/tests/comm/test_blocks.h"

namespace kavex {
namespace {

// The test's own checksum: exclusive-or of positions 1..129.
std::string Sum(const std::string& line) {
  unsigned x = 0;
  for (size_t i = 1; i <= 129; ++i) x ^= static_cast<unsigned char>(line[i]);
  char buf[8];
  std::snprintf(buf, sizeof buf, "%03u", x);
  return buf;
}

std::string Line(const std::string& payload, char number, const char* sum) {
  std::string p = payload;
  p.resize(128, ' ');
  return "\x02" + p + number + sum + "\x03\r\n";
}

TEST(BlockCheck, ErrorBitsOfReceivedLines) {
  // Worked by hand: 128 spaces cancel out, so the check is the digit itself ("0" = 48);
  // "_" (0x5F) and 127 spaces (0x20) give 0x7F, with "0" 0x4F = 79.
  struct Case {
    std::string line;
    int expected;
    bool checkNumber, checkSum;
    int errors;
  };
  const Case cases[] = {
      {Line("", '0', "048"), 0, true, true, 0},
      {Line("", '1', "049"), 1, true, true, 0},
      {Line("_", '0', "079"), 0, true, true, 0},
      {Line("_", '0', "078"), 0, true, true, kBlockBadChecksum},
      {Line("_", '0', "078"), 0, true, false, 0},
      {Line("", '3', "051"), 13, true, true, 0},  // numbers compare modulo 10
      {Line("", '2', "050"), 1, true, true, kBlockBadNumber},
      {Line("", '2', "050"), 1, false, true, 0},
      {Line("", '2', "051"), 1, true, true, kBlockBadNumber | kBlockBadChecksum},
      {Line("", '0', "048") + "x", 0, true, true, kBlockBadLength},  // 137 characters
      {Line("", '0', "048").substr(0, 135), 0, true, true, kBlockBadLength},
      {"\x04", 0, true, true, kBlockBadLength | kBlockBadNumber | kBlockBadChecksum},
      {"", 0, false, false, kBlockBadLength},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CheckBlock(c.line, c.expected, c.checkNumber, c.checkSum), c.errors)
        << ::testing::PrintToString(c.line);
}

TEST(BlockCheck, BlockNumbersWrapAfterNine) {
  for (int n = 0; n <= 9; ++n)
    EXPECT_EQ(CheckBlock(kavex::testing::BlockLine("_!JOB_", n), n, true, true), 0) << n;
}

TEST(Qrx6Block, WriterPadsNumbersAndWraps) {
  const std::string line = MakeBlockLine("_!JOB1_", 0);
  ASSERT_EQ(line.size(), 134u);
  EXPECT_EQ(line[0], '\x02');
  EXPECT_EQ(line.substr(1, 7), "_!JOB1_");
  EXPECT_EQ(line.substr(8, 121), std::string(121, ' '));
  EXPECT_EQ(line[129], '0');
  // "_!JOB1_" gives 0x57, 121 blanks 0x20 and "0" 0x30 more: 0x47.
  EXPECT_EQ(line.substr(130, 3), "071");
  EXPECT_EQ(line[133], '\x03');

  // 10 full payloads and a bit: blocks 0..9, then 0 again for the eleventh.
  std::string stream(10 * 128 + 5, 'a');
  const auto blocks = CutIntoBlocks(stream);
  ASSERT_EQ(blocks.size(), 11u);
  for (size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i][129], static_cast<char>('0' + i % 10));
    EXPECT_EQ(CheckBlock(blocks[i] + "\r\n", static_cast<int>(i), true, true), 0);
  }
  EXPECT_EQ(blocks[10].substr(1, 6), "aaaaa ");
  EXPECT_TRUE(CutIntoBlocks("").empty());
}

TEST(Qrx6Fields, CodeTableIsSearchedInOrder) {
  struct Case {
    const char* field;
    int id;
    size_t length;
  } cases[] = {
      {"!JOB", 0x11, 1}, {"\"N", 0x12, 1}, {"$D", 0x14, 1},  {"(1", 0x32, 1},  {" (1", 0x4A, 2},
      {"*1", 0x45, 1},   {" *1", 0x4B, 2}, {"+P", 0x41, 1},  {",C", 0x46, 1},  {" ?x", 0x47, 2},
      {" 'x", 0x4C, 2},  {" /x", 0x4E, 2}, {" a1", 0x52, 2}, {" e1", 0x56, 2}, {" x1", 0x72, 2},
      {" h1", 0x77, 2},  {"", 0, 0},       {" q1", -1, 0},   {" ", -1, 0},     {"Q", -1, 0},
      {"i", -1, 0},  // codes are case sensitive
  };
  for (const Case& c : cases) {
    const FieldCode code = LookupFieldCode(c.field);
    EXPECT_EQ(code.id, c.id) << '"' << c.field << '"';
    if (c.id > 0) {
      EXPECT_EQ(code.length, c.length) << c.field;
    }
  }
}

class Recorder : public Qrx6RecordSink {
 public:
  void RecordClosed(const Qrx6Record& r) override {
    if (r.group != 0) records.push_back(r);
  }
  std::vector<Qrx6Record> records;
};

// Feeds fields (without separators) straight to the reader.
std::vector<Qrx6Record> Read(std::initializer_list<const char*> fields) {
  Recorder sink;
  Qrx6FieldReader reader(sink);
  for (const char* f : fields) reader.ProcessField(f);
  reader.Finish();
  return sink.records;
}

TEST(Qrx6Fields, GroupChangesAndRecordOpenings) {
  struct Case {
    std::initializer_list<const char*> fields;
    std::vector<int> groups;
  } cases[] = {
      {{"+P1", " a100"}, {5}},
      {{"+P1", " x100"}, {7}},
      {{"+P1", " ?+0"}, {4}},
      {{"+P1", " a1", "*H", ",C"}, {5}},  // "*" and "," remapped inside group 5
      {{"+P1", " a1", "I5"}, {5, 4}},     // a group-4 field closes the group-5 record
      {{"+P1", "Qjunk", " ?+0"}, {4}},    // unknown code dropped, record stays open
      {{"!J", "\"N", "%1", "&2"}, {1, 2}},
      {{"'S", "(1", ")2", "+T", "+U"}, {3, 4, 4}},
      {{"+P1", "", "", " ?+0"}, {4}},  // empty fields do nothing
  };
  for (const Case& c : cases) {
    std::vector<int> groups;
    for (const auto& r : Read(c.fields)) groups.push_back(r.group);
    EXPECT_EQ(groups, c.groups) << *c.fields.begin() << " ... " << c.fields.size();
  }
}

TEST(Qrx6Fields, SlotsAndScaling) {
  auto r = Read({"+  P1  ", "*1234567890ABCDEFGHIJ", ",C", " ?+00012345m0900000+1234567d+0"});
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text[kSlotA], "P1");
  EXPECT_EQ(r[0].text[kSlotB], "1234567890ABCDEF");  // cut to 16
  EXPECT_EQ(r[0].text[kSlotC], "C");
  EXPECT_EQ(r[0].subType, 0x47);
  EXPECT_NEAR(r[0].real[0], 123.456701, 1e-9);
  EXPECT_NEAR(r[0].real[1], 90.000001, 1e-9);
  EXPECT_NEAR(r[0].real[2], 12.34501, 1e-9);

  r = Read({"+P", "9-100", ":200", "I1500"});
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NEAR(r[0].real[0], (-100 + 0.1) * 0.0001, 1e-12);
  EXPECT_NEAR(r[0].real[1], 200.1 * 0.0001, 1e-12);
  EXPECT_NEAR(r[0].real[2], 1500.1 * 0.001, 1e-12);
  EXPECT_EQ(r[0].subType, 0);

  r = Read({"+P", " d2500", " g-12"});  // " g" turns the record into coordinates
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].group, 7);
  EXPECT_NEAR(r[0].real[1], 2500.1 * 0.001, 1e-12);
  EXPECT_NEAR(r[0].real[0], (-12 + 0.01) * 0.001, 1e-12);

  // Block parts beyond the end of a short value read as 0.
  r = Read({"+P", " R+00001000m"});
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NEAR(r[0].real[0], 0.000001, 1e-12);
  EXPECT_NEAR(r[0].real[1], 1.00001, 1e-12);
  EXPECT_NEAR(r[0].real[2], 0.00001, 1e-12);

  r = Read({"'STATION-NAME-LONGER", "(1.5", ")0"});
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text[kSlotA], "STATION-NAME-LON");
  EXPECT_EQ(r[0].text[kSlotB], "1.5");
  EXPECT_EQ(r[0].text[kSlotC], "0");
}

TEST(Qrx6Fields, LinesThatAreNotBlocksAreSkipped) {
  auto block = [](const std::string& payload) {
    std::string line = "\x02" + payload;
    line.resize(129, ' ');
    return line + "0" + Sum(line) + "\x03";
  };
  Recorder sink;
  Qrx6FieldReader reader(sink);
  reader.AddLine(block("_!A_"), true);
  reader.AddLine("_!B_", true);                                 // too short
  reader.AddLine(" " + block("_!C_").substr(1), true);          // no STX
  reader.AddLine(block("_!D_") + std::string(200, '_'), true);  // long line: payload only
  reader.AddLine(block("_!E_!F"), false);  // 134 characters without line feed: skipped
  reader.Finish();
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_EQ(sink.records[0].text[kSlotA], "A");
  EXPECT_EQ(sink.records[1].text[kSlotA], "D");

  // Characters after the last "_" of the file are never processed.
  Recorder tail;
  Qrx6FieldReader tailReader(tail);
  tailReader.AddLine(block("_!A_!B"), true);
  tailReader.Finish();
  ASSERT_EQ(tail.records.size(), 1u);
  EXPECT_EQ(tail.records[0].text[kSlotA], "A");
}

}  // namespace
}  // namespace kavex
