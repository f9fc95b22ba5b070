// A virtual instrument on a pseudo-terminal. It prints the device path it serves on the
// first line of standard output, then plays one scenario and exits.
#include <cstdio>
#include <string>

#include "pty.h"
#include "scenarios.h"

namespace {

void PrintHelp(std::FILE* out) {
  std::fprintf(out,
               "Usage: instrument-sim SCENARIO [OPTIONS...]\n"
               "  or:  instrument-sim --help | --version\n\n"
               "Plays a surveying instrument on a pseudo-terminal, for trying Kavex and ULVO\n"
               "without hardware. The first line of output is the device to give the program\n"
               "as its port (/dev/pts/N); then the scenario runs and the simulator exits.\n\n"
               "Scenarios:\n");
  for (const auto& s : sim::Scenarios()) std::fprintf(out, "%s\n", s.usage);
  std::fprintf(out, "\nThe whole description: man instrument-sim.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help") {
    PrintHelp(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (std::string(argv[1]) == "--version") {
    std::printf("instrument-sim (Kavex and ULVO) %s\n", SURVEY_VERSION);
    return 0;
  }
  const std::string name = argv[1];
  for (const auto& s : sim::Scenarios()) {
    if (name != s.name) continue;
    sim::Pty pty;
    if (!pty.ok()) {
      std::fprintf(stderr, "instrument-sim: %s\n", pty.error().c_str());
      return 1;
    }
    std::printf("%s\n", pty.DevicePath().c_str());
    std::fflush(stdout);
    return s.run(pty, sim::Args(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "instrument-sim: unknown scenario '%s'\n", name.c_str());
  return 2;
}
