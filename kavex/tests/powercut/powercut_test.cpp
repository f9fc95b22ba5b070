// A power cut at several moments after a writer returned: the file holds the old or the new
// bytes, never nothing. The rows are printed as a table ("writer  moment  outcome").
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "kavex/comm/capture_file.h"
#include "kavex/shell/main_logic.h"
#include "kavex/shell/settings_file.h"
#include "kavex/tests/comm/test_blocks.h"
#include "kavex/tests/e2e/sim_process.h"
#include "kavex/tests/support/fake_clock.h"
#include "kavex/tests/support/scripted_prompts.h"
#include "power_cut.h"

namespace kavex {
namespace {

namespace fs = std::filesystem;
using powercut::Outcome;

const std::string kBin = SURVEY_BIN_DIR;

class PowerCut : public ::testing::Test {
 protected:
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
  static std::string MountOptions() {
    const char* o = std::getenv("POWER_CUT_MOUNT_OPTIONS");
    return o ? o : "";
  }
};

std::vector<std::string> Lines(const char* prefix, int n) {
  std::vector<std::string> lines;
  for (int i = 0; i < n; ++i) lines.push_back(prefix + std::to_string(i) + " 100.000 200.000");
  return lines;
}

std::string Disk(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\r\n";
  return s;
}

// Save over job.qr6 answering "File exists Overwrite?" with OK: job.qr6 becomes job.OLD.
TEST_F(PowerCut, SaveOverAFileWithItsOldCopy) {
  const std::vector<std::string> before = Lines("OLD", 2000);
  const std::vector<std::string> after = Lines("NEW", 2500);
  ForEachMoment(
      "kavex save over X (.OLD)",
      [&](const fs::path& dir) { powercut::WriteBytes(dir / "job.qr6", Disk(before)); },
      [&](const fs::path& dir) {
        MemoryDataView view;
        testing::ScriptedPrompts prompts;
        testing::FakeClock clock;
        MainLogic logic(view, prompts, clock);
        logic.workDir = dir;
        view.SetLines(after);
        prompts.ExpectSave((dir / "job.qr6").string())
            .ExpectMessage("File exists Overwrite?", kModeConfirmation, kResultOk);
        logic.Save();
        ASSERT_TRUE(logic.hasFile);
      },
      [&](const fs::path& dir) {
        return powercut::Judge(dir / "job.qr6", true, Disk(before), Disk(after));
      });
}

// Kavex.ini written at close over the previous one, which becomes Kavex.ibk.
TEST_F(PowerCut, SettingsFileOverThePreviousOne) {
  KavexSettings settings;
  settings.dataDir = "/home/surveyor/jobs";
  const SettingsPaths paths{"Kavex.ini", "Kavex.ibk"};
  std::string before, after;
  ForEachMoment(
      "kavex Kavex.ini (.ibk)",
      [&](const fs::path& dir) {
        WriteSettings({dir / paths.settingsFile, dir / paths.backupFile}, KavexSettings{});
        before = powercut::ReadBytes(dir / paths.settingsFile);
      },
      [&](const fs::path& dir) {
        WriteSettings({dir / paths.settingsFile, dir / paths.backupFile}, settings);
        after = powercut::ReadBytes(dir / paths.settingsFile);
      },
      [&](const fs::path& dir) {
        return powercut::Judge(dir / paths.settingsFile, true, before, after);
      });
}

// kavex-cli download qrx6 -o NEW: the lines are in NEW (or, failing that, still in their
// capture) however soon the power goes.
TEST_F(PowerCut, DownloadToANewFile) {
  std::string disk;
  for (int i = 0; i < 40; ++i) disk += testing::BlockLine("_+P" + std::to_string(i) + "_", i % 10);
  const fs::path source =
      fs::temp_directory_path() / ("kavex_powercut_" + std::to_string(getpid()));
  powercut::WriteBytes(source, disk);
  ForEachMoment(
      "kavex-cli download -o NEW", [](const fs::path&) {},
      [&](const fs::path& dir) {
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        setenv("KAVEX_CONFIG_DIR", (dir / "config").c_str(), 1);
        testing::ChildProcess sim({kBin + "/instrument-sim", "kavex-qrx6", "--file",
                                   source.string(), "--ack-nak", "--baud", "38400"});
        const std::string device = sim.FirstLine();
        testing::ChildProcess cli({kBin + "/kavex-cli", "download", "qrx6", "--port", device,
                                   "--ack-nak", "--baud", "38400", "--delay", "10", "-o",
                                   (dir / "new.qr6").string()});
        EXPECT_EQ(cli.Wait(), 0);
        EXPECT_EQ(sim.Wait(), 0);
        unsetenv("XDG_DATA_HOME");
        unsetenv("KAVEX_CONFIG_DIR");
      },
      [&](const fs::path& dir) {
        const Outcome file = powercut::Judge(dir / "new.qr6", false, "", disk);
        if (file == Outcome::New) return file;
        // Not in the file: still whole in a capture counts as kept.
        for (const CaptureInfo& c : ListCaptures(dir / "data" / "Kavex" / "Captures")) {
          if (c.records == 40) return Outcome::Old;
        }
        return Outcome::Lost;
      });
  fs::remove(source);
}

}  // namespace
}  // namespace kavex
