#include "ulvo/engine/replace_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <functional>

#include "ulvo/tests/engine/engine_test_support.h"

namespace ulvo {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// What a folder holds besides the files a case made itself: a temporary file left behind
// would show here.
std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct ReplaceCase {
  const char* name;
  std::function<fs::path(const TempDir&)> prepare;  // makes the destination's surroundings
  std::string bytes;
  std::string reason;             // expected; empty: success
  std::string after;              // the destination's bytes afterwards
  std::vector<std::string> left;  // the folder's names afterwards
};

TEST(ReplaceFile, OnlyACompleteFileTakesTheOldOnesPlace) {
  const ReplaceCase cases[] = {
      {"new file", [](const TempDir& d) { return d / "new.txt"; }, "abc", "", "abc", {"new.txt"}},
      {"existing file",
       [](const TempDir& d) {
         WriteBytes(d / "old.txt", "previous contents");
         return d / "old.txt";
       },
       "xy",
       "",
       "xy",
       {"old.txt"}},
      {"empty bytes still replace",
       [](const TempDir& d) {
         WriteBytes(d / "old.txt", "previous");
         return d / "old.txt";
       },
       "",
       "",
       "",
       {"old.txt"}},
      {"missing folder",
       [](const TempDir& d) { return d / "no" / "x.txt"; },
       "abc",
       "No such file or directory",
       "",
       {}},
      {"a folder",
       [](const TempDir& d) {
         fs::create_directory(d / "sub");
         return d / "sub";
       },
       "abc",
       "Is a directory",
       "",
       {"sub"}},
      {"leftover temporary file is not taken over",
       [](const TempDir& d) {
         WriteBytes(d / "a.txt", "old");
         WriteBytes(d / "a.txt.ulvo-tmp", "someone's");
         return d / "a.txt";
       },
       "new",
       "",
       "new",
       {"a.txt", "a.txt.ulvo-tmp"}},
  };
  for (const ReplaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path path = c.prepare(dir);
    EXPECT_EQ(ReplaceFileWith(path, c.bytes), c.reason);
    if (fs::is_regular_file(path)) {
      EXPECT_EQ(ReadBytes(path), c.after);
    }
    EXPECT_EQ(Names(dir.Path()), c.left);
    if (fs::exists(dir / "a.txt.ulvo-tmp")) {
      EXPECT_EQ(ReadBytes(dir / "a.txt.ulvo-tmp"), "someone's");
    }
  }
}

TEST(ReplaceFile, AFailedWriteLeavesTheOldFile) {
  TempDir dir;
  WriteBytes(dir / "job.txt", "yesterday's survey");
  {
    test::FileSizeLimit limit(1000);
    EXPECT_EQ(ReplaceFileWith(dir / "job.txt", std::string(5000, 'x')), "File too large");
  }
  EXPECT_EQ(ReadBytes(dir / "job.txt"), "yesterday's survey");
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"job.txt"});
}

TEST(ReplaceFile, KeepsPermissionsAndLinks) {
  TempDir dir;
  WriteBytes(dir / "target.txt", "old");
  fs::permissions(dir / "target.txt",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("target.txt", dir / "link.txt");
  EXPECT_EQ(ReplaceFileWith(dir / "link.txt", "new"), "");
  EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
  EXPECT_EQ(ReadBytes(dir / "target.txt"), "new");
  EXPECT_EQ(fs::status(dir / "target.txt").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(ReplaceFile, DevicesAreWrittenInPlace) {
  ReplacingWrite null("/dev/null");
  EXPECT_TRUE(null.InPlace());
  EXPECT_EQ(null.Path(), fs::path("/dev/null"));
  EXPECT_EQ(ReplaceFileWith("/dev/null", "abc"), "");
  if (fs::exists("/dev/full")) {
    EXPECT_EQ(ReplaceFileWith("/dev/full", "abc"), "No space left on device");
  }
}

TEST(ReplaceFile, ReadOnlyFileIsRefused) {
  if (geteuid() == 0) GTEST_SKIP() << "the superuser writes read-only files";
  TempDir dir;
  WriteBytes(dir / "locked.txt", "keep");
  fs::permissions(dir / "locked.txt", fs::perms::owner_read);
  EXPECT_EQ(ReplacementProblem(dir / "locked.txt"), "Permission denied");
  EXPECT_EQ(ReplaceFileWith(dir / "locked.txt", "new"), "Permission denied");
  EXPECT_EQ(ReadBytes(dir / "locked.txt"), "keep");
}

TEST(ReplaceFile, AWriterThatFailsHalfWayLeavesTheOldFile) {
  TempDir dir;
  WriteBytes(dir / "f.xml", "old contents");
  std::string reason;
  const auto fullAfterHalf = [](std::FILE* file, std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size() / 2, file);
    errno = ENOSPC;
    return false;
  };
  EXPECT_FALSE(ReplaceFile(dir / "f.xml", "new contents", &reason, fullAfterHalf));
  EXPECT_EQ(reason, "No space left on device");
  EXPECT_EQ(ReadBytes(dir / "f.xml"), "old contents");
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"f.xml"});
}

TEST(ReplaceFile, TemporaryNames) {
  struct NameCase {
    const char* name;
    bool temporary;
  };
  for (const NameCase& c :
       {NameCase{"Points.xml.ulvo-tmp", true}, NameCase{"Points.xml.ulvo-tmp12", true},
        NameCase{"Points.xml.ulvo-tmpx", false},
        NameCase{".ulvo-tmp", false},  // no name before the mark
        NameCase{"Points.xml", false}, NameCase{"ulvo-tmp", false},
        NameCase{"Points.xml.ulvo-tmp-4242", true}, NameCase{"Points.xml.ulvo-tmp-4242-3", true},
        NameCase{"Points.xml.ulvo-tmp-", false}, NameCase{"Points.xml.ulvo-tmp-x", false}}) {
    EXPECT_EQ(IsReplaceTemporary(c.name), c.temporary) << c.name;
  }
}

TEST(ReplaceFile, DiscardedWriteLeavesNothing) {
  TempDir dir;
  WriteBytes(dir / "kept.txt", "old");
  {
    ReplacingWrite write(dir / "kept.txt");
    ASSERT_EQ(write.Problem(), "");
    WriteBytes(write.Path(), "half");
  }  // neither committed nor discarded: the destructor discards
  EXPECT_EQ(ReadBytes(dir / "kept.txt"), "old");
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"kept.txt"});
}

TEST(ReplaceFile, PipesAndReadOnlyFilesAreRefusedBeforeAnythingIsWritten) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
  WriteBytes(dir / "locked.txt", "keep");
  fs::permissions(dir / "locked.txt", fs::perms::owner_read);
  // The pipe would hold the writer until someone read it; the read-only file is refused to
  // the superuser too.
  EXPECT_EQ(ReplacementProblem(dir / "pipe"), "not a regular file");
  EXPECT_EQ(ReplaceFileWith(dir / "pipe", "abc"), "not a regular file");
  EXPECT_EQ(ReplaceFileWith(dir / "locked.txt", "new"), "Permission denied");
  EXPECT_EQ(ReadBytes(dir / "locked.txt"), "keep");
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"locked.txt", "pipe"}));
}

TEST(ReplaceFile, TemporaryFilesOfKilledWritesGoAtTheNextWrite) {
  TempDir dir;
  WriteBytes(dir / "a.txt", "old");
  // Left by writes that were killed: nobody holds them. Up to 100 of them once blocked every
  // later write of the file.
  for (const char* name : {"a.txt.ulvo-tmp-4242", "a.txt.ulvo-tmp-4242-2", "a.txt.ulvo-tmp-17"})
    WriteBytes(dir / name, "half");
  EXPECT_EQ(ReplaceFileWith(dir / "a.txt", "new"), "");
  EXPECT_EQ(ReadBytes(dir / "a.txt"), "new");
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"a.txt"});
}

TEST(ReplaceFile, AWriteInProgressIsLeftAlone) {
  TempDir dir;
  ReplacingWrite first(dir / "a.txt");
  ASSERT_EQ(first.Problem(), "");
  WriteBytes(first.Path(), "first");
  EXPECT_EQ(ReplaceFileWith(dir / "a.txt", "second"), "");
  EXPECT_EQ(first.Commit(), "");
  EXPECT_EQ(ReadBytes(dir / "a.txt"), "first");
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"a.txt"});
}

TEST(ReplaceFile, TheBytesAreOnDiskBeforeTheRenameAndTheFolderAfterIt) {
  TempDir dir;
  std::vector<std::string> steps;
  SetReplaceStepHook([&](ReplaceStep step, const fs::path& path) {
    static const char* const kNames[] = {"sync", "rename", "sync folder"};
    steps.push_back(std::string(kNames[static_cast<int>(step)]) + " " + path.filename().string() +
                    " " + (fs::exists(dir / "f.txt") ? ReadBytes(dir / "f.txt") : "-"));
    return 0;
  });
  EXPECT_EQ(ReplaceFileWith(dir / "f.txt", "new"), "");
  SetReplaceStepHook({});
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_TRUE(steps[0].starts_with("sync f.txt.ulvo-tmp-")) << steps[0];
  EXPECT_TRUE(steps[0].ends_with(" -"));
  EXPECT_EQ(steps[1], "rename f.txt -");
  EXPECT_EQ(steps[2], "sync folder " + dir.Path().filename().string() + " new");
}

}  // namespace
}  // namespace ulvo
