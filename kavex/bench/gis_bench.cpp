// Times kavex-cli export for each GIS format on a generated points file, beside ogr2ogr
// converting the same points from CSV to the same format, and prints wall time and peak
// memory of each. A benchmark, not a test: run it by hand,
//   build-release/bin/kavex-gis-bench [--cli PROGRAM] [POINTS]   (default 100000)
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

#include "kavex/formats/text_format.h"
#include "kavex/gis/gis_formats.h"

namespace fs = std::filesystem;

namespace {

struct Measure {
  int status = -1;
  double seconds = 0;
  double peakMb = 0;
};

// Runs a program without a shell, its output to log, and measures it.
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
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return m;
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  m.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  return m;
}

void Print(const char* what, const char* format, const Measure& m) {
  std::printf("%-9s %-13s %8.3f s  %8.1f MB peak%s\n", what, format, m.seconds, m.peakMb,
              m.status == 0 ? "" : "  (failed)");
}

}  // namespace

int main(int argc, char** argv) {
  std::string cli = KAVEX_CLI_PATH;
  long points = 100000;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--cli" && i + 1 < argc) {
      cli = argv[++i];
    } else {
      points = std::strtol(argv[i], nullptr, 10);
      if (points <= 0) {
        std::fprintf(stderr, "usage: kavex-gis-bench [--cli PATH] [POINTS]\n");
        return 2;
      }
    }
  }
  const fs::path work = fs::temp_directory_path() / ("kavex-gis-bench-" + std::to_string(getpid()));
  fs::create_directories(work);
  // The same points as a points file (name, Y, X, Z) and as a CSV (name, x, y, z).
  {
    std::ofstream pts(work / "points.pts", std::ios::binary);
    std::ofstream csv(work / "points.csv", std::ios::binary);
    csv << "name,x,y,z\n";
    for (long i = 0; i < points; ++i) {
      const double e = 150000.0 + static_cast<double>(i % 997) * 3.1;
      const double n = 460000.0 + static_cast<double>(i / 997) * 2.7;
      const double z = 1.0 + static_cast<double>(i % 13) * 0.5;
      pts << kavex::Format("P%ld,%.3f,%.3f,%.3f\r\n", i + 1, e, n, z);
      csv << kavex::Format("P%ld,%.3f,%.3f,%.3f\n", i + 1, e, n, z);
    }
  }
  std::printf("%ld points\n%-9s %-13s %10s  %13s\n", points, "program", "format", "wall", "memory");
  bool failed = false;
  for (const kavex::GisFormatRow& row : kavex::GisFormats()) {
    const std::string out = (work / (std::string("kavex") + row.extension)).string();
    const Measure k =
        Run({cli, "export", (work / "points.pts").string(), "-o", out, "--crs", "EPSG:28992"},
            work / "kavex.log");
    Print("kavex-cli", row.name, k);
    std::vector<std::string> ogr = {"ogr2ogr",
                                    "-f",
                                    row.driver,
                                    (work / (std::string("ogr") + row.extension)).string(),
                                    (work / "points.csv").string(),
                                    "-oo",
                                    "X_POSSIBLE_NAMES=x",
                                    "-oo",
                                    "Y_POSSIBLE_NAMES=y",
                                    "-oo",
                                    "Z_POSSIBLE_NAMES=z"};
    // KML is reprojected to WGS 84 as the export does it.
    const std::vector<std::string> srs =
        row.forcesWgs84 ? std::vector<std::string>{"-s_srs", "EPSG:28992", "-t_srs", "EPSG:4326"}
                        : std::vector<std::string>{"-a_srs", "EPSG:28992"};
    ogr.insert(ogr.end(), srs.begin(), srs.end());
    for (const char* option : row.layerOptions) ogr.insert(ogr.end(), {"-lco", option});
    const Measure o = Run(ogr, work / "ogr.log");
    Print("ogr2ogr", row.name, o);
    failed = failed || k.status != 0 || o.status != 0;
  }
  fs::remove_all(work);
  return failed ? 1 : 0;
}
