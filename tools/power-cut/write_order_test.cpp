// The system calls each command-line writer makes for its file, as strace sees them: the
// bytes are written and synced before the rename over the target, and the folder is synced
// after it. Without that order a power cut soon after the program returned can leave an
// empty file, or none.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
const std::string kBin = SURVEY_BIN_DIR;

// Runs argv under strace; the trace's lines. Standard output and error go to /dev/null.
std::vector<std::string> Trace(const fs::path& dir, std::vector<std::string> argv) {
  const fs::path log = dir / "strace.log";
  argv.insert(argv.begin(), {"strace", "-f", "-y", "-qq", "-o", log.string(), "-e",
                             "trace=write,fsync,fdatasync,rename,renameat,renameat2"});
  const pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
      _exit(126);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  std::vector<std::string> lines;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// "write, fsync, rename, fsync of the folder" for target, or what is wrong with the trace.
std::string CheckOrder(const std::vector<std::string>& trace, const fs::path& target) {
  const std::regex rename(
      "rename(at2?)?\\((AT_FDCWD, )?\"([^\"]+)\", (AT_FDCWD, )?\"" +
      std::regex_replace(target.string(), std::regex("[.^$|()\\[\\]{}*+?\\\\]"), "\\$&") + "\"");
  size_t at = trace.size();
  std::string temp;
  for (size_t i = 0; i < trace.size(); ++i) {
    std::smatch m;
    if (std::regex_search(trace[i], m, rename) && trace[i].find(") = 0") != std::string::npos) {
      at = i;
      temp = m[3];
    }
  }
  if (at == trace.size()) return "no rename over " + target.string();
  const std::string held = "<" + temp + ">";
  size_t lastWrite = trace.size(), sync = trace.size();
  for (size_t i = 0; i < at; ++i) {
    if (trace[i].find(held) == std::string::npos) continue;
    if (trace[i].find("write(") != std::string::npos) lastWrite = i;
    if (trace[i].find("fsync(") != std::string::npos ||
        trace[i].find("fdatasync(") != std::string::npos)
      sync = i;
  }
  if (lastWrite == trace.size()) return "no write to " + temp;
  if (sync == trace.size() || sync < lastWrite) return temp + " is not synced after its last write";
  const std::string folder = "<" + target.parent_path().string() + ">";
  for (size_t i = at + 1; i < trace.size(); ++i) {
    if (trace[i].find("fsync(") != std::string::npos && trace[i].find(folder) != std::string::npos)
      return {};
  }
  return "the folder is not synced after the rename";
}

class WriteOrder : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
    dir = fs::temp_directory_path() /
          ("write_order_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    setenv("XDG_DATA_HOME", dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    setenv("KAVEX_CONFIG_DIR", dir.c_str(), 1);
  }
  void TearDown() override {
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "KAVEX_CONFIG_DIR"})
      unsetenv(name);
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  void Write(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  }
  fs::path dir;
};

TEST_F(WriteOrder, KavexConversionOverAnExistingFile) {
  Write(dir / "job.qr7", "POINT   P1\r\nCOORD   100.000,200.000,10.000\r\n");
  Write(dir / "job.qr6", "old\r\n");
  EXPECT_EQ(CheckOrder(Trace(dir, {kBin + "/kavex-cli", "convert", "qrx6",
                                   (dir / "job.qr7").string(), "-o", (dir / "job.qr6").string()}),
                       dir / "job.qr6"),
            "");
}

TEST_F(WriteOrder, UlvoConversionOverAnExistingFile) {
  Write(dir / "in.csv", "P1,100.5,200.25,10.0,TREE\r\n");
  Write(dir / "out.txt", "old\r\n");
  EXPECT_EQ(
      CheckOrder(Trace(dir, {kBin + "/ulvo-cli", "--home", kBin, "convert", "--from",
                             "Point list (comma-separated)", "--to", "Point list (fixed columns)",
                             "--force", (dir / "in.csv").string(), (dir / "out.txt").string()}),
                 dir / "out.txt"),
      "");
}

}  // namespace
