// Both command lines given more data than memory allows: exit status 1 and a message that
// names the file and says "out of memory", never an abort or a check reported as differences.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
const std::string kBin = SURVEY_BIN_DIR;

// Runs argv with its address space limited to bytes; exit status (-1: killed by a signal) and
// standard error.
int RunLimited(std::vector<std::string> argv, rlim_t bytes, const fs::path& errors) {
  const pid_t pid = fork();
  if (pid == 0) {
    const rlimit limit{bytes, bytes};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen(errors.c_str(), "w", stderr))
      _exit(126);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(OutOfMemory, TheCommandLinesSaySoAndNameTheFile) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
  const fs::path dir = fs::temp_directory_path() / ("out_of_memory_" + std::to_string(getpid()));
  fs::create_directories(dir);
  setenv("XDG_DATA_HOME", dir.c_str(), 1);
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  setenv("KAVEX_CONFIG_DIR", dir.c_str(), 1);
  const fs::path points = dir / "points.csv";
  {
    std::ofstream out(points, std::ios::binary);
    for (int i = 0; i < 1000000; ++i) out << 'P' << i << ",100.5,200.25,10.0,TREE\r\n";
  }
  const struct {
    const char* what;
    std::vector<std::string> argv;
    std::string message;
    rlim_t limit;
  } cases[] = {
      {"ulvo-cli convert",
       {kBin + "/ulvo-cli", "--home", kBin, "convert", "--from", "Point list (comma-separated)",
        "--to", "Point list (fixed columns)", points.string(), (dir / "out.txt").string()},
       "ulvo-cli convert: " + points.string() + ": out of memory\n",
       // GDAL and PROJ, for the GIS commands, take some 140 MiB of address space on loading.
       rlim_t{260} << 20},
      {"kavex-cli convert",
       {kBin + "/kavex-cli", "convert", "coords", points.string(), "-o",
        (dir / "out.qr6").string()},
       "kavex-cli convert: " + points.string() + ": out of memory\n",
       // GDAL's and PROJ's libraries take some 200 MiB of address space on loading.
       rlim_t{260} << 20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(RunLimited(c.argv, c.limit, dir / "errors"), 1);
    std::ifstream in(dir / "errors");
    const std::string errors{std::istreambuf_iterator<char>(in), {}};
    EXPECT_TRUE(errors.ends_with(c.message)) << errors;
  }
  for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "KAVEX_CONFIG_DIR"}) unsetenv(name);
  fs::remove_all(dir);
}

}  // namespace
