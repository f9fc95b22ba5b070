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

}  // namespace
}  // namespace ulvo
