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

class ConvertCli : public kavex::testing::CliFixture {};

std::string Block(const std::string& payload) {
  std::string line = "\x02" + payload;
  line.resize(129, ' ');
  line += '0';
  unsigned x = 0;
  for (size_t i = 1; i <= 129; ++i) x ^= static_cast<unsigned char>(line[i]);
  char sum[8];
  std::snprintf(sum, sizeof sum, "%03u", x);
  return line + sum + "\x03";
}

TEST_F(ConvertCli, NwfToStandardOutputAndFile) {
  const std::string in = Write("in.qr6", Block("_!J1_+T_ <0900000+1800000****d000_") + "\r\n");
  EXPECT_EQ(Run("convert nwf " + in), 0);
  EXPECT_EQ(Read("stdout"),
            "QRX-700 v3.0\r\n"
            "JOB     J1\r\n"
            "NAME    \r\n"
            "INST    \r\n"
            "UNITS   M,D\r\n"
            "SCALE   1.000000,1.000000,0    \r\n"
            "BS      T,,\r\n"
            "HV      180.00000,90.00000\r\n");
  EXPECT_EQ(Run("convert nwf " + in +
                " --no-header --feet --gon --scale 0.9999 --elevation -45 --fs --no-first-bs -o " +
                (dir / "out.qr7").string()),
            0);
  EXPECT_EQ(Read("stdout"), "");
  EXPECT_EQ(Read("out.qr7"),
            "JOB     J1\r\n"
            "NAME    \r\n"
            "INST    \r\n"
            "UNITS   F,G\r\n"
            // 0.9999 * 6372000 / 6371955 = 0.99990706...
            "SCALE   0.999907,0.999900,-45  \r\n"
            "FS      T,,\r\n"
            "HV      180.00000,90.00000\r\n");
}

TEST_F(ConvertCli, HkReport) {
  const std::string in = Write("in.hk1", "t,01,JOB1,,1612311100,\r\n");
  EXPECT_EQ(Run("convert hk " + in), 0);
  EXPECT_EQ(Read("stdout"), "      HK-100 TEXT \r\n   END JOB#:JOB1       16/12/31  11:00\r\n");
}

TEST_F(ConvertCli, Qrx6OptionsReachTheBlocks) {
  const std::string in =
      Write("in.qr7", "FS      T,1.5\r\nHD      0.00000,10000.0000,1000.0000\r\n");
  // The zenith of a 10 km sight 1 km up depends on k (84 17 07, 09, 10 degrees; 93.6504,
  // 93.6510 gon); each option must reach the block.
  const struct {
    const char* args;
    const char* body;
  } cases[] = {
      {"", "R+10000000m0841707+0000000d+01000000***+**+**"},
      {" --k 0", "R+10000000m0841707+0000000d+01000000***+**+**"},
      {" --k 0.14", "R+10000000m0841709+0000000d+01000000***+**+**"},
      {" --k 0.2", "R+10000000m0841710+0000000d+01000000***+**+**"},
      {" --gon --k 0.14", "R+10000000m0936510+0000000g+01000000***+**+**"},
      {" --feet", "R+10000000f0841707+0000000d+01000000***+**+**"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run("convert qrx6 " + in + c.args + " -o " + (dir / "out.qr6").string()), 0);
    std::string body = c.body;
    unsigned x = 0;
    for (char ch : body) x ^= static_cast<unsigned char>(ch);
    char sum[8];
    std::snprintf(sum, sizeof sum, "%03u", x);
    EXPECT_EQ(Read("out.qr6"), Block("_+T_ " + body + sum + "_,1.5_") + "\r\n") << c.args;
  }
}

// identify lists the layouts that read the file whole, then where the others stop; the
// exit status says whether any reads it whole.
TEST_F(ConvertCli, IdentifyNamesTheLayoutsThatReadTheFile) {
  const struct {
    const char* name;
    std::string bytes;
    int status;
    const char* first;
  } cases[] = {
      {"pts.qr6", Block("_+P1        _ x +01234567_ y +07654321_ z +00000000_") + "\r\n", 0,
       "QRX-6 coordinate list, 1 point\n"},
      {"job.pts", "P1,1,2,3\r\nP2,4,5,6\r\n", 0, "points list, 2 points\n"},
      {"bad.qr6", Block("_+P1        _ x +01234567_") + "x\r\n", 1,
       "QRX-6 coordinate list: stops at line 1, column 135: 135 characters where a block line "
       "holds 134\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Run("identify " + Write(c.name, c.bytes)), c.status);
    const std::string out = Read("stdout");
    EXPECT_EQ(out.substr(0, out.find('\n') + 1), c.first);
  }
  EXPECT_EQ(Run("identify " + (dir / "none.qr6").string()), 1);
  EXPECT_EQ(Read("stderr"),
            "Fail to open file.\n" + (dir / "none.qr6").string() + ": No such file or directory\n");
}

TEST_F(ConvertCli, DxfOfOnePoint) {
  const std::string in =
      Write("in.qr6", Block("_+P1        _ x +01234567_ y +07654321_ z +00000000_") + "\r\n");
  EXPECT_EQ(Run("convert dxf " + in), 0);
  const std::string out = Read("stdout");
  EXPECT_NE(
      out.find("  0\r\nPOINT\r\n  8\r\nCoordinateData\r\n 10\r\n7654.321\r\n 20\r\n1234.567\r\n"),
      std::string::npos);
  EXPECT_NE(out.find(" 40\r\n 0.0\r\n  1\r\nP1\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n"),
            std::string::npos);
  const std::string bad =
      Write("bad.qr6", Block("_+P1        _ x +0123456x_ y +07654321_ z +00000000_") + "\r\n");
  EXPECT_EQ(Run("convert dxf " + bad + " -o " + (dir / "bad.dxf").string()), 1);
  EXPECT_EQ(Read("stderr"),
            "Invalid data.\n" + bad + ": line 1, field x: \" +0123456x\" is not a number\n");
  EXPECT_FALSE(fs::exists(dir / "bad.dxf"));
  // The drawing goes to its file as it is made: the same bytes as on standard output, and a
  // file that cannot be made is named once the export is through.
  EXPECT_EQ(Run("convert dxf " + in + " -o " + (dir / "one.dxf").string()), 0);
  EXPECT_EQ(Read("one.dxf"), out);
  const std::string nowhere = (dir / "no" / "one.dxf").string();
  EXPECT_EQ(Run("convert dxf " + in + " -o " + nowhere), 1);
  EXPECT_EQ(Read("stderr"), "Saving Aborted.\n" + nowhere + ": No such file or directory\n");
}

TEST_F(ConvertCli, FailuresAndUsage) {
  const std::string in = Write("in.qr6", "");
  struct Case {
    std::string args;
    int status;
    std::string stderrText;  // exact for failures; empty: only the status is checked
  } cases[] = {
      {"convert nwf " + in + " --scale 1.0001", 1, "Invalid value entered in Scale.\n"},
      {"convert nwf " + in + " --elevation 10000", 1, "Invalid value entered in Elevation.\n"},
      {"convert nwf " + (dir / "none.qr6").string(), 1,
       "Failed to open file.\n" + (dir / "none.qr6").string() + ": No such file or directory\n"},
      {"convert hk " + dir.string(), 1,
       "Failed to open file.\n" + dir.string() + ": Is a directory\n"},
      {"convert nwf " + in + " -o " + (dir / "no" / "out").string(), 1,
       "kavex-cli: warning: no QRX-6 blocks in " + in + "\nSaving Aborted.\n" +
           (dir / "no" / "out").string() + ": No such file or directory\n"},
      {"convert", 2, ""},
      {"convert dxf " + in, 1, "Can't convert this type\n"},
      // An input that cannot be read is the window's "Loading Aborted.".
      {"convert dxf " + (dir / "none.qr6").string(), 1, "Loading Aborted.\n"},
      {"convert qrx6 " + (dir / "none.qr7").string(), 1, "Fail to open file.\n"},
      {"convert qrx6 " + in + " --k 0.1", 2, ""},
      {"convert qrx6 " + in + " --k", 2, ""},
      {"convert dxf " + in + " --gon", 2, ""},
      {"convert nwf " + in + " --k 0.2", 2, ""},
      {"convert pts " + in, 2, ""},
      {"convert nwf", 2, ""},
      {"convert hk " + in + " --gon", 2, ""},
      {"convert nwf " + in + " --scale", 2, ""},
      {"convert nwf " + in + " " + in, 2, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.args), c.status) << c.args;
    if (!c.stderrText.empty()) {
      EXPECT_EQ(Read("stderr"), c.stderrText) << c.args;
    }
  }
}

TEST_F(ConvertCli, WarnsWhenNoBlockIsRead) {
  // One character short of a block line: the conversion passes it over.
  const std::string shortBlock = Block("_+P1_").substr(0, 132);
  const std::string in = Write("in.qr6", shortBlock + "\r\n");
  EXPECT_EQ(Run("convert nwf " + in), 0);
  EXPECT_EQ(Read("stderr"), "kavex-cli: warning: no QRX-6 blocks in " + in + "\n");
  Write("in.qr6", Block("_+P1_") + "\r\n");
  EXPECT_EQ(Run("convert nwf " + in), 0);
  EXPECT_EQ(Read("stderr"), "");
  // LF alone ends a line too, and the block is still whole.
  Write("in.qr6", Block("_+P1_") + "\n");
  EXPECT_EQ(Run("convert nwf " + in), 0);
  EXPECT_EQ(Read("stderr"), "");
}

TEST_F(ConvertCli, CommandHelp) {
  for (const char* args : {"convert --help", "convert nwf --help", "download -h"}) {
    EXPECT_EQ(Run(args), 0) << args;
    EXPECT_EQ(Read("stdout").rfind("Usage:\nkavex-cli ", 0), 0u) << Read("stdout");
  }
}

TEST_F(ConvertCli, DownloadDestinationSettledBeforeThePort) {
  const std::string port = (dir / "no-tty").string();
  const std::string existing = Write("old.qr6", "keep");
  EXPECT_EQ(Run("download qrx6 --port " + port + " -o " + existing), 1);
  EXPECT_EQ(Read("stderr"),
            "File exists Overwrite?\n" + existing + " (give --force to replace it)\n");
  EXPECT_EQ(Read("old.qr6"), "keep");
  const std::string missing = (dir / "no" / "new.qr6").string();
  EXPECT_EQ(Run("download qrx6 --port " + port + " -o " + missing), 1);
  EXPECT_EQ(Read("stderr"), "Saving Aborted.\n" + missing + ": No such file or directory\n");
  // With --force the port is tried, and its failure names the device.
  EXPECT_EQ(Run("download qrx6 --port " + port + " --force -o " + existing), 4);
  EXPECT_EQ(Read("stderr"), "COM ERROR.\n" + port + ": No such file or directory\n");
  EXPECT_EQ(Read("old.qr6"), "keep");  // nothing arrived, nothing replaced
}

}  // namespace
