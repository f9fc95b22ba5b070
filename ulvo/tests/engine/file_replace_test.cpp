#include "ulvo/engine/file_replace.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cerrno>

#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Writes half of what it is given, then reports the disk full.
bool FullAfterHalf(std::FILE* file, std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size() / 2, file);
  errno = ENOSPC;
  return false;
}

struct ReplaceCase {
  const char* name;
  std::function<fs::path(const TempDir&)> target;  // sets the scene, gives the path
  ChunkWriter write;
  const char* reason;     // empty: replaced
  const char* remaining;  // what the path holds afterwards (null: not a file)
};

class Replace : public testing::TestWithParam<ReplaceCase> {};

TEST_P(Replace, FailureLeavesTheOldFile) {
  TempDir dir;
  const fs::path path = GetParam().target(dir);
  std::string reason = "not set";
  const bool replaced = ReplaceFile(path, "new", &reason, GetParam().write);
  EXPECT_EQ(replaced, std::string(GetParam().reason).empty());
  EXPECT_EQ(replaced ? std::string() : reason, GetParam().reason);
  if (GetParam().remaining) {
    EXPECT_EQ(ReadBytes(path), GetParam().remaining);
  }
  // No temporary file stays behind, whatever happened.
  for (const std::string& name : Entries(dir.Path())) {
    EXPECT_FALSE(IsReplaceTemporary(name)) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, Replace,
    testing::Values(ReplaceCase{"Replaced",
                                [](const TempDir& d) {
                                  WriteBytes(d / "f.xml", "old contents");
                                  return d / "f.xml";
                                },
                                {},
                                "",
                                "new"},
                    ReplaceCase{
                        "Created", [](const TempDir& d) { return d / "f.xml"; }, {}, "", "new"},
                    ReplaceCase{"DiskFull",
                                [](const TempDir& d) {
                                  WriteBytes(d / "f.xml", "old contents");
                                  return d / "f.xml";
                                },
                                FullAfterHalf, "No space left on device", "old contents"},
                    ReplaceCase{"FolderMissing",
                                [](const TempDir& d) { return d / "gone" / "f.xml"; },
                                {},
                                "No such file or directory",
                                nullptr},
                    ReplaceCase{"TargetIsAFolder",
                                [](const TempDir& d) {
                                  fs::create_directory(d / "f.xml");
                                  return d / "f.xml";
                                },
                                {},
                                "Is a directory",
                                nullptr},
                    ReplaceCase{"LinkReplacesItsTarget",
                                [](const TempDir& d) {
                                  WriteBytes(d / "real.xml", "old");
                                  fs::create_symlink("real.xml", d / "f.xml");
                                  return d / "f.xml";
                                },
                                {},
                                "",
                                "new"}),
    [](const testing::TestParamInfo<ReplaceCase>& param) { return std::string(param.param.name); });

TEST(ReplaceFile, KeepsPermissionsAndLinks) {
  TempDir dir;
  WriteBytes(dir / "real.xml", "old");
  fs::permissions(dir / "real.xml", fs::perms::owner_read | fs::perms::owner_write |
                                        fs::perms::group_read | fs::perms::group_write);
  fs::create_symlink("real.xml", dir / "link.xml");
  ASSERT_TRUE(ReplaceFile(dir / "link.xml", "new", nullptr));
  EXPECT_TRUE(fs::is_symlink(dir / "link.xml"));
  EXPECT_EQ(ReadBytes(dir / "real.xml"), "new");
  EXPECT_EQ(fs::status(dir / "real.xml").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::group_write);
}

TEST(ReplaceFile, ReadOnlyFileStays) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  TempDir dir;
  WriteBytes(dir / "f.xml", "old");
  fs::permissions(dir / "f.xml", fs::perms::owner_read);
  std::string reason;
  EXPECT_FALSE(ReplaceFile(dir / "f.xml", "new", &reason));
  EXPECT_EQ(reason, "Permission denied");
  EXPECT_EQ(ReadBytes(dir / "f.xml"), "old");
}

TEST(ReplaceFile, TemporaryNames) {
  struct NameCase {
    const char* name;
    bool temporary;
  };
  for (const NameCase& c :
       {NameCase{".Points.xml.a1b2c3.tmp", true}, NameCase{".x.abcdef.tmp", true},
        NameCase{"Points.xml.a1b2c3.tmp", false},  // not hidden
        NameCase{".Points.xml.a1b2c.tmp", false},  // five characters
        NameCase{".abcdef.tmp", false},            // no name
        NameCase{".Points.xml", false}, NameCase{"tmp", false}}) {
    EXPECT_EQ(IsReplaceTemporary(c.name), c.temporary) << c.name;
  }
}

}  // namespace
}  // namespace ulvo
