#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "kavex/tests/cli/cli_fixture.h"

namespace fs = std::filesystem;

namespace {

class ListsCli : public kavex::testing::CliFixture {};

std::string Block(const std::string& payload, int number) {
  std::string line = "\x02" + payload;
  line.resize(129, ' ');
  line += static_cast<char>('0' + number);
  unsigned x = 0;
  for (size_t i = 1; i <= 129; ++i) x ^= static_cast<unsigned char>(line[i]);
  char sum[8];
  std::snprintf(sum, sizeof sum, "%03u", x);
  return line + sum + "\x03\r\n";
}

TEST_F(ListsCli, CoordsAndCodes) {
  const std::string pts = Write("a.pts", "P1,100.5,200.25,10\r\nP2\r\nP3,,5,1\r\n");
  EXPECT_EQ(Run("convert coords " + pts), 0);
  const std::string stream =
      "_+P1        _ x +00200250_ y +00100500_ z +00010000_"
      "+P2        _ x +00000000_ y +00000000_ z +00000000_"
      "+P3        _ x +00005000_ y +00000000_ z +00001000_";
  EXPECT_EQ(Read("stdout"), Block(stream.substr(0, 128), 0) + Block(stream.substr(128), 1));

  const std::string cod = Write("a.cod", "TREE,\r\n 7,WALL\r\nPOLE\r\n60,ROAD\r\n");
  EXPECT_EQ(Run("convert codes " + cod + " -o " + (dir / "out.qr6").string()), 0);
  EXPECT_EQ(Read("out.qr6"),
            Block("_:001TREE      _:007WALL      _:002POLE      _:00360        _", 0));
  EXPECT_EQ(Read("stdout"), "");

  // Empty inputs: no block for points, one blank block for codes.
  EXPECT_EQ(Run("convert coords " + Write("e.pts", "")), 0);
  EXPECT_EQ(Read("stdout"), "");
  EXPECT_EQ(Run("convert codes " + Write("e.cod", "")), 0);
  EXPECT_EQ(Read("stdout"), Block("_", 0));
}

TEST_F(ListsCli, FailuresWriteNothing) {
  const std::string badPoints = Write("b.pts", "P1\nP2\nP3\n,1\n");
  const std::string badCodes = Write("b.cod", "TREE\nABCDEFGHIJK\n");
  // A 300-character line is read in two pieces: the second is the bad one.
  const std::string longLine = Write("l.pts", "P1\r\nP2,1,2,3," + std::string(292, 'x') + "\r\n");
  const std::string wide =
      Write("w.pts", "P1,1,2,3\r\nP2\r\nP3,32512345.678,5612345.678,100.5\r\n");
  struct Case {
    std::string args;
    std::string message;
  } cases[] = {
      {"convert coords " + badPoints, "Invalid data.\n" + badPoints + ": line 4\n"},
      {"convert codes " + badCodes, "Invalid data\n" + badCodes + ": line 2\n"},
      {"convert coords " + longLine, "Invalid data.\n" + longLine + ": line 2\n"},
      {"convert coords " + wide,
       "Invalid data.\n" + wide + ": line 3: 32512345.678 does not fit its 10-character field\n"},
      {"convert coords " + (dir / "none.pts").string(), "Failed to open file.\n"},
      {"convert codes " + (dir / "none.cod").string(), "Failed to open file\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.args + " -o " + (dir / "out").string()), 1) << c.args;
    EXPECT_EQ(Read("stderr"), c.message);
    EXPECT_FALSE(fs::exists(dir / "out"));
    EXPECT_EQ(Run(c.args), 1);
    EXPECT_EQ(Read("stdout"), "");
  }
}

TEST_F(ListsCli, UploadOptionsAreCheckedBeforeThePortOpens) {
  const std::string pts = Write("a.pts", "P1\r\n");
  struct Case {
    std::string args;
    int exit;
    const char* message;  // nullptr: a usage line
  } cases[] = {
      {"upload coords " + pts + " --port /dev/null --accuracy 10000", 1,
       "Invalid value entered in Accuracy.\n"},
      {"upload coords " + pts + " --port /dev/null --accuracy 1k", 1,
       "Invalid value entered in Accuracy\n"},
      {"upload coords " + pts + " --port /dev/null --site ABCDEFGHIJK", 1,
       "Invalid data entered in Site.\n"},
      {"upload coords " + pts + " --port /dev/null --limits 20-100", 1,
       "Invalid value entered in Limit(tol.)\n"},
      {"upload coords " + pts + " --port /dev/null --scale 1.0001", 1,
       "Invalid value entered in Scale\n"},
      {"upload coords " + pts + " --port /dev/null --limits 20", 2, nullptr},
      {"upload coords " + pts + " --port /dev/null --interval 99", 2, nullptr},
      {"upload coords " + pts + " --port /dev/null --interval 1000", 2, nullptr},
      {"upload coords " + pts, 2, nullptr},
      {"upload sideways " + pts + " --port /dev/null", 2, nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.args), c.exit) << c.args;
    if (c.message) {
      EXPECT_EQ(Read("stderr"), c.message);
    } else {
      EXPECT_EQ(Read("stderr").rfind("kavex-cli upload: ", 0), 0u) << Read("stderr");
    }
  }
}

}  // namespace
