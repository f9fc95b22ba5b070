#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
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

// The lists of the settings shipped with the program.
size_t TypeCount(CDunmarkApp& app) {
  const auto types = app.Settings().Root().child("conversion").child("types");
  return static_cast<size_t>(
      std::distance(types.children("type").begin(), types.children("type").end()));
}

TEST_F(ApplicationTest, StartWithoutSettingsTakesTheShippedOnesAndExitWritesThem) {
  CDunmarkApp app;
  app.Start(folder_, &profile_);
  EXPECT_FALSE(app.Settings().WasReadable());
  EXPECT_EQ(app.Settings().Problem(), "");  // nothing to tell: there was no file
  EXPECT_TRUE(app.Settings().Root());
  EXPECT_EQ(TypeCount(app), 2u);
  EXPECT_TRUE(app.Instruments().empty());
  EXPECT_FALSE(fs::exists(folder_ / "Settings.xml"));
  ASSERT_TRUE(app.Exit());
  CDunmarkApp again;
  again.Start(folder_, &profile_);
  EXPECT_TRUE(again.Settings().WasReadable());
  EXPECT_EQ(TypeCount(again), 2u);
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

// An unreadable file is moved aside at start, never over an earlier one, and the program
// runs with the shipped lists instead of empty ones.
TEST_F(ApplicationTest, UnreadableSettingsAreSetAsideAndTheShippedOnesTaken) {
  const struct {
    std::string bytes;
    std::string problem;
    const char* keptAs;
  } cases[] = {
      {"<settings>\r\n<conv",
       "it is not an XML document (Error parsing start element tag at line 2)", "Settings.xml.bad"},
      {"<other/>", "its root element is <other>, not <settings>", "Settings.xml.2.bad"},
      {std::string("\0\xff", 2), "it is not an XML document (No document element found at line 1)",
       "Settings.xml.3.bad"},
      {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><settings/>",
       "it declares the encoding \"Shift_JIS\", which ULVO cannot read", "Settings.xml.4.bad"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keptAs);
    WriteAll(folder_ / "Settings.xml", c.bytes);
    CDunmarkApp app;
    app.Start(folder_, &profile_);
    EXPECT_FALSE(app.Settings().WasReadable());
    EXPECT_EQ(app.Settings().Problem(), c.problem);
    EXPECT_EQ(app.Settings().SetAsidePath(), folder_ / c.keptAs);
    EXPECT_EQ(ReadAll(folder_ / c.keptAs), c.bytes);
    EXPECT_FALSE(fs::exists(folder_ / "Settings.xml"));
    EXPECT_EQ(TypeCount(app), 2u);
    ASSERT_TRUE(app.Exit());
    EXPECT_NE(ReadAll(folder_ / "Settings.xml").find("<type id=\"POINTS\""), std::string::npos);
  }
  EXPECT_EQ(ReadAll(folder_ / "Settings.xml.bad"), "<settings>\r\n<conv");
}

// A file in another encoding than UTF-8 is read in the encoding it declares and written back
// in it, byte for byte, however often the program starts and ends.
TEST_F(ApplicationTest, SettingsKeepTheirEncoding) {
  using namespace std::string_literals;
  const auto body = [](const std::string& name) {
    return "<!--ULVO Settings-->\r\n<settings><conversion><elements><element id=\"Z\" name=\"" +
           name + "\"/></elements></conversion></settings>\r\n";
  };
  const auto utf16le = [](const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
  };
  const struct {
    const char* name;
    std::string bytes;
    const char* shown;  // the element's name as the program sees it (UTF-8)
    SettingsEncoding encoding;
  } cases[] = {
      {"Latin-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n" + body("H\xF6he"),
       "H\xC3\xB6he", SettingsEncoding::kLatin1},
      {"Latin-1 by another name", "<?xml version=\"1.0\" encoding=\"latin1\"?>\r\n" + body("\xF6"),
       "\xC3\xB6", SettingsEncoding::kLatin1},
      {"windows-1252", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n" + body("\x80 \xF6"),
       "\xE2\x82\xAC \xC3\xB6", SettingsEncoding::kWindows1252},
      {"UTF-8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" + body("H\xC3\xB6he"),
       "H\xC3\xB6he", SettingsEncoding::kUtf8},
      {"UTF-8 with its mark", "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n" + body("\xC3\xB6"),
       "\xC3\xB6", SettingsEncoding::kUtf8},
      {"UTF-16", utf16le("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n" + body("Hohe")), "Hohe",
       SettingsEncoding::kUtf16Le},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteAll(folder_ / "Settings.xml", c.bytes);
    for (int run = 0; run < 3; ++run) {
      CDunmarkApp app;
      app.Start(folder_, &profile_);
      ASSERT_TRUE(app.Settings().WasReadable());
      EXPECT_EQ(app.Settings().Encoding(), c.encoding);
      EXPECT_STREQ(app.Settings()
                       .Root()
                       .child("conversion")
                       .child("elements")
                       .child("element")
                       .attribute("name")
                       .value(),
                   c.shown);
      ASSERT_TRUE(app.Exit());
      EXPECT_EQ(ReadAll(folder_ / "Settings.xml"), c.bytes);
    }
  }
}

TEST_F(ApplicationTest, SettingsDeclarationAlwaysNamesTheBytes) {
  // A character Latin-1 has no byte for: the file becomes UTF-8 and says so.
  WriteAll(folder_ / "Settings.xml",
           "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<settings a=\"\xF6\"/>\r\n");
  {
    CDunmarkApp app;
    app.Start(folder_, &profile_);
    app.Settings().Root().append_attribute("b") = "\xCE\xA9";  // Greek capital omega
    ASSERT_TRUE(app.Exit());
  }
  EXPECT_EQ(ReadAll(folder_ / "Settings.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "<settings a=\"\xC3\xB6\" b=\"\xCE\xA9\"/>\r\n");

  // A file an earlier version wrote in UTF-8 under another declaration is read as UTF-8 and
  // the declaration put right.
  WriteAll(folder_ / "Settings.xml",
           "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<settings a=\"\xC3\xB6\"/>\r\n");
  {
    CDunmarkApp app;
    app.Start(folder_, &profile_);
    EXPECT_STREQ(app.Settings().Root().attribute("a").value(), "\xC3\xB6");
    ASSERT_TRUE(app.Exit());
  }
  EXPECT_EQ(ReadAll(folder_ / "Settings.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<settings a=\"\xC3\xB6\"/>\r\n");
}

TEST_F(ApplicationTest, OversizedSettingsAreNotRead) {
  WriteAll(folder_ / "Settings.xml", "<?xml version=\"1.0\"?>\n<settings/>");
  fs::resize_file(folder_ / "Settings.xml", kMaxSettingsFileSize + 1);  // sparse: no disk used
  SettingsDocument settings;
  EXPECT_FALSE(settings.Load(folder_ / "Settings.xml"));
  fs::resize_file(folder_ / "Settings.xml", 40);
  EXPECT_TRUE(settings.Load(folder_ / "Settings.xml"));
}

TEST_F(ApplicationTest, ExitIntoAMissingFolderFails) {
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
