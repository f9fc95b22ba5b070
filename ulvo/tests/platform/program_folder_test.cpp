#include "ulvo/platform/program_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace ulvo {
namespace {

using Tree = std::map<std::string, std::string>;                    // relative path -> bytes
using Changes = std::map<std::string, std::optional<std::string>>;  // nullopt: delete

void Apply(const fs::path& root, const Changes& changes) {
  for (const auto& [path, bytes] : changes) {
    if (!bytes) {
      fs::remove(root / path);
      continue;
    }
    fs::create_directories((root / path).parent_path());
    std::ofstream(root / path, std::ios::binary) << *bytes;
  }
}

void Ship(const fs::path& root, const Tree& files) {
  fs::remove_all(root);
  fs::create_directories(root);
  for (const auto& [path, bytes] : files) Apply(root, {{path, bytes}});
}

// Every file but the list of shipped files.
Tree Read(const fs::path& root) {
  Tree tree;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file() || entry.path().filename() == kShippedList) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    tree[fs::relative(entry.path(), root).generic_string()] =
        std::string(std::istreambuf_iterator<char>(in), {});
  }
  return tree;
}

class ProgramFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::path(testing::TempDir()) /
            ("ulvo_folder_" +
             std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
};

TEST_F(ProgramFolderTest, ANewVersionReplacesOnlyWhatTheUserLeftAsShipped) {
  struct Case {
    const char* what;
    Changes before;  // in the user's folder before the first start (an older program's copy)
    Tree first;      // shipped with the first version
    Changes user;    // what the user does then
    Tree second;     // shipped with the next version
    Tree expected;   // the user's folder after the next start
  };
  const Case cases[] = {
      {"an unchanged copy follows the new version",
       {},
       {{"IIF/TS60.IIF", "v1"}},
       {},
       {{"IIF/TS60.IIF", "v2"}},
       {{"IIF/TS60.IIF", "v2"}}},
      {"an edited copy is kept",
       {},
       {{"Formats/A.xml", "v1"}},
       {{"Formats/A.xml", "mine"}},
       {{"Formats/A.xml", "v2"}},
       {{"Formats/A.xml", "mine"}}},
      {"a deleted copy stays deleted",
       {},
       {{"Formats/A.xml", "a"}, {"Formats/B.xml", "b"}},
       {{"Formats/A.xml", std::nullopt}},
       {{"Formats/A.xml", "a"}, {"Formats/B.xml", "b"}},
       {{"Formats/B.xml", "b"}}},
      {"a deleted copy stays deleted when a new version of it comes",
       {},
       {{"Formats/A.xml", "v1"}},
       {{"Formats/A.xml", std::nullopt}},
       {{"Formats/A.xml", "v2"}},
       {}},
      {"a file new in the next version is copied",
       {},
       {{"Settings.xml", "s"}},
       {},
       {{"Settings.xml", "s"}, {"help/new.htm", "n"}},
       {{"Settings.xml", "s"}, {"help/new.htm", "n"}}},
      {"the user's own files are left alone",
       {},
       {{"Formats/A.xml", "a"}},
       {{"Formats/Mine.xml", "m"}, {"ulvo.tft", "t"}},
       {{"Formats/A.xml", "a2"}},
       {{"Formats/A.xml", "a2"}, {"Formats/Mine.xml", "m"}, {"ulvo.tft", "t"}}},
      {"an edit back to the shipped bytes counts as unchanged",
       {},
       {{"Settings.xml", "v1"}},
       {{"Settings.xml", "v1"}},
       {{"Settings.xml", "v2"}},
       {{"Settings.xml", "v2"}}},
      {"a file from before any list, equal to the shipped one, is adopted",
       {{"IIF/TS40.IIF", "v1"}},
       {{"IIF/TS40.IIF", "v1"}},
       {},
       {{"IIF/TS40.IIF", "v2"}},
       {{"IIF/TS40.IIF", "v2"}}},
      {"a file from before any list that differs is the user's",
       {{"IIF/TS40.IIF", "mine"}},
       {{"IIF/TS40.IIF", "v1"}},
       {},
       {{"IIF/TS40.IIF", "v2"}},
       {{"IIF/TS40.IIF", "mine"}}},
      {"a missing file from before any list is copied",
       {{"IIF/TS40.IIF", "v1"}},
       {{"IIF/TS40.IIF", "v1"}, {"IIF/TS60.IIF", "w1"}},
       {},
       {{"IIF/TS40.IIF", "v1"}, {"IIF/TS60.IIF", "w1"}},
       {{"IIF/TS40.IIF", "v1"}, {"IIF/TS60.IIF", "w1"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path shipped = root_ / "shipped";
    const fs::path user = root_ / "user";
    fs::remove_all(user);
    Apply(user, c.before);
    Ship(shipped, c.first);
    SeedUserFolder(shipped, user);
    Apply(user, c.user);
    Ship(shipped, c.second);
    SeedUserFolder(shipped, user);
    EXPECT_EQ(Read(user), c.expected);
    // A start without a new version changes nothing either.
    SeedUserFolder(shipped, user);
    EXPECT_EQ(Read(user), c.expected);
  }
}

TEST_F(ProgramFolderTest, AFirstStartCopiesEverythingShipped) {
  const Tree shipped = {
      {"IIF/TS60.IIF", "i"}, {"Formats/A.xml", "f"}, {"help/ulvo.htm", "h"}, {"Settings.xml", "s"}};
  Ship(root_ / "shipped", shipped);
  SeedUserFolder(root_ / "shipped", root_ / "user");
  EXPECT_EQ(Read(root_ / "user"), shipped);
  EXPECT_TRUE(fs::is_regular_file(root_ / "user" / kShippedList));
  // Nothing installed (a program run from an odd place): the user's folder stays as it is.
  SeedUserFolder(root_ / "nowhere", root_ / "other");
  EXPECT_FALSE(fs::exists(root_ / "other"));
}

TEST_F(ProgramFolderTest, WhichFolderIsTheProgramFolder) {
  Ship(root_ / "shipped", {{"IIF/TS60.IIF", "i"}});
  Ship(root_ / "build", {{"Formats/A.xml", "f"}});
  Ship(root_ / "bin", {{"ulvo", "x"}});
  struct Case {
    const char* what;
    std::string home;
    fs::path executableDir;
    fs::path expected;
    bool seeded;
  };
  const Case cases[] = {
      {"ULVO_HOME wins", (root_ / "home").string(), root_ / "build", root_ / "home", false},
      {"a program with Formats/ beside it uses its own folder", "", root_ / "build",
       root_ / "build", false},
      {"an installed program uses the user's folder", "", root_ / "bin", root_ / "user", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root_ / "user");
    const ProgramFolderSources sources{c.home, c.executableDir, root_ / "user", root_ / "shipped"};
    EXPECT_EQ(ResolveProgramFolder(sources), c.expected);
    EXPECT_EQ(fs::exists(root_ / "user" / "IIF" / "TS60.IIF"), c.seeded);
  }
}

TEST(InstalledDataDirTest, IsShareBesideTheProgramsFolder) {
  EXPECT_EQ(InstalledDataDir("/usr/bin"), fs::path("/usr/share/ulvo"));
  EXPECT_EQ(InstalledDataDir("/tmp/unpacked/usr/bin"), fs::path("/tmp/unpacked/usr/share/ulvo"));
  EXPECT_EQ(InstalledDataDir("/opt/survey/bin/"), fs::path("/opt/survey/share/ulvo"));
}

}  // namespace
}  // namespace ulvo
