// A virtual instrument on a pseudo-terminal. It prints the device path it serves on the
// first line of standard output, then plays one scenario and exits.
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "line_model.h"
#include "pty.h"
#include "scenarios.h"

namespace {

void PrintHelp(std::FILE* out) {
  std::fprintf(out,
               "Usage: instrument-sim [--report FILE] [--line BAUD,BITS,PARITY,STOP] SCENARIO\n"
               "                      [OPTIONS...]\n"
               "  or:  instrument-sim --help | --version\n\n"
               "Plays a surveying instrument on a pseudo-terminal, for trying Kavex and ULVO\n"
               "without hardware. The first line of output is the device to give the program\n"
               "as its port (/dev/pts/N); then the scenario runs and the simulator exits.\n\n"
               "--report FILE  at the end, writes how well the paced writes kept to the line\n"
               "               rate (bytes, line time, send time, worst lateness, turnaround)\n"
               "--line B,D,P,S the instrument's own line settings, for example 9600,7,even,1\n"
               "               (parity none, even, odd, mark or space): the program receives\n"
               "               what a serial port set as it set the pseudo-terminal would make\n"
               "               of them; sets the pace instead of the scenario's --baud\n\n"
               "Scenarios:\n");
  for (const auto& s : sim::Scenarios()) std::fprintf(out, "%s\n", s.usage);
  std::fprintf(out, "\nThe whole description: man instrument-sim.\n");
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  std::string report;
  std::optional<sim::LineFrame> line;
  while (first + 1 < argc) {
    const std::string a = argv[first];
    if (a == "--report") {
      report = argv[first + 1];
    } else if (a == "--line") {
      sim::LineFrame frame;
      std::string error;
      if (!sim::ParseLineFrame(argv[first + 1], frame, error)) {
        std::fprintf(stderr, "instrument-sim: %s\n", error.c_str());
        return 2;
      }
      line = frame;
    } else {
      break;
    }
    first += 2;
  }
  if (argc <= first || std::string(argv[first]) == "--help") {
    PrintHelp(argc <= first ? stderr : stdout);
    return argc <= first ? 2 : 0;
  }
  if (std::string(argv[first]) == "--version") {
    std::printf("instrument-sim (Kavex and ULVO) %s\n", SURVEY_VERSION);
    return 0;
  }
  const std::string name = argv[first];
  for (const auto& s : sim::Scenarios()) {
    if (name != s.name) continue;
    sim::Pty pty;
    if (!pty.ok()) {
      std::fprintf(stderr, "instrument-sim: %s\n", pty.error().c_str());
      return 1;
    }
    if (line) pty.SetLine(*line);
    std::printf("%s\n", pty.DevicePath().c_str());
    std::fflush(stdout);
    const int status = s.run(pty, sim::Args(argv + first + 1, argv + argc));
    if (!report.empty()) {
      std::ofstream out(report, std::ios::trunc);
      out << pty.Paced().Report() << "\n";
      if (!out) {
        std::fprintf(stderr, "instrument-sim: cannot write %s\n", report.c_str());
        return 1;
      }
    }
    return status;
  }
  std::fprintf(stderr, "instrument-sim: unknown scenario '%s'\n", name.c_str());
  return 2;
}
