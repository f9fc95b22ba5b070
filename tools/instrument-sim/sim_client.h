#pragma once

// What the transfer benchmarks share: instrument-sim started on its own pseudo-terminal, its
// report of how well it kept to the line rate, the process's CPU time, and one table of
// figures against the goals. Header only; both programs' benchmarks include it.
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

extern char** environ;

namespace sim {

inline int64_t SteadyNs(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

// User and system time of this process so far.
inline double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Sleeps of the benchmark's own line emulation end when asked, not up to 50 us later.
inline void PreciseSleeps() {
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

// Sleeps until an instant on the line, aiming early by what waking up has been taking lately,
// so that on average it wakes on time rather than late: the benchmark's own emulation must
// not be charged to the program.
class LineSleeper {
 public:
  void SleepUntil(std::chrono::steady_clock::time_point when) {
    std::this_thread::sleep_until(when - lead_);
    const auto late = std::chrono::steady_clock::now() - when;
    lead_ = std::clamp<std::chrono::steady_clock::duration>(
        lead_ + late / 4, std::chrono::steady_clock::duration(0), std::chrono::microseconds(300));
  }

 private:
  std::chrono::steady_clock::duration lead_{0};
};

// instrument-sim's --report: the paced writes against the line.
struct PacingReport {
  bool ok = false;
  size_t bytes = 0;
  size_t writes = 0;
  double line = 0;        // seconds the bytes need on the line
  double send = 0;        // seconds from each write's start to its last byte
  double maxLate = 0;     // worst lateness of a record's last byte, seconds
  double turnaround = 0;  // seconds from a byte read to the answer's start, summed
  int64_t firstWriteNs = -1;
  int64_t lastWriteNs = -1;

  static PacingReport Read(const std::string& path) {
    PacingReport r;
    std::ifstream in(path);
    std::string key;
    long long value = 0;
    int fields = 0;
    while (in >> key >> value) {
      ++fields;
      if (key == "bytes") r.bytes = static_cast<size_t>(value);
      if (key == "writes") r.writes = static_cast<size_t>(value);
      if (key == "line-ns") r.line = static_cast<double>(value) / 1e9;
      if (key == "send-ns") r.send = static_cast<double>(value) / 1e9;
      if (key == "max-late-ns") r.maxLate = static_cast<double>(value) / 1e9;
      if (key == "turnaround-ns") r.turnaround = static_cast<double>(value) / 1e9;
      if (key == "first-write-ns") r.firstWriteNs = value;
      if (key == "last-write-ns") r.lastWriteNs = value;
    }
    r.ok = fields == 8;
    return r;
  }
};

// instrument-sim running one scenario; standard output on a pipe for the device path.
class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& argv) {
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out_ = fds[0];
  }
  ~SimProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    if (out_ >= 0) close(out_);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The device it serves (its first line), or empty when it did not start.
  std::string Device() {
    std::string line;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && std::chrono::steady_clock::now() < until) {
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char c = 0;
      if (read(out_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line.push_back(c);
    }
    return {};
  }

  // Its exit status; -1 when it did not end within a minute (it is stopped then).
  int Wait() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (pid_ > 0) {
      int status = 0;
      const pid_t r = waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      if (std::chrono::steady_clock::now() >= until) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

// The goals every run is held to.
inline constexpr double kMaxRatio = 1.02;
inline constexpr double kMaxCpuShare = 0.02;
// An instrument that spends more than this share of the floor beyond the line time of what it
// sends (late bytes, slow answers) makes a run say nothing of the program.
inline constexpr double kMaxSimExcess = 0.005;

// One run: what the line allows (floor), what it took (wall, from the first byte on the line
// in either direction to the program's end) and the instrument's own pacing.
struct RunFigures {
  std::string name;
  unsigned baud = 0;
  size_t bytes = 0;  // on the line, both directions
  double floor = 0;
  double wall = 0;
  double cpu = 0;
  PacingReport sim;
  bool transferOk = false;
  std::string problem;
  int tries = 1;  // runs made of this case and rate; the figures are the best one's

  double Ratio() const { return floor > 0 ? wall / floor : 0; }
  double CpuShare() const { return wall > 0 ? cpu / wall : 0; }
  // The instrument's time beyond the line: its sending past the line time and its answers'
  // turnaround, as a share of the floor.
  double SimExcess() const {
    return floor > 0 ? (sim.send - sim.line + sim.turnaround) / floor : 0;
  }
  bool SimKeptPace() const { return sim.ok && SimExcess() <= kMaxSimExcess; }
  bool Met() const {
    return transferOk && SimKeptPace() && Ratio() <= kMaxRatio && CpuShare() <= kMaxCpuShare;
  }
  std::string Verdict() const {
    if (!transferOk)
      return "FAILED " + problem + (tries > 1 ? " (on run " + std::to_string(tries) + ")" : "");
    if (!SimKeptPace()) return "SIMULATOR BEHIND THE LINE";
    std::string v;
    if (Ratio() > kMaxRatio) v += "SLOW ";
    if (CpuShare() > kMaxCpuShare) v += "CPU ";
    v = v.empty() ? "met" : v + "MISSED";
    return tries > 1 ? v + " (best of " + std::to_string(tries) + ")" : v;
  }
};

// Once the program is done (at `endNs`): waits for the instrument, reads its report, and
// takes the wall time from the first byte either side sent. Returns the instrument's exit
// status.
inline int FinishRun(RunFigures& r, SimProcess& simulator, const std::string& report,
                     int64_t programFirstWriteNs, size_t programBytes, int64_t endNs) {
  const int simExit = simulator.Wait();
  r.sim = PacingReport::Read(report);
  int64_t beginNs = programFirstWriteNs;
  if (r.sim.firstWriteNs >= 0 && (beginNs < 0 || r.sim.firstWriteNs < beginNs))
    beginNs = r.sim.firstWriteNs;
  r.wall = beginNs >= 0 ? static_cast<double>(endNs - beginNs) / 1e9 : 0;
  r.bytes = r.sim.bytes + programBytes;
  return r.sim.ok && beginNs >= 0 ? simExit : -1;
}

inline void PrintHeader(std::FILE* out) {
  std::fprintf(out, "%-24s %7s %8s %9s %9s %7s %6s | %9s %9s %8s %8s  %s\n", "run", "baud", "bytes",
               "floor s", "wall s", "ratio", "cpu %", "sim line", "sim send", "sim +%", "late ms",
               "verdict");
}

inline void PrintRow(std::FILE* out, const RunFigures& r) {
  std::fprintf(out, "%-24s %7u %8zu %9.3f %9.3f %7.4f %6.2f | %9.3f %9.3f %8.3f %8.3f  %s\n",
               r.name.c_str(), r.baud, r.bytes, r.floor, r.wall, r.Ratio(), 100 * r.CpuShare(),
               r.sim.line, r.sim.send, 100 * r.SimExcess(), 1e3 * r.sim.maxLate,
               r.Verdict().c_str());
  std::fflush(out);
}

inline void PrintGoals(std::FILE* out) {
  std::fprintf(out,
               "goals: wall <= %.2f x floor (line time of every byte both ways, plus the waits "
               "the protocol prescribes), CPU <= %.0f %% of wall.\n"
               "sim line/send: the line time of what the instrument sent and the time it took "
               "sending it; sim +%%: its time beyond the line (late bytes, answer turnaround) as "
               "a share of the floor, at most %.1f %% or the run says nothing of the program\n",
               kMaxRatio, 100 * kMaxCpuShare, 100 * kMaxSimExcess);
}

// Summary line; true when every run met its goals.
inline bool PrintSummary(std::FILE* out, const std::vector<RunFigures>& runs) {
  size_t met = 0;
  double worst = 0, worstCpu = 0;
  for (const auto& r : runs) {
    met += r.Met() ? 1 : 0;
    worst = std::max(worst, r.Ratio());
    worstCpu = std::max(worstCpu, r.CpuShare());
  }
  size_t again = 0;
  for (const auto& r : runs) again += r.tries > 1 ? 1 : 0;
  std::fprintf(out, "%zu of %zu runs met the goals; worst ratio %.4f, worst CPU %.2f %%\n", met,
               runs.size(), worst, 100 * worstCpu);
  if (again > 0)
    std::fprintf(out, "%zu runs were made again after missing a goal (the rows after the sweep)\n",
                 again);
  return met == runs.size();
}

// One benchmark: its runs (case by rate) and how to make one.
struct Sweep {
  const char* usage;               // printed by --help and on a usage error
  std::vector<std::string> names;  // one per case, as the table shows it
  std::vector<unsigned> rates;     // swept when no --baud is given
  std::vector<unsigned> allowed;   // what --baud may pick
  std::function<RunFigures(size_t caseIndex, unsigned baud, double seconds)> run;
  // Optional: after the summary, rows that count toward no goal (what the machine allows).
  std::function<void(const std::vector<size_t>& picked, const std::vector<unsigned>& rates,
                     double seconds, int tries)>
      reference;
};

// Whether `again`, a later run of the same case at the same rate, counts instead of `best`:
// a failed transfer always does (it is a fault, whatever the machine did); otherwise a run
// that met its goals, then one the instrument kept pace with, then the one nearer its goals.
inline bool CountsInstead(const RunFigures& again, const RunFigures& best) {
  const auto rank = [](const RunFigures& r) {
    return std::make_tuple(r.Met(), r.SimKeptPace(),
                           -std::max(r.Ratio() / kMaxRatio, r.CpuShare() / kMaxCpuShare));
  };
  return !again.transferOk || rank(again) > rank(best);
}

// One case at one rate.
struct Planned {
  size_t caseIndex;
  unsigned rate;
};

// Makes every planned run once, in order, handing each to `shown` as it ends; then makes the
// runs that missed a goal again, in passes over them, up to `tries` runs in all, and the best
// counts. The machine may stall a run for seconds to a minute (a burst on the host slows the
// instrument as well): a run made again at once would often meet the same burst, one made
// after the rest of the sweep seldom does. A failed transfer is never run again.
inline std::vector<RunFigures> RunPasses(const Sweep& sweep, const std::vector<Planned>& plan,
                                         double seconds, int tries,
                                         const std::function<void(const RunFigures&)>& shown) {
  std::vector<RunFigures> runs;
  for (const Planned& p : plan) {
    runs.push_back(sweep.run(p.caseIndex, p.rate, seconds));
    shown(runs.back());
  }
  const auto again = [](const RunFigures& r) { return r.transferOk && !r.Met(); };
  for (int made = 2; made <= tries; ++made) {
    for (size_t i = 0; i < runs.size(); ++i) {
      if (!again(runs[i])) continue;
      RunFigures next = sweep.run(plan[i].caseIndex, plan[i].rate, seconds);
      if (CountsInstead(next, runs[i])) runs[i] = std::move(next);
      runs[i].tries = made;
    }
  }
  return runs;
}

// The benchmarks' main: --only TEXT keeps the cases whose name holds TEXT, --baud N runs one
// rate, --seconds S sizes each run, --tries N (1 to 10, default 3) bounds the runs of a case
// that misses. Prints a row a run and the summary; returns the exit status (0 when every run
// met the goals, 1 when one did not, 2 on a usage error).
inline int RunSweep(int argc, char** argv, const Sweep& sweep) {
  std::string only;
  unsigned baud = 0;
  double seconds = 2;
  int tries = 3;
  for (int n = 1; n < argc; ++n) {
    const std::string a = argv[n];
    if (a == "--help") {
      std::printf("%s", sweep.usage);
      return 0;
    }
    if (n + 1 >= argc || (a != "--only" && a != "--baud" && a != "--seconds" && a != "--tries")) {
      std::fprintf(stderr, "%s", sweep.usage);
      return 2;
    }
    const std::string v = argv[++n];
    if (a == "--only") only = v;
    if (a == "--baud") baud = static_cast<unsigned>(std::strtoul(v.c_str(), nullptr, 10));
    if (a == "--seconds") seconds = std::strtod(v.c_str(), nullptr);
    if (a == "--tries") tries = static_cast<int>(std::strtol(v.c_str(), nullptr, 10));
  }
  std::vector<unsigned> rates = sweep.rates;
  if (baud != 0) rates = {baud};
  const bool rateOk = baud == 0 || std::find(sweep.allowed.begin(), sweep.allowed.end(), baud) !=
                                       sweep.allowed.end();
  if (!rateOk || !(seconds > 0) || tries < 1 || tries > 10) {
    std::fprintf(stderr, "%s", sweep.usage);
    return 2;
  }
  std::vector<size_t> picked;
  for (size_t c = 0; c < sweep.names.size(); ++c)
    if (sweep.names[c].find(only) != std::string::npos) picked.push_back(c);
  if (picked.empty()) {
    std::fprintf(stderr, "no run is called '%s'\n", only.c_str());
    return 2;
  }
  PreciseSleeps();
  PrintGoals(stdout);
  PrintHeader(stdout);
  std::vector<Planned> plan;
  for (const size_t c : picked)
    for (const unsigned rate : rates) plan.push_back({c, rate});
  const std::vector<RunFigures> runs =
      RunPasses(sweep, plan, seconds, tries, [](const RunFigures& r) { PrintRow(stdout, r); });
  bool heading = false;
  for (const RunFigures& r : runs) {
    if (r.tries == 1) continue;
    if (!heading) std::printf("made again after the sweep, the best of each one's runs:\n");
    heading = true;
    PrintRow(stdout, r);
  }
  const bool met = PrintSummary(stdout, runs);
  if (sweep.reference) sweep.reference(picked, rates, seconds, tries);
  return met ? 0 : 1;
}

}  // namespace sim
