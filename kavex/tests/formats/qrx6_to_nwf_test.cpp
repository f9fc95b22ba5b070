#include "kavex/formats/qrx6_to_nwf.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kavex {
namespace {

using Lines = std::vector<std::string>;

TEST(NwfOptions, ScaleAndElevationChecks) {
  struct Case {
    const char* text;
    std::optional<std::string> want;
  } scales[] = {
      {"1", "1.000000"},       {"0.9999", "0.999900"},    {"1.0001", std::nullopt},
      {"1.00009", "1.000090"}, {"0.99989", std::nullopt}, {"abc", std::nullopt},
      {"", std::nullopt},      {" 1.00005x", "1.000050"},
  };
  for (const Case& c : scales) EXPECT_EQ(AcceptScaleText(c.text), c.want) << c.text;
  Case elevations[] = {
      {"0", "+0000"},      {"120", "+0120"},        {"-45", "-0045"},         {"-9999", "-9999"},
      {"9999", "+9999"},   {"10000", std::nullopt}, {"-10000", std::nullopt}, {"x", std::nullopt},
      {"-", std::nullopt}, {"12.7", "+0012"},
  };
  for (const Case& c : elevations) EXPECT_EQ(AcceptElevationText(c.text), c.want) << c.text;
}

// The test's own block builder: STX, payload padded with spaces, number, xor check, ETX.
std::string Block(const std::string& payload, int number) {
  std::string line = "\x02" + payload;
  line.resize(129, ' ');
  line += static_cast<char>('0' + number % 10);
  unsigned x = 0;
  for (size_t i = 1; i <= 129; ++i) x ^= static_cast<unsigned char>(line[i]);
  char sum[8];
  std::snprintf(sum, sizeof sum, "%03u", x);
  return line + sum + "\x03";
}

std::string FileOf(const std::string& stream) {
  std::string text;
  int n = 0;
  for (size_t pos = 0; pos < stream.size(); pos += 128)
    text += Block(stream.substr(pos, 128), n++) + "\n";
  return text;
}

Lines Convert(const std::string& stream, const CvtQ6to7Options& options, TargetCounter& counter) {
  return ConvertQrx6TextToNwf(FileOf(stream), options, counter);
}

TEST(Qrx6ToNwf, MultiBlockFileWorkedByHand) {
  const std::string stream =
      "_!JOB1_\"SURVEYOR_#QRX310_$161231_%20_&1013_'ST1_(1.500_)0.000_+BK1_"
      " ?+00012345m0900000+1234567d+00012000***+**+**000_*1.600_,BACK_+P2_"
      " R+00020000m0850000+0450000d+00001234***+**+**000_*1.700_,_+P3_"
      " <0900000+1800000****d000_+P4_ a1234567_ b0900000_ c12345_+C1_ y1000000_"
      " x2000000_ z300000_";
  // The ",BACK" field runs over the end of the first block.
  ASSERT_EQ(stream.substr(124, 4), ",BAC");
  ASSERT_GT(stream.size(), 256u);

  TargetCounter counter;
  const Lines want = {
      "QRX-700 v3.0",
      "JOB     JOB1",
      "NAME    SURVEYOR",
      "INST    QRX310",
      "UNITS   M,D",
      "SCALE   1.000000,1.000000,0    ",
      "TEMP    20, 1013",
      "STN     ST1,0.000,1.500",
      "BS      BK1,BACK,1.600",
      "SD      123.45670,90.00000,12.3450",
      "SS      P2,,1.700",
      "HD      45.00000,20.0000,1.2340",
      "SS      P3,,",
      "HV      180.00000,90.00000",
      "SS      P4,,",
      "SD      123.45671,90.00001,12.3451",
      "C1,1000.0000,2000.0000,300.0000",
  };
  EXPECT_EQ(Convert(stream, {}, counter), want);
  EXPECT_EQ(counter.count, 5);
}

TEST(Qrx6ToNwf, TargetLabels) {
  const std::string station = "_'S1_(1.5_)0_";
  const std::string targets = "+A_ <0900000+0000000****d000_+B_ <0900000+0000000****d000_";
  struct Case {
    bool firstIsBs, fs;
    const char* first;
    const char* second;
  } cases[] = {
      {true, false, "BS      A,,", "SS      B,,"},
      {false, true, "FS      A,,", "FS      B,,"},
      {true, true, "BS      A,,", "FS      B,,"},
      {false, false, "SS      A,,", "SS      B,,"},
  };
  for (const Case& c : cases) {
    CvtQ6to7Options options;
    options.addHeader = false;
    options.firstIsBs = c.firstIsBs;
    options.measuredFs = c.fs;
    TargetCounter counter{7};  // a station resets whatever came before
    const Lines lines = Convert(station + targets, options, counter);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], c.first);
    EXPECT_EQ(lines[3], c.second);
  }
}

TEST(Qrx6ToNwf, TargetCounterOutlivesARun) {
  const std::string stream = "_+P9_ <0900000+0000000****d000_";
  CvtQ6to7Options options;
  options.addHeader = false;
  TargetCounter counter;  // as at program start
  EXPECT_EQ(Convert(stream, options, counter)[0], "BS      P9,,");
  EXPECT_EQ(Convert(stream, options, counter)[0], "SS      P9,,");
  EXPECT_EQ(counter.count, 2);
}

TEST(Qrx6ToNwf, ObservationLinesBySubType) {
  CvtQ6to7Options options;
  options.addHeader = false;
  options.firstIsBs = false;
  struct Case {
    std::string fields;
    Lines want;
  } cases[] = {
      // wide layouts
      {"+T_ (+000123456m09000000+123456789g",
       {"SS      T,,", "SD      12345.67890,900.00000,123.4560"}},
      {"+T_ *+000123456m09000000+123456789+000005678",
       {"SS      T,,", "HD      12345.67890,123.45601,5.6780"}},
      {"+T_ '10000000+12345678", {"SS      T,,", "HV      1234.56780,1000.00000,0.0000"}},
      // read but not converted: not even the target line
      {"+T_ U+000001000", {}},
      {"+T_ /1", {}},
      // single fields only
      {"+T_91234567_:0900000_I1500", {"SS      T,,", "SD      123.45671,90.00001,1.5001"}},
      {"+T_ a1234567_ b0900000", {"SS      T,,", "HV      123.45671,90.00001"}},
      {"+T_ a1_ d2500", {"SS      T,,", "HD      0.00011,2.5001,0.0000"}},
      {"+T_ a1_ e2500", {"SS      T,,", "HV      0.00011,0.00000"}},
      {"+T_ ?+0_ a1", {"SS      T,,"}},  // group 5 keeping a block's sub-type: no line
      {"+T_ a1_*H_,C", {"SS      T,C,H", "HV      0.00011,0.00000"}},
      {"+  T  _ y1_ x-2_ z3", {"T,0.0010,-0.0020,0.0030"}},
  };
  for (const Case& c : cases) {
    TargetCounter counter;
    EXPECT_EQ(Convert("_" + c.fields + "_", options, counter), c.want) << c.fields;
  }
}

TEST(Qrx6ToNwf, HeaderAndUnits) {
  TargetCounter counter;
  CvtQ6to7Options options;
  EXPECT_EQ(ConvertQrx6TextToNwf("", options, counter), Lines{"QRX-700 v3.0"});
  EXPECT_EQ(ConvertQrx6TextToNwf("no blocks here\n", options, counter), Lines{"QRX-700 v3.0"});
  options.addHeader = false;
  EXPECT_EQ(ConvertQrx6TextToNwf("", options, counter), Lines{});

  options.angleDegrees = false;
  options.distanceMetres = false;
  options.scaleText = "0.999900";
  options.elevationText = "+0120";
  const Lines lines = Convert("_!J_", options, counter);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3], "UNITS   F,G");
  EXPECT_EQ(lines[4], "SCALE   0.999881,0.999900,120  ");
}

}  // namespace
}  // namespace kavex
