#include "kavex/formats/nwf_to_qrx6.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "kavex/formats/qrx6_to_nwf.h"
#include "kavex/tests/comm/test_blocks.h"

namespace kavex {
namespace {

// The test's own checks, from the layout rules: a field's checksum over the code's second
// character and the body, and a block line around a payload piece.
std::string Checked(const std::string& codeAndBody) {
  unsigned x = 0;
  for (char c : codeAndBody) x ^= static_cast<unsigned char>(c);
  char sum[8];
  std::snprintf(sum, sizeof sum, "%03u", x);
  return "_ " + codeAndBody + sum;
}

// A block line without its line end.
std::string Block(const std::string& payload, int number) {
  std::string line = testing::BlockLine(payload, number);
  line.resize(134);
  return line;
}

std::vector<std::string> Blocks(const std::string& stream) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < stream.size(); i += 128)
    lines.push_back(Block(stream.substr(i, 128), static_cast<int>(lines.size() % 10)));
  return lines;
}

NwfToQrx6Options Opt(char angle = 'D', char distance = 'M', double k = 0.0) {
  return {angle, distance, k};
}

TEST(DegreesToDms, SecondsRoundAndCarry) {
  const struct {
    double degrees;
    long dms;
  } cases[] = {
      {10.999999, 110000},    // 59.9964 s round to 60 and carry into minutes and degrees
      {90.0, 900000},         //
      {359.9999999, 0},       // "%9.6f" gives 360.000000, which wraps to 0
      {0.5, 3000},            //
      {1.2575, 11527},        // 15.45 min: 27 s
      {359.99, 3595924},      //
      {89.999, 895956},       // 59.94 min: 56.4 s
      {180.0000139, 1800000}  // 0.05 s rounds down
  };
  for (const auto& c : cases) EXPECT_EQ(DegreesToDms(c.degrees), c.dms) << c.degrees;
}

TEST(MeasurementField, EachObservationLayout) {
  const struct {
    const char* line;
    NwfToQrx6Options options;
    std::string field;
  } cases[] = {
      {"HV      180.00000,90.00000\n", Opt(), Checked("<0900000+1800000+****d")},
      {"HV      200.0000,100.0000\n", Opt('G'), Checked("<1000000+2000000+****g")},
      // Zenith 90 degrees: the horizontal distance is the slope distance.
      {"SD      45.30150,90.00000,123.4560\n", Opt(),
       Checked("?+00123456m0900000+0453015d+00123456***+**+**")},
      {"SD      45.30150,90.00000,123.4560\n", Opt('D', 'F'),
       Checked("?+00123456f0900000+0453015d+00123456***+**+**")},
      // 30.3000 is 30 degrees 30 minutes: sin(30.5 deg) x 100 m = 50.7543 m.
      {"SD      0.00000,30.30000,100.0000\n", Opt(),
       Checked("?+00100000m0303000+0000000d+00050754***+**+**")},
      {"SD      0.00000,60.00000,100.0000\n", Opt(),
       Checked("?+00100000m0600000+0000000d+00086603***+**+**")},
      // 50 gon is 45 degrees: 70.7107 m.
      {"SD      0.0000,50.0000,100.0000\n", Opt('G'),
       Checked("?+00100000m0500000+0000000g+00070711***+**+**")},
      // A level sight: zenith 90 degrees, height "+" and eight digits.
      {"HD      12.34560,50.0000,0.0000\n", Opt(),
       Checked("R+00050000m0900000+0123456d+00000000***+**+**")},
      {"HD      0.0000,50.0000,0.0000\n", Opt('G', 'F'),
       Checked("R+00050000f1000000+0000000g+00000000***+**+**")},
      // A negative height takes nine characters with its own sign and no "+":
      // zenith 90 + atan(2.5 / 100) = 91.432108 deg = 91 25 56.
      {"HD      270.00000,100.0000,-2.5000\n", Opt(),
       Checked("R+00100000m0912556+2700000d-00002500***+**+**")},
      // Height differences round half away from zero.
      // Products just below a whole number keep it: 12.3456 and 359.5959 stay exact.
      {"HV      359.59590,12.34560\n", Opt(), Checked("<0123456+3595959+****d")},
      {"HD      0.00000,0.0000,-0.0005\n", Opt(),
       Checked("R+00000000m1800000+0000000d-00000001***+**+**")},
      // Not an observation line: no field.
      {"STN     S1,1.5,A\n", Opt(), ""},
      {"SS      T1,1.5,A\n", Opt(), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(MeasurementField(c.line, c.options), c.field) << c.line;
}

TEST(MeasurementField, RefractionCoefficientInTheZenith) {
  // 10 km level distance, 1 km up: the curvature term moves the zenith by seconds.
  const char* line = "HD      0.00000,10000.0000,1000.0000\n";
  const struct {
    double k;
    char angle;
    const char* zenith;
  } cases[] = {
      {0.0, 'D', "0841707"}, {0.14, 'D', "0841709"}, {0.2, 'D', "0841710"},
      {0.0, 'G', "0936504"}, {0.14, 'G', "0936510"}, {0.2, 'G', "0936513"},
  };
  for (const auto& c : cases) {
    const char letter = c.angle == 'D' ? 'd' : 'g';
    EXPECT_EQ(
        MeasurementField(line, Opt(c.angle, 'M', c.k)),
        Checked(std::string("R+10000000m") + c.zenith + "+0000000" + letter + "+01000000***+**+**"))
        << c.k << c.angle;
  }
}

TEST(NwfToQrx6, EmptyFileGivesOneBlankBlock) {
  // "_", 127 blanks, "0": 0x5F ^ 0x20 ^ 0x30 = 79.
  EXPECT_EQ(ConvertNwfTextToQrx6("", Opt()),
            std::vector<std::string>{"\x02_" + std::string(127, ' ') + "0079\x03"});
}

TEST(NwfToQrx6, LinesToFields) {
  const struct {
    const char* name;
    std::string nwf;
    std::string stream;
  } cases[] = {
      {"job lines", "JOB     J1,x\nNAME    Survey, north\nINST    QRX-700\nDATE    2016/12/31,x\n",
       "_!J1_\"Survey, north_#QRX-700_$2016/12/31_"},
      {"station order", "STN     S1,1.500,A\n", "_'S1_(A_)1.500_"},
      {"station without third value", "STN     S1,1.500\n", "_'S1_(_)1.500_"},
      {"backsight has no third field", "BS      T1,1.6,X\nHV      10.00000,90.00000\n",
       "_+T1" + Checked("<0900000+0100000+****d") + "_,1.6_"},
      {"side shot", "SS      T2,1.6,C\nHV      10.00000,90.00000\n",
       "_+T2" + Checked("<0900000+0100000+****d") + "_*C_,1.6_"},
      {"empty third value", "FS      T3,1.6,\nHV      10.00000,90.00000\n",
       "_+T3" + Checked("<0900000+0100000+****d") + "_,1.6_"},
      {"target as last line", "STN     S1,1.5,A\nSS      T9,1.6,C\n", "_'S1_(A_)1.5_+T9_*C_,1.6_"},
      {"observation as last line without line feed", "SS      T2,1.6,C\nHV      10.00000,90.00000",
       "_+T2" + Checked("<0900000+0100000+****d") + "_*C_,1.6_"},
      {"station as last line without line feed", "STN     S1,1.500,A", "_'S1_(A_)1.500_"},
      {"name as last line without line feed", "NAME    Smith", "_\"Smith_"},
      {"inst as last line without line feed", "INST    QRX-700", "_#QRX-700_"},
      {"job as last line without line feed", "JOB     J1", "_!J1_"},
      {"name of one character without line feed", "NAME    S", "_\"S_"},
      {"station taken as observation", "BS      T1,1.6\nSTN     S2,1.5,A\n", "_+T1_,1.6_"},
      {"skipped lines",
       "QRX-700 v3.0\nUNITS   M,D\nSCALE   1.0,1.0,0\nTEMP    20, 1013\nP1,1,2,3\n", "_"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ConvertNwfTextToQrx6(c.nwf, Opt()), Blocks(c.stream)) << c.name;
}

TEST(NwfToQrx6, BlockBoundaries) {
  // 128 characters before the closing "_": the block is full and "_" opens block 1.
  const std::string full = "_!" + std::string(126, 'J');
  const std::vector<std::string> two =
      ConvertNwfTextToQrx6("JOB     " + full.substr(2) + "\n", Opt());
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0], Block(full, 0));
  EXPECT_EQ(two[1], Block("_", 1));
  // One character less: the closing "_" is the block's last payload character.
  const std::vector<std::string> one =
      ConvertNwfTextToQrx6("JOB     " + full.substr(3) + "\n", Opt());
  EXPECT_EQ(one, std::vector<std::string>{Block("_!" + std::string(125, 'J') + "_", 0)});
}

TEST(NwfToQrx6, BlockNumbersWrapAfterNine) {
  const std::string text(10 * 128 + 10, 'n');
  const std::vector<std::string> lines = ConvertNwfTextToQrx6("NAME    " + text + "\n", Opt());
  ASSERT_EQ(lines.size(), 11u);
  for (size_t i = 0; i < lines.size(); ++i) {
    ASSERT_EQ(lines[i].size(), 134u);
    EXPECT_EQ(lines[i][129], static_cast<char>('0' + i % 10)) << i;
  }
  EXPECT_EQ(lines, Blocks("_\"" + text + "_"));
}

TEST(NwfToQrx6, RoundTripKeepsTheJob) {
  const std::vector<std::string> job = {
      "JOB     J1",
      "NAME    Survey north",
      "INST    QRX-700",
      "UNITS   M,D",
      "SCALE   1.000000,1.000000,0    ",
      "STN     S1,1.500,A",
      "BS      T1,1.600,",
      "HV      180.00000,90.00000",
      "SS      T2,1.600,C",
      "SD      45.30150,88.15300,123.4560",
      "SS      T3,1.500,",
      "HD      270.00000,100.0000,-2.5000",
      "SS      T4,1.500,",
      "HD      359.59590,0.0010,12.3450",
  };
  std::string nwf;
  for (const std::string& line : job) nwf += line + "\n";
  std::string qrx6;
  for (const std::string& line : ConvertNwfTextToQrx6(nwf, Opt())) qrx6 += line + "\n";
  CvtQ6to7Options back;
  back.addHeader = false;
  TargetCounter counter;
  EXPECT_EQ(ConvertQrx6TextToNwf(qrx6, back, counter), job);
}

TEST(NwfToQrx6, RoundTripInGonAndFeet) {
  const std::vector<std::string> job = {
      "JOB     J2",
      "NAME    ",
      "INST    ",
      "UNITS   F,G",
      "SCALE   1.000000,1.000000,0    ",
      "STN     S1,5.000,B",
      "BS      T1,5.100,",
      "HV      399.99990,100.00000",
      "SS      T2,5.100,",
      "SD      123.45670,95.12340,50.0000",
      "SS      T3,5.000,X",
      "HD      0.00010,250.0000,-0.0010",
  };
  std::string nwf;
  for (const std::string& line : job) nwf += line + "\n";
  std::string qrx6;
  for (const std::string& line : ConvertNwfTextToQrx6(nwf, Opt('G', 'F'))) qrx6 += line + "\n";
  CvtQ6to7Options back;
  back.addHeader = false;
  back.angleDegrees = false;
  back.distanceMetres = false;
  TargetCounter counter;
  EXPECT_EQ(ConvertQrx6TextToNwf(qrx6, back, counter), job);
}

TEST(NwfToQrx6, GarbageNeverBreaksTheBlocks) {
  // Keywords, numbers and stray bytes in random order: every line is still one whole block.
  const std::string pieces[] = {"JOB     ",
                                "SS      ",
                                "HD      ",
                                "SD      ",
                                "HV      ",
                                "STN     ",
                                "1e999",
                                "-1e999",
                                "nan",
                                ",",
                                "\n",
                                "\xff\x02",
                                "0.0",
                                "-",
                                "99999999999999999999",
                                std::string(300, 'x')};
  unsigned seed = 7;
  for (int run = 0; run < 300; ++run) {
    std::string text;
    for (int i = 0; i < 40; ++i) {
      seed = seed * 1103515245u + 12345u;
      text += pieces[(seed >> 16) % std::size(pieces)];
    }
    for (const std::string& line : ConvertNwfTextToQrx6(text, Opt(run % 2 ? 'G' : 'D'))) {
      ASSERT_EQ(line.size(), 134u);
      ASSERT_EQ(line.front(), '\x02');
      ASSERT_EQ(line.back(), '\x03');
    }
  }
}

}  // namespace
}  // namespace kavex
