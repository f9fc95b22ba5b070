#include <gtest/gtest.h>

#include "ulvo/convert/convert_settings.h"
#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

using test::TempDir;
using test::WriteBytes;

std::string Xml(const pugi::xml_node node) {
  std::ostringstream out;
  node.print(out, "", pugi::format_raw);
  return out.str();
}

TEST(ConvertSettings, MissingNodesReadEmptyAndAreCreatedOnWrite) {
  pugi::xml_document doc;
  pugi::xml_node settings = doc.append_child("settings");
  EXPECT_EQ(ReadEditorCommand(settings), "");
  const ConvertSelections none = ReadConvertSelections(settings);
  EXPECT_EQ(none.from.typeId, "");
  EXPECT_EQ(none.to.filePath, "");

  WriteConvertSelections(settings, {{"T1", "Fmt A", "/data/in.txt"}, {"", "", ""}});
  EXPECT_EQ(Xml(settings),
            "<settings><conversion><dialog>"
            "<from><type id=\"T1\"/><format name=\"Fmt A\"/><file name=\"/data/in.txt\"/></from>"
            "<to><type id=\"\"/><format name=\"\"/><file name=\"\"/></to>"
            "</dialog></conversion></settings>");
  const ConvertSelections read = ReadConvertSelections(settings);
  EXPECT_EQ(read.from.formatName, "Fmt A");
  EXPECT_EQ(read.from.filePath, "/data/in.txt");
}

TEST(ConvertSettings, ConversionSourceTakesTheTypeOfTheFormat) {
  TempDir dir;
  std::filesystem::create_directories(dir / "Formats");
  WriteBytes(dir / "Formats" / "a.xml", R"(<format name="Rx" type="ITF00"/>)");
  FormatList formats;
  formats.Refresh(dir.Path());

  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(
      R"(<settings><conversion><xmleditor name="/usr/bin/xed"/><dialog><from><type id="OLD"/>)"
      R"(<format name="Old"/><file name="old.txt"/></from></dialog></conversion></settings>)"));
  pugi::xml_node settings = doc.child("settings");
  EXPECT_EQ(ReadEditorCommand(settings), "/usr/bin/xed");
  EXPECT_TRUE(SetConversionSource(settings, formats, "Rx", "/tmp/rx.itf"));
  ConvertSelections read = ReadConvertSelections(settings);
  EXPECT_EQ(read.from.typeId, "ITF00");
  EXPECT_EQ(read.from.formatName, "Rx");
  EXPECT_EQ(read.from.filePath, "/tmp/rx.itf");

  EXPECT_TRUE(SetConversionSource(settings, formats, "Unknown", "f"));
  EXPECT_EQ(ReadConvertSelections(settings).from.typeId, "");
}

TEST(ConvertSettings, FormatsOfATypeSortedWithoutCase) {
  TempDir dir;
  std::filesystem::create_directories(dir / "Formats");
  WriteBytes(dir / "Formats" / "1.xml", R"(<format name="beta" type="P"/>)");
  WriteBytes(dir / "Formats" / "2.xml", R"(<format name="Alpha" type="P"/>)");
  WriteBytes(dir / "Formats" / "3.xml", R"(<format name="Gamma" type="Q"/>)");
  WriteBytes(dir / "Formats" / "4.xml", R"(<format name="Untyped"/>)");
  FormatList formats;
  formats.Refresh(dir.Path());
  EXPECT_EQ(FormatNamesOfType(formats, "P"), (std::vector<std::string>{"Alpha", "beta"}));
  EXPECT_EQ(FormatNamesOfType(formats, ""), (std::vector<std::string>{"Untyped"}));
  EXPECT_TRUE(FormatNamesOfType(formats, "p").empty());
}

}  // namespace
}  // namespace ulvo
