#include <gtest/gtest.h>

#include "ulvo/engine/field_parsers.h"
#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

using test::DataDocumentText;
using test::LoadDefinition;
using test::ParseBytes;
using test::TempDir;
using test::WriteDocumentText;

struct NodeCase {
  const char* name;
  const char* definition;  // children of <format>
  const char* input;
  bool ok;
  const char* body;  // expected content of <data> after "\r\n"
};

class NodeParse : public testing::TestWithParam<NodeCase> {};

TEST_P(NodeParse, RecordsWhatItRecognises) {
  const NodeCase& c = GetParam();
  TempDir dir;
  auto format = LoadDefinition(dir, std::string("<format>") + c.definition + "</format>");
  ASSERT_TRUE(format);
  const auto result = ParseBytes(dir, *format, c.input);
  EXPECT_EQ(result.ok, c.ok);
  EXPECT_EQ(result.document, DataDocumentText(c.body));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, NodeParse,
    testing::Values(
        NodeCase{"EmptySequenceFails", "<multi/>", "", false, ""},
        NodeCase{"EmptyChoiceFails", "<radio/>", "", false, ""},
        NodeCase{"RepeatOfEmptyChoiceSucceedsAtOnce", "<repeat><radio/></repeat>", "", true, ""},
        NodeCase{"OptionAroundItReadsNothing", "<optional><repeat><radio/></repeat></optional>", "",
                 true, ""},
        NodeCase{"RepeatWithNothingAvailable", "<repeat><element id=\"V\"/></repeat>", "", true,
                 ""},
        NodeCase{"SequenceKeepsValuesOfEarlierChildren",
                 "<radio><multi><element id=\"A\" width=\"1\"/><literal>X</literal></multi>"
                 "<element id=\"B\"/></radio>",
                 "ab", true, "\t\t<A>a</A>\r\n\t\t<B>ab</B>\r\n"},
        NodeCase{"GroupKeepsAFailedAttemptOut",
                 "<radio><group id=\"G\"><element id=\"A\" width=\"1\"/><literal>X</literal>"
                 "</group><element id=\"B\"/></radio>",
                 "ab", true, "\t\t<B>ab</B>\r\n"},
        NodeCase{"GroupLayout",
                 "<group id=\"G\"><element id=\"A\" width=\"1\"/><group id=\"H\">"
                 "<element id=\"B\" width=\"1\"/></group></group>",
                 "ab", true,
                 "\t<G>\r\n\t\t<A>a</A>\r\n\t<H>\r\n\t\t<B>b</B>\r\n\t</H>\r\n\t</G>\r\n"},
        NodeCase{"GroupWithoutIdIsASequence", "<group><element id=\"A\"/></group>", "a", true,
                 "\t\t<A>a</A>\r\n"},
        NodeCase{"ChoiceTakesTheFirstThatSucceeds",
                 "<radio><literal>ab</literal><element id=\"A\"/><element id=\"B\"/></radio>", "ac",
                 true, "\t\t<A>ac</A>\r\n"},
        NodeCase{"OptionRestoresThePosition",
                 "<optional><literal>a</literal><literal>x</literal></optional>"
                 "<element id=\"A\"/>",
                 "ab", true, "\t\t<A>ab</A>\r\n"},
        NodeCase{"TerminatorAtOffsetZeroIsFinal",
                 "<terminated><element id=\"A\"/><literal>;</literal></terminated>"
                 "<element id=\"B\"/>",
                 ";x;y", false, ""},
        NodeCase{"TerminatorFirstMatch",
                 "<terminated><element id=\"A\"/><literal>;</literal></terminated>"
                 "<element id=\"B\"/>",
                 "x;y;z", true, "\t\t<A>x</A>\r\n\t\t<B>y;z</B>\r\n"},
        NodeCase{"ContentMustUseAllBytesBeforeTheTerminator",
                 "<radio><terminated><element id=\"A\" width=\"1\"/><literal>;</literal>"
                 "</terminated><element id=\"B\"/></radio>",
                 "xy;", true, "\t\t<A>x</A>\r\n\t\t<B>xy;</B>\r\n"},
        NodeCase{"TerminatorNeverFound",
                 "<radio><terminated><element id=\"A\"/><literal>;</literal></terminated>"
                 "<element id=\"B\"/></radio>",
                 "xyz", true, "\t\t<B>xyz</B>\r\n"},
        NodeCase{"LongTerminatorAfterAPartialMatch",
                 "<terminated><element id=\"A\"/><literal>ab</literal></terminated>"
                 "<element id=\"B\"/>",
                 "xaab!", true, "\t\t<A>xa</A>\r\n\t\t<B>!</B>\r\n"},
        NodeCase{"TerminatorAcrossTheEndOfItsRoomDoesNotMatch",
                 "<radio><terminated><terminated><element id=\"A\"/><literal>a;</literal>"
                 "</terminated><literal>;</literal></terminated><element id=\"B\"/></radio>",
                 "xa;", true, "\t\t<B>xa;</B>\r\n"},
        NodeCase{"TerminatorStoresOnceWhereItMatched",
                 "<terminated><element id=\"A\"/><element id=\"T\" width=\"1\" sign=\"true\"/>"
                 "</terminated>",
                 "ab+", true, "\t\t<T></T>\r\n\t\t<A>ab</A>\r\n"},
        NodeCase{"TerminatedWithThreeChildrenFails",
                 "<terminated><element id=\"A\"/><literal>;</literal><literal>!</literal>"
                 "</terminated>",
                 "a;!", false, ""},
        NodeCase{"TrailingBytesFail", "<element id=\"A\" width=\"1\"/>", "ab", false,
                 "\t\t<A>a</A>\r\n"},
        NodeCase{"RepeatStopsAfterAnIterationWithoutInput",
                 "<repeat><optional><literal>a</literal></optional></repeat><literal>b</literal>",
                 "aab", true, ""},
        NodeCase{"RepeatOfAnOptionOnInputItCannotRead",
                 "<repeat><optional><element id=\"A\" width=\"1\" sign=\"true\"/></optional>"
                 "</repeat><element id=\"B\"/>",
                 "+x", true, "\t\t<A></A>\r\n\t\t<B>x</B>\r\n"}),
    [](const testing::TestParamInfo<NodeCase>& param) { return std::string(param.param.name); });

class NodeWrite : public testing::TestWithParam<NodeCase> {};

// Here input is the document and body the expected output bytes.
TEST_P(NodeWrite, WritesTheDocument) {
  const NodeCase& c = GetParam();
  TempDir dir;
  auto format = LoadDefinition(dir, std::string("<format>") + c.definition + "</format>");
  ASSERT_TRUE(format);
  const auto result = WriteDocumentText(dir, *format, c.input);
  EXPECT_EQ(result.ok, c.ok);
  EXPECT_EQ(result.bytes, c.body);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, NodeWrite,
    testing::Values(
        NodeCase{"EmptySequenceFails", "<multi/>", "<data/>", false, ""},
        NodeCase{"SequenceTruncatesItsPartialOutput",
                 "<radio><multi><literal>ab</literal><element id=\"X\"/></multi>"
                 "<literal>c</literal></radio>",
                 "<data/>", true, "c"},
        NodeCase{"RecordsInDocumentOrderUnknownSkipped",
                 "<repeat><node><radio>"
                 "<group id=\"A\"><literal>a=</literal><element id=\"V\"/><literal>;</literal>"
                 "</group>"
                 "<group id=\"B\"><literal>b=</literal><element id=\"V\"/><literal>;</literal>"
                 "</group>"
                 "</radio></node></repeat>",
                 "<data><B><V>1</V></B><C><V>2</V></C><A><V>3</V></A><B><V>4</V></B></data>", true,
                 "b=1;a=3;b=4;"},
        NodeCase{"GroupNameIsCaseSensitive", "<group id=\"Data\"><literal>x</literal></group>",
                 "<data/>", false, ""},
        NodeCase{"GroupWritesTheElementOfItsName",
                 "<group id=\"data\"><literal>x</literal></group>", "<data/>", true, "x"},
        NodeCase{"NodeOfLiteralsTakesEvenATextNode",
                 "<node><literal>x</literal></node><element id=\"V\"/>", "<data>t<V>v</V></data>",
                 true, "xv"},
        NodeCase{"NodeWithNothingItCanWriteFails", "<node><element id=\"Q\"/></node>",
                 "<data><V>v</V></data>", false, ""},
        NodeCase{"TerminatedWritesAllItsChildren",
                 "<terminated><element id=\"V\"/><literal>;</literal><literal>!</literal>"
                 "</terminated>",
                 "<data><V>v</V></data>", true, "v;!"},
        NodeCase{"RepeatOfLiteralsStopsAfterOneIteration", "<repeat><literal>x</literal></repeat>",
                 "<data/>", true, "x"},
        NodeCase{"RepeatOfAGroupWithoutNodeStops",
                 "<repeat><group><element id=\"V\"/></group></repeat>", "<data><V>v</V></data>",
                 true, "v"},
        NodeCase{"OptionalSucceedsWithoutOutput",
                 "<optional><literal>a</literal><element id=\"Q\"/></optional><literal>b</literal>",
                 "<data/>", true, "b"}),
    [](const testing::TestParamInfo<NodeCase>& param) { return std::string(param.param.name); });

TEST(RecordNode, RemovesWhatItWroteAndLeavesTheRest) {
  NodeParser node;
  auto group = std::make_unique<GroupParser>("A");
  group->Append(std::make_unique<LiteralParser>("a", false));
  node.Append(std::move(group));
  pugi::xml_document doc;
  ASSERT_TRUE(LoadDataDocumentFromText(doc, "<data><B/><A/><A/></data>"));
  OutputBuffer out;
  EXPECT_TRUE(node.Write(doc.child("data"), out));
  EXPECT_EQ(test::DocumentText(doc), "<data><B/><A/></data>\r\n");
  EXPECT_EQ(out.Bytes(), "a");
  EXPECT_EQ(out.RecordsRemoved(), 1u);
}

TEST(TerminatedField, FailingContentRestoresThePosition) {
  TerminatedParser field;
  field.Append(std::make_unique<ElementParser>("A"));
  field.Append(std::make_unique<LiteralParser>(";", false));
  pugi::xml_document doc;
  pugi::xml_node data = NewDataDocument(doc);
  InputBuffer in("xx;x;");
  in.Seek(0);
  ASSERT_TRUE(field.Parse(in, 5, data));
  EXPECT_EQ(in.Position(), 3u);
  InputBuffer empty(";;");
  EXPECT_FALSE(field.Parse(empty, 2, data));
  EXPECT_EQ(empty.Position(), 0u);
}

TEST(Repetition, ManyRecordsParseInOnePass) {
  // A long input must not be read again for every record.
  TempDir dir;
  auto format = LoadDefinition(dir, R"(<format><repeat><node><radio><group id="P">
      <terminated><element id="V"/><literal>;</literal></terminated></group></radio></node>
      </repeat></format>)");
  ASSERT_TRUE(format);
  std::string input;
  for (int i = 0; i < 20000; ++i) input += std::to_string(i) + ";";
  const auto result = ParseBytes(dir, *format, input);
  EXPECT_TRUE(result.ok);
  const auto written = WriteDocumentText(dir, *format, result.document);
  EXPECT_TRUE(written.ok);
  EXPECT_EQ(written.bytes, input);
}

TEST(Repetition, ChoiceWithATerminatorTheInputLacks) {
  // Every record first tries the kind whose terminator never occurs; that search over the
  // rest of the input must not make a valid file of a few thousand lines fail. The same
  // for terminators made of literals but not one literal: a choice and a sequence of them.
  for (const char* terminator :
       {"<literal>;</literal>", "<radio><literal>;</literal><literal>|</literal></radio>",
        "<multi><literal>;</literal><radio><literal>;</literal><literal>:</literal></radio>"
        "</multi>"}) {
    TempDir dir;
    auto format = LoadDefinition(dir, std::string(R"(<format><repeat><node><radio>
        <group id="A"><terminated><element id="X"/>)") +
                                          terminator + R"(</terminated></group>
        <group id="B"><terminated><element id="N"/><literal>,</literal></terminated>
          <terminated><element id="E"/><literal hex="true">0D0A</literal></terminated></group>
        </radio></node></repeat></format>)");
    ASSERT_TRUE(format);
    std::string input;
    std::string body;
    for (int i = 0; i < 3000; ++i) {
      const std::string n = "P" + std::to_string(i);
      const std::string e = std::to_string(1000 + i) + ".5";
      input += n + "," + e + "\r\n";
      body += "\t<B>\r\n\t\t<N>" + n + "</N>\r\n\t\t<E>" + e + "</E>\r\n\t</B>\r\n";
    }
    const auto result = ParseBytes(dir, *format, input);
    EXPECT_TRUE(result.ok) << terminator;
    EXPECT_EQ(result.document, DataDocumentText(body)) << terminator;
  }

  // Found once, a terminator further on is still found from a later start, and not beyond
  // the room a field is given.
  InputBuffer in("ab;cd;");
  uint64_t scanned = 0;
  const int key = 0;
  EXPECT_EQ(in.FindFrom(&key, ";", 6, scanned), 2u);
  EXPECT_EQ(scanned, 2u);
  in.Seek(1);
  EXPECT_EQ(in.FindFrom(&key, ";", 5, scanned), 1u);
  EXPECT_EQ(scanned, 0u);
  EXPECT_EQ(in.FindFrom(&key, ";", 1, scanned), 1u);  // no room: none
  in.Seek(3);
  EXPECT_EQ(in.FindFrom(&key, ";", 3, scanned), 2u);  // past the first: searched anew
  EXPECT_EQ(scanned, 2u);
  const int other = 0;
  EXPECT_EQ(in.FindFrom(&other, "x", 3, scanned), 3u);  // none
  EXPECT_EQ(scanned, 3u);
}

TEST(TerminatedField, LiteralOnlyTerminatorsMatchWhereTheirParseDoes) {
  // Candidates found by searching must still be confirmed by the terminator itself: the
  // choice takes "A" first, so "ABC" never ends this field, only "AC" does.
  struct Case {
    const char* terminator;
    const char* input;
    std::optional<std::string> value;
  };
  const Case cases[] = {
      {"<multi><radio><literal>A</literal><literal>AB</literal></radio><literal>C</literal></"
       "multi>",
       "xxABCyyAC", "xxABCyy"},
      {"<radio><literal>;</literal><literal>::</literal></radio>", "ab::c;", "ab"},
      {"<radio><literal>;</literal><literal>::</literal></radio>", "abc", std::nullopt},
      {"<radio/>", "ab;", std::nullopt},
      {"<radio><literal></literal></radio>", "ab", std::nullopt},  // empty: content gets 0 bytes
      {"<literal>;</literal>", ";", std::nullopt},
      {"<multi><literal>;</literal><literal>;</literal></multi>", "a;b;;", "a;b"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    auto format =
        LoadDefinition(dir, std::string("<format><terminated><element id=\"V\"/>") + c.terminator +
                                "</terminated><repeat><element width=\"1\"/></repeat></format>");
    ASSERT_TRUE(format);
    const auto result = ParseBytes(dir, *format, c.input);
    EXPECT_EQ(result.ok, c.value.has_value()) << c.terminator << " " << c.input;
    if (c.value) {
      EXPECT_EQ(result.document, DataDocumentText("\t\t<V>" + *c.value + "</V>\r\n"))
          << c.terminator;
    }
  }
}

TEST(Budget, HostileDefinitionsFailOnAModestInput) {
  // Each record first tries a field that copies the whole rest of the input and then fails;
  // charged by the bytes copied, that ends long before the quadratic work is done.
  TempDir dir;
  for (const char* first :
       {R"(<element id="X" sign="true"/>)",
        R"(<terminated><element id="X"/><element width="1" sign="true"/></terminated>)"}) {
    auto format = LoadDefinition(
        dir, std::string(R"(<format><repeat><node><radio><group id="A">)") + first + R"(</group>
        <group id="B"><element id="Y" width="1"/></group></radio></node></repeat></format>)");
    ASSERT_TRUE(format);
    const auto result = ParseBytes(dir, *format, std::string(60000, 'x'));
    EXPECT_FALSE(result.ok) << first;
  }
}

TEST(Abort, HalfFilledRecordIsDropped) {
  // A run that ends inside a record leaves no trace of that record.
  TempDir dir;
  auto format = LoadDefinition(dir, R"(<format><group id="R"><element id="A" width="1"/>
      <group id="S"><element id="B" width="1"/><element id="1bad" width="1"/></group>
      </group></format>)");
  ASSERT_TRUE(format);
  const auto result = ParseBytes(dir, *format, "xyz");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.document, DataDocumentText(""));
}

TEST(WriteCap, OutputEndsAtTheCapAndGoesToTheFile) {
  // 3,000 records padded to 1 MiB each would be 3 GB.
  TempDir dir;
  auto format = LoadDefinition(dir, R"(<format><repeat><node><group id="P">
      <element id="V" width="1048576"/></group></node></repeat></format>)");
  ASSERT_TRUE(format);
  std::string doc = "<data>";
  for (int i = 0; i < 3000; ++i) doc += "<P><V>" + std::to_string(i) + "</V></P>";
  doc += "</data>";
  pugi::xml_document data;
  ASSERT_TRUE(LoadDataDocumentFromText(data, doc));
  const auto path = dir / "big.out";
  test::WriteBytes(path, "the user's previous file");
  std::string why;
  EXPECT_FALSE(format->WriteFile(data.document_element(), path, &why));
  EXPECT_EQ(why, "the output would be larger than 64 MiB; writing was stopped");
  // A write that breaks off leaves the previous file, and nothing beside it.
  EXPECT_EQ(test::ReadBytes(path), "the user's previous file");
  EXPECT_FALSE(std::filesystem::exists(dir / "big.out.ulvo-tmp"));
}

TEST(WriteFailure, FullDiskLeavesThePreviousFileAndSaysWhy) {
  TempDir dir;
  auto format = LoadDefinition(dir, R"(<format><repeat><node><group id="P">
      <element id="V" width="3000"/></group></node></repeat></format>)");
  ASSERT_TRUE(format);
  pugi::xml_document data;
  ASSERT_TRUE(LoadDataDocumentFromText(data, "<data><P><V>1</V></P><P><V>2</V></P></data>"));
  const auto path = dir / "out.txt";
  test::WriteBytes(path, "previous");
  std::string why;
  {
    test::FileSizeLimit limit(4000);
    EXPECT_FALSE(format->WriteFile(data.document_element(), path, &why));
  }
  EXPECT_EQ(why, "File too large");
  EXPECT_EQ(test::ReadBytes(path), "previous");
  EXPECT_FALSE(std::filesystem::exists(dir / "out.txt.ulvo-tmp"));
}

// Values wider than their fields are written in full and noted, with the record they are in.
TEST(WriteOverflow, WiderValuesAreNotedWhereTheyStay) {
  struct Case {
    const char* name;
    const char* definition;  // children of <format>
    const char* document;
    const char* bytes;
    std::vector<std::string> notes;  // "record index/element/value/width/offset"
  } cases[] = {
      {"fits exactly",
       R"(<node><group id="P"><element id="V" width="3"/></group></node>)",
       "<data><P><V>123</V></P></data>",
       "123",
       {}},
      {"one too many",
       R"(<repeat><node><group id="P"><element id="V" width="3"/></group></node></repeat>)",
       "<data><P><V>12</V></P><P><V>1234</V></P></data>",
       "12 1234",
       {"1/V/1234/3/3"}},
      {"the sign counts",
       R"(<node><group id="P"><element id="N" width="10" align="right" sign="true" factor="1000" precision="0"/></group></node>)",
       "<data><P><N>5000291.449</N></P></data>",
       "+5000291449",
       {"0/N/+5000291449/10/0"}},
      {"taken back with the attempt",
       R"(<node><radio><group id="P"><element id="V" width="2"/><element id="Missing"/></group>)"
       R"(<group id="P"><literal>short</literal></group></radio></node>)",
       "<data><P><V>123</V></P></data>",
       "short",
       {}},
      {"nested record",
       R"(<node><group id="P"><node><group id="Q"><element id="V" width="1"/></group></node></group></node>)",
       "<data><P><Q><V>ab</V></Q></P></data>",
       "ab",
       {"0/Q/V/ab/1/0"}},
      {"count",
       R"(<count id="P" width="1"/><repeat><node><group id="P"><literal>x</literal></group></node></repeat>)",
       "<data><P/><P/><P/><P/><P/><P/><P/><P/><P/><P/></data>",
       "10xxxxxxxxxx",
       {"-/count of P/10/1/0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    auto format = LoadDefinition(dir, std::string("<format>") + c.definition + "</format>");
    ASSERT_TRUE(format);
    pugi::xml_document data;
    ASSERT_TRUE(LoadDataDocumentFromText(data, c.document));
    std::vector<const void*> records;
    for (pugi::xml_node r = data.document_element().first_child(); r; r = r.next_sibling())
      records.push_back(r.internal_object());
    std::vector<FieldOverflow> overflows;
    EXPECT_TRUE(format->WriteFile(data.document_element(), dir / "out", nullptr, &overflows));
    EXPECT_EQ(test::ReadBytes(dir / "out"), c.bytes);
    std::vector<std::string> notes;
    for (const FieldOverflow& o : overflows) {
      const auto at = std::find(records.begin(), records.end(), o.record);
      notes.push_back(
          (at == records.end() ? std::string("-") : std::to_string(at - records.begin())) + "/" +
          o.element + "/" + o.value + "/" + std::to_string(o.width) + "/" +
          std::to_string(o.offset));
    }
    EXPECT_EQ(notes, c.notes);
  }
}

TEST(WriteCap, RollbackBehindTheBytesInTheFile) {
  // An attempt several megabytes long that fails at its end is cut from the file again.
  TempDir dir;
  auto format = LoadDefinition(dir, R"(<format><optional><repeat><node><group id="P">
      <element id="V" width="1000000"/></group></node></repeat><element id="Missing"/></optional>
      <literal>END</literal></format>)");
  ASSERT_TRUE(format);
  std::string doc = "<data>";
  for (int i = 0; i < 5; ++i) doc += "<P><V>" + std::to_string(i) + "</V></P>";
  const auto written = WriteDocumentText(dir, *format, doc + "</data>");
  EXPECT_TRUE(written.ok);
  EXPECT_EQ(written.bytes, "END");
}

}  // namespace
}  // namespace ulvo
