#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "kavex/formats/file_problem.h"
#include "kavex/formats/number_text.h"
#include "kavex/formats/replace_file.h"
#include "kavex/formats/text_file.h"
#include "kavex/formats/text_format.h"

namespace kavex {
namespace {

// Runs the body under a comma-decimal locale when the machine has one.
class CommaLocale {
 public:
  CommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8"}) {
      if (std::setlocale(LC_ALL, name)) {
        active_ = true;
        break;
      }
    }
  }
  ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

TEST(Format, WritesLayoutsByteForByte) {
  EXPECT_EQ(Format("%03u", 7u), "007");
  EXPECT_EQ(Format("%-4u|", 96u), "96  |");
  EXPECT_EQ(Format("%-3.1f|", 2.5), "2.5|");
  EXPECT_EQ(Format("%12.4f", -1234.56789), "  -1234.5679");
  EXPECT_EQ(Format("%s", std::string(600, 'x').c_str()).size(), 600u);
}

TEST(Format, IgnoresProcessLocale) {
  CommaLocale locale;
  if (!locale.active()) GTEST_SKIP() << "no comma-decimal locale on this machine";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  ASSERT_STREQ(probe, "1,5") << "locale did not switch the C library";
  EXPECT_EQ(Format("%.1f", 1.5), "1.5");
  EXPECT_EQ(Format("%10.3f", 1234.5), "  1234.500");
  EXPECT_DOUBLE_EQ(ReadDouble("1.5"), 1.5);
}

TEST(ReadNumber, IsLenient) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {
      {"", 0.0},       {"abc", 0.0}, {"  12.5xyz", 12.5}, {"-0.25", -0.25}, {"+3", 3.0},
      {".5", 0.5},     {"5.", 5.0},  {"1e3", 1000.0},     {"1e", 1.0},      {"1e+", 1.0},
      {"2E-2m", 0.02}, {"-", 0.0},   {"12,5", 12.0},      {"1.2.3", 1.2},   {"\t7", 7.0},
      {"0x10", 0.0},   {"inf", 0.0}, {"nan", 0.0},        {"- 5", 0.0},     {"00012", 12.0},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(ReadDouble(c.text), c.value) << '"' << c.text << '"';
  EXPECT_EQ(ReadDouble("1e999"), HUGE_VAL);
  EXPECT_EQ(ReadDouble("1e-999"), 0.0);
}

TEST(ReadNumber, IntegersStopAndSaturate) {
  EXPECT_EQ(ReadInt("42abc"), 42);
  EXPECT_EQ(ReadInt(" -17.9"), -17);
  EXPECT_EQ(ReadInt("x1"), 0);
  EXPECT_EQ(ReadInt("99999999999999999999"), INT_MAX);
  EXPECT_EQ(ReadInt("-99999999999999999999"), INT_MIN);
  EXPECT_EQ(ReadLong("-99999999999999999999999"), LONG_MIN);
}

TEST(TextFile, MemoryAndDiskForms) {
  EXPECT_EQ(FromDiskText("a\r\nb\nc\rd\r\n"), "a\nb\nc\rd\n");
  EXPECT_EQ(ToDiskText("a\nb\n"), "a\r\nb\r\n");
  EXPECT_EQ(FromDiskText("\r\r\n"), "\r\n");
  EXPECT_EQ(SplitLines("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitLines("a\n"), (std::vector<std::string>{"a"}));
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(JoinLines({"x", ""}), "x\n\n");
}

TEST(TextFile, WritesCrLfAndReadsBack) {
  const auto dir = std::filesystem::temp_directory_path() / "kavex_text_file_test";
  std::filesystem::create_directories(dir);
  const auto file = dir / "data.qr7";
  ASSERT_TRUE(WriteTextFile(file, "L1\nL2\n"));
  std::ifstream in(file, std::ios::binary);
  std::string disk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(disk, "L1\r\nL2\r\n");
  std::string text;
  ASSERT_TRUE(ReadTextFile(file, text));
  EXPECT_EQ(text, "L1\nL2\n");
  EXPECT_FALSE(ReadTextFile(dir / "missing.qr7", text));
  EXPECT_FALSE(WriteTextFile(dir / "no" / "such" / "folder.txt", "x"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kavex

namespace kavex {
namespace {

TEST(SaveTextOrFallback, LinesThatCannotBeSavedLandInTheFallbackFolder) {
  const auto dir = std::filesystem::temp_directory_path() / "kavex_fallback_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const auto target = dir / "gone" / "260101001.qr6";
  const auto data = dir / "data";
  for (const char* name : {"260101001.qr6", "260101001-2.qr6"}) {
    const SavedText saved = SaveTextOrFallback(target, "a\nb\n", data);
    EXPECT_FALSE(saved.saved);
    EXPECT_EQ(saved.problem, target.string() + ": No such file or directory");
    EXPECT_EQ(saved.fallback, data / name);
    std::ifstream in(saved.fallback, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "a\r\nb\r\n");
  }
  const SavedText ok = SaveTextOrFallback(dir / "here.qr6", "x\n", data);
  EXPECT_TRUE(ok.saved);
  EXPECT_EQ(ok.problem, "");
  EXPECT_EQ(ok.fallback, "");
  // Asking whether a new file could be written does not leave one behind.
  EXPECT_EQ(FileProblem(dir / "new.qr6", true), "");
  EXPECT_FALSE(std::filesystem::exists(dir / "new.qr6"));
  EXPECT_EQ(FileProblem(dir / "new.qr6", false), "No such file or directory");
  std::filesystem::remove_all(dir);
}

TEST(WriteTextFile, AFailedWriteSaysWhy) {
  const auto dir = std::filesystem::temp_directory_path() / "kavex_write_why_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "folder");
  // The system refuses the bytes beside blocked.qr6 (once a folder in the way did that; now
  // another name would be taken, so the refusal is asked for).
  SetReplaceStepHook([](ReplaceStep step, const std::filesystem::path& path) {
    return step == ReplaceStep::Write && path.filename().string().starts_with("blocked.qr6")
               ? EISDIR
               : 0;
  });
  struct Case {
    std::filesystem::path path;
    const char* why;
  };
  for (const Case& c : std::vector<Case>{
           {dir / "missing" / "job.qr6", "No such file or directory"},
           // The file is first written beside its name, then renamed over it.
           {dir / "blocked.qr6", "Is a directory"},
           {dir / "folder", "Is a directory"},
       }) {
    std::string why;
    EXPECT_FALSE(WriteTextFile(c.path, "x\n", why)) << c.path;
    EXPECT_EQ(why, c.why) << c.path;
  }
  SetReplaceStepHook({});
  std::string why = "untouched";
  EXPECT_TRUE(WriteTextFile(dir / "fine.qr6", "x\n", why));
  EXPECT_EQ(why, "untouched");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kavex

namespace kavex {
namespace {

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(TextFileWriter, WritesPiecesInPlaceOnlyOnCommit) {
  const auto dir = std::filesystem::temp_directory_path() / "kavex_text_writer_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const auto file = dir / "out.dxf";
  std::ofstream(file, std::ios::binary) << "old";
  // Pieces on both sides of the writer's 64 KiB hand-over, a line end split from its line.
  const std::string longLine(70000, 'x');
  std::string why;
  {
    TextFileWriter writer(file);
    ASSERT_TRUE(writer.Open(why));
    writer.Write("a\nb");
    writer.Write("\n");
    writer.Write(longLine);
    writer.Write("\n\n");
    EXPECT_EQ(FileBytes(file), "old");
    ASSERT_TRUE(writer.Commit(why));
  }
  EXPECT_EQ(FileBytes(file), "a\r\nb\r\n" + longLine + "\r\n\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "out.dxf.tmp~"));

  // Dropped without Commit: the file stays as it was, nothing is left beside it.
  {
    TextFileWriter writer(file);
    ASSERT_TRUE(writer.Open(why));
    writer.Write(longLine);
  }
  EXPECT_EQ(FileBytes(file), "a\r\nb\r\n" + longLine + "\r\n\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "out.dxf.tmp~"));

  // A write that fails part way, as on a full disk: the system's reason, the old file kept.
  std::ofstream(file, std::ios::binary) << "old";
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  const sighandler_t handler = signal(SIGXFSZ, SIG_IGN);
  rlimit limit = saved;
  limit.rlim_cur = 100000;
  setrlimit(RLIMIT_FSIZE, &limit);
  bool committed = true;
  {
    TextFileWriter writer(file);
    ASSERT_TRUE(writer.Open(why));
    for (int i = 0; i < 3; ++i) writer.Write(longLine);
    committed = writer.Commit(why);
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, handler);
  EXPECT_FALSE(committed);
  EXPECT_EQ(why, "File too large");
  EXPECT_EQ(FileBytes(file), "old");
  EXPECT_FALSE(std::filesystem::exists(dir / "out.dxf.tmp~"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kavex
