#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

#include "ulvo/shell/translations.h"

namespace ulvo {
namespace {

const std::string kHead = "TRANSLATIONS FILE ULVO\r\nVERSION 1.0\r\n";

struct Case {
  const char* name;
  std::string file;
  const char* key;
  const char* expected;  // nullptr: the key is not defined
};

TEST(TranslationsTest, FileRules) {
  const Case cases[] = {
      {"spaced equals, lower case", kHead + "dt_title = \"Titel\"\r\n", "DT_TITLE", "Titel"},
      {"equals without blanks", kHead + "MNU_FILE=\"&Bestand\"\r\n", "MNU_FILE", "&Bestand"},
      {"blank only", kHead + "MNU_FILE \"&Bestand\"\n", "MNU_FILE", "&Bestand"},
      {"leading blanks", kHead + "   \tMNU_VIEW = \"Beeld\"", "MNU_VIEW", "Beeld"},
      {"lookup in any case", kHead + "MNU_VIEW = \"Beeld\"", "mnu_view", "Beeld"},
      {"line feed escape", kHead + "MSG_A = \"one\\ntwo\"", "MSG_A", "one\ntwo"},
      {"first to last quote", kHead + "MSG_A = \"say \"hi\" now\" ; note", "MSG_A",
       "say \"hi\" now"},
      {"empty value", kHead + "MSG_A = \"\"", "MSG_A", ""},
      {"later line wins", kHead + "MSG_A = \"one\"\nMSG_A = \"two\"", "MSG_A", "two"},
      {"comment with quotes", kHead + "; MSG_A = \"one\"", "MSG_A", nullptr},
      {"indented comment", kHead + "  ; MSG_A = \"one\"", "MSG_A", nullptr},
      {"single quote mark", kHead + "MSG_A = \"one", "MSG_A", nullptr},
      {"no key", kHead + "= \"one\"", "", nullptr},
      {"second line wrong", "TRANSLATIONS FILE ULVO\nVERSION 2.0\nMSG_A = \"one\"", "MSG_A",
       nullptr},
      {"first line wrong", "TRANSLATION FILE ULVO\nVERSION 1.0\nMSG_A = \"one\"", "MSG_A", nullptr},
      {"header inside longer lines", "; TRANSLATIONS FILE ULVO (nl)\n; VERSION 1.0\nMSG_A = \"x\"",
       "MSG_A", "x"},
      {"Latin-1 bytes", kHead + "MSG_A = \"Ge\xEBxporteerd\"", "MSG_A", "Ge\xC3\xABxporteerd"},
      {"UTF-8 kept", kHead + "MSG_A = \"Ge\xC3\xABxporteerd\"", "MSG_A", "Ge\xC3\xABxporteerd"},
      {"UTF-8 kept beside a Latin-1 line",
       kHead + "MSG_B = \"Ge\xEBxporteerd\"\nMSG_A = \"Ge\xC3\xABxporteerd\"", "MSG_A",
       "Ge\xC3\xABxporteerd"},
  };
  for (const Case& c : cases) {
    Translations texts;
    texts.Parse(c.file);
    const auto found = texts.Find(c.key);
    if (c.expected) {
      ASSERT_TRUE(found.has_value()) << c.name;
      EXPECT_EQ(*found, c.expected) << c.name;
    } else {
      EXPECT_FALSE(found.has_value()) << c.name;
    }
  }
}

TEST(TranslationsTest, IgnoredFileLeavesDefaults) {
  Translations texts;
  texts.Parse(kHead + "MSG_A = \"one\"");
  EXPECT_EQ(texts.Count(), 1u);
  EXPECT_FALSE(texts.Parse("TRANSLATIONS FILE ULVO\nVERSION 1.1\nMSG_A = \"one\""));
  EXPECT_EQ(texts.Count(), 0u);
  EXPECT_EQ(texts.Text("MSG_A", "default"), "default");
  EXPECT_FALSE(texts.Load("/nonexistent/ulvo.tft"));
  EXPECT_FALSE(texts.Parse(""));
}

TEST(TranslationsTest, OversizedFileIsNotRead) {
  const auto path = std::filesystem::path(testing::TempDir()) / "big.tft";
  {
    std::ofstream out(path, std::ios::binary);
    out << kHead << "MSG_A = \"one\"\n";
    out << std::string(kMaxTranslationsFileSize, ';');
  }
  Translations texts;
  EXPECT_FALSE(texts.Load(path));
  EXPECT_EQ(texts.Count(), 0u);
  std::filesystem::remove(path);
}

TEST(TranslationsTest, EngineTextsAndMessages) {
  Translations texts;
  texts.Parse(kHead + "EMSG_NORESPONSE = \"Geen antwoord\"\nIDS_FORMAT_LOAD_ERR = \"Fout: %s.\"");
  EXPECT_EQ(texts.Text(*TransferErrorText(12)), "Geen antwoord");
  EXPECT_EQ(texts.Text(*TransferStatusText(10)), "Transfer succesful");
  EXPECT_EQ(texts.Text(Message{kFormatLoadErr, "a.xml"}), "Fout: a.xml.");
  EXPECT_EQ(texts.Text(Message{kCnvTitle, "a.xml"}), "Convert");
}

TEST(TranslationsTest, SoftwareHandshakeNames) {
  Translations none;
  Translations dutch;
  dutch.Parse(kHead + "GT_HSACKNAK2 = \"ACK NAK 2\"");
  const struct {
    uint32_t bit;
    const char* plain;
    const char* translated;
  } cases[] = {
      {0, "", ""},           {1, "XON XOFF", "XON XOFF"},  {2, "ACK NAK", "ACK NAK"},
      {3, "", ""},           {4, "ACK NAK2", "ACK NAK 2"}, {8, "", ""},
      {0x80000000u, "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SoftwareHandshakeName(none, c.bit), c.plain) << c.bit;
    EXPECT_EQ(SoftwareHandshakeName(dutch, c.bit), c.translated) << c.bit;
  }
}

TEST(TranslationsTest, LanguageFromTheEntryOrTheFileName) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(testing::TempDir()) / "ulvo_language";
  struct LanguageCase {
    const char* entry;  // the LANGUAGE line, or nullptr
    const char* file;
    const char* linkTo;  // "ulvo.tft" is a link to this file, or nullptr
    const char* expected;
  };
  const LanguageCase cases[] = {
      {"LANGUAGE = \"nl\"", "ulvo.tft", nullptr, "nl"},
      {"language = \"pt-br\"", "ulvo.tft", nullptr, "pt_BR"},
      {"LANGUAGE = \"Dutch\"", "ulvo-de.tft", nullptr, "de"},
      {"LANGUAGE = \"nl_\"", "ulvo.tft", nullptr, ""},
      {nullptr, "ulvo-NL.tft", nullptr, "nl"},
      {nullptr, "ulvo.tft", nullptr, ""},
      {nullptr, "ulvo-.tft", nullptr, ""},
      {nullptr, "ulvo.tft", "ulvo-fr.tft", "fr"},
  };
  for (const LanguageCase& c : cases) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path written = dir / (c.linkTo ? c.linkTo : c.file);
    std::ofstream(written) << kHead << (c.entry ? c.entry : "") << "\n";
    if (c.linkTo) fs::create_symlink(written, dir / c.file);
    Translations texts;
    ASSERT_TRUE(texts.Load(dir / c.file));
    EXPECT_EQ(TranslationsLanguage(texts, dir / c.file), c.expected)
        << (c.entry ? c.entry : "") << " " << c.file;
  }
  fs::remove_all(dir);
}

TEST(TranslationsTest, ShippedDutchFileCoversTheEngineTexts) {
  Translations dutch;
  ASSERT_TRUE(dutch.Load(std::filesystem::path(ULVO_SHIPPED_DATA_DIR) / "ulvo-nl.tft"));
  for (uint32_t code = 0; code < kTransferErrorCount; ++code) {
    EXPECT_TRUE(dutch.Find(TransferErrorText(code)->key)) << TransferErrorText(code)->key;
  }
  for (uint32_t code = 0; code < kTransferStatusCount; ++code) {
    EXPECT_TRUE(dutch.Find(TransferStatusText(code)->key)) << TransferStatusText(code)->key;
  }
  for (const TextId& id :
       {kFormatLoadErr, kAlreadyExistsMsg, kCnvSuccessMsg, kCnvErrorMsg, kCnvTitle}) {
    EXPECT_TRUE(dutch.Find(id.key)) << id.key;
  }
  EXPECT_EQ(dutch.Text(*TransferStatusText(10)), "Overdracht geslaagd");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(ULVO_SHIPPED_DATA_DIR) / "ulvo.tft"));
}

// The engine's tables above are not all the program asks for: the windows look their texts
// up by key where they build them. Every key in the program's sources is taken, except the
// names given to controls (setObjectName, the New... helpers that build a named control, and
// the tables that pair a name with a control id).
std::set<std::string> KeysInSources(const std::filesystem::path& folder) {
  static const std::regex kKey(R"re("((?:AB|DM|DT|EMS|EMSG|GT|IDC|IDS|MNU|MSG|TP)_[A-Z0-9_]+)")re");
  static const std::regex kControlName(
      R"re((?:setObjectName\((?:QStringLiteral\()?|New[A-Za-z]*\([A-Za-z_]+, )$)re");
  static const std::regex kIdPair(R"re(^\s*,\s*[0-9])re");
  std::set<std::string> keys;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    const std::filesystem::path& path = entry.path();
    const std::string ext = path.extension().string();
    if (*std::filesystem::relative(path, folder).begin() == "tests" ||
        (ext != ".cpp" && ext != ".h" && ext != ".in"))
      continue;
    std::ifstream in(path, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    for (std::sregex_iterator m(text.begin(), text.end(), kKey), end; m != end; ++m) {
      const size_t at = static_cast<size_t>(m->position());
      const std::string before = text.substr(at >= 40 ? at - 40 : 0, at >= 40 ? 40 : at);
      const std::string after = text.substr(at + static_cast<size_t>(m->length()), 8);
      if (std::regex_search(before, kControlName) || std::regex_search(after, kIdPair)) continue;
      keys.insert((*m)[1]);
    }
  }
  return keys;
}

TEST(TranslationsTest, ShippedDutchFileHoldsEveryKeyTheProgramAsksFor) {
  Translations dutch;
  ASSERT_TRUE(dutch.Load(std::filesystem::path(ULVO_SHIPPED_DATA_DIR) / "ulvo-nl.tft"));
  const std::set<std::string> keys = KeysInSources(ULVO_SOURCE_DIR);
  // The scan finds the keys at all: these stand in three different kinds of table.
  for (const char* known : {"IDS_CNV_TITLE", "DT_BTNNEXT", "MNU_FILE", "IDC_CNV_CONVERT_BTN"})
    EXPECT_TRUE(keys.count(known)) << known;
  EXPECT_FALSE(keys.count("IDC_DESIGN_FORMAT_LIST")) << "a control name";
  std::string missing;
  for (const std::string& key : keys)
    if (!dutch.Find(key)) missing += key + "\n";
  EXPECT_EQ(missing, "");
}

}  // namespace
}  // namespace ulvo
