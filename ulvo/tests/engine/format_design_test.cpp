#include "ulvo/engine/format_design.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <cerrno>
#include <cstdio>

#include "ulvo/engine/text_codec.h"
#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr const char* kPoints =
    "<?xml version=\"1.0\"?>\n"
    "<format type=\"POINTS\" name=\"Points\" simple=\"true\">\n"
    "\t<repeat><node><radio>\n"
    "\t\t<group id=\"PT\" name=\"Point\">\n"
    "\t\t\t<terminated><element id=\"NR\"/><literal>,</literal></terminated>\n"
    "\t\t\t<element id=\"E\" width=\"10\" align=\"right\" factor=\"1000\" precision=\"0\"/>\n"
    "\t\t\t<literal hex=\"true\">0D0A</literal>\n"
    "\t\t</group>\n"
    "\t</radio></node></repeat>\n"
    "</format>\n";

// Writes half of what it is given, then reports the disk full.
bool FullAfterHalf(std::FILE* file, std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size() / 2, file);
  errno = ENOSPC;
  return false;
}

// The model of a format as text, literals by their bytes, so that two loads compare.
std::string Describe(const FormatDefinition& format) {
  std::string text = format.Name() + "|" + format.Type();
  for (size_t g = 0; g < format.GroupCount(); ++g) {
    const GroupDefinition* group = format.Group(g);
    text += "\n" + group->Id() + "|" + group->Name() + ":";
    for (size_t i = 0; i < group->ItemCount(); ++i) {
      if (const auto* e = dynamic_cast<const ElementDefinition*>(group->Item(i))) {
        text += " E(" + e->Id() + "," + std::to_string(e->Width()) + ",'" +
                std::string(1, e->Fill()) + "'," + (e->AlignRight() ? "R" : "L") + "," +
                (e->Sign() ? "+" : "") + FormatFixed(e->Offset(), 6) + ")";
      } else if (const auto* l = dynamic_cast<const LiteralDefinition*>(group->Item(i))) {
        text += " L(" + BytesToHex(l->Hex() ? HexToBytes(l->Text()) : l->Text()) + ")";
      }
    }
  }
  return text;
}

constexpr const char* kSkeletonStart =
    "<?xml version=\"1.0\"?>\r\n<!--ULVO File Format Definition-->\r\n";

class Design : public testing::Test {
 protected:
  Design() { std::filesystem::create_directories(dir / "Formats"); }
  std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "Formats")) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  TempDir dir;
};

TEST_F(Design, NewFormatsGetNumberedNamesAndRemovedNewOnesLeaveNothing) {
  FormatDesign design(dir.Path());
  design.Refresh();
  FormatDefinition* first = design.AddFormat("Format", "POINTS");
  design.AddFormat("Format", "");
  FormatDefinition* gone = design.AddFormat("Gone", "");
  design.RemoveFormat(gone);
  EXPECT_TRUE(design.DeleteQueue().empty());
  EXPECT_FALSE(FormatDesign::RenameFormat(*first, ""));
  EXPECT_EQ(first->Name(), "Format");
  ASSERT_EQ(design.Save().kind, FormatDesign::SaveResult::kSaved);
  EXPECT_EQ(Files(), (std::vector<std::string>{"Format.xml", "Format2.xml"}));
  EXPECT_EQ(ReadBytes(dir / "Formats/Format.xml"),
            std::string(kSkeletonStart) +
                "<format simple=\"true\" name=\"Format\" type=\"POINTS\"><repeat><node><radio/>"
                "</node></repeat></format>\r\n");
}

TEST_F(Design, RemovedSavedFormatIsDeletedAtSaveOnly) {
  WriteBytes(dir / "Formats/a.xml", "<format name=\"A\"/>");
  WriteBytes(dir / "Formats/b.xml", "<format name=\"B\"/>");
  FormatDesign design(dir.Path());
  design.Refresh();
  ASSERT_EQ(design.Formats().Count(), 2u);
  design.RemoveFormat(design.Formats().Find("A"));
  design.RemoveFormat(design.Formats().Find("B"));
  EXPECT_EQ(design.DeleteQueue().size(), 2u);
  EXPECT_EQ(Files().size(), 2u);  // nothing before OK
  // b.xml, queued last, is deleted first; a.xml cannot be deleted and stays queued.
  std::filesystem::remove(dir / "Formats/a.xml");
  std::filesystem::create_directories(dir / "Formats/a.xml/inside");
  const auto result = design.Save();
  EXPECT_EQ(result.kind, FormatDesign::SaveResult::kDeleteFailed);
  EXPECT_EQ(result.argument, (dir / "Formats/a.xml").string());
  ASSERT_EQ(design.DeleteQueue().size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir / "Formats/b.xml"));
  // Once the obstacle is gone the queue empties; a file already gone is no failure.
  std::filesystem::remove_all(dir / "Formats/a.xml");
  EXPECT_EQ(design.Save().kind, FormatDesign::SaveResult::kSaved);
  EXPECT_TRUE(design.DeleteQueue().empty());
}

TEST_F(Design, GroupsOnlyForSimpleFormatsWithTheSkeleton) {
  WriteBytes(dir / "Formats/a.xml",
             "<format name=\"A\" simple=\"true\"><literal>x</literal></format>");
  WriteBytes(dir / "Formats/b.xml",
             "<format name=\"B\"><repeat><node><radio/></node></repeat></format>");
  FormatDesign design(dir.Path());
  design.Refresh();
  EXPECT_FALSE(FormatDesign::CanAddGroups(*design.Formats().Find("A")));
  EXPECT_FALSE(FormatDesign::CanAddGroups(*design.Formats().Find("B")));
  EXPECT_TRUE(FormatDesign::CanAddGroups(*design.AddFormat("C", "")));
}

TEST_F(Design, SaveFailureNamesTheFormat) {
  FormatDesign design(dir / "nowhere");
  design.AddFormat("Survey", "");
  const auto result = design.Save();
  EXPECT_EQ(result.kind, FormatDesign::SaveResult::kSaveFailed);
  EXPECT_EQ(result.argument, "Survey");
}

TEST_F(Design, FailedWriteNamesTheFileAndLeavesItAsItWas) {
  WriteBytes(dir / "Formats/p.xml", kPoints);
  FormatDesign design(dir.Path());
  design.Refresh();
  ASSERT_EQ(design.Formats().Count(), 1u);
  EXPECT_FALSE(design.HasUnsavedChanges());
  ASSERT_TRUE(FormatDesign::RenameFormat(*design.Formats().At(0), "Points 2"));
  EXPECT_TRUE(design.HasUnsavedChanges());
  design.SetChunkWriter(FullAfterHalf);
  const auto result = design.Save();
  EXPECT_EQ(result.kind, FormatDesign::SaveResult::kSaveFailed);
  EXPECT_EQ(result.argument, "Points 2");
  EXPECT_EQ(result.reason, (dir / "Formats/p.xml").string() + ": No space left on device");
  EXPECT_EQ(ReadBytes(dir / "Formats/p.xml"), kPoints);
  EXPECT_EQ(Files(), std::vector<std::string>{"p.xml"});
  EXPECT_TRUE(design.HasUnsavedChanges());
  // Once the disk has room the same OK saves the edit.
  design.SetChunkWriter({});
  EXPECT_EQ(design.Save().kind, FormatDesign::SaveResult::kSaved);
  EXPECT_FALSE(design.HasUnsavedChanges());
  std::string expected = kPoints;
  expected.replace(expected.find("name=\"Points\""), 13, "name=\"Points 2\"");
  EXPECT_EQ(ReadBytes(dir / "Formats/p.xml"), expected);
}

TEST_F(Design, ItemEditFailingToWriteIsSavedAtTheNextOk) {
  WriteBytes(dir / "Formats/p.xml", kPoints);
  FormatDesign design(dir.Path());
  design.Refresh();
  GroupDefinition* group = design.Formats().At(0)->Group(0);
  EditElementWidth(*dynamic_cast<ElementDefinition*>(group->Item(2)), "12");
  design.SetChunkWriter(FullAfterHalf);
  EXPECT_EQ(design.Save().kind, FormatDesign::SaveResult::kSaveFailed);
  // The group was written into the document; the format still waits to be saved.
  EXPECT_TRUE(design.HasUnsavedChanges());
  design.SetChunkWriter({});
  EXPECT_EQ(design.Save().kind, FormatDesign::SaveResult::kSaved);
  EXPECT_NE(ReadBytes(dir / "Formats/p.xml").find("width=\"12\" align=\"right\" factor=\"1000\""),
            std::string::npos);
}

// A file system of its own, mounted for this test process only.
class SmallDisk {
 public:
  explicit SmallDisk(const std::filesystem::path& where) {
    if (::unshare(CLONE_NEWNS) != 0) return;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return;
    if (::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=64k") != 0) return;
    mounted_ = where;
  }
  ~SmallDisk() {
    if (!mounted_.empty()) ::umount2(mounted_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool Mounted() const { return !mounted_.empty(); }
  // Takes every free byte.
  void Fill() const {
    std::FILE* file = std::fopen((mounted_ / "filler").c_str(), "wb");
    if (!file) return;
    const std::string block(4096, 'x');
    while (std::fwrite(block.data(), 1, block.size(), file) == block.size() &&
           std::fflush(file) == 0) {
    }
    while (std::fputc('x', file) != EOF && std::fflush(file) == 0) {
    }
    std::fclose(file);
  }

 private:
  std::filesystem::path mounted_;
};

TEST_F(Design, FullDiskLeavesTheDefinitionAsItWas) {
  std::filesystem::create_directories(dir / "disk");
  SmallDisk disk(dir / "disk");
  if (!disk.Mounted()) GTEST_SKIP() << "no permission to mount a small file system";
  std::filesystem::create_directories(dir / "disk/Formats");
  WriteBytes(dir / "disk/Formats/p.xml", kPoints);
  disk.Fill();
  FormatDesign design(dir / "disk");
  design.Refresh();
  ASSERT_EQ(design.Formats().Count(), 1u);
  // Far more than the file's own block could hold.
  GroupDefinition* group = design.Formats().At(0)->Group(0);
  for (int i = 0; i < 400; ++i) EditElementId(*AppendElement(*group), "Elevation");
  const auto result = design.Save();
  EXPECT_EQ(result.kind, FormatDesign::SaveResult::kSaveFailed);
  EXPECT_EQ(result.reason, (dir / "disk/Formats/p.xml").string() + ": No space left on device");
  EXPECT_EQ(ReadBytes(dir / "disk/Formats/p.xml"), kPoints);
  FormatList again;
  again.Refresh(dir / "disk");
  EXPECT_EQ(again.Count(), 1u);
  EXPECT_TRUE(again.Failures().empty());
}

TEST_F(Design, EveryEditKindIsSavedAndLoadsAgain) {
  WriteBytes(dir / "Formats/p.xml", kPoints);
  WriteBytes(dir / "Formats/gone.xml", "<format name=\"Gone\"/>");
  FormatDesign design(dir.Path());
  design.Refresh();
  FormatDefinition* points = design.Formats().Find("Points");
  ASSERT_TRUE(points);
  design.RemoveFormat(design.Formats().Find("Gone"));

  // Format, group and item edits on a saved format.
  ASSERT_TRUE(FormatDesign::RenameFormat(*points, "Punkte \xC3\xA4 & <1>"));
  ASSERT_TRUE(FormatDesign::SetFormatType(*points, "POINTS-2"));
  GroupDefinition* group = points->Group(0);
  ASSERT_TRUE(FormatDesign::RenameGroup(*group, "Punkt \"1\""));
  ASSERT_TRUE(FormatDesign::SetGroupId(*group, "P.2"));
  auto* name = dynamic_cast<ElementDefinition*>(group->Item(0));
  auto* comma = dynamic_cast<LiteralDefinition*>(group->Item(1));
  auto* easting = dynamic_cast<ElementDefinition*>(group->Item(2));
  ASSERT_TRUE(name && comma && easting);
  ASSERT_TRUE(EditElementId(*name, "N_1"));
  EditElementWidth(*name, "8");
  EditElementAlign(*name, true);
  EditElementSign(*name, true);
  EXPECT_EQ(EditElementFill(*name, "\t"), " ");  // refused: a control character
  EXPECT_EQ(EditElementFill(*name, "0"), "0");
  ASSERT_TRUE(EditElementOffset(*name, "-12.5"));
  EXPECT_FALSE(EditElementOffset(*name, "1e999"));
  EditLiteralText(*comma, std::string("\x01;\x7F", 3), nullptr);
  group->RemoveItem(3);  // the line end
  LiteralDefinition* end = AppendLiteral(*group);
  EditLiteralHex(*end, true);
  EditLiteralText(*end, "0a", nullptr);
  LiteralDefinition* blank = AppendLiteral(*group);
  EditLiteralText(*blank, " ", nullptr);
  ElementDefinition* last = AppendElement(*group);
  EditElementId(*last, "D");
  GroupDefinition* second = FormatDesign::AddGroup(*points, "Code", "CD");
  EditElementId(*AppendElement(*second), "C");
  EditLiteralText(*AppendLiteral(*second), "\xE9", nullptr);

  // Refused edits change nothing.
  EXPECT_FALSE(FormatDesign::RenameFormat(*points, "a\x01"));
  EXPECT_FALSE(FormatDesign::RenameFormat(*points, "tab\there"));
  EXPECT_FALSE(FormatDesign::RenameFormat(*points, "c1 \xC2\x85"));
  EXPECT_FALSE(FormatDesign::SetFormatType(*points, "T\x7F"));
  EXPECT_FALSE(FormatDesign::RenameGroup(*second, "line\nend"));
  EXPECT_FALSE(FormatDesign::SetGroupId(*second, "1st"));
  EXPECT_FALSE(EditElementId(*last, "a b"));
  EXPECT_FALSE(EditElementId(*last, "x\x02"));

  // A new format with a group of every item kind.
  FormatDefinition* added = design.AddFormat("Neu", "POINTS");
  GroupDefinition* fresh = FormatDesign::AddGroup(*added, "Zeile", "PT");
  EditElementId(*AppendElement(*fresh), "NR");
  EditLiteralText(*AppendLiteral(*fresh), "\t", nullptr);
  ElementDefinition* fixed = AppendElement(*fresh);
  EditElementId(*fixed, "E");
  EditElementWidth(*fixed, "1048576");
  EditElementFill(*fixed, "\xA0");

  ASSERT_EQ(design.Save().kind, FormatDesign::SaveResult::kSaved);
  EXPECT_EQ(Files(), (std::vector<std::string>{"Neu.xml", "p.xml"}));
  FormatList reread;
  reread.Refresh(dir.Path());
  EXPECT_TRUE(reread.Failures().empty());
  ASSERT_EQ(reread.Count(), 2u);
  const FormatDefinition* pointsAgain = reread.Find("Punkte \xC3\xA4 & <1>");
  const FormatDefinition* addedAgain = reread.Find("Neu");
  ASSERT_TRUE(pointsAgain && addedAgain);
  EXPECT_EQ(Describe(*pointsAgain), Describe(*points));
  EXPECT_EQ(Describe(*addedAgain), Describe(*added));
  // Worked out by hand, so a change lost on both sides would show too.
  EXPECT_EQ(Describe(*pointsAgain),
            "Punkte \xC3\xA4 & <1>|POINTS-2\n"
            "P.2|Punkt \"1\": E(N_1,8,'0',R,+-12.500000) L(013B7F) E(E,10,' ',R,0.000000) "
            "L(0A) L(20) E(D,0,' ',L,0.000000)\n"
            "CD|Code: E(C,0,' ',L,0.000000) L(E9)");
  EXPECT_EQ(Describe(*addedAgain),
            "Neu|POINTS\nPT|Zeile: E(NR,0,' ',L,0.000000) L(09) E(E,1048576,'\xA0',L,0.000000)");
  // Factor and precision of the untouched easting survive the rewrite of its group.
  EXPECT_NE(ReadBytes(dir / "Formats/p.xml").find("factor=\"1000\" precision=\"0\""),
            std::string::npos);
}

TEST_F(Design, OnlyAWidthChangeRewritesTheGroup) {
  const std::string original =
      "<?xml version=\"1.0\"?>\n<format name=\"F\" simple=\"true\">\n\t<repeat><node><radio>\n"
      "\t\t<group id=\"PT\" name=\"P\"><element id=\"NR\" width=\"4\" factor=\"2\"/>"
      "<literal>;</literal></group>\n\t</radio></node></repeat>\n</format>\n";
  WriteBytes(dir / "Formats/f.xml", original);
  FormatDesign design(dir.Path());
  design.Refresh();
  EXPECT_EQ(design.Save().kind, FormatDesign::SaveResult::kSaved);
  EXPECT_EQ(ReadBytes(dir / "Formats/f.xml"), original);  // untouched: not written

  GroupDefinition* group = design.Formats().At(0)->Group(0);
  EditElementWidth(*dynamic_cast<ElementDefinition*>(group->Item(0)), "12");
  EXPECT_TRUE(design.Formats().At(0)->IsModified());
  EXPECT_EQ(design.Save().kind, FormatDesign::SaveResult::kSaved);
  // Only the width changes: factor, indentation and line ends stay.
  std::string expected = original;
  expected.replace(expected.find("width=\"4\""), 9, "width=\"12\"");
  EXPECT_EQ(ReadBytes(dir / "Formats/f.xml"), expected);
}

TEST_F(Design, ShippedDefinitionsStayByteIdenticalWhenNothingIsEdited) {
  const std::filesystem::path shipped = std::filesystem::path(ULVO_DATA_DIR) / "Formats";
  std::filesystem::remove(dir / "Formats");
  std::filesystem::copy(shipped, dir / "Formats");
  FormatDesign design(dir.Path());
  design.Refresh();
  ASSERT_GE(design.Formats().Count(), 3u);
  for (size_t i = 0; i < design.Formats().Count(); ++i) {
    EXPECT_FALSE(design.Formats().At(i)->IsModified()) << design.Formats().At(i)->Name();
  }
  EXPECT_EQ(design.Save().kind, FormatDesign::SaveResult::kSaved);
  for (const auto& entry : std::filesystem::directory_iterator(shipped)) {
    EXPECT_EQ(ReadBytes(dir / "Formats" / entry.path().filename()), ReadBytes(entry.path()))
        << entry.path();
  }
  EXPECT_EQ(Files().size(),
            static_cast<size_t>(std::distance(std::filesystem::directory_iterator(shipped), {})));
}

TEST(DesignEdits, ElementPanelRules) {
  ElementDefinition element;
  struct WidthCase {
    const char* text;
    int width;
  };
  for (const WidthCase& c :
       {WidthCase{"", 0}, WidthCase{"07", 7}, WidthCase{"1048576", 1048576},
        WidthCase{"1048577", kMaxFieldWidth}, WidthCase{"99999999999", kMaxFieldWidth}}) {
    EditElementWidth(element, c.text);
    EXPECT_EQ(element.Width(), c.width) << c.text;
  }
  EXPECT_TRUE(element.Modified());
  EXPECT_EQ(EditElementFill(element, "0x"), "0");
  EXPECT_EQ(element.Fill(), '0');
  EXPECT_EQ(EditElementFill(element, ""), "");
  EXPECT_EQ(element.Fill(), ' ');
  EditElementOffset(element, "-1.5m");
  EXPECT_EQ(element.Offset(), -1.5);
}

TEST(DesignEdits, LiteralPanelRules) {
  struct HexCase {
    const char* typed;
    const char* kept;
    bool cleaned;
    const char* stored;
  };
  for (const HexCase& c :
       {HexCase{"0D0A0", "0D0A0", false, "00D0A0"}, HexCase{"0D0A", "0D0A", false, "0D0A"},
        HexCase{"0d 0g-a", "0d0a", true, "0d0a"}, HexCase{"F", "F", false, "0F"},
        HexCase{"xyz", "", true, ""}}) {
    LiteralDefinition literal;
    literal.SetHex(true);
    literal.SetModified(false);
    bool cleaned = false;
    EXPECT_EQ(EditLiteralText(literal, c.typed, &cleaned), c.kept) << c.typed;
    EXPECT_EQ(cleaned, c.cleaned) << c.typed;
    EXPECT_EQ(literal.Text(), c.stored) << c.typed;
    EXPECT_TRUE(literal.Modified());
  }
  // Out of hexadecimal mode the text is taken as typed.
  LiteralDefinition plain;
  bool cleaned = true;
  EXPECT_EQ(EditLiteralText(plain, "a b", &cleaned), "a b");
  EXPECT_FALSE(cleaned);
  EXPECT_EQ(EditLiteralHex(plain, true), "612062");
  EXPECT_EQ(EditLiteralHex(plain, false), "a b");
}

TEST(DesignEdits, NewItemsAndTheirListTexts) {
  pugi::xml_document doc;
  GroupDefinition group(doc.append_child("group"));
  ElementDefinition* element = AppendElement(group);
  LiteralDefinition* literal = AppendLiteral(group);
  const std::vector<IdName> elements = {{"NR", "Point name"}, {"E", "Easting"}};
  EXPECT_EQ(ItemListText(*element, elements), "");
  EditElementId(*element, "E");
  EXPECT_EQ(ItemListText(*element, elements), "Easting");
  EditElementId(*element, "e");  // identifiers compare exactly
  EXPECT_EQ(ItemListText(*element, elements), "");
  EXPECT_EQ(ItemListText(*literal, elements), "Test");
  group.Rewrite();
  EXPECT_EQ(test::DocumentText(doc),
            "<group><terminated><element id=\"e\"/><literal>Test</literal></terminated>"
            "</group>\r\n");
}

TEST(IdNameList, EditingSortingAndWritingBack) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(
      R"(<types><type id="b" name="beta"/><!--keep--><type id="A" name="Gamma"/><other/></types>)",
      pugi::parse_default | pugi::parse_comments));
  IdNameList list;
  list.Read(doc.first_child(), "type");
  ASSERT_EQ(list.Count(), 2u);
  bool removed = false;
  EXPECT_EQ(RemoveSpaces("A B", &removed), "AB");
  EXPECT_TRUE(removed);
  EXPECT_EQ(RemoveSpaces("AB", &removed), "AB");
  EXPECT_FALSE(removed);
  const size_t added = list.Add("ID", "Name");
  EXPECT_EQ(added, 2u);
  list.SetId(added, "c");
  list.SetName(added, "alpha");
  // By name, letter case ignored; the selected row follows its entry.
  EXPECT_EQ(list.Sort(1, 2), 0);
  EXPECT_EQ(list.Row(0).id, "c");
  EXPECT_EQ(list.Row(2).id, "A");
  list.Sort(0);  // by identifier: A, b, c
  EXPECT_EQ(list.Row(0).id, "A");
  EXPECT_EQ(list.Row(1).id, "b");
  // Removing the last row selects the one before; removing the only row selects none.
  EXPECT_EQ(list.Remove(2), 1);
  EXPECT_EQ(list.Remove(0), 0);
  list.Write(doc.first_child(), "type");
  EXPECT_EQ(test::DocumentText(doc),
            "<types><!--keep--><other/><type id=\"b\" name=\"beta\"/></types>\r\n");
  EXPECT_EQ(list.Remove(0), -1);
  EXPECT_EQ(list.FirstInvalidXmlName(), "");
  list.Add("1st", "x");
  EXPECT_EQ(list.FirstInvalidXmlName(), "1st");
}

TEST(IdNameList, MissingListNodeIsCreated) {
  pugi::xml_document doc;
  pugi::xml_node settings = doc.append_child("settings");
  pugi::xml_node node = IdListNode(settings, "groups");
  EXPECT_EQ(std::string(node.path()), "/settings/conversion/groups");
  EXPECT_EQ(IdListNode(settings, "groups"), node);
}

}  // namespace
}  // namespace ulvo
