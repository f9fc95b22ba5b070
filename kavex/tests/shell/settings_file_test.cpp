#include "kavex/shell/settings_file.h"
#include "kavex/formats/replace_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace fs = std::filesystem;

namespace kavex {
namespace {

constexpr const char* kDefaultsText =
    "DATA_DIR=C:\\\n"
    "PROTOCOL=N,N,N\n"
    "COM_STATUS=COM1,9600,8,N,1\n"
    "ADVANCED=400 ,100,10000,Y,Y,Y\n"
    "PRINT=100,1.2,1\n"
    "UPDDLG=Y\n";

TEST(SettingsFormatTest, DefaultsWriteTheSixLinesOfTheExample) {
  EXPECT_EQ(FormatSettings(DefaultSettings("C:\\")), kDefaultsText);
  EXPECT_EQ(ParseSettings(kDefaultsText, "/home/u"), DefaultSettings("C:\\"));
}

TEST(SettingsFormatTest, EveryNonDefaultValueIsWrittenAndReadBack) {
  KavexSettings s = DefaultSettings("/srv/survey data,2016=A");
  s.comm.useAckNak = true;
  s.comm.writeTextFile = true;
  s.comm.useCom2 = true;
  s.comm.rateCode = RateCodeOfBaud(38400);
  s.comm.sevenBits = true;
  s.comm.parityCode = 2;
  s.comm.stopBits = 2;
  s.comm.blockInterval = "150 ";
  s.comm.delayTime = "20 ";
  s.comm.receiveTimeout = "30000";
  s.comm.checkBlockNumber = false;
  s.comm.addEndBlock = false;
  s.print = {"80 ", "1.5", 0};
  s.showUpdateDialog = false;
  const std::string text = FormatSettings(s);
  EXPECT_EQ(text,
            "DATA_DIR=/srv/survey data,2016=A\n"
            "PROTOCOL=A,Y,N\n"
            "COM_STATUS=COM2,38400,7,O,2\n"
            "ADVANCED=150 ,20 ,30000,N,Y,N\n"
            "PRINT=80 ,1.5,0\n"
            "UPDDLG=N\n");
  EXPECT_EQ(ParseSettings(text, "/home/u"), s);
  // The job's coordinate system is the window's to keep; the six lines stay six.
  KavexSettings withCrs = s;
  withCrs.gisCrs = "EPSG:7415";
  EXPECT_EQ(FormatSettings(withCrs), text);
}

TEST(SettingsFormatTest, AFolderNameCannotAddLines) {
  KavexSettings s = DefaultSettings("/data\nUPDDLG=N");
  const std::string text = FormatSettings(s);
  EXPECT_EQ(text.substr(0, text.find("PROTOCOL=")), "DATA_DIR=/data\n");
  EXPECT_TRUE(ParseSettings(text, "/home/u").showUpdateDialog);
}

TEST(SettingsFormatTest, RatesAndParitiesAreWrittenByCode) {
  const struct {
    int baud;
    int parity;
    const char* line;
  } cases[] = {
      {1200, 1, "COM_STATUS=COM1,1200,8,E,1"},   {2400, 0, "COM_STATUS=COM1,2400,8,N,1"},
      {4800, 2, "COM_STATUS=COM1,4800,8,O,1"},   {19200, 0, "COM_STATUS=COM1,19200,8,N,1"},
      {38400, 0, "COM_STATUS=COM1,38400,8,N,1"},
  };
  for (const auto& c : cases) {
    KavexSettings s = DefaultSettings("d");
    s.comm.rateCode = RateCodeOfBaud(c.baud);
    s.comm.parityCode = c.parity;
    EXPECT_NE(FormatSettings(s).find(std::string(c.line) + "\n"), std::string::npos) << c.line;
  }
}

// One line over the defaults; check compares what the line should have changed.
struct LineCase {
  const char* line;
  std::function<void(KavexSettings&)> expect;
};

TEST(SettingsParseTest, EachFieldRule) {
  const LineCase cases[] = {
      {"COM_STATUS=com2,2400,7,e,2",
       [](KavexSettings& s) {
         s.comm.useCom2 = true;
         s.comm.rateCode = RateCodeOfBaud(2400);
         s.comm.sevenBits = true;
         s.comm.parityCode = 1;
         s.comm.stopBits = 2;
       }},
      {"COM_STATUS=Com2", [](KavexSettings& s) { s.comm.useCom2 = true; }},
      {"COM_STATUS=cOM2,1200x,8,o,1",
       [](KavexSettings& s) {
         s.comm.rateCode = RateCodeOfBaud(1200);
         s.comm.parityCode = 2;
       }},
      {"COM_STATUS=COM2 ,4800",
       [](KavexSettings& s) {
         s.comm.useCom2 = true;
         s.comm.rateCode = RateCodeOfBaud(4800);
       }},
      {"COM_STATUS=COM1,192", [](KavexSettings& s) { s.comm.rateCode = RateCodeOfBaud(19200); }},
      {"COM_STATUS=COM1,38400", [](KavexSettings& s) { s.comm.rateCode = RateCodeOfBaud(38400); }},
      {"COM_STATUS=COM1,19,7x,X,3", [](KavexSettings& s) { s.comm.sevenBits = true; }},
      {"ADVANCED=50,5,70000,N,y,n",
       [](KavexSettings& s) {
         s.comm.checkBlockNumber = false;
         s.comm.addEndBlock = false;
       }},
      {"ADVANCED=250", [](KavexSettings& s) { s.comm.blockInterval = "250 "; }},
      {"ADVANCED=999,10,60000,n",
       [](KavexSettings& s) {
         s.comm.blockInterval = "999 ";
         s.comm.delayTime = "10 ";
         s.comm.receiveTimeout = "60000";
         s.comm.checkBlockNumber = false;
       }},
      {"ADVANCED=100,999,1000",
       [](KavexSettings& s) {
         s.comm.blockInterval = "100 ";
         s.comm.delayTime = "999";
         s.comm.receiveTimeout = "1000";
       }},
      {"ADVANCED=1000,9,999,,No", [](KavexSettings& s) { s.comm.checkBlockSum = false; }},
      {"ADVANCED=-300,abc,99999999999999999999", [](KavexSettings&) {}},
      {"ADVANCED=120ms,15.9,2000",
       [](KavexSettings& s) {
         s.comm.blockInterval = "120 ";
         s.comm.delayTime = "15 ";
         s.comm.receiveTimeout = "2000";
       }},
      {"PRINT=300,2.5,7", [](KavexSettings&) {}},
      {"PRINT=80,1.5,0",
       [](KavexSettings& s) {
         s.print = {"80 ", "1.5", 0};
       }},
      {"PRINT=256,1.0,00",
       [](KavexSettings& s) {
         s.print = {"256", "1.0", 0};
       }},
      {"PRINT=1,2",
       [](KavexSettings& s) {
         s.print = {"1  ", "2.0", 1};
       }},
      {"PRINT=0,0.99,x", [](KavexSettings&) {}},
      {"PRINT=,,", [](KavexSettings&) {}},
      {"UPDDLG=y", [](KavexSettings& s) { s.showUpdateDialog = false; }},
      {"UPDDLG=N", [](KavexSettings& s) { s.showUpdateDialog = false; }},
      {"UPDDLG=", [](KavexSettings& s) { s.showUpdateDialog = false; }},
      {"UPDDLG=Yes", [](KavexSettings&) {}},
      {"PROTOCOL=a,y,Y",
       [](KavexSettings& s) {
         s.comm.useAckNak = true;
         s.comm.writeTextFile = true;
         s.comm.readTextFile = true;
       }},
      {"PROTOCOL=A", [](KavexSettings& s) { s.comm.useAckNak = true; }},
      {"PROTOCOL=x,N,yes", [](KavexSettings& s) { s.comm.readTextFile = true; }},
      {"DATA_DIR=D:\\a=b,c ", [](KavexSettings& s) { s.dataDir = "D:\\a=b,c "; }},
      {"DATA_DIR=", [](KavexSettings& s) { s.dataDir = ""; }},
      // Keys are exact and must start the line.
      {"data_dir=/x", [](KavexSettings&) {}},
      {" UPDDLG=N", [](KavexSettings&) {}},
      {"UPDDLG N", [](KavexSettings&) {}},
      {"PRINTER=1,1.5,0", [](KavexSettings&) {}},
      {"GIS_CRS=EPSG:28992+5709", [](KavexSettings&) {}},
  };
  for (const auto& c : cases) {
    KavexSettings expected = DefaultSettings("/home/u");
    c.expect(expected);
    EXPECT_EQ(ParseSettings(c.line, "/home/u"), expected) << c.line;
  }
}

TEST(SettingsParseTest, AnyOrderMissingLinesAndTheLastOfTwoLines) {
  const KavexSettings s = ParseSettings(
      "UPDDLG=N\r\n"
      "junk line\n"
      "PRINT=50,1.1,0\r\n"
      "PRINT=60,1.1,0\n"
      "DATA_DIR=/data\r",
      "/home/u");
  KavexSettings expected = DefaultSettings("/data");
  expected.showUpdateDialog = false;
  expected.print = {"60 ", "1.1", 0};
  EXPECT_EQ(s, expected);
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kavex_settings_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    paths = {dir / "Kavex.ini", dir / "Kavex.ibk"};
  }
  void TearDown() override { fs::remove_all(dir); }

  static std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void WriteBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  }

  fs::path dir;
  SettingsPaths paths;
};

TEST_F(SettingsFileTest, MissingOrUnreadableFileGivesDefaults) {
  EXPECT_EQ(ReadSettings(paths, "/home/u"), DefaultSettings("/home/u"));
  fs::create_directories(paths.settingsFile);  // a folder where the file should be
  EXPECT_EQ(ReadSettings(paths, "/home/u"), DefaultSettings("/home/u"));
}

TEST_F(SettingsFileTest, GarbageIsSurvived) {
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes.push_back(static_cast<char>((i * 7919) % 256));
  WriteBytes(paths.settingsFile, bytes + "\nPRINT=\0" + std::string(3, '\xff'));
  const KavexSettings s = ReadSettings(paths, "/home/u");
  EXPECT_EQ(s.print, PrintSettings{});
}

TEST_F(SettingsFileTest, WriteUsesCrLfAndKeepsThePreviousFileAsBackup) {
  WriteBytes(paths.backupFile, "oldest");
  WriteBytes(paths.settingsFile, "previous");
  KavexSettings s = DefaultSettings(std::string(600, 'd'));
  ASSERT_TRUE(WriteSettings(paths, s));
  EXPECT_EQ(ReadBytes(paths.backupFile), "previous");
  const std::string disk = ReadBytes(paths.settingsFile);
  EXPECT_EQ(disk.substr(0, 9 + 600 + 2), "DATA_DIR=" + std::string(600, 'd') + "\r\n");
  EXPECT_EQ(disk.substr(9 + 600 + 2),
            "PROTOCOL=N,N,N\r\nCOM_STATUS=COM1,9600,8,N,1\r\nADVANCED=400 ,100,10000,Y,Y,Y\r\n"
            "PRINT=100,1.2,1\r\nUPDDLG=Y\r\n");
  EXPECT_EQ(ReadSettings(paths, "/home/u"), s);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

TEST_F(SettingsFileTest, FirstWriteCreatesTheFolder) {
  paths = {dir / "a" / "b" / "Kavex.ini", dir / "a" / "b" / "Kavex.ibk"};
  ASSERT_TRUE(WriteSettings(paths, DefaultSettings("/home/u")));
  EXPECT_FALSE(fs::exists(paths.backupFile));
  EXPECT_EQ(ReadSettings(paths, "/x"), DefaultSettings("/home/u"));
}

TEST_F(SettingsFileTest, FailedWriteLeavesTheSettingsFileInPlace) {
  WriteBytes(paths.settingsFile, "UPDDLG=N\r\n");
  WriteBytes(paths.backupFile, "older");
  // The new file cannot be written where it is written first.
  SetReplaceStepHook(
      [](ReplaceStep step, const fs::path&) { return step == ReplaceStep::Write ? ENOSPC : 0; });
  EXPECT_FALSE(WriteSettings(paths, DefaultSettings("/home/u")));
  SetReplaceStepHook({});
  EXPECT_EQ(ReadBytes(paths.settingsFile), "UPDDLG=N\r\n");
  EXPECT_EQ(ReadBytes(paths.backupFile), "older");
}

}  // namespace
}  // namespace kavex
