#include "ulvo/engine/record_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "engine_test_support.h"

namespace ulvo {
namespace {

using test::LoadDefinition;
using test::ReadBytes;
using test::TempDir;

struct Written {
  bool ok = false;
  bool streaming = false;
  std::string bytes;
  std::vector<size_t> unwritten;
  std::vector<std::string> overflows;  // "record number/element/value"
};

// Hands the items of document to a streaming writer one at a time, as a parse completes
// them, flushing after each.
Written WriteOneByOne(const TempDir& dir, FormatDefinition& format, const std::string& document) {
  pugi::xml_document source;
  EXPECT_TRUE(LoadDataDocumentFromText(source, document));
  pugi::xml_document target;
  pugi::xml_node data = NewDataDocument(target);
  Written result;
  RecordWriter writer(format.Root(), dir / "out.txt", data, true);
  result.streaming = writer.Streaming();
  for (pugi::xml_node item = source.document_element().first_child(); item;
       item = item.next_sibling()) {
    data.append_copy(item);
    writer.Flush();
  }
  std::string reason;
  result.ok = writer.Finish(&reason);
  EXPECT_EQ(reason, "");
  result.bytes = ReadBytes(dir / "out.txt");
  result.unwritten = writer.Unwritten();
  for (const FieldOverflow& o : writer.Overflows())
    result.overflows.push_back(std::to_string(o.number) + "/" + o.element + "/" + o.value);
  return result;
}

TEST(RecordWriter, StreamedBytesAreThoseOfTheWholeDocument) {
  const std::string record = R"(<repeat><node><group id="PT"><element id="NR"/>
      <literal>;</literal></group></node></repeat>)";
  const std::string points = "<data><PT><NR>a</NR></PT><Q/><PT><NR>b</NR></PT><PT/></data>";
  struct Case {
    const char* name;
    std::string definition;  // children of <format>
    std::string document;
    bool ok;
    bool streaming;
    std::string bytes;
    std::vector<size_t> unwritten = {};
    std::vector<std::string> overflows = {};
  };
  const Case cases[] = {
      // The count after the loop sees what the loop left: the empty PT.
      {"count after the records",
       record + R"(<count id="PT"/>)",
       points,
       true,
       true,
       "a;b;1",
       {2, 4}},
      {"count after, every record written", record + R"(<count id="PT"/>)",
       "<data><PT><NR>a</NR></PT></data>", true, true, "a;0"},
      {"count after, no records", record + R"(<count id="PT"/>)", "<data/>", true, true, "0"},
      {"count after, none written",
       record + R"(<count id="PT"/>)",
       "<data><Q/><PT/></data>",
       true,
       true,
       "1",
       {1, 2}},
      // A count before the records needs them all: nothing is written before the end.
      {"count before the records",
       R"(<count id="PT"/><literal>:</literal>)" + record,
       points,
       true,
       false,
       "3:a;b;",
       {2, 4}},
      {"literals around the loop",
       "<literal>H</literal>" + record + "<literal>T</literal>",
       points,
       true,
       true,
       "Ha;b;T",
       {2, 4}},
      {"a value before the loop reads the document",
       R"(<element id="T"/>)" + record,
       "<data><T>x</T><PT><NR>a</NR></PT></data>",
       true,
       false,
       "xa;",
       {1}},
      {"the header fails: nothing is written",
       R"(<element id="T"/>)" + record,
       "<data><PT><NR>a</NR></PT></data>",
       false,
       false,
       "",
       {1}},
      {"the trailer fails",
       record + R"(<element id="T"/>)",
       "<data><PT><NR>a</NR></PT></data>",
       false,
       true,
       "",
       {}},
      {"overflows keep their record numbers",
       R"(<repeat><node><group id="PT"><element id="NR" width="3"/></group></node></repeat>)",
       "<data><Q/><PT><NR>abcd</NR></PT><PT><NR>b</NR></PT><PT><NR>defgh</NR></PT></data>",
       true,
       true,
       "abcdb  defgh",
       {1},
       {"2/NR/abcd", "4/NR/defgh"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    auto format = LoadDefinition(dir, "<format>" + c.definition + "</format>");
    ASSERT_TRUE(format);
    const Written streamed = WriteOneByOne(dir, *format, c.document);
    EXPECT_EQ(streamed.ok, c.ok);
    EXPECT_EQ(streamed.streaming, c.streaming);
    EXPECT_EQ(streamed.bytes, c.bytes);
    EXPECT_EQ(streamed.unwritten, c.unwritten);
    EXPECT_EQ(streamed.overflows, c.overflows);
    // The whole document at once gives the same bytes.
    const auto whole = test::WriteDocumentText(dir, *format, c.document);
    EXPECT_EQ(whole.ok, c.ok);
    EXPECT_EQ(whole.bytes, c.bytes);
  }
}

TEST(RecordWriter, AFailedFileStopsTheStreamAndLeavesTheOutput) {
  TempDir dir;
  auto format = LoadDefinition(dir, R"(<format><repeat><node><group id="PT">
      <element id="NR"/></group></node></repeat></format>)");
  ASSERT_TRUE(format);
  test::WriteBytes(dir / "out.txt", "old");
  pugi::xml_document doc;
  pugi::xml_node data = NewDataDocument(doc);
  RecordWriter writer(format->Root(), dir / "out.txt", data, true);
  {
    test::FileSizeLimit limit(1 << 19);
    const std::string value(1 << 16, 'v');
    for (int i = 0; i < 64 && !writer.Stopped(); ++i) {
      data.append_child("PT").append_child("NR").text().set(value.c_str());
      writer.Flush();
    }
    EXPECT_TRUE(writer.Stopped());
    // Records after the failure are not kept waiting.
    EXPECT_FALSE(data.first_child());
    std::string reason;
    EXPECT_FALSE(writer.Finish(&reason));
    EXPECT_NE(reason, "");
  }
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "old");
}

}  // namespace
}  // namespace ulvo

namespace ulvo {
namespace {

// Prints what it is given, as the scratch file would hold it.
class PrintingSink : public RecordSink {
 public:
  explicit PrintingSink(bool layout) : layout_(layout) {}
  std::string printed;
  int batches = 0;

 protected:
  bool KeepsLayout() const override { return layout_; }
  void Take(pugi::xml_node item) override {
    std::ostringstream out;
    item.print(out, "", pugi::format_raw);
    printed += out.str();
  }
  void Taken() override { ++batches; }

 private:
  bool layout_;
};

TEST(RecordSink, TakesEachRecordAsItCompletes) {
  struct Case {
    const char* input;
    bool layout;
    bool parsed;
    std::string printed;
    int batches;
    size_t records;  // as the failure counts them
  };
  const Case cases[] = {
      {"a;b;", true, true, "\t<P>\r\n\t\t<V>a</V>\r\n\t</P>\r\n\t<P>\r\n\t\t<V>b</V>\r\n\t</P>\r\n",
       2, 0},
      {"a;b;", false, true, "<P><V>a</V></P><P><V>b</V></P>", 2, 0},
      // The record read when the input stops matching is not taken.
      {"a;b", false, false, "<P><V>a</V></P>", 1, 1},
      {"", true, true, "", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.input) + (c.layout ? " with layout" : ""));
    TempDir dir;
    auto format = LoadDefinition(dir, R"(<format><repeat><node><group id="P"><terminated>
        <element id="V"/><literal>;</literal></terminated></group></node></repeat></format>)");
    ASSERT_TRUE(format);
    test::WriteBytes(dir / "in.txt", c.input);
    pugi::xml_document doc;
    pugi::xml_node data = NewDataDocument(doc);
    PrintingSink sink(c.layout);
    ParseFailure failure;
    EXPECT_EQ(format->ParseFile(dir / "in.txt", data, &failure, &sink), c.parsed);
    EXPECT_EQ(sink.printed, c.printed);
    EXPECT_EQ(sink.batches, c.batches);
    EXPECT_EQ(failure.records, c.records);
    // No record stays behind in the document.
    EXPECT_FALSE(data.child("P"));
  }
}

// Records as flat values: "NAME:PATH=TEXT;..." per top-level item.
class ValueSink : public RecordSink {
 public:
  explicit ValueSink(bool withNodes) : nodes_(withNodes) {}
  std::vector<std::string> values, items;

 protected:
  bool KeepsLayout() const override { return nodes_; }
  bool TakesValues() const override { return true; }
  bool TakesNodes() const override { return nodes_; }
  void TakeValues(std::string_view name, const std::vector<FlatValue>& flat) override {
    std::string line = std::string(name) + ":";
    for (const FlatValue& v : flat) line += std::string(v.path) + "=" + std::string(v.text) + ";";
    values.push_back(line);
  }
  // What the document's item means: its elements with text, "GROUP/ELEMENT" inside nested
  // ones; an element of text only is a value of its own. White space alone is no text.
  void Take(pugi::xml_node item) override {
    if (item.type() != pugi::node_element) return;
    std::string line = std::string(item.name()) + ":";
    if (item.find_child([](pugi::xml_node c) { return c.type() == pugi::node_element; })) {
      Flatten(item, "", line);
    } else if (const std::string text = Text(item); !text.empty()) {
      line += std::string(item.name()) + "=" + text + ";";
    }
    items.push_back(line);
  }

 private:
  static std::string Text(pugi::xml_node element) {
    for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling()) {
      const std::string text = c.value();
      if (c.type() == pugi::node_pcdata && text.find_first_not_of(" \t\r\n") != std::string::npos)
        return text;
    }
    return {};
  }
  static void Flatten(pugi::xml_node parent, const std::string& prefix, std::string& line) {
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
      if (c.type() != pugi::node_element) continue;
      if (c.find_child([](pugi::xml_node n) { return n.type() == pugi::node_element; })) {
        Flatten(c, prefix + c.name() + "/", line);
      } else if (const std::string text = Text(c); !text.empty()) {
        line += prefix + c.name() + "=" + text + ";";
      }
    }
  }
  bool nodes_;
};

// A sink that takes values gets what the document holds, whether or not nodes are built:
// values a failed alternative left in its record stay, a failed nested record goes, white
// space is no value, a zero byte ends one, other bytes become text.
TEST(RecordSink, ValuesAreWhatTheDocumentHolds) {
  struct Case {
    const char* definition;
    std::string input;
    std::string expected;  // the items, one per line
  };
  const char* nested = R"(<repeat><node><group id="P"><optional><group id="G">
      <element id="C" width="1"/><literal>!</literal></group></optional>
      <element id="D" width="2"/><literal>;</literal></group></node></repeat>)";
  const Case cases[] = {
      {R"(<repeat><node><group id="P"><radio><multi><element id="A" width="1"/>
          <literal>!</literal></multi><element id="B" width="1"/></radio><literal>;</literal>
          </group></node></repeat>)",
       "x;y!;", "P:A=x;B=x;\nP:A=y;\n"},
      {nested, "yz;", "P:D=yz;\n"},
      {nested, "y!zz;  ;", "P:G/C=y;D=zz;\nP:\n"},
      {nested, std::string("a\0;\xe9x;", 6), "P:D=a;\nP:D=\xc3\xa9x;\n"},
      // Values outside every record, with and without text; a field with no name and a
      // count read nothing into the document.
      {R"(<repeat><node><radio><group id="P"><element width="1"/><count id="P" width="1"/>
          <element id="V" width="1"/></group><element id="T" width="1"/></radio></node>
          </repeat>)",
       "a1bc ", "P:V=b;\nT:T=c;\nT:\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    TempDir dir;
    auto format = LoadDefinition(dir, std::string("<format>") + c.definition + "</format>");
    ASSERT_TRUE(format);
    test::WriteBytes(dir / "in.txt", c.input);
    std::vector<std::string> seen[3];
    size_t records[2] = {};
    for (int nodes = 0; nodes < 2; ++nodes) {
      pugi::xml_document doc;
      pugi::xml_node data = NewDataDocument(doc);
      ValueSink sink(nodes == 1);
      ParseFailure failure;
      EXPECT_TRUE(format->ParseFile(dir / "in.txt", data, &failure, &sink));
      records[nodes] = sink.Elements();
      seen[nodes] = sink.values;
      if (nodes == 1) seen[2] = sink.items;
    }
    std::string expected;
    for (const std::string& line : seen[2]) expected += line + "\n";
    EXPECT_EQ(expected, c.expected);
    EXPECT_EQ(seen[0], seen[2]) << "values without nodes";
    EXPECT_EQ(seen[1], seen[2]) << "values with nodes";
    EXPECT_EQ(records[0], records[1]);
  }
}

// Parses that share memory read each input whole and nothing of the one before it, whether
// the block must grow or holds more than the input.
TEST(RecordSink, SharedMemoryHoldsOnlyTheCurrentInput) {
  TempDir dir;
  auto format = LoadDefinition(dir, R"(<format><repeat><node><group id="P"><terminated>
      <element id="V"/><literal>;</literal></terminated></group></node></repeat></format>)");
  ASSERT_TRUE(format);
  ByteBlock shared;
  const std::string inputs[] = {"a;bb;", std::string(100000, 'x') + ";", "c;", "", "dd;e"};
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input.substr(0, 10));
    test::WriteBytes(dir / "in.txt", input);
    std::vector<std::string> values[2];
    bool parsed[2] = {};
    for (int sharing = 0; sharing < 2; ++sharing) {
      pugi::xml_document doc;
      pugi::xml_node data = NewDataDocument(doc);
      ValueSink sink(false);
      if (sharing) sink.ShareMemory(&shared);
      parsed[sharing] = format->ParseFile(dir / "in.txt", data, nullptr, &sink);
      values[sharing] = sink.values;
    }
    EXPECT_EQ(parsed[1], parsed[0]);
    EXPECT_EQ(values[1], values[0]);
    // The block keeps the input for the next parse.
    EXPECT_EQ(std::string(shared.Data(), shared.Size()), input);
  }
  // A folder is no input; the block is still handed back.
  pugi::xml_document doc;
  ValueSink sink(false);
  sink.ShareMemory(&shared);
  EXPECT_FALSE(format->ParseFile(dir.Path(), NewDataDocument(doc), nullptr, &sink));
}

}  // namespace
}  // namespace ulvo
