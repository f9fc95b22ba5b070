// The one way Kavex writes a user's file: what a second writer, a link, a read-only file, a
// pipe or a killed write find, and the order in which the steps reach the disk.
#include "kavex/formats/replace_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "kavex/formats/text_file.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;

class ReplaceFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kavex_replace_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    SetReplaceStepHook({});
    fs::remove_all(dir);
  }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void Write(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path dir;
};

TEST_F(ReplaceFileTest, TargetsThatAreRefusedBeforeAnythingIsWritten) {
  Write(dir / "locked.qr6", "keep");
  fs::permissions(dir / "locked.qr6", fs::perms::owner_read | fs::perms::group_read);
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
  fs::create_directories(dir / "folder");
  const struct {
    const char* name;
    std::string why;
  } cases[] = {
      {"locked.qr6", "Permission denied"},  // read-only: refused even to the superuser
      {"pipe", "not a regular file"},       // would wait for a reader for ever
      {"folder", "Is a directory"},
      {"missing/x.qr6", "No such file or directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReplaceProblem(dir / c.name), c.why);
    EXPECT_EQ(ReplaceFileWith(dir / c.name, "new"), c.why);
  }
  EXPECT_EQ(Read(dir / "locked.qr6"), "keep");
  EXPECT_EQ(Names(), (std::vector<std::string>{"folder", "locked.qr6", "pipe"}));
}

TEST_F(ReplaceFileTest, TheFileKeepsItsModeAndItsLinks) {
  Write(dir / "private.qr6", "old");
  fs::permissions(dir / "private.qr6", fs::perms::owner_read | fs::perms::owner_write);
  Write(dir / "real.qr6", "old");
  fs::create_symlink("real.qr6", dir / "link.qr6");
  EXPECT_EQ(ReplaceFileWith(dir / "private.qr6", "new"), "");
  EXPECT_EQ(ReplaceFileWith(dir / "link.qr6", "through"), "");
  EXPECT_EQ(Read(dir / "private.qr6"), "new");
  EXPECT_EQ(fs::status(dir / "private.qr6").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(fs::is_symlink(dir / "link.qr6"));
  EXPECT_EQ(Read(dir / "real.qr6"), "through");
  EXPECT_EQ(Names(), (std::vector<std::string>{"link.qr6", "private.qr6", "real.qr6"}));
}

TEST_F(ReplaceFileTest, ALinkPlacedAtTheTemporaryNameIsNotWrittenThrough) {
  Write(dir / "other.txt", "someone else's");
  fs::create_symlink(dir / "other.txt", dir / "job.qr6.tmp~");
  EXPECT_EQ(ReplaceFileWith(dir / "job.qr6", "mine"), "");
  EXPECT_EQ(Read(dir / "other.txt"), "someone else's");
  EXPECT_EQ(Read(dir / "job.qr6"), "mine");
  EXPECT_FALSE(fs::is_symlink(dir / "job.qr6"));
}

TEST_F(ReplaceFileTest, TwoWritersAtOnceEachWriteAWholeFile) {
  ReplacingFile first(dir / "job.qr6");
  ReplacingFile second(dir / "job.qr6");
  std::string why;
  ASSERT_TRUE(first.Open(why)) << why;
  ASSERT_TRUE(second.Open(why)) << why;  // the first one's temporary file is in use
  first.Write("first writer\r\n");
  second.Write("second writer\r\n");
  EXPECT_TRUE(first.Commit(why)) << why;
  EXPECT_EQ(Read(dir / "job.qr6"), "first writer\r\n");
  EXPECT_TRUE(second.Commit(why)) << why;
  EXPECT_EQ(Read(dir / "job.qr6"), "second writer\r\n");
  EXPECT_EQ(Names(), std::vector<std::string>{"job.qr6"});
}

TEST_F(ReplaceFileTest, WhatAKilledWriteLeftIsRemovedByTheNext) {
  // Temporary files of writes that were killed: nobody holds them.
  Write(dir / "job.qr6.tmp~", "half");
  Write(dir / "job.qr6", "old");
  EXPECT_EQ(ReplaceFileWith(dir / "job.qr6", "new"), "");
  EXPECT_EQ(Read(dir / "job.qr6"), "new");
  EXPECT_EQ(Names(), std::vector<std::string>{"job.qr6"});
}

TEST_F(ReplaceFileTest, TheOldCopyIsASecondNameSoTheFileNeverStandsEmpty) {
  Write(dir / "job.qr6", "previous");
  Write(dir / "job.OLD", "older");
  std::vector<std::string> seen;
  SetReplaceStepHook([&](ReplaceStep step, const fs::path&) {
    // At every step the file is whole: the old bytes until the rename, then the new.
    seen.push_back(std::to_string(static_cast<int>(step)) + ":" + Read(dir / "job.qr6") + "|" +
                   Read(dir / "job.OLD"));
    return 0;
  });
  EXPECT_EQ(ReplaceFileWith(dir / "job.qr6", "fresh", dir / "job.OLD"), "");
  // Write, Sync, Keep, Rename, SyncFolder.
  EXPECT_EQ(seen,
            (std::vector<std::string>{"0:previous|older", "1:previous|older", "2:previous|older",
                                      "3:previous|previous", "4:fresh|previous"}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"job.OLD", "job.qr6"}));
}

TEST_F(ReplaceFileTest, AFailedStepLeavesTheFileAsItWas) {
  for (const ReplaceStep failing : {ReplaceStep::Write, ReplaceStep::Sync, ReplaceStep::Rename}) {
    SCOPED_TRACE(static_cast<int>(failing));
    Write(dir / "job.qr6", "previous");
    SetReplaceStepHook(
        [&](ReplaceStep step, const fs::path&) { return step == failing ? EIO : 0; });
    EXPECT_EQ(ReplaceFileWith(dir / "job.qr6", "fresh"), "Input/output error");
    EXPECT_EQ(Read(dir / "job.qr6"), "previous");
    EXPECT_EQ(Names(), std::vector<std::string>{"job.qr6"});
  }
}

TEST_F(ReplaceFileTest, CharacterDevicesTakeTheBytesAsTheyCome) {
  EXPECT_EQ(ReplaceFileWith("/dev/null", "abc"), "");
  if (fs::exists("/dev/full")) {
    EXPECT_EQ(ReplaceFileWith("/dev/full", "abc"), "No space left on device");
  }
}

}  // namespace
}  // namespace kavex
