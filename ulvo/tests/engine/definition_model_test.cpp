#include <gtest/gtest.h>

#include "ulvo/engine/definition_model.h"
#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

std::string Xml(pugi::xml_node node) {
  std::ostringstream out;
  node.print(out, "", pugi::format_raw);
  return out.str();
}

struct RewriteCase {
  const char* name;
  const char* group;      // the group element as read
  const char* rewritten;  // the group element after a rewrite
};

class GroupRewrite : public testing::TestWithParam<RewriteCase> {};

TEST_P(GroupRewrite, WritesTheItemsBack) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(GetParam().group));
  GroupDefinition group(doc.first_child());
  group.Rewrite();
  EXPECT_EQ(Xml(doc.first_child()), GetParam().rewritten);
}

INSTANTIATE_TEST_SUITE_P(
    Items, GroupRewrite,
    testing::Values(
        RewriteCase{
            "TerminatedPairKeepsItsForm",
            R"(<group id="G"><terminated><element id="X"/><literal>;</literal></terminated></group>)",
            R"(<group id="G"><terminated><element id="X"/><literal>;</literal></terminated></group>)"},
        RewriteCase{"FixedWidthElementThenLiteralStaySeparate",
                    R"(<group><element id="X" width="4"/><literal>;</literal></group>)",
                    R"(<group><element id="X" width="4"/><literal>;</literal></group>)"},
        RewriteCase{"ElementWithoutWidthLastIsPlain",
                    R"(<group><literal>a</literal><element id="X"/></group>)",
                    R"(<group><literal>a</literal><element id="X"/></group>)"},
        RewriteCase{"SpaceBecomesHex", R"(<group><literal hex="true">20</literal></group>)",
                    R"(<group><literal hex="true">20</literal></group>)"},
        RewriteCase{"LineEndStaysHex", R"(<group><literal hex="true">0D0A</literal></group>)",
                    R"(<group><literal hex="true">0D0A</literal></group>)"},
        RewriteCase{"PrintableHexShownAsText",
                    R"(<group><literal hex="true">414243</literal></group>)",
                    R"(<group><literal>ABC</literal></group>)"},
        RewriteCase{"HighByteStaysHex", R"(<group><literal hex="true">80</literal></group>)",
                    R"(<group><literal hex="true">80</literal></group>)"},
        RewriteCase{
            "AttributesOnlyWhereNotDefault",
            R"(<group><element id="X" width="0" fill=" " align="left" sign="no" offset="0"/><element id="Y" width="3" fill="0" align="right" sign="true" offset="-1.5" factor="1000" precision="2"/><element/></group>)",
            R"(<group><element id="X"/><element id="Y" width="3" fill="0" align="right" sign="true" offset="-1.500000"/><element id=""/></group>)"},
        RewriteCase{"OtherNodesAreDropped",
                    R"(<group id="G" name="n">x<!--c--><radio/><element id="A"/></group>)",
                    R"(<group id="G" name="n"><element id="A"/></group>)"}),
    [](const testing::TestParamInfo<RewriteCase>& param) { return std::string(param.param.name); });

TEST(GroupDefinition, ReadsItemsAndFlags) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(
      R"(<group id="G"><terminated><element id="X" width="2"/><literal>;</literal></terminated></group>)"));
  GroupDefinition group(doc.first_child());
  ASSERT_EQ(group.ItemCount(), 2u);
  auto* element = dynamic_cast<ElementDefinition*>(group.Item(0));
  auto* literal = dynamic_cast<LiteralDefinition*>(group.Item(1));
  ASSERT_TRUE(element && literal);
  EXPECT_EQ(element->Id(), "X");
  EXPECT_EQ(element->Width(), 2);
  EXPECT_FALSE(element->Modified());
  EXPECT_EQ(literal->Text(), ";");
  // Reading is no edit: an untouched group is not rewritten.
  EXPECT_FALSE(literal->Modified());
  EXPECT_FALSE(group.IsModified());
}

TEST(GroupDefinition, GroupOfElementsOnlyIsUnmodifiedAndKeepsFactor) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(R"(<group><element id="X" factor="1000"/></group>)"));
  GroupDefinition group(doc.first_child());
  EXPECT_FALSE(group.IsModified());
  group.SetName("Point");
  EXPECT_TRUE(group.IsModified());
  EXPECT_EQ(Xml(doc.first_child()),
            R"(<group name="Point"><element id="X" factor="1000"/></group>)");
  group.Rewrite();
  EXPECT_FALSE(group.IsModified());
  EXPECT_EQ(Xml(doc.first_child()), R"(<group name="Point"><element id="X"/></group>)");
}

TEST(GroupDefinition, EditingItems) {
  pugi::xml_document doc;
  GroupDefinition group(doc.append_child("group"));
  group.SetId("PT");
  ElementDefinition* e = group.InsertElement(0);
  e->SetId("NR");
  LiteralDefinition* l = group.InsertLiteral(1);
  l->SetText("\t");
  group.InsertLiteral(0)->SetText("P");
  group.Rewrite();
  EXPECT_EQ(Xml(doc.first_child()),
            "<group id=\"PT\"><literal>P</literal><terminated><element id=\"NR\"/>"
            "<literal>\t</literal></terminated></group>");
  group.RemoveItem(0);
  EXPECT_TRUE(group.IsModified());
  EXPECT_EQ(group.ItemCount(), 2u);
}

TEST(LiteralDefinition, HexConversions) {
  LiteralDefinition literal;
  literal.SetText("\r\n");
  literal.SetModified(false);
  literal.SetHex(false);  // no change: stays unmodified
  EXPECT_FALSE(literal.Modified());
  literal.SetHex(true);
  EXPECT_EQ(literal.Text(), "0D0A");
  EXPECT_TRUE(literal.Modified());
  literal.SetText("4a4B5");  // lower case digits read, odd last digit dropped
  literal.SetHex(false);
  EXPECT_EQ(literal.Text(), "JK");
  literal.SetText(std::string("\xFF\x00", 2));
  literal.SetHex(true);
  EXPECT_EQ(literal.Text(), "FF00");
}

}  // namespace
}  // namespace ulvo
