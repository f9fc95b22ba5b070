#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ulvo/shell/application.h"
#include "ulvo/shell/help_pages.h"

namespace fs = std::filesystem;

namespace ulvo {
namespace {

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

class ApplicationTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        fs::path(testing::TempDir()) /
        ("ulvo_app_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "IIF");
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path folder_;
  MemoryProfileStore profile_;
};

TEST_F(ApplicationTest, StartWithoutSettingsCreatesThemAndExitWritesThem) {
  CDunmarkApp app;
  app.Start(folder_, &profile_);
  EXPECT_FALSE(app.Settings().WasReadable());
  EXPECT_TRUE(app.Settings().Root());
  EXPECT_TRUE(app.Instruments().empty());
  EXPECT_FALSE(fs::exists(folder_ / "Settings.xml"));
  app.Settings().Root().append_child("conversion");
  ASSERT_TRUE(app.Exit());
  EXPECT_EQ(
      ReadAll(folder_ / "Settings.xml"),
      "<?xml version=\"1.0\"?>\r\n<!--ULVO Settings-->\r\n<settings><conversion/></settings>\r\n");
}

TEST_F(ApplicationTest, SettingsAreReadAndWrittenBackUnchanged) {
  const std::string kept =
      "<?xml version=\"1.0\"?>\r\n<!--ULVO Settings-->\r\n<settings><conversion><types><type "
      "id=\"A\" name=\"x y\"/></types></conversion></settings>\r\n";
  WriteAll(folder_ / "Settings.xml", kept);
  CDunmarkApp app;
  app.Start(folder_, &profile_);
  EXPECT_TRUE(app.Settings().WasReadable());
  EXPECT_STREQ(app.Settings()
                   .Root()
                   .child("conversion")
                   .child("types")
                   .child("type")
                   .attribute("name")
                   .value(),
               "x y");
  ASSERT_TRUE(app.Exit());
  EXPECT_EQ(ReadAll(folder_ / "Settings.xml"), kept);
}

TEST_F(ApplicationTest, UnreadableSettingsAreReplacedAndKeptAside) {
  for (const std::string& bad :
       {std::string("<settings><conv"), std::string("<other/>"), std::string("\0\xff", 2)}) {
    WriteAll(folder_ / "Settings.xml", bad);
    fs::remove(folder_ / "Settings.xml.bad");
    CDunmarkApp app;
    app.Start(folder_, &profile_);
    EXPECT_FALSE(app.Settings().WasReadable());
    ASSERT_TRUE(app.Exit());
    EXPECT_EQ(ReadAll(folder_ / "Settings.xml.bad"), bad);
    EXPECT_EQ(ReadAll(folder_ / "Settings.xml"),
              "<?xml version=\"1.0\"?>\r\n<!--ULVO Settings-->\r\n<settings/>\r\n");
  }
}

TEST_F(ApplicationTest, FailedWriteKeepsTheOldFile) {
  CDunmarkApp app;
  app.Start(folder_ / "missing", &profile_);
  EXPECT_FALSE(app.Exit());
  EXPECT_FALSE(fs::exists(folder_ / "missing"));
}

TEST_F(ApplicationTest, InstrumentsInListingOrderWithFailuresSkipped) {
  const fs::path fixture = fs::path(ULVO_TEST_DATA_DIR) / "IIF" / "fixture.IIF";
  fs::copy_file(fixture, folder_ / "IIF" / "Z1.IIF");
  fs::copy_file(fixture, folder_ / "IIF" / "A1.iif");
  WriteAll(folder_ / "IIF" / "M1.IIF", "[HEADER]\nVERSION=1\n");
  WriteAll(folder_ / "IIF" / "B1.IIF", std::string(300, '\xff'));
  WriteAll(folder_ / "IIF" / "notes.txt", "not an instrument");
  CDunmarkApp app;
  app.Start(folder_, &profile_);
  ASSERT_EQ(app.Instruments().size(), 2u);
  EXPECT_EQ(app.Instruments()[0].Path().filename(), "A1.iif");
  EXPECT_EQ(app.Instruments()[1].Path().filename(), "Z1.IIF");
}

TEST_F(ApplicationTest, ShippedFolderStartsWithEverything) {
  const fs::path shipped = ULVO_SHIPPED_DATA_DIR;
  CDunmarkApp app;
  app.Start(shipped, &profile_);
  EXPECT_EQ(app.Instruments().size(), 3u);
  EXPECT_GE(app.Formats().Count(), 3u);
  EXPECT_TRUE(app.Settings().WasReadable());
  ASSERT_TRUE(app.LoadTranslations() || !fs::exists(shipped / "ulvo.tft"));
  ASSERT_EQ(app.DocumentTypes().size(), 5u);
  const char* names[] = {"Transfer", "Help", "Convert", "Merge", "Design"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_STREQ(app.DocumentTypes()[static_cast<size_t>(i)].name, names[i]);
    EXPECT_EQ(app.DocumentTypes()[static_cast<size_t>(i)].resource, 402 + i);
  }
}

TEST_F(ApplicationTest, TranslationsComeFromTheProgramFolder) {
  WriteAll(folder_ / "ulvo.tft", "TRANSLATIONS FILE ULVO\nVERSION 1.0\nMNU_FILE = \"&Bestand\"\n");
  CDunmarkApp app;
  app.Start(folder_, &profile_);
  EXPECT_EQ(app.Texts().Count(), 0u);
  EXPECT_TRUE(app.LoadTranslations());
  EXPECT_EQ(app.Texts().Text("MNU_FILE", "&File"), "&Bestand");
}

TEST(StartOptionsTest, SplashUnlessAsked) {
  EXPECT_TRUE(ParseStartOptions({}).showSplash);
  EXPECT_TRUE(ParseStartOptions({"--nosplashx"}).showSplash);
  EXPECT_FALSE(ParseStartOptions({"--nosplash"}).showSplash);
}

TEST(HelpPagesTest, PageNames) {
  EXPECT_EQ(HelpPageName(1701), "H0001701.htm");
  EXPECT_EQ(HelpPageName(0), "H0000000.htm");
  EXPECT_EQ(HelpPageName(9999999), "H9999999.htm");
  EXPECT_EQ(HelpPageName(12345678), "H12345678.htm");
  EXPECT_EQ(HelpIndexPath("/p"), fs::path("/p/help/ulvo.htm"));
}

}  // namespace
}  // namespace ulvo
