#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>

#include "ulvo/convert/conversion.h"
#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// Queued answers, every message recorded; a question nobody expected fails the test.
class ScriptedPrompts : public ConversionPrompts {
 public:
  void ShowMessage(const Message& message) override {
    shown.push_back(std::string(message.text.key) + ": " + DefaultText(message));
    details.push_back(message.detail);
  }
  void SetBusy(bool on) override { busy.push_back(on); }
  bool AskReplace(const Message& question) override {
    asked.push_back(DefaultText(question));
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected question: " << DefaultText(question);
      return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }

  void ShowCheck(const ConversionCheck& check) override { checks.push_back(check.count); }

  std::deque<bool> answers;
  std::vector<size_t> checks;
  std::vector<std::string> shown;
  std::vector<std::string> details;
  std::vector<std::string> asked;
  std::vector<bool> busy;
};

class FakeRunner : public ProcessRunner {
 public:
  bool RunAndWait(const std::string& program, const std::string& argument) override {
    calls.push_back(program + " | " + argument);
    if (edit) edit(argument);
    return starts;
  }
  bool starts = true;
  std::function<void(const std::string&)> edit;
  std::vector<std::string> calls;
};

// Two small layouts: "a;b" lines and "a=b" lines.
constexpr const char* kSemicolon =
    R"(<format name="Semi"><repeat><node><radio><group id="R">)"
    R"(<terminated><element id="K"/><literal>;</literal></terminated>)"
    R"(<terminated><element id="V"/><literal hex="true">0A</literal></terminated>)"
    R"(</group></radio></node></repeat></format>)";
constexpr const char* kEquals =
    R"(<format name="Eq"><repeat><node><radio><group id="R">)"
    R"(<element id="K"/><literal>=</literal><element id="V" width="4" align="right" fill="0"/>)"
    R"(<literal hex="true">0D0A</literal></group></radio></node></repeat></format>)";

class Conversion : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir / "Formats");
    WriteBytes(dir / "Formats" / "semi.xml", kSemicolon);
    WriteBytes(dir / "Formats" / "eq.xml", kEquals);
    formats.Refresh(dir.Path());
    ASSERT_EQ(formats.Count(), 2u);
    setup.programFolder = dir.Path();
    setup.prompts = &prompts;
    setup.runner = &runner;
  }

  bool Run(const std::string& input, const char* from = "Semi", const char* to = "Eq") {
    WriteBytes(dir / "in.txt", input);
    return RunConversion(dir / "in.txt", formats.Find(from), dir / "out.txt", formats.Find(to),
                         setup);
  }

  TempDir dir;
  FormatList formats;
  ScriptedPrompts prompts;
  FakeRunner runner;
  ConversionSetup setup;
};

TEST_F(Conversion, ParsesSavesReloadsAndWrites) {
  EXPECT_TRUE(Run("a;12\nb;7\n"));
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "a=0012\r\nb=0007\r\n");
  EXPECT_EQ(ReadBytes(dir / "temp.xml"),
            "<?xml version=\"1.0\"?>\r\n<!--ULVO Instrument Data-->\r\n<data>\r\n"
            "\t<R>\r\n\t\t<K>a</K>\r\n\t\t<V>12</V>\r\n\t</R>\r\n"
            "\t<R>\r\n\t\t<K>b</K>\r\n\t\t<V>7</V>\r\n\t</R>\r\n</data>\r\n");
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(prompts.busy, (std::vector<bool>{true, false}));
  EXPECT_TRUE(runner.calls.empty());
}

TEST_F(Conversion, CheckLeavesLayoutOutOfTheValuesReadBack) {
  // Records without values, at the top and nested: the layout the read-back parse puts in
  // them is no value.
  struct Case {
    const char* format;
    const char* input;
    const char* output;
  } cases[] = {
      {R"(<format name="Marks"><repeat><node><group id="M"><literal>M</literal>)"
       R"(<literal hex="true">0A</literal></group></node></repeat></format>)",
       "M\nM\n", "M\nM\n"},
      {R"(<format name="Marks"><repeat><node><group id="M"><node><group id="Q">)"
       R"(<literal>Q</literal></group></node><literal hex="true">0A</literal></group></node>)"
       R"(</repeat></format>)",
       "Q\n", "Q\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    WriteBytes(dir / "Formats" / "marks.xml", c.format);
    formats.Refresh(dir.Path());
    ConversionReport report;
    setup.report = &report;
    EXPECT_TRUE(Run(c.input, "Marks", "Marks"));
    EXPECT_EQ(ReadBytes(dir / "out.txt"), c.output);
    EXPECT_TRUE(report.check.ran);
    EXPECT_EQ(report.check.count, 0u);
  }
}

TEST_F(Conversion, EditorChangesCount) {
  setup.editorCommand = "/usr/bin/my editor";
  runner.edit = [](const std::string& path) {
    WriteBytes(path, "<data><R><K>z</K><V>99</V></R></data>");
  };
  EXPECT_TRUE(Run("a;12\n"));
  ASSERT_EQ(runner.calls.size(), 1u);
  EXPECT_EQ(runner.calls[0], "/usr/bin/my editor | " + (dir / "temp.xml").string());
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "z=0099\r\n");
}

TEST_F(Conversion, CheckReportsWhatDidNotSurvive) {
  // A value the target has no field for, and a record kind it cannot write at all.
  setup.editorCommand = "ed";
  runner.edit = [](const std::string& path) {
    WriteBytes(path,
               "<data><R><K>a</K><V>12</V><N>x</N></R><X><K>b</K></X><R><K>c</K><V>7</V></R>"
               "</data>");
  };
  ConversionReport report;
  setup.report = &report;
  EXPECT_TRUE(Run("a;1\n", "Semi", "Semi"));
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "a;12\nc;7\n");
  ASSERT_TRUE(report.check.ran);
  EXPECT_EQ(report.check.count, 2u);
  ASSERT_EQ(report.check.first.size(), 2u);
  EXPECT_EQ(report.check.first[0].record, 1u);
  EXPECT_EQ(report.check.first[0].element, "N");
  EXPECT_EQ(report.check.first[0].written, "x");
  EXPECT_EQ(report.check.first[0].readBack, "(none)");
  EXPECT_EQ(report.check.first[1].record, 2u);
  EXPECT_EQ(report.check.first[1].element, "(record)");
  EXPECT_EQ(report.check.first[1].written, "X");
  EXPECT_EQ(report.check.first[1].readBack, "(not written)");
  EXPECT_FALSE(report.check.readBack);

  // Twenty-five values the target has no place for: twenty listed, all counted.
  std::string many = "<data>";
  for (int i = 0; i < 25; ++i) many += "<R><K>k</K><V>1</V><N>" + std::to_string(i) + "</N></R>";
  runner.edit = [&](const std::string& path) { WriteBytes(path, many + "</data>"); };
  EXPECT_TRUE(Run("a;1\n", "Semi", "Semi"));
  EXPECT_EQ(report.check.count, 25u);
  ASSERT_EQ(report.check.first.size(), kMaxReportedDifferences);
  EXPECT_EQ(report.check.first.back().record, 20u);
  EXPECT_EQ(report.check.first.back().written, "19");

  // The key field takes the rest of the line, so this target cannot read its own output.
  EXPECT_TRUE(Run("a;1\n", "Semi", "Eq"));
  ASSERT_TRUE(report.check.readBack);
  EXPECT_EQ(report.check.readBackRecord, 1u);
  EXPECT_EQ(report.check.readBack->line, 26u);  // the key took all 25 lines

  setup.check = false;
  EXPECT_TRUE(Run("a;1\n"));
  EXPECT_FALSE(report.check.ran);
}

TEST_F(Conversion, ConvertButtonShowsTheCheckAfterItsMessage) {
  setup.editorCommand = "ed";
  runner.edit = [](const std::string& path) {
    WriteBytes(path, "<data><R><K>a</K><V>12</V><N>x</N></R></data>");
  };
  WriteBytes(dir / "in.txt", "a;1\n");
  EXPECT_TRUE(ConvertFiles(formats, "Semi", dir / "in.txt", "Semi", dir / "new.txt", setup));
  EXPECT_EQ(prompts.shown,
            (std::vector<std::string>{"IDS_CNV_SUCCESS_MSG: Converted successfully"}));
  EXPECT_EQ(prompts.checks, (std::vector<size_t>{1}));
}

TEST_F(Conversion, EditorThatCannotStartIsPassedOver) {
  setup.editorCommand = "missing-editor";
  runner.starts = false;
  EXPECT_TRUE(Run("a;1\n"));
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "a=0001\r\n");
}

TEST_F(Conversion, EditedDocumentWithAnotherRootFails) {
  setup.editorCommand = "ed";
  runner.edit = [](const std::string& path) { WriteBytes(path, "<other/>"); };
  EXPECT_FALSE(Run("a;1\n"));
  EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
}

TEST_F(Conversion, EditedDocumentThatIsNotXmlFails) {
  setup.editorCommand = "ed";
  runner.edit = [](const std::string& path) { WriteBytes(path, "<data><R>"); };
  EXPECT_FALSE(Run("a;1\n"));
}

TEST_F(Conversion, FailedParseStillWritesWhatWasFound) {
  EXPECT_FALSE(Run("a;1\nb;2\ntrailing"));
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "a=0001\r\nb=0002\r\n");
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(Conversion, SourceThatDoesNotLoad) {
  WriteBytes(dir / "Formats" / "semi.xml", "<format name=\"Semi\"><bad/></format>");
  EXPECT_FALSE(Run("a;1\n"));
  EXPECT_EQ(
      prompts.shown,
      (std::vector<std::string>{"IDS_FORMAT_LOAD_ERR: Could not load format definition:\nSemi"}));
  EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "temp.xml"));
}

TEST_F(Conversion, TargetThatDoesNotLoad) {
  std::filesystem::remove(dir / "Formats" / "eq.xml");
  EXPECT_FALSE(Run("a;1\n"));
  EXPECT_EQ(
      prompts.shown,
      (std::vector<std::string>{"IDS_FORMAT_LOAD_ERR: Could not load format definition:\nEq"}));
  EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
}

TEST_F(Conversion, MissingFormatIsNamedBySelection) {
  setup.targetName = "Gone";
  EXPECT_FALSE(Run("a;1\n", "Semi", "Gone"));
  EXPECT_EQ(
      prompts.shown,
      (std::vector<std::string>{"IDS_FORMAT_LOAD_ERR: Could not load format definition:\nGone"}));
}

TEST_F(Conversion, UnwritableScratchFileNeverUsesAnOldOne) {
  // A scratch file from an earlier run lies in the old folder; this run cannot save its own.
  WriteBytes(dir / "temp.xml", "<data><R><K>old</K><V>1</V></R></data>");
  setup.programFolder = dir / "read-only-or-missing";
  EXPECT_FALSE(Run("a;5\n"));
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "a=0005\r\n");
}

TEST_F(Conversion, ValueOfSpacesOnlyIsLostByTheReload) {
  WriteBytes(dir / "Formats" / "star.xml",
             R"(<format name="Star"><node><group id="R"><element id="V" width="4" fill="*"/>)"
             R"(</group></node></format>)");
  formats.Refresh(dir.Path());
  EXPECT_TRUE(Run(" a**", "Star", "Star"));
  EXPECT_EQ(ReadBytes(dir / "out.txt"), " a**");
  EXPECT_FALSE(Run("  **", "Star", "Star"));
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "");
}

TEST_F(Conversion, ConvertButtonAsksBeforeReplacing) {
  WriteBytes(dir / "in.txt", "a;1\n");
  WriteBytes(dir / "out.txt", "keep me");
  prompts.answers = {false};
  EXPECT_FALSE(ConvertFiles(formats, "Semi", dir / "in.txt", "Eq", dir / "out.txt", setup));
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "keep me");
  EXPECT_EQ(prompts.asked,
            (std::vector<std::string>{(dir / "out.txt").string() +
                                      "\nThis file already exists.\nReplace existing file?"}));
  EXPECT_TRUE(prompts.shown.empty());

  prompts.answers = {true};
  EXPECT_TRUE(ConvertFiles(formats, "Semi", dir / "in.txt", "Eq", dir / "out.txt", setup));
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "a=0001\r\n");
  EXPECT_EQ(prompts.shown,
            (std::vector<std::string>{"IDS_CNV_SUCCESS_MSG: Converted successfully"}));
}

TEST_F(Conversion, ConvertButtonReportsFailure) {
  WriteBytes(dir / "in.txt", "no separator");
  EXPECT_FALSE(ConvertFiles(formats, "Semi", dir / "in.txt", "Eq", dir / "new.txt", setup));
  EXPECT_EQ(prompts.shown, (std::vector<std::string>{"IDS_CNV_ERROR_MSG: Error while converting"}));
  EXPECT_EQ(ReadBytes(dir / "new.txt"), "");
}

TEST_F(Conversion, WriteFailureSaysWhichFileAndWhy) {
  ConversionReport report;
  setup.report = &report;
  WriteBytes(dir / "in.txt", "a;1\n");
  const auto missing = dir / "missing" / "out.txt";
  EXPECT_FALSE(
      RunConversion(dir / "in.txt", formats.Find("Semi"), missing, formats.Find("Eq"), setup));
  EXPECT_EQ(report.writeError, missing.string() + ": " + std::strerror(ENOENT));

  // A document the target cannot write has no file reason.
  WriteBytes(dir / "Formats" / "head.xml",
             R"(<format name="Head"><literal>head;</literal><element id="Q"/></format>)");
  formats.Refresh(dir.Path());
  EXPECT_FALSE(Run("a;1\n", "Semi", "Head"));
  EXPECT_EQ(report.writeError,
            (dir / "out.txt").string() + ": not every record could be written with the format");
}

// "Error while converting" comes with where and why; a run that cannot read its source
// touches no target, and a target that cannot be written in full leaves the previous one.
TEST_F(Conversion, FailureSaysWhereAndWhyAndKeepsThePreviousTarget) {
  const std::string in = (dir / "in.txt").string();
  const std::string out = (dir / "out.txt").string();
  struct Case {
    const char* name;
    std::function<void()> prepare;
    std::string target;  // the target file the run is given
    std::string detail;
    std::string after;  // the target's bytes afterwards ("-": it does not exist)
    size_t questions;   // replace questions asked
  } cases[] = {
      {"input stops matching", [&] { WriteBytes(dir / "in.txt", "a;1\nb2\n"); }, out,
       in + ": line 2, column 1 (byte offset 4): the input stops matching the format after "
            "1 record",
       "a=0001\r\n", 1},
      {"source missing", [&] { std::filesystem::remove(dir / "in.txt"); }, out,
       in + ": No such file or directory", "previous", 0},
      {"source larger than a parse takes",
       [&] {
         WriteBytes(dir / "in.txt", "a;1\n");
         std::filesystem::resize_file(dir / "in.txt", (64u << 20) + 1);  // sparse
       },
       out, in + ": the file is larger than 64 MiB", "previous", 0},
      {"target folder missing", [&] { WriteBytes(dir / "in.txt", "a;1\n"); },
       (dir / "no" / "out.txt").string(),
       (dir / "no" / "out.txt").string() + ": No such file or directory", "-", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.prepare();
    WriteBytes(dir / "out.txt", "previous");
    prompts.shown.clear();
    prompts.details.clear();
    prompts.asked.clear();
    prompts.answers = {true};
    EXPECT_FALSE(ConvertFiles(formats, "Semi", in, "Eq", c.target, setup));
    EXPECT_EQ(prompts.shown,
              (std::vector<std::string>{"IDS_CNV_ERROR_MSG: Error while converting"}));
    EXPECT_EQ(prompts.details, std::vector<std::string>{c.detail});
    EXPECT_EQ(prompts.asked.size(), c.questions);
    if (c.after == "-")
      EXPECT_FALSE(std::filesystem::exists(c.target));
    else
      EXPECT_EQ(ReadBytes(c.target), c.after);
  }
}

TEST_F(Conversion, TargetThatCannotBeWrittenInFullStaysAsItWas) {
  WriteBytes(dir / "Formats" / "wide.xml",
             R"(<format name="Wide"><repeat><node><group id="R"><element id="K" width="3000"/>)"
             R"(</group></node></repeat></format>)");
  formats.Refresh(dir.Path());
  WriteBytes(dir / "in.txt", "a;1\nb;2\n");
  WriteBytes(dir / "out.txt", "yesterday's target");
  prompts.answers = {true};
  bool ok = true;
  {
    test::FileSizeLimit limit(4000);  // temp.xml fits, the 6000-byte target does not
    ok = ConvertFiles(formats, "Semi", dir / "in.txt", "Wide", dir / "out.txt", setup);
  }
  EXPECT_FALSE(ok);
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "yesterday's target");
  EXPECT_EQ(prompts.details,
            std::vector<std::string>{(dir / "out.txt").string() + ": File too large"});
}

// The writer names a value too wide for its field; reading back does not report the record
// it spoils again.
TEST_F(Conversion, CheckNamesValuesTooWideForTheirFields) {
  WriteBytes(dir / "Formats" / "fixed.xml",
             R"(<format name="Fixed"><repeat><node><group id="R">)"
             R"(<element id="K" width="4"/><element id="V" width="3" align="right"/>)"
             R"(<literal hex="true">0A</literal></group></node></repeat></format>)");
  formats.Refresh(dir.Path());
  ConversionReport report;
  setup.report = &report;
  EXPECT_TRUE(Run("abcd;1\nabcde;22\nx;3333\n", "Semi", "Fixed"));
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "abcd  1\nabcde 22\nx   3333\n");
  ASSERT_TRUE(report.check.ran);
  EXPECT_EQ(report.check.count, 2u);
  EXPECT_EQ(report.check.tooWideCount, 2u);
  ASSERT_EQ(report.check.tooWide.size(), 2u);
  EXPECT_EQ(DescribeTooWide(report.check.tooWide[0]),
            "record 2, element K: abcde needs 5 characters, the field holds 4");
  EXPECT_EQ(DescribeTooWide(report.check.tooWide[1]),
            "record 3, element V: 3333 needs 4 characters, the field holds 3");
  EXPECT_TRUE(report.check.first.empty());
  EXPECT_FALSE(report.check.readBack);
}

TEST_F(Conversion, ConvertButtonWithoutSelectionDoesNothing) {
  WriteBytes(dir / "in.txt", "a;1\n");
  EXPECT_FALSE(ConvertFiles(formats, "Semi", dir / "in.txt", "", dir / "new.txt", setup));
  EXPECT_FALSE(ConvertFiles(formats, "", dir / "in.txt", "Eq", dir / "new.txt", setup));
  EXPECT_FALSE(ConvertFiles(formats, "Semi", "", "Eq", dir / "new.txt", setup));
  EXPECT_FALSE(ConvertFiles(formats, "Semi", dir / "in.txt", "Eq", "", setup));
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_TRUE(prompts.busy.empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "new.txt"));
}

}  // namespace
}  // namespace ulvo

namespace ulvo {
namespace {

TEST(ConversionCheck, ValuesCompareAsNumbersWithinTheDecimalsReadBack) {
  struct Case {
    const char* written;
    const char* readBack;
    bool same;
  } cases[] = {
      {"100.5", "100.500", true}, {"7", "7.000", true},       {"1.2345", "1.235", true},
      {"1.2355", "1.235", true},  {"1.2356", "1.235", false}, {"-5.125", "-5.125", true},
      {"+5", "5", true},          {"10", "11", false},        {"0.4", "0", true},
      {"0.6", "0", false},        {"P1 ", "P1", false},       {"007", "7", true},
      {"1e3", "1000", false},     {"fence", "fence", true},   {"ABCDEFGHIJK", "ABCDEFGHIJ", false},
      {".5", "0.5", true},        {"-.5", "-0.500", true},    {"5.", "+5", true},
      {"-0", "+0.000", true},     {"-1", "+1", false},        {"+.25", "0.3", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SameValue(c.written, c.readBack), c.same) << c.written << " / " << c.readBack;
}

// Many records of shapes that take turns (more than are kept at hand), read back in several
// batches: each difference comes out in order under its own record, and a read that stops
// early leaves the records after it uncompared.
TEST(ConversionCheck, RecordsOfManyShapesCompareInOrderAcrossBatches) {
  test::TempDir dir;
  const auto semi = test::LoadDefinition(dir, kSemicolon);
  ASSERT_TRUE(semi);
  struct Shape {
    const char* name;
    std::vector<std::string> paths;
  };
  // Read back, every record is R with K then V.
  const Shape shapes[] = {{"R", {"K", "V"}}, {"R", {"K", "V", "N"}}, {"R", {"V", "K"}},
                          {"X", {"K", "V"}}, {"R", {"K"}},           {"R", {"K", "V", "M"}}};
  constexpr size_t kRecords = 2000;
  for (const size_t stopAt : {size_t{0}, size_t{1800}}) {
    WrittenRecords written;
    std::string output;
    std::vector<std::string> expected;  // "record element written readBack"
    for (size_t i = 0; i < kRecords; ++i) {
      const Shape& shape = shapes[(i * 7 / 3) % 6];
      const std::string k = "k" + std::to_string(i);
      const std::string v = i == 1500 ? "9" : std::to_string(i % 97);
      std::vector<std::string> texts;
      std::vector<FlatValue> values;
      for (const std::string& path : shape.paths)
        texts.push_back(path == "K" ? k : path == "V" ? v : "x");
      for (size_t j = 0; j < texts.size(); ++j) values.push_back({shape.paths[j], texts[j]});
      written.Add(shape.name, values);
      const std::string readV = std::to_string(i % 97);
      if (stopAt && i + 1 >= stopAt) {
        // Not a record: the read stops here, at the end of the file.
        if (i + 1 == stopAt) output += "broken";
        continue;
      }
      output += k + ";" + readV + "\n";
      const std::string n = std::to_string(i + 1) + " ";
      if (std::string(shape.name) != "R") expected.push_back(n + "(record) X R");
      if (shape.paths.size() == 1) expected.push_back(n + "V (none) " + readV);
      if (shape.paths.size() == 3) expected.push_back(n + shape.paths[2] + " x (none)");
      if (v != readV) expected.push_back(n + "V " + v + " " + readV);
    }
    test::WriteBytes(dir / "out.txt", output);
    const ConversionCheck check = written.Check(*semi, dir / "out.txt");
    std::vector<std::string> got;
    for (const CheckDifference& d : check.first)
      got.push_back(std::to_string(d.record) + " " + d.element + " " + d.written + " " +
                    d.readBack);
    ASSERT_GT(expected.size(), kMaxReportedDifferences);
    EXPECT_EQ(check.count, expected.size() + (stopAt ? 1 : 0)) << stopAt;
    expected.resize(kMaxReportedDifferences);
    EXPECT_EQ(got, expected) << stopAt;
    EXPECT_EQ(check.readBackRecord, stopAt) << stopAt;
    EXPECT_EQ(check.readBack.has_value(), stopAt != 0);
  }
}
// Values inside a record's groups are read back under their paths, across the batches the
// read-back is handed over in.
TEST(ConversionCheck, ValuesInGroupsReadBackUnderTheirPaths) {
  test::TempDir dir;
  const auto nest = test::LoadDefinition(
      dir, R"(<format name="Nest"><repeat><node><radio><group id="R">)"
           R"(<terminated><element id="K"/><literal>;</literal></terminated>)"
           R"(<group id="G"><terminated><element id="A"/><literal>;</literal></terminated>)"
           R"(<terminated><element id="B"/><literal hex="true">0A</literal></terminated></group>)"
           R"(</group></radio></node></repeat></format>)");
  ASSERT_TRUE(nest);
  WrittenRecords written;
  std::string output;
  for (size_t i = 0; i < 1500; ++i) {
    const std::string k = "k" + std::to_string(i), a = std::to_string(i % 13),
                      b = "b" + std::to_string(i);
    written.Add("R", {{"K", k}, {"G/A", a}, {"G/B", b}});
    output += k + ";" + (i == 1200 ? "x" : a) + ";" + b + "\n";
  }
  test::WriteBytes(dir / "out.txt", output);
  const ConversionCheck check = written.Check(*nest, dir / "out.txt");
  EXPECT_EQ(check.count, 1u);
  ASSERT_EQ(check.first.size(), 1u);
  EXPECT_EQ(check.first[0].record, 1201u);
  EXPECT_EQ(check.first[0].element, "G/A");
  EXPECT_EQ(check.first[0].written, std::to_string(1200 % 13));
  EXPECT_EQ(check.first[0].readBack, "x");
}

}  // namespace
}  // namespace ulvo
