#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "ulvo/convert/conversion.h"
#include "ulvo/convert/convert_settings.h"
#include "ulvo/convert/identify.h"
#include "ulvo/engine/format_design.h"
#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr const char* kCsv = "Point list (comma-separated)";
constexpr const char* kFixed = "Point list (fixed columns)";
constexpr const char* kItf = "ITF00 coordinates";
constexpr const char* kExample = "Point list (example to edit)";

// Three points as each shipped layout writes them, worked out from the layouts by hand.
const std::string kCsvPoints =
    "P1,100.5,200.25,10.0,fence post\r\n"
    "P2,-5.125,7,0,\r\n"
    "BM12,98765.432,-12345.678,123.456,bench mark\r\n";
const std::string kFixedPoints =
    "P1               100.500       200.250      10.000 fence post\r\n"
    "P2                -5.125         7.000       0.000\r\n"
    "BM12           98765.432    -12345.678     123.456 bench mark\r\n";
const std::string kItfPoints =
    "_"
    "+P1        _ x   +100500_ y   +200250_ z    +10000_"
    "+P2        _ x     -5125_ y     +7000_ z        +0_"
    "+BM12      _ x +98765432_ y -12345678_ z   +123456_"
    "_";
const std::string kCsvFromItf =
    "P1,100.500,200.250,10.000,\r\n"
    "P2,-5.125,7.000,0.000,\r\n"
    "BM12,98765.432,-12345.678,123.456,\r\n";

class NoPrompts : public ConversionPrompts {
 public:
  void ShowMessage(const Message& message) override { shown.push_back(DefaultText(message)); }
  bool AskReplace(const Message& question) override {
    ADD_FAILURE() << "unexpected question: " << DefaultText(question);
    return false;
  }
  std::vector<std::string> shown;
};

class ShippedFormats : public testing::Test {
 protected:
  void SetUp() override {
    formats.Refresh(ULVO_DATA_DIR);
    ASSERT_TRUE(formats.Find(kCsv) && formats.Find(kFixed) && formats.Find(kItf));
    setup.programFolder = dir.Path();
    setup.prompts = &prompts;
  }

  // Converts input from one shipped layout into another; returns the output bytes.
  std::string Convert(const std::string& input, const char* from, const char* to,
                      bool expectOk = true) {
    WriteBytes(dir / "in.txt", input);
    const bool ok =
        RunConversion(dir / "in.txt", formats.Find(from), dir / "out.txt", formats.Find(to), setup);
    EXPECT_EQ(ok, expectOk) << from << " -> " << to;
    return ReadBytes(dir / "out.txt");
  }

  TempDir dir;
  FormatList formats;
  NoPrompts prompts;
  ConversionSetup setup;
};

TEST_F(ShippedFormats, ListedWithTheirTypes) {
  ASSERT_EQ(formats.Count(), 4u);
  EXPECT_EQ(formats.Find(kCsv)->Type(), "POINTS");
  EXPECT_EQ(formats.Find(kFixed)->Type(), "POINTS");
  EXPECT_EQ(formats.Find(kItf)->Type(), "ITF00");
  // Each line is read whole before its fields, which the design editor's skeleton cannot
  // express.
  EXPECT_FALSE(formats.Find(kCsv)->Simple());
  EXPECT_FALSE(formats.Find(kFixed)->Simple());
  EXPECT_FALSE(formats.Find(kItf)->Simple());
  // The example is one Format Design shows and edits.
  ASSERT_TRUE(formats.Find(kExample));
  EXPECT_EQ(formats.Find(kExample)->Type(), "POINTS");
  EXPECT_TRUE(FormatDesign::CanAddGroups(*formats.Find(kExample)));
}

TEST_F(ShippedFormats, ExampleReadsAndWritesItsLines) {
  const std::string example =
      "P1,100.500,200.250,10.000\r\n"
      "P2,-5.125,7.000,0.000\r\n"
      "BM12,98765.432,-12345.678,123.456\r\n";
  EXPECT_EQ(Convert(kItfPoints, kItf, kExample), example);
  EXPECT_EQ(Convert(example, kExample, kFixed),
            "P1               100.500       200.250      10.000\r\n"
            "P2                -5.125         7.000       0.000\r\n"
            "BM12           98765.432    -12345.678     123.456\r\n");
}

// Which shipped formats read a file whole, best first, and where the others stop.
TEST_F(ShippedFormats, IdentifyTriesEveryFormat) {
  const std::string exampleLines = "P1,100.5,200.25,10.0\r\nP2,1,2,3\r\n";
  struct Read {
    const char* name;
    size_t records, values;
  };
  struct Stop {
    const char* name;
    uint64_t line, column;
    size_t records;
  };
  struct Case {
    const char* what;
    std::string input;
    std::vector<Read> whole;
    std::vector<Stop> stopped;
  } cases[] = {
      // The example reads a description into its elevation, which ends at the line end: it
      // reads the file too, with a value less a line. (An empty description is no value.)
      // Formats that stop at the same place are listed by name.
      {"comma-separated",
       kCsvPoints,
       {{kCsv, 3, 14}, {kExample, 3, 12}},
       {{kFixed, 1, 11, 0}, {kItf, 1, 1, 0}}},
      {"fixed columns",
       kFixedPoints,
       {{kFixed, 3, 14}},
       {{kItf, 1, 1, 0}, {kCsv, 1, 1, 0}, {kExample, 1, 1, 0}}},
      {"ITF00 blocks",
       kItfPoints,
       {{kItf, 3, 12}},
       {{kCsv, 1, 1, 0}, {kExample, 1, 1, 0}, {kFixed, 1, 1, 0}}},
      // Four fields: the comma-separated list misses the comma after the elevation (column
      // 17 of line 1); the fixed columns want ten characters of name before the northing.
      {"example",
       exampleLines,
       {{kExample, 2, 8}},
       {{kCsv, 1, 17, 0}, {kFixed, 1, 11, 0}, {kItf, 1, 1, 0}}},
      // Line 2 ends after its easting: no format reads it, two stop at that field.
      {"broken second line",
       "P1,1,2,3,\r\nP2,1,2\r\n",
       {},
       {{kCsv, 2, 6, 1}, {kExample, 2, 6, 1}, {kFixed, 1, 11, 0}, {kItf, 1, 1, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(dir / "in.txt", c.input);
    const Identification found = IdentifyFile(formats, dir / "in.txt");
    EXPECT_EQ(found.problem, "");
    ASSERT_EQ(found.whole.size(), c.whole.size());
    for (size_t i = 0; i < c.whole.size(); ++i) {
      EXPECT_EQ(found.whole[i].name, c.whole[i].name);
      EXPECT_EQ(found.whole[i].records, c.whole[i].records) << c.whole[i].name;
      EXPECT_EQ(found.whole[i].values, c.whole[i].values) << c.whole[i].name;
    }
    ASSERT_EQ(found.stopped.size(), c.stopped.size());
    for (size_t i = 0; i < c.stopped.size(); ++i) {
      const FormatTry& t = found.stopped[i];
      EXPECT_EQ(t.name, c.stopped[i].name);
      EXPECT_EQ(t.failure.line, c.stopped[i].line) << t.name;
      EXPECT_EQ(t.failure.column, c.stopped[i].column) << t.name;
      EXPECT_EQ(t.failure.records, c.stopped[i].records) << t.name;
    }
  }
  // A file that cannot tell: nothing is tried.
  for (const auto& [file, why] :
       {std::pair{dir / "missing.txt", std::string("No such file or directory")},
        std::pair{dir / "empty.txt", std::string("the file is empty")}}) {
    if (file.filename() == "empty.txt") WriteBytes(file, "");
    const Identification found = IdentifyFile(formats, file);
    EXPECT_EQ(found.problem, file.string() + ": " + why);
    EXPECT_TRUE(found.whole.empty() && found.stopped.empty());
  }
}

TEST_F(ShippedFormats, ShortLineFailsAtItsLine) {
  const std::string fixedP1 = "P1               100.500       200.250      10.000\r\n";
  struct Case {
    const char* format;
    std::string input;
    uint64_t line, column, offset;
    size_t records;
  } cases[] = {
      // The third field's comma is missing: the field starts at column 6 of line 2.
      {kCsv, "P1,1,2,3,\r\nP2,1,2\r\nP3,1,2,3,\r\n", 2, 6, 16, 1},
      {kCsv, "P1,1,2,3,\nP2,1,2,3\nP3,1,2,3,\n", 2, 8, 17, 1},
      // No line end at all after the last point: that line cannot be read.
      {kCsv, "P1,1,2,3,x", 1, 1, 0, 0},
      // The easting column is missing: column 25 of line 2.
      {kFixed, fixedP1 + "P2                 1.000\r\n" + fixedP1, 2, 25, 76, 1},
      // An elevation with four decimals.
      {kFixed, fixedP1 + fixedP1.substr(0, 38) + "     10.0000\r\n", 2, 39, 90, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    WriteBytes(dir / "in.txt", c.input);
    pugi::xml_document document;
    ParseFailure failure;
    EXPECT_FALSE(
        formats.Find(c.format)->ParseFile(dir / "in.txt", NewDataDocument(document), &failure));
    EXPECT_EQ(failure.line, c.line);
    EXPECT_EQ(failure.column, c.column);
    EXPECT_EQ(failure.offset, c.offset);
    EXPECT_EQ(failure.records, c.records);
    EXPECT_EQ(failure.reason, "");
  }
}

TEST_F(ShippedFormats, LfLineEndsReadAsCrLf) {
  std::string csv = kCsvPoints, fixed = kFixedPoints;
  for (std::string* text : {&csv, &fixed}) {
    for (size_t at = text->find("\r\n"); at != std::string::npos; at = text->find("\r\n", at))
      text->erase(at, 1);
  }
  EXPECT_EQ(Convert(csv, kCsv, kFixed), kFixedPoints);
  EXPECT_EQ(Convert(fixed, kFixed, kFixed), kFixedPoints);
  EXPECT_EQ(Convert(fixed, kFixed, kCsv), Convert(kFixedPoints, kFixed, kCsv));
}

TEST_F(ShippedFormats, ConvertedBytes) {
  EXPECT_EQ(Convert(kCsvPoints, kCsv, kFixed), kFixedPoints);
  EXPECT_EQ(Convert(kFixedPoints, kFixed, kItf), kItfPoints);
  EXPECT_EQ(Convert(kItfPoints, kItf, kCsv), kCsvFromItf);
  EXPECT_EQ(Convert(kFixedPoints, kFixed, kCsv),
            "P1,100.500,200.250,10.000,fence post\r\n"
            "P2,-5.125,7.000,0.000,\r\n"
            "BM12,98765.432,-12345.678,123.456,bench mark\r\n");
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ShippedFormats, ReceivedItf00Stream) {
  // As an instrument sends it: zero-padded values, values of a million metres and more
  // without sign, the end mark and blanks up to the end of the last 128-byte block.
  std::string stream =
      "_+A1        _ x +00100500_ y -00000250_ z +00010000_"
      "+A2        _ x1234567890_ y +00000001_ z +00000000__";
  stream.append(128 - stream.size() % 128, ' ');
  EXPECT_EQ(Convert(stream, kItf, kCsv),
            "A1,100.500,-0.250,10.000,\r\n"
            "A2,1234567.890,0.001,0.000,\r\n");
}

struct Point {
  std::string name;
  double n, e, z;
  std::string description;
};

std::vector<Point> PointsOf(const std::string& csv) {
  std::vector<Point> points;
  size_t at = 0;
  while (at < csv.size()) {
    const size_t end = csv.find("\r\n", at);
    std::vector<std::string> cells;
    size_t from = at;
    for (int i = 0; i < 4; ++i) {
      const size_t comma = csv.find(',', from);
      cells.push_back(csv.substr(from, comma - from));
      from = comma + 1;
    }
    cells.push_back(csv.substr(from, end - from));
    points.push_back({cells[0], std::atof(cells[1].c_str()), std::atof(cells[2].c_str()),
                      std::atof(cells[3].c_str()), cells[4]});
    at = end + 2;
  }
  return points;
}

TEST_F(ShippedFormats, EveryLayoutIntoEveryOtherAndBack) {
  const char* names[] = {kCsv, kFixed, kItf};
  const std::string inputs[] = {kCsvPoints, kFixedPoints, kItfPoints};
  const auto expected = PointsOf(kCsvPoints);
  for (int a = 0; a < 3; ++a) {
    for (int b = 0; b < 3; ++b) {
      const std::string there = Convert(inputs[a], names[a], names[b]);
      const std::string back = Convert(there, names[b], names[a]);
      // Read the result of the round trip as the comma-separated list to compare values.
      const std::string csv = a == 0 ? back : Convert(back, names[a], kCsv);
      const auto points = PointsOf(csv);
      ASSERT_EQ(points.size(), expected.size()) << names[a] << " <-> " << names[b];
      for (size_t i = 0; i < points.size(); ++i) {
        SCOPED_TRACE(std::string(names[a]) + " <-> " + names[b] + ", point " + expected[i].name);
        EXPECT_EQ(points[i].name, expected[i].name);
        EXPECT_NEAR(points[i].n, expected[i].n, 1e-9);
        EXPECT_NEAR(points[i].e, expected[i].e, 1e-9);
        EXPECT_NEAR(points[i].z, expected[i].z, 1e-9);
        // The ITF00 stream has no description field.
        if (a != 2 && b != 2) {
          EXPECT_EQ(points[i].description, expected[i].description);
        }
      }
    }
  }
}

TEST_F(ShippedFormats, DefinitionsSurviveLoadAndSave) {
  for (const char* name : {kCsv, kFixed, kItf}) {
    SCOPED_TRACE(name);
    const auto copy = dir / "copy.xml";
    std::filesystem::copy_file(formats.Find(name)->Path(), copy,
                               std::filesystem::copy_options::overwrite_existing);
    FormatDefinition format(copy);
    ASSERT_TRUE(format.Load());
    ASSERT_TRUE(format.Save());  // rewrites every group of a simple format
    FormatDefinition again(copy);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.Name(), name);
    EXPECT_EQ(again.GroupCount(), format.GroupCount());
    const std::filesystem::path input = dir / "points.txt";
    const std::string& points = name == kCsv     ? kCsvPoints
                                : name == kFixed ? kFixedPoints
                                                 : kItfPoints;
    WriteBytes(input, points);
    pugi::xml_document first, second;
    EXPECT_TRUE(formats.Find(name)->ParseFile(input, NewDataDocument(first)));
    EXPECT_TRUE(again.ParseFile(input, NewDataDocument(second)));
    EXPECT_EQ(test::DocumentText(first), test::DocumentText(second));
  }
}

TEST_F(ShippedFormats, HostileInputsFailCleanly) {
  std::vector<std::string> inputs = {
      "",
      std::string(5000, ','),
      std::string(5000, '\n'),
      std::string(100000, 'x'),
      "P1,1,2,3,no line end",
      "_+P1        _ x   +100500_ y",
      "P1,1,2,3,\r\nP2,1,2",
      std::string("\0\0\0,\r\n", 7),
  };
  uint32_t seed = 12345;
  for (int n = 0; n < 30; ++n) {
    std::string garbage;
    for (int i = 0; i < 500; ++i) {
      seed = seed * 1103515245u + 12345u;
      // Mostly the bytes the layouts use, so the trees get deep before they fail.
      const char alphabet[] = ",_+ x\r\n0123456789.-P";
      garbage.push_back((seed >> 16) % 3 == 0 ? static_cast<char>(seed >> 8)
                                              : alphabet[(seed >> 8) % (sizeof alphabet - 1)]);
    }
    inputs.push_back(garbage);
  }
  for (const char* from : {kCsv, kFixed, kItf}) {
    for (const auto& input : inputs) {
      WriteBytes(dir / "in.txt", input);
      // Whatever the result, the run ends and the target is written from what was found.
      RunConversion(dir / "in.txt", formats.Find(from), dir / "out.txt", formats.Find(kCsv), setup);
      EXPECT_TRUE(std::filesystem::exists(dir / "out.txt"));
    }
  }
  EXPECT_TRUE(prompts.shown.empty());
}

bool Listed(const std::vector<IdName>& list, const std::string& id) {
  for (const auto& entry : list) {
    if (entry.id == id && !entry.name.empty()) return true;
  }
  return false;
}

TEST_F(ShippedFormats, SettingsNameEveryIdentifierTheDefinitionsUse) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file((std::filesystem::path(ULVO_DATA_DIR) / "Settings.xml").c_str()));
  pugi::xml_node settings = doc.child("settings");
  ASSERT_TRUE(settings);
  const auto types = ReadIdList(settings, "types", "type");
  const auto groups = ReadIdList(settings, "groups", "group");
  const auto elements = ReadIdList(settings, "elements", "element");
  for (size_t i = 0; i < formats.Count(); ++i) {
    const FormatDefinition* format = formats.At(i);
    SCOPED_TRACE(format->Name());
    EXPECT_TRUE(Listed(types, format->Type()));
    for (pugi::xpath_node node : format->Document().select_nodes("//group[@id]")) {
      EXPECT_TRUE(Listed(groups, node.node().attribute("id").value()));
    }
    for (pugi::xpath_node node : format->Document().select_nodes("//element[@id]")) {
      EXPECT_TRUE(Listed(elements, node.node().attribute("id").value()));
    }
  }
  // The form's stored selections name formats that exist.
  const ConvertSelections selections = ReadConvertSelections(settings);
  EXPECT_TRUE(formats.Find(selections.from.formatName));
  EXPECT_TRUE(formats.Find(selections.to.formatName));
}

// ulvo-cli, run as a user would.
class Cli : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy(std::filesystem::path(ULVO_DATA_DIR) / "Formats", dir / "Formats");
  }

  int Run(const std::string& arguments) {
    const std::string command =
        std::string("'") + SURVEY_BIN_DIR + "/ulvo-cli' --home '" + home.string() + "' " +
        arguments + " >'" + (dir / "stdout").string() + "' 2>'" + (dir / "stderr").string() + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Out() { return ReadBytes(dir / "stdout"); }
  std::string Err() { return ReadBytes(dir / "stderr"); }
  std::string Path(const char* name) { return "'" + (dir / name).string() + "'"; }

  TempDir dir;
  std::filesystem::path home = dir.Path();
};

TEST_F(Cli, ParseAndWrite) {
  WriteBytes(dir / "in.csv", "P1,1.5,2,3,x\r\n");
  EXPECT_EQ(Run("parse " + Path("Formats/PointListCsv.xml") + " " + Path("in.csv")), 0);
  EXPECT_EQ(Out(),
            "<?xml version=\"1.0\"?>\r\n<!--ULVO Instrument Data-->\r\n<data>\r\n"
            "\t<PT>\r\n\t\t<NR>P1</NR>\r\n\t\t<N>1.5</N>\r\n\t\t<E>2</E>\r\n\t\t<Z>3</Z>\r\n"
            "\t\t<D>x</D>\r\n\t</PT>\r\n</data>\r\n");

  EXPECT_EQ(Run("parse " + Path("Formats/PointListCsv.xml") + " " + Path("in.csv") + " -o " +
                Path("doc.xml")),
            0);
  EXPECT_EQ(Run("write " + Path("Formats/PointListFixed.xml") + " " + Path("doc.xml") + " " +
                Path("out.txt")),
            0);
  EXPECT_EQ(ReadBytes(dir / "out.txt"),
            "P1        "
            "         1.500         2.000       3.000 x\r\n");
  const std::string unwritable = (dir / "missing" / "out.txt").string();
  EXPECT_EQ(Run("write " + Path("Formats/PointListFixed.xml") + " " + Path("doc.xml") + " '" +
                unwritable + "'"),
            1);
  EXPECT_EQ(Err(), "ulvo-cli: the document could not be written in full to " + unwritable + "\n" +
                       unwritable + ": " + std::strerror(ENOENT) + "\n");

  // A failed parse still writes the document.
  WriteBytes(dir / "bad.csv", "P1,1.5,2,3,x\r\nextra");
  EXPECT_EQ(Run("parse " + Path("Formats/PointListCsv.xml") + " " + Path("bad.csv")), 1);
  EXPECT_NE(Out().find("<NR>P1</NR>"), std::string::npos);
}

TEST_F(Cli, ErrorsAndUsage) {
  WriteBytes(dir / "broken.xml", "<format name=\"Broken\"><nonsense/></format>");
  WriteBytes(dir / "in.csv", "");
  EXPECT_EQ(Run("parse " + Path("broken.xml") + " " + Path("in.csv")), 1);
  EXPECT_EQ(Err(), "Could not load format definition:\nBroken\n" + (dir / "broken.xml").string() +
                       ": unknown tag <nonsense> at line 1\n");
  EXPECT_EQ(Run("parse " + Path("broken.xml")), 2);
  EXPECT_EQ(Run("write " + Path("Formats/PointListCsv.xml") + " " + Path("in.csv") + " " +
                Path("out.txt")),
            1);
  EXPECT_EQ(Run("convert --from X INPUT OUTPUT"), 2);
}

TEST_F(Cli, IdentifySaysWhichFormatsReadTheFile) {
  WriteBytes(dir / "received.itf", kItfPoints);
  const std::string file = (dir / "received.itf").string();
  EXPECT_EQ(Run("identify " + Path("received.itf")), 0);
  EXPECT_EQ(Out(),
            file +
                " is read whole by:\n"
                "  ITF00 coordinates (ITF00): 3 record(s), 12 value(s)\n"
                "Not read whole by:\n"
                "  Point list (comma-separated): stops at line 1, column 1, after 0 record(s)\n"
                "  Point list (example to edit): stops at line 1, column 1, after 0 record(s)\n"
                "  Point list (fixed columns): stops at line 1, column 1, after 0 record(s)\n");
  EXPECT_EQ(Err(), "");

  WriteBytes(dir / "broken.csv", "P1,1,2,3,\r\nP2,1,2\r\n");
  EXPECT_EQ(Run("identify " + Path("broken.csv")), 1);
  EXPECT_TRUE(Out().starts_with("No format of the program folder reads " +
                                (dir / "broken.csv").string() + " whole.\nNot read whole by:\n"))
      << Out();

  EXPECT_EQ(Run("identify " + Path("missing.txt")), 1);
  EXPECT_EQ(Out(), "");
  EXPECT_EQ(Err(), "The file cannot be read: " + (dir / "missing.txt").string() +
                       ": No such file or directory\n");
  EXPECT_EQ(Run("identify"), 2);
}

TEST_F(Cli, FormatsAndConvert) {
  EXPECT_EQ(Run("formats"), 0);
  EXPECT_EQ(Out(),
            "ITF00 coordinates\tITF00\tItf00Coordinates.xml\n"
            "Point list (comma-separated)\tPOINTS\tPointListCsv.xml\n"
            "Point list (example to edit)\tPOINTS\tPointListExample.xml\n"
            "Point list (fixed columns)\tPOINTS\tPointListFixed.xml\n");
  EXPECT_EQ(Err(), "");

  WriteBytes(dir / "in.csv", kCsvPoints);
  const std::string convert = std::string("convert --from '") + kCsv + "' --to '" + kFixed + "' " +
                              Path("in.csv") + " " + Path("out.txt");
  EXPECT_EQ(Run(convert), 0);
  EXPECT_EQ(Out(), "Converted successfully\n");
  EXPECT_EQ(ReadBytes(dir / "out.txt"), kFixedPoints);
  EXPECT_TRUE(std::filesystem::exists(dir / "temp.xml"));

  WriteBytes(dir / "out.txt", "keep");
  EXPECT_EQ(Run(convert), 1);
  EXPECT_EQ(Err(),
            (dir / "out.txt").string() + "\nThis file already exists.\nReplace existing file?\n");
  EXPECT_EQ(ReadBytes(dir / "out.txt"), "keep");
  EXPECT_EQ(Run(convert + " --force"), 0);
  EXPECT_EQ(ReadBytes(dir / "out.txt"), kFixedPoints);

  // The editor gets the scratch file as its one argument; "true" leaves it as it is.
  EXPECT_EQ(Run(convert + " --force --editor true"), 0);
  EXPECT_EQ(ReadBytes(dir / "out.txt"), kFixedPoints);

  EXPECT_EQ(Run(std::string("convert --from Nope --to '") + kFixed + "' " + Path("in.csv") + " " +
                Path("new.txt")),
            1);
  EXPECT_EQ(Err(),
            "Could not load format definition:\nNope\nno format named \"Nope\"\n"
            "Error while converting\n");
}

TEST_F(Cli, DefinitionsThatDoNotLoadSayWhy) {
  const std::string formatsDir = (dir / "Formats").string() + "/";
  struct Case {
    const char* file;
    std::string text;
    std::string reason;
    bool loads;  // only an unknown tag or a <count> without 'id' keep a definition out
  } cases[] = {
      // Read past with a warning: a definition of another tool or a later version stays.
      {"Widht.xml",
       "<format name=\"W\">\n<repeat>\n<element id=\"NR\" widht=\"10\"/>\n</repeat></format>",
       "unknown attribute 'widht' of <element> at line 3 is ignored", true},
      // Read as "%2x" reads it: "0D", then "0G" gives the 0 before the G.
      {"Hex.xml", "<format name=\"H\">\n\n<literal hex=\"true\">0D0G</literal></format>",
       "hex literal '0D0G' is not pairs of hexadecimal digits at line 3; it is read as \"0D00\"",
       true},
      // The odd last digit is dropped.
      {"Odd.xml", "<format name=\"O\"><literal hex=\"true\">0D0</literal></format>",
       "hex literal '0D0' is not pairs of hexadecimal digits at line 1; it is read as \"0D\"",
       true},
      {"Xml.xml", "<format name=\"X\">\n  <literal>a</literal>\n  <repeat>\n</format>",
       "Start-end tags mismatch at line 4, column 3", false},
      {"Count.xml", "<format name=\"C\"><count width=\"3\"/></format>",
       "<count> without the attribute 'id' at line 1", false},
      {"Root.xml", "<Format name=\"R\"/>", "the root element is <Format>, not <format>", false},
  };
  std::string expected;
  for (const Case& c : cases) WriteBytes(dir / "Formats" / c.file, c.text);
  // A second definition of an existing name: the file names tell them apart.
  WriteBytes(dir / "Formats" / "Zcopy.xml",
             "<format name=\"ITF00 coordinates\" type=\"T\"><literal>x</literal></format>");
  EXPECT_EQ(Run("formats"), 0);
  EXPECT_NE(Out().find("ITF00 coordinates\tT\tZcopy.xml\n"), std::string::npos) << Out();
  EXPECT_NE(Out().find("ITF00 coordinates\tITF00\tItf00Coordinates.xml\n"), std::string::npos);
  EXPECT_NE(Out().find("W\t\tWidht.xml\n"), std::string::npos) << Out();
  // The warnings of what was listed, then what was not, in file-name order, one line each.
  for (const bool loads : {true, false}) {
    for (const char* file :
         {"Count.xml", "Hex.xml", "Odd.xml", "Root.xml", "Widht.xml", "Xml.xml"}) {
      for (const Case& c : cases) {
        if (std::string(c.file) != file || c.loads != loads) continue;
        expected += (loads ? "ulvo-cli: warning: " : "ulvo-cli: not loaded: ") + formatsDir +
                    c.file + ": " + c.reason + "\n";
      }
    }
  }
  EXPECT_EQ(Err(), expected);

  WriteBytes(dir / "in.csv", "P1,1,2,3,\r\n");
  Run("parse " + Path("Formats/Widht.xml") + " " + Path("in.csv"));
  EXPECT_EQ(Err().find("Could not load format definition"), std::string::npos) << Err();
  EXPECT_EQ(Run("parse " + Path("Formats/Count.xml") + " " + Path("in.csv")), 1);
  EXPECT_EQ(Err(), "Could not load format definition:\nC\n" + formatsDir +
                       "Count.xml: <count> without the attribute 'id' at line 1\n");
}

TEST_F(Cli, ParseFailureSaysWhere) {
  WriteBytes(dir / "in.csv", "P1,1,2,3,\r\nP2,1,2\r\nP3,1,2,3,\r\n");
  EXPECT_EQ(Run("parse " + Path("Formats/PointListCsv.xml") + " " + Path("in.csv")), 1);
  const std::string where = (dir / "in.csv").string() +
                            ": line 2, column 6 (byte offset 16): the input stops matching the "
                            "format after 1 record\n";
  EXPECT_EQ(Err(),
            "ulvo-cli: " + (dir / "in.csv").string() + " does not match the format\n" + where);

  EXPECT_EQ(Run(std::string("convert --from '") + kCsv + "' --to '" + kCsv + "' " + Path("in.csv") +
                " " + Path("out.csv")),
            1);
  EXPECT_EQ(Err(), "Error while converting\n" + where);
  EXPECT_EQ(ReadBytes(dir / "out.csv"), "P1,1,2,3,\r\n");

  EXPECT_EQ(Run(std::string("convert --from '") + kCsv + "' --to '" + kCsv + "' " +
                Path("missing.csv") + " " + Path("new.csv")),
            1);
  EXPECT_EQ(Err(), "Error while converting\n" + (dir / "missing.csv").string() +
                       ": No such file or directory\n");
}

TEST_F(Cli, CheckReportsValuesTheTargetCannotHold) {
  const std::string convert = std::string("convert --force --from '") + kCsv + "' --to '" + kFixed +
                              "' " + Path("in.csv") + " " + Path("out.txt");
  // Ten characters fill the name column exactly; eleven push every column one place right.
  WriteBytes(dir / "in.csv", "ABCDEFGHIJ,1,2,3,\r\n");
  EXPECT_EQ(Run(convert), 0);
  EXPECT_EQ(Err(), "");
  WriteBytes(dir / "in.csv", "P1,1,2,3,\r\nABCDEFGHIJK,1,2,3,\r\n");
  EXPECT_EQ(Run(convert), 3);
  EXPECT_EQ(Out(), "Converted successfully\n");
  EXPECT_EQ(ReadBytes(dir / "out.txt"),
            "P1                 1.000         2.000       3.000\r\n"
            "ABCDEFGHIJK         1.000         2.000       3.000\r\n");
  // The writer says which value did not fit; reading back has nothing to add about it.
  EXPECT_EQ(Err(), "Check: 1 difference reading " + (dir / "out.txt").string() +
                       " back with \"Point list (fixed columns)\":\n"
                       "  record 2, element NR: ABCDEFGHIJK needs 11 characters, the field "
                       "holds 10\n");
  EXPECT_EQ(Run(convert + " --no-check"), 0);
  EXPECT_EQ(Err(), "");

  // A northing in metres of the millions needs eleven characters with its sign.
  WriteBytes(dir / "in.csv", "P1,5000291.449,100,1,\r\nP2,1,2,3,\r\n");
  EXPECT_EQ(Run(std::string("convert --force --from '") + kCsv + "' --to '" + kItf + "' " +
                Path("in.csv") + " " + Path("out.txt")),
            3);
  EXPECT_EQ(Err(), "Check: 1 difference reading " + (dir / "out.txt").string() +
                       " back with \"ITF00 coordinates\":\n"
                       "  record 1, element N: +5000291449 needs 11 characters, the field "
                       "holds 10\n");

  // The coordinate stream has no place for descriptions.
  WriteBytes(dir / "in.csv", "P1,1,2,3,post\r\nP2,1,2,3,\r\n");
  EXPECT_EQ(Run(std::string("convert --force --from '") + kCsv + "' --to '" + kItf + "' " +
                Path("in.csv") + " " + Path("out.txt")),
            3);
  EXPECT_EQ(Err(), "Check: 1 difference reading " + (dir / "out.txt").string() +
                       " back with \"ITF00 coordinates\":\n"
                       "  record 1, D: written \"post\", read back (none)\n");
}

TEST_F(Cli, EditorGetsTheScratchFileAsOneArgument) {
  // A program folder with a blank in its name: no shell may split the path.
  home = dir / "my home";
  std::filesystem::create_directories(home);
  std::filesystem::copy(dir / "Formats", home / "Formats");
  WriteBytes(dir / "edit.sh", "#!/bin/sh\nsed -i 's/<NR>P1</<NR>Q1</' \"$1\"\n");
  std::filesystem::permissions(dir / "edit.sh", std::filesystem::perms::owner_all);
  WriteBytes(dir / "in.csv", "P1,1,2,3,\r\n");
  const std::string convert = std::string("convert --from '") + kCsv + "' --to '" + kCsv + "' " +
                              Path("in.csv") + " " + Path("out.csv");
  EXPECT_EQ(Run(convert + " --editor " + Path("edit.sh")), 0);
  EXPECT_EQ(ReadBytes(dir / "out.csv"), "Q1,1,2,3,\r\n");
  EXPECT_TRUE(std::filesystem::exists(home / "temp.xml"));

  // An editor that cannot be started is passed over.
  EXPECT_EQ(Run(convert + " --force --editor /nonexistent/editor"), 0);
  EXPECT_EQ(ReadBytes(dir / "out.csv"), "P1,1,2,3,\r\n");
}

// The plan of a file read with a shipped format, its circles read back; the element choice
// comes from Settings.xml and the options.
TEST_F(Cli, PlanOfAPointListAndTheElementChoice) {
  // Centre N 105, E 215; at 1:1000 the A4 landscape area (277 x 168 mm from (10, 10)) puts
  // it at (148.5, 94).
  WriteBytes(dir / "in.csv", "A,100,200,0,\r\nB,110,200,0,\r\nC,100,230,0,\r\n");
  ASSERT_EQ(Run(std::string("plan --format '") + kCsv + "' " + Path("in.csv") + " -o " +
                Path("plan.svg") + " --scale 1000"),
            0)
      << Err();
  std::string svg = ReadBytes(dir / "plan.svg");
  for (const char* circle : {R"(cx="133.500" cy="99.000")", R"(cx="133.500" cy="89.000")",
                             R"(cx="163.500" cy="99.000")"})
    EXPECT_NE(svg.find(circle), std::string::npos) << circle;
  EXPECT_EQ(Out(), "3 points, 1:1000 on A4\n");

  // The remembered choice: northing and easting taken the other way round.
  WriteBytes(dir / "Settings.xml",
             std::string("<?xml version=\"1.0\"?>\r\n<settings><conversion><plan><format name=\"") +
                 kCsv + "\" northing=\"E\" easting=\"N\"/></plan></conversion></settings>\r\n");
  ASSERT_EQ(Run(std::string("plan --format '") + kCsv + "' " + Path("in.csv") + " -o " +
                Path("swapped.svg") + " --scale 1000"),
            0)
      << Err();
  svg = ReadBytes(dir / "swapped.svg");
  EXPECT_NE(svg.find(R"(width="210mm")"), std::string::npos);  // now 10 m wide, 30 m tall
  // Options win over the remembered choice.
  ASSERT_EQ(Run(std::string("plan --format '") + kCsv + "' " + Path("in.csv") + " -o " +
                Path("plain.svg") + " --scale 1000 --northing N --easting E"),
            0);
  EXPECT_NE(ReadBytes(dir / "plain.svg").find(R"(cx="133.500" cy="99.000")"), std::string::npos);

  EXPECT_EQ(Run("plan --format nothing " + Path("in.csv") + " -o " + Path("x.svg")), 1);
  EXPECT_EQ(Run(std::string("plan --format '") + kCsv + "' " + Path("in.csv") + " -o " +
                Path("x.svg") + " --northing Q"),
            1);
  EXPECT_NE(Err().find("The data holds no points to draw."), std::string::npos) << Err();
  EXPECT_EQ(Run(std::string("plan --format '") + kCsv + "' " + Path("in.csv")), 2);
}

}  // namespace
}  // namespace ulvo
