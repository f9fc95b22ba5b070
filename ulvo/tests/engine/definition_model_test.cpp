#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "ulvo/engine/definition_model.h"
#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

std::string Xml(pugi::xml_node node) {
  std::ostringstream out;
  node.print(out, "", pugi::format_raw);
  return out.str();
}

ElementDefinition& ElementAt(GroupDefinition& group, size_t index) {
  auto* element = dynamic_cast<ElementDefinition*>(group.Item(index));
  if (!element) throw std::logic_error("not an element");
  element->SetModified(true);
  return *element;
}

LiteralDefinition& LiteralAt(GroupDefinition& group, size_t index) {
  auto* literal = dynamic_cast<LiteralDefinition*>(group.Item(index));
  if (!literal) throw std::logic_error("not a literal");
  return *literal;
}

struct RewriteCase {
  const char* name;
  const char* group;  // the group element as read
  std::function<void(GroupDefinition&)> edit;
  const char* rewritten;  // the group element after the edit and a rewrite
};

class GroupRewrite : public testing::TestWithParam<RewriteCase> {};

TEST_P(GroupRewrite, ChangesOnlyWhatWasEdited) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(GetParam().group, pugi::parse_default | pugi::parse_comments));
  GroupDefinition group(doc.first_child());
  GetParam().edit(group);
  EXPECT_TRUE(group.IsModified());
  group.Rewrite();
  EXPECT_FALSE(group.IsModified());
  EXPECT_EQ(Xml(doc.first_child()), GetParam().rewritten);
  // A second rewrite finds nothing to do.
  group.Rewrite();
  EXPECT_EQ(Xml(doc.first_child()), GetParam().rewritten);
}

INSTANTIATE_TEST_SUITE_P(
    Items, GroupRewrite,
    testing::Values(
        RewriteCase{
            "TerminatedPairKeepsItsForm",
            R"(<group id="G"><terminated><element id="X"/><literal>;</literal></terminated></group>)",
            [](GroupDefinition& g) { LiteralAt(g, 1).SetText(","); },
            R"(<group id="G"><terminated><element id="X"/><literal>,</literal></terminated></group>)"},
        RewriteCase{"FixedWidthElementThenLiteralStaySeparate", R"(<group/>)",
                    [](GroupDefinition& g) {
                      g.InsertElement(0)->SetWidth(4);
                      g.InsertLiteral(1)->SetText(";");
                    },
                    R"(<group><element id="" width="4"/><literal>;</literal></group>)"},
        RewriteCase{"ElementWithoutWidthLastIsPlain", R"(<group><literal>a</literal></group>)",
                    [](GroupDefinition& g) { g.InsertElement(1)->SetId("X"); },
                    R"(<group><literal>a</literal><element id="X"/></group>)"},
        RewriteCase{"SpaceBecomesHex", R"(<group><literal>x</literal></group>)",
                    [](GroupDefinition& g) { LiteralAt(g, 0).SetText(" "); },
                    R"(<group><literal hex="true">20</literal></group>)"},
        RewriteCase{"ControlCharacterBecomesHex", R"(<group><literal>x</literal></group>)",
                    [](GroupDefinition& g) { LiteralAt(g, 0).SetText("\x01\t"); },
                    R"(<group><literal hex="true">0109</literal></group>)"},
        RewriteCase{"PrintableHexEditedIsWrittenAsText",
                    R"(<group><literal hex="true">414243</literal></group>)",
                    [](GroupDefinition& g) { LiteralAt(g, 0).SetText("ABD"); },
                    R"(<group><literal>ABD</literal></group>)"},
        RewriteCase{"HighByteStaysHex", R"(<group><literal hex="true">80</literal></group>)",
                    [](GroupDefinition& g) { LiteralAt(g, 0).SetText("8081"); },
                    R"(<group><literal hex="true">8081</literal></group>)"},
        RewriteCase{
            "EditedElementKeepsFactorAndPrecision",
            R"(<group><element id="Y" width="3" fill="0" align="right" sign="true" offset="-1.5" factor="1000" precision="2"/></group>)",
            [](GroupDefinition& g) { ElementAt(g, 0).SetWidth(5); },
            R"(<group><element id="Y" width="5" fill="0" align="right" sign="true" offset="-1.5" factor="1000" precision="2"/></group>)"},
        RewriteCase{
            "AttributesThatMeanTheSameStayAsWritten",
            R"(<group><element id="X" width="0" fill=" " align="left" sign="no" offset="0.0"/></group>)",
            [](GroupDefinition& g) { ElementAt(g, 0).SetSign(true); },
            R"(<group><element id="X" width="0" fill=" " align="left" sign="true" offset="0.0"/></group>)"},
        RewriteCase{
            "DefaultsRemoveTheirAttributes",
            R"(<group><element id="X" width="3" fill="0" align="right" sign="true" offset="2" factor="10"/><literal>!</literal></group>)",
            [](GroupDefinition& g) {
              ElementDefinition& e = ElementAt(g, 0);
              e.SetWidth(0);
              e.SetFill(' ');
              e.SetAlignRight(false);
              e.SetSign(false);
              e.SetOffset(0.0);
            },
            // Without a width, followed by a literal: a terminated pair.
            R"(<group><terminated><element id="X" factor="10"/><literal>!</literal></terminated></group>)"},
        RewriteCase{
            "NewAttributesInTheWritingOrder", R"(<group><element id="X" precision="1"/></group>)",
            [](GroupDefinition& g) {
              ElementDefinition& e = ElementAt(g, 0);
              e.SetOffset(-1.5);
              e.SetWidth(7);
              e.SetFill('*');
            },
            R"(<group><element id="X" precision="1" width="7" fill="*" offset="-1.500000"/></group>)"},
        RewriteCase{"OtherNodesStay",
                    R"(<group id="G" name="n">x<!--c--><radio/><element id="A"/></group>)",
                    [](GroupDefinition& g) { ElementAt(g, 0).SetId("B"); },
                    R"(<group id="G" name="n">x<!--c--><radio/><element id="B"/></group>)"},
        RewriteCase{
            "RemovedTerminatorLetsTheFieldPairWithTheNextLiteral",
            R"(<group><terminated><element id="X"/><literal>;</literal></terminated><!--end--><literal>!</literal></group>)",
            [](GroupDefinition& g) { g.RemoveItem(1); },
            R"(<group><terminated><element id="X"/><literal>!</literal></terminated><!--end--></group>)"},
        RewriteCase{
            "RemovedFieldLeavesItsTerminator",
            R"(<group><terminated><element id="X" factor="3"/><literal>;</literal></terminated></group>)",
            [](GroupDefinition& g) { g.RemoveItem(0); }, R"(<group><literal>;</literal></group>)"},
        RewriteCase{
            "RemovedItemBetweenFieldAndLiteralPairsThem",
            R"(<group><element id="X"/><element id="Y" width="2"/><literal>;</literal></group>)",
            [](GroupDefinition& g) { g.RemoveItem(1); },
            R"(<group><terminated><element id="X"/><literal>;</literal></terminated></group>)"},
        RewriteCase{
            "WidthGivenSplitsThePair",
            R"(<group><terminated><element id="X"/><literal>;</literal></terminated></group>)",
            [](GroupDefinition& g) { ElementAt(g, 0).SetWidth(4); },
            R"(<group><element id="X" width="4"/><literal>;</literal></group>)"},
        RewriteCase{
            "UntouchedHandWrittenNeighboursStayUnpaired",
            R"(<group><element id="X"/><literal>;</literal><element id="Y" width="2"/></group>)",
            [](GroupDefinition& g) { ElementAt(g, 2).SetWidth(3); },
            R"(<group><element id="X"/><literal>;</literal><element id="Y" width="3"/></group>)"},
        RewriteCase{
            "AppendedLiteralEndsTheLastField", R"(<group><element id="X"/></group>)",
            [](GroupDefinition& g) { g.InsertLiteral(1)->SetText(";"); },
            R"(<group><terminated><element id="X"/><literal>;</literal></terminated></group>)"},
        RewriteCase{
            "InsertedBetweenPairHalvesSplitsThePair",
            R"(<group><terminated><element id="X"/><literal>;</literal></terminated></group>)",
            [](GroupDefinition& g) { g.InsertLiteral(1)->SetText("a"); },
            R"(<group><terminated><element id="X"/><literal>a</literal></terminated><literal>;</literal></group>)"},
        RewriteCase{
            "InsertedFirstGoesBeforeThePair",
            R"(<group><!--c--><terminated><element id="X"/><literal>;</literal></terminated></group>)",
            [](GroupDefinition& g) { g.InsertLiteral(0)->SetText("P"); },
            R"(<group><!--c--><literal>P</literal><terminated><element id="X"/><literal>;</literal></terminated></group>)"}),
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

TEST(GroupDefinition, RenamingLeavesTheItemsAlone) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(R"(<group><element id="X" factor="1000"/></group>)"));
  GroupDefinition group(doc.first_child());
  EXPECT_FALSE(group.IsModified());
  group.SetName("Point");
  EXPECT_TRUE(group.IsModified());
  group.Rewrite();
  EXPECT_FALSE(group.IsModified());
  EXPECT_EQ(Xml(doc.first_child()),
            R"(<group name="Point"><element id="X" factor="1000"/></group>)");
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
