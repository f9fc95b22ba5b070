// Runs kavex-cli's DXF export on generated QRX-6 coordinate files of several sizes and
// prints wall time and peak memory of each. Goals: at 100,000 points at most 53 MB and at
// most 1.4 s (or, given --baseline, no slower than that program in the same run), and memory
// that does not grow with the number of points. Exits 1 when a goal is missed. A benchmark,
// not a test: build with the release preset and run it by hand:
//   build-release/bin/kavex-dxf-bench [--cli PROGRAM] [--baseline PROGRAM] [POINTS...]
// (default sizes 10000 100000 400000).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kavex/formats/point_lists.h"
#include "kavex/formats/text_file.h"
#include "kavex/formats/text_format.h"

namespace fs = std::filesystem;

namespace {

constexpr long kGoalPoints = 100000;
constexpr double kGoalMegabytes = 53.0;
constexpr double kGoalSeconds = 1.4;
// Growth of the peak from the smallest to the largest file that still counts as flat: the
// system's own bookkeeping of a longer run, not the drawing.
constexpr double kFlatMegabytes = 2.0;

struct Measure {
  bool ran = false;
  int status = -1;
  double seconds = 0;
  double peakMb = 0;
};

// Runs a program without a shell, its standard output and error to files, and measures it.
Measure Run(const std::vector<std::string>& argv, const fs::path& log) {
  Measure m;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) return m;
  if (pid == 0) {
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
      close(fd);
    }
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return m;
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  m.ran = m.status != 127;
  m.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  return m;
}

// QRX-6 coordinate blocks of count points spread over a few kilometres.
bool Generate(const fs::path& path, long count) {
  kavex::TextFileWriter file(path);
  std::string why;
  if (!file.Open(why)) return false;
  std::string points;
  for (long i = 0; i < count; ++i) {
    points += kavex::Format(
        "P%ld,%.3f,%.3f,%.3f\n", i + 1, 1000.0 + static_cast<double>(i % 997) * 3.1,
        2000.0 + static_cast<double>(i / 997) * 2.7, 100.0 + static_cast<double>(i % 13) * 0.5);
  }
  kavex::WriteListTextBlocks(points, kavex::ListKind::kPoints, [&file](const std::string& line) {
    file.Write(line);
    file.Write("\n");
  });
  return file.Commit(why);
}

void Print(const char* what, long points, const Measure& m) {
  if (!m.ran) {
    std::printf("%-9s %9ld  not run\n", what, points);
    return;
  }
  std::printf("%-9s %9ld  %8.3f s  %8.1f MB peak%s\n", what, points, m.seconds, m.peakMb,
              m.status == 0 ? "" : "  (failed)");
}

}  // namespace

int main(int argc, char** argv) {
  std::string cli = KAVEX_CLI_PATH;
  std::string baseline;
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if ((a == "--cli" || a == "--baseline") && i + 1 < argc) {
      (a == "--cli" ? cli : baseline) = argv[++i];
    } else {
      char* end = nullptr;
      const long points = std::strtol(argv[i], &end, 10);
      if (end == argv[i] || *end != '\0' || points <= 0) {
        std::fprintf(stderr,
                     "usage: kavex-dxf-bench [--cli PATH] [--baseline PATH] [POINTS ...]\n"
                     "%s: not a number of points\n",
                     argv[i]);
        return 2;
      }
      sizes.push_back(points);
    }
  }
  if (sizes.empty()) sizes = {10000, kGoalPoints, 400000};

  const fs::path work = fs::temp_directory_path() / ("kavex-dxf-bench-" + std::to_string(getpid()));
  fs::create_directories(work);
  bool missed = false;
  Measure smallest, largest, atGoal, baselineAtGoal;
  bool haveGoal = false;
  std::printf("%-9s %9s  %10s  %13s\n", "program", "points", "wall", "memory");
  for (long points : sizes) {
    const fs::path input = work / "points.qr6";
    if (!Generate(input, points)) {
      std::fprintf(stderr, "cannot write %s\n", input.string().c_str());
      return 2;
    }
    const Measure m =
        Run({cli, "convert", "dxf", input.string(), "-o", (work / "out.dxf").string()},
            work / "cli.log");
    Print("kavex-cli", points, m);
    if (m.status != 0) missed = true;
    if (points == sizes.front()) smallest = m;
    largest = m;
    if (!baseline.empty()) {
      const Measure b =
          Run({baseline, "convert", "dxf", input.string(), "-o", (work / "base.dxf").string()},
              work / "base.log");
      Print("baseline", points, b);
      if (points == kGoalPoints) baselineAtGoal = b;
    }
    if (points == kGoalPoints) {
      atGoal = m;
      haveGoal = true;
    }
  }
  std::error_code ec;
  fs::remove_all(work, ec);

  if (haveGoal) {
    std::printf("memory at %ld points: %.1f MB, %.2f of the %.0f MB goal\n", kGoalPoints,
                atGoal.peakMb, atGoal.peakMb / kGoalMegabytes, kGoalMegabytes);
    missed = missed || atGoal.peakMb > kGoalMegabytes;
    const double limit = baselineAtGoal.ran ? baselineAtGoal.seconds : kGoalSeconds;
    std::printf("time at %ld points: %.3f s, %.2f of %s (%.3f s)\n", kGoalPoints, atGoal.seconds,
                atGoal.seconds / limit, baselineAtGoal.ran ? "the baseline" : "the goal", limit);
    missed = missed || atGoal.seconds > limit;
  }
  if (sizes.size() > 1) {
    const double growth = largest.peakMb - smallest.peakMb;
    std::printf("memory growth from %ld to %ld points: %.1f MB (at most %.1f MB)\n", sizes.front(),
                sizes.back(), growth, kFlatMegabytes);
    missed = missed || growth > kFlatMegabytes;
  }
  std::printf("%s\n", missed ? "GOAL MISSED" : "all goals met");
  return missed ? 1 : 0;
}
