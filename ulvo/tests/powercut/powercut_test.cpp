// A power cut at several moments after ulvo-cli returned: the file holds the old or the new
// bytes, never nothing. The rows are printed as a table ("writer  moment  outcome").
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "power_cut.h"
#include "ulvo/tests/e2e/simulator.h"
#include "ulvo/transfer/capture_file.h"

namespace ulvo {
namespace {

namespace fs = std::filesystem;
using powercut::Outcome;

// ulvo-cli with the build tree's program folder and a per-user folder of its own.
int RunCli(const std::vector<std::string>& args, const fs::path& user) {
  std::fflush(stdout);  // the child must not print the rows again
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("XDG_CONFIG_HOME", user.c_str(), 1);
    setenv("XDG_DATA_HOME", user.c_str(), 1);
    if (!std::freopen("/dev/null", "w", stdout)) _exit(126);
    std::vector<std::string> all = {SURVEY_BIN_DIR "/ulvo-cli", "--home", SURVEY_BIN_DIR};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string MountOptions() {
  const char* o = std::getenv("POWER_CUT_MOUNT_OPTIONS");
  return o ? o : "";
}

// One fresh volume per moment: prepare (old state, made durable), write, wait, cut, judge.
template <typename Prepare, typename Write, typename Judge>
void ForEachMoment(const char* writer, Prepare prepare, Write write, Judge judge) {
  for (const int seconds : powercut::Moments({0, 6})) {
    powercut::Volume volume(MountOptions());
    if (!volume.Problem().empty()) GTEST_SKIP() << "no power-cut volume: " << volume.Problem();
    prepare(volume.Dir());
    volume.Settle();
    write(volume.Dir());
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    std::string why;
    ASSERT_TRUE(volume.CutAndRemount(why)) << why;
    const Outcome outcome = judge(volume.Dir());
    std::printf("%-28s %-18s %3d s  %s\n", writer,
                MountOptions().empty() ? "defaults" : MountOptions().c_str(), seconds,
                powercut::OutcomeName(outcome));
    EXPECT_NE(outcome, Outcome::Lost) << writer << ", cut " << seconds << " s after it returned";
  }
}

fs::path Scratch(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("ulvo_powercut_" + std::to_string(getpid()));
  fs::create_directories(dir);
  return dir / name;
}

std::string PointLines(const char* prefix, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += prefix + std::to_string(i) + ",100.5,200.25,10.0,TREE\r\n";
  return s;
}

TEST(PowerCut, ConversionOverAnExistingTarget) {
  const fs::path input = Scratch("points.csv");
  powercut::WriteBytes(input, PointLines("N", 3000));
  const std::vector<std::string> convert = {"convert",
                                            "--from",
                                            "Point list (comma-separated)",
                                            "--to",
                                            "Point list (fixed columns)",
                                            "--force",
                                            input.string()};
  // The bytes the same conversion leaves where the power stays on.
  const fs::path reference = Scratch("reference.txt");
  std::vector<std::string> args = convert;
  args.push_back(reference.string());
  ASSERT_EQ(RunCli(args, Scratch("user")), 0);
  const std::string after = powercut::ReadBytes(reference);
  const std::string before = PointLines("OLD", 2000);
  ForEachMoment(
      "ulvo-cli convert over X",
      [&](const fs::path& dir) { powercut::WriteBytes(dir / "points.txt", before); },
      [&](const fs::path& dir) {
        std::vector<std::string> a = convert;
        a.push_back((dir / "points.txt").string());
        EXPECT_EQ(RunCli(a, Scratch("user")), 0);
      },
      [&](const fs::path& dir) {
        return powercut::Judge(dir / "points.txt", true, before, after);
      });
}

TEST(PowerCut, ReceiveToANewFile) {
  std::string data;
  for (int n = 0; n < 40 * 128; ++n) data += static_cast<char>('A' + n % 26);
  const fs::path source = Scratch("source");
  powercut::WriteBytes(source, data);
  ForEachMoment(
      "ulvo-cli transfer --receive NEW", [](const fs::path&) {},
      [&](const fs::path& dir) {
        Simulator sim(
            {"ulvo-send", "--format", "ITF00", "--handshake", "acknak", "--file", source.string()});
        EXPECT_EQ(RunCli({"transfer", "--receive", "--instrument", "Total station TS-60", "--port",
                          sim.Path(), "--format", "ITF00", "--handshake", "acknak",
                          (dir / "received").string()},
                         dir / "user"),
                  0);
        EXPECT_EQ(sim.Wait(), 0);
      },
      [&](const fs::path& dir) {
        const Outcome file = powercut::Judge(dir / "received", false, "", data);
        if (file == Outcome::New) return file;
        // Not in the file: still whole in a capture counts as kept.
        std::error_code ec;
        for (fs::recursive_directory_iterator it(dir / "user", ec), end; !ec && it != end;
             it.increment(ec)) {
          if (it->path().filename() != "Captures") continue;
          for (const CaptureInfo& c : ListCaptures(it->path())) {
            if (c.dataBytes == data.size()) return Outcome::Old;
          }
        }
        return Outcome::Lost;
      });
}

}  // namespace
}  // namespace ulvo
