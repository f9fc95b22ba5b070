// Re-lays a generated point list from the comma-separated layout into the fixed-column one
// with ulvo-cli convert (with its check and without), with GPSBabel (xcsv style files) when it
// is installed, and with an awk one-liner; prints wall time and peak memory of each, then the
// ratios the goals are set in, and exits with 1 when one is missed:
//   peak memory with the check <= 10 x the input from 100,000 records, and <= 45 MB at
//   100,000;
//   at 100,000 records, the check adds <= 30 % and the conversion takes <= 3 x awk's time.
// Build with the release preset:
//   cmake --preset release && cmake --build build-release --target ulvo-bench-convert
//   sudo apt-get install gpsbabel     # optional, for the comparison
//   build-release/bin/ulvo-bench-convert [RECORDS...]     (default 10000 100000 1000000)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Measure {
  bool ran = false;
  int status = -1;
  double seconds = 0;
  long peakKb = 0;
};

// Runs a program without a shell, standard output to a file, and measures it.
Measure Run(const std::vector<std::string>& argv, const fs::path& stdoutPath) {
  Measure m;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) return m;
  if (pid == 0) {
    const int fd = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      dup2(fd, 1);
      close(fd);
    }
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return m;
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  m.ran = m.status != 127;
  m.peakKb = usage.ru_maxrss;
  return m;
}

bool OnPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string list = path;
  size_t at = 0;
  while (at <= list.size()) {
    const size_t end = list.find(':', at);
    const std::string dir = list.substr(at, end == std::string::npos ? end : end - at);
    std::error_code ec;
    if (!dir.empty() && fs::exists(fs::path(dir) / program, ec)) return true;
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return false;
}

// Coordinates kept within plus or minus 80 so GPSBabel accepts them as degrees too.
void Generate(const fs::path& path, long records) {
  std::ofstream out(path, std::ios::binary);
  unsigned seed = 42;
  auto next = [&seed](int range) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<unsigned>(range));
  };
  char line[128];
  for (long i = 0; i < records; ++i) {
    const int n = next(160000000) - 80000000;
    const int e = next(160000000) - 80000000;
    const int z = next(3000000);
    std::snprintf(line, sizeof line, "P%ld,%s%d.%06d,%s%d.%06d,%d.%03d,%s\r\n", i, n < 0 ? "-" : "",
                  std::abs(n) / 1000000, std::abs(n) % 1000000, e < 0 ? "-" : "",
                  std::abs(e) / 1000000, std::abs(e) % 1000000, z / 1000, z % 1000,
                  i % 3 ? "stake" : "");
    out << line;
  }
}

// Each tool runs this often and its fastest run counts, so another process's burst on the
// machine does not decide a ratio.
constexpr int kRuns = 3;

Measure Best(const std::vector<std::string>& argv, const fs::path& stdoutPath, long records) {
  Measure best;
  const int runs = records > 100000 ? 1 : kRuns;
  for (int i = 0; i < runs; ++i) {
    const Measure m = Run(argv, stdoutPath);
    if (!best.ran || (m.ran && m.seconds < best.seconds)) {
      const long peak = std::max(best.peakKb, m.peakKb);
      best = m;
      best.peakKb = peak;
    }
  }
  return best;
}

struct Goal {
  std::string what;
  double value;
  double limit;
};

void Print(const char* tool, long records, double inputMb, const Measure& m) {
  if (!m.ran) {
    std::printf("%-8s %9ld  not run\n", tool, records);
    return;
  }
  std::printf("%-8s %9ld  %8.3f s  %8.1f MB peak  %6.1f x input  %7.3f us/record%s\n", tool,
              records, m.seconds, m.peakKb / 1024.0, m.peakKb / 1024.0 / inputMb,
              m.seconds * 1e6 / static_cast<double>(records), m.status == 0 ? "" : "  (failed)");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atol(argv[i]));
  if (sizes.empty()) sizes = {10000, 100000, 1000000};

  const fs::path work = fs::temp_directory_path() / ("ulvo-bench-" + std::to_string(getpid()));
  fs::create_directories(work / "home");
  fs::copy(ULVO_FORMATS_DIR, work / "home" / "Formats");

  const fs::path inStyle = work / "in.style";
  const fs::path outStyle = work / "out.style";
  std::ofstream(inStyle) << "FIELD_DELIMITER COMMA\nRECORD_DELIMITER NEWLINE\n"
                            "IFIELD SHORTNAME,\"\",\"%s\"\nIFIELD LAT_DECIMAL,\"\",\"%f\"\n"
                            "IFIELD LON_DECIMAL,\"\",\"%f\"\nIFIELD ALT_METERS,\"\",\"%f\"\n"
                            "IFIELD DESCRIPTION,\"\",\"%s\"\n";
  std::ofstream(outStyle)
      << "FIELD_DELIMITER SPACE\nRECORD_DELIMITER NEWLINE\n"
         "OFIELD SHORTNAME,\"\",\"%-10s\"\nOFIELD LAT_DECIMAL,\"\",\"%14.3f\"\n"
         "OFIELD LON_DECIMAL,\"\",\"%14.3f\"\nOFIELD ALT_METERS,\"\",\"%12.3f\"\n"
         "OFIELD DESCRIPTION,\"\",\"%s\"\n";
  const bool haveBabel = OnPath("gpsbabel");
  if (!haveBabel) std::printf("gpsbabel not found (sudo apt-get install gpsbabel)\n");

  std::printf("%-8s %9s  %10s  %13s\n", "tool", "records", "wall", "memory");
  std::vector<Goal> goals;
  for (long records : sizes) {
    const fs::path input = work / "points.csv";
    Generate(input, records);
    const double inputMb = static_cast<double>(fs::file_size(input)) / (1024.0 * 1024.0);
    const fs::path output = work / "points.txt";

    std::vector<std::string> ulvo = {ULVO_CLI_PATH,
                                     "--home",
                                     (work / "home").string(),
                                     "convert",
                                     "--from",
                                     "Point list (comma-separated)",
                                     "--to",
                                     "Point list (fixed columns)",
                                     input.string(),
                                     output.string(),
                                     "--force"};
    const Measure checked = Best(ulvo, work / "ulvo.log", records);
    Print("ulvo", records, inputMb, checked);
    ulvo.push_back("--no-check");
    const Measure unchecked = Best(ulvo, work / "ulvo.log", records);
    Print("no-check", records, inputMb, unchecked);
    if (haveBabel) {
      Print("gpsbabel", records, inputMb,
            Best({"gpsbabel", "-i", "xcsv,style=" + inStyle.string(), "-f", input.string(), "-o",
                  "xcsv,style=" + outStyle.string(), "-F", (work / "babel.txt").string()},
                 work / "babel.log", records));
    }
    const Measure awk =
        Best({"awk", "-F,",
              "{sub(/\\r$/,\"\"); printf \"%-10s%14.3f%14.3f%12.3f%s\\r\\n\", $1, $2, $3, $4, "
              "($5 == \"\" ? \"\" : \" \" $5)}",
              input.string()},
             work / "awk.txt", records);
    Print("awk", records, inputMb, awk);

    const std::string at = " at " + std::to_string(records) + " records";
    const double peakMb = checked.peakKb / 1024.0;
    if (checked.status != 0 || unchecked.status != 0)
      goals.push_back({"ulvo converts" + at, 0, -1});
    // Below 100,000 records the program's own size (its libraries) outweighs the data.
    if (records >= 100000)
      goals.push_back({"peak memory with the check / input" + at, peakMb / inputMb, 10});
    if (records == 100000) {
      goals.push_back({"peak memory with the check, MB" + at, peakMb, 45});
      goals.push_back({"time the check adds" + at, checked.seconds / unchecked.seconds - 1, 0.30});
      goals.push_back({"time with the check / awk" + at, checked.seconds / awk.seconds, 3});
    }
  }
  std::printf("\n%-58s %8s %8s\n", "goal", "measured", "limit");
  bool met = true;
  for (const Goal& g : goals) {
    const bool ok = g.value <= g.limit;
    met = met && ok;
    std::printf("%-58s %8.2f %8.2f  %s\n", g.what.c_str(), g.value, g.limit, ok ? "met" : "MISSED");
  }
  std::error_code ec;
  fs::remove_all(work, ec);
  return met ? 0 : 1;
}
