// Settings.xml that a fuzz run found written back in a form that no longer loads: each loads,
// saves and loads again as the same document.
#include "ulvo/shell/settings_document.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "ulvo/engine/data_document.h"

namespace ulvo {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string Utf16Le(const std::string& ascii) {
  std::string out;
  for (const char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

std::string Utf32Be(const std::string& ascii) {
  std::string out;
  for (const char c : ascii) out += "\0\0\0"s + c;
  return out;
}

std::string Text(const pugi::xml_document& document) {
  std::ostringstream s;
  WriteDocument(document, s);
  return s.str();
}

class SettingsDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file = fs::temp_directory_path() / ("ulvo_settings_" + std::to_string(getpid()) + ".xml");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove(file, ec);
  }
  void Write(const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }
  std::string Read() const {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  fs::path file;
};

TEST_F(SettingsDocumentTest, WhatIsWrittenLoadsAgainAsTheSameDocument) {
  const struct {
    const char* what;
    std::string bytes;
    std::string name;  // the attribute name="..." of <type> once loaded, as UTF-8
  } cases[] = {
      // A UTF-32 unit above U+10FFFF is no character: it reads as U+FFFD (EF BF BD), never as
      // U+0000 or as markup.
      {"UTF-32 unit beyond Unicode",
       Utf32Be("<settings><type name=\"a") + "\x00\x11\x00\x3C"s + Utf32Be("b\"/></settings>"),
       "a\xEF\xBF\xBD"
       "b"},
      {"lone UTF-16 surrogate",
       Utf16Le("<settings><type name=\"a") + "\x00\xD8"s + Utf16Le("\"/></settings>"),
       "a\xEF\xBF\xBD"},
      // Only the declaration's own pseudo-attribute names the encoding.
      {"\"encoding\" in another attribute",
       "<?xml version=\"1.0\" standalone=\"yes\"?><settings note=\"encoding='latin1'\"><type "
       "name=\"\xC3\xA9\"/></settings>",
       "\xC3\xA9"},
      {"\"encoding\" without a declaration",
       "<settings encoding=\"windows-1252\"><type name=\"\xC3\xA9\"/></settings>", "\xC3\xA9"},
      {"declared encoding read as declared",
       "<?xml version='1.0'\tencoding = 'ISO-8859-1'?><settings><type name=\"\xE9\"/></settings>",
       "\xC3\xA9"},
      // Found by a fuzz run: the XML parser stops taking the declaration's attributes at the
      // "/" and so never sees its encoding; written back it must still name it.
      {"declaration the XML parser takes only in part",
       "<?xml a=\"\xE9\"/>version=\"1.0\" encoding=\"ISO-8859-1\"?><settings><type "
       "name=\"\xE9\"/></settings>",
       "\xC3\xA9"},
      // UTF-16 without a byte order mark that begins with a processing instruction keeps it.
      {"UTF-16 without mark, processing instruction first",
       Utf16Le("<?ulvo keep?><settings><type name=\"pi\"/></settings>"), "pi"},
      {"UTF-16 without mark, comment first",
       Utf16Le("<!--c--><settings><type name=\"c\"/></settings>"), "c"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Write(c.bytes);
    SettingsDocument first;
    ASSERT_TRUE(first.Load(file)) << first.Problem();
    EXPECT_EQ(std::string(first.Root().child("type").attribute("name").value()), c.name);
    ASSERT_TRUE(first.Save(file));
    SettingsDocument second;
    ASSERT_TRUE(second.Load(file)) << second.Problem();
    EXPECT_EQ(Text(second.Document()), Text(first.Document()));
  }
}

TEST_F(SettingsDocumentTest, AProcessingInstructionAtTheStartIsWrittenBack) {
  Write(Utf16Le("<?ulvo keep?><settings/>"));
  SettingsDocument document;
  ASSERT_TRUE(document.Load(file));
  ASSERT_TRUE(document.Save(file));
  EXPECT_EQ(Read().substr(0, 26), Utf16Le("<?ulvo keep?>"));
}

}  // namespace
}  // namespace ulvo
