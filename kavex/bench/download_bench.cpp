// Every download (terminal, NWF, QRX-6 with and without Ack/Nak, HK) through the real serial
// adapter against instrument-sim paced like a real line, at each of the program's rates. Each
// run's wall time is held against its floor (the line time of every byte both ways plus the
// delay before each reply) and its CPU time against the wall time; instrument-sim reports how
// well it kept to the line rate itself, so a slow instrument is never taken for a slow
// program. A benchmark, not a test: run it from the release build.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kavex/bench/bench_support.h"
#include "kavex/shell/console_prompts.h"
#include "kavex/shell/download_commands.h"

namespace {

using namespace kavex;
namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

constexpr unsigned kDelayMs = 10;  // the shortest delay before a reply the dialog allows

// How a download runs besides: with its crash-safe capture; with the capture and the
// window's trace and open "Line" pane.
enum class Extra { kNone, kCapture, kCaptureAndPane };

struct Case {
  const char* name;
  DownloadKind kind;
  bool ackNak;
  Extra extra = Extra::kNone;
};

const Case kCases[] = {
    {"terminal", DownloadKind::Terminal, false},
    {"terminal +capture", DownloadKind::Terminal, false, Extra::kCapture},
    {"terminal +capture +pane", DownloadKind::Terminal, false, Extra::kCaptureAndPane},
    {"nwf", DownloadKind::Nwf, false},
    {"qrx6", DownloadKind::Qrx6, false},
    {"qrx6 ack-nak", DownloadKind::Qrx6, true},
    {"qrx6 ack-nak +capture", DownloadKind::Qrx6, true, Extra::kCapture},
    {"qrx6 ack-nak +capture +pane", DownloadKind::Qrx6, true, Extra::kCaptureAndPane},
    {"hk", DownloadKind::Hk, true},
};

// What the progress window's open "Line" pane does to the trace: every 200 ms it takes the
// new records and formats them into its text, which keeps the last 1 MiB.
class PaneReader {
 public:
  explicit PaneReader(const TraceModel& model) : model_(model), thread_([this] { Loop(); }) {}
  ~PaneReader() {
    stop_ = true;
    thread_.join();
  }

 private:
  void Loop() {
    uint64_t next = 0;
    std::string text;
    for (bool last = false; !last;) {
      last = stop_;
      const TraceModel::Rows rows = model_.Since(next);
      next = rows.first + rows.entries.size();
      for (const TraceEntry& e : rows.entries) (text += FormatTraceLine(e)) += '\n';
      if (text.size() > TraceModel::kWindowBytes)
        text.erase(0, text.size() - TraceModel::kWindowBytes);
      if (!last) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  }

  const TraceModel& model_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

sim::RunFigures RunOne(const std::string& bin, const fs::path& dir, const Case& c, unsigned baud,
                       double seconds) {
  sim::RunFigures r;
  r.name = std::string("download ") + c.name;
  r.baud = baud;
  const size_t bytes = static_cast<size_t>(seconds * baud / 10);
  const fs::path report = dir / "report", lines = dir / "lines";
  fs::remove(report);

  std::vector<std::string> argv = {bin + "/instrument-sim", "--report", report.string()};
  size_t expected = 0;
  if (c.kind == DownloadKind::Qrx6) {
    expected = std::max<size_t>(4, bytes / 136);
    argv.insert(argv.end(), {"kavex-qrx6", "--blocks", std::to_string(expected)});
    if (c.ackNak) argv.push_back("--ack-nak");
  } else {
    // Lines of about 40 bytes; an HK download ends with the line that begins with "Z".
    std::ofstream out(lines, std::ios::binary);
    expected = std::max<size_t>(4, bytes / 40);
    for (size_t n = 0; n < expected; ++n) {
      const bool last = n + 1 == expected;
      if (c.kind == DownloadKind::Hk)
        out << (last ? "Z," : "A,") << 1000 + n << ",JOB1,M1,1612311200,4500.123,\r\n";
      else
        out << "PT" << 100000 + n << "     4500.123    1200.456    12.345\r\n";
    }
    argv.insert(argv.end(),
                {c.kind == DownloadKind::Hk ? "kavex-hk" : "kavex-text", "--file", lines.string()});
  }
  argv.insert(argv.end(), {"--baud", std::to_string(baud)});
  if (!c.ackNak || c.kind == DownloadKind::Hk) argv.insert(argv.end(), {"--start-ms", "300"});
  sim::SimProcess simulator(argv);
  const std::string device = simulator.Device();
  if (device.empty()) {
    r.problem = "(instrument-sim did not start)";
    return r;
  }

  ConsolePrompts prompts;
  bench::Station station(prompts, device, baud, c.extra == Extra::kCaptureAndPane);
  station.settings.useAckNak = c.ackNak;
  station.settings.delayTime = std::to_string(kDelayMs);
  bench::GoDialogs dialogs(station.settings);
  const bench::LineTimeDevice& line = station.line;
  const MemoryDataView& view = station.view;

  DownloadHandOver handOver;
  if (c.extra != Extra::kNone) handOver.captureFolder = dir / "Captures";
  bool captureFailed = false;
  handOver.captureFailed = [&](const std::string&) { captureFailed = true; };
  const double cpu0 = sim::CpuSeconds();
  std::unique_ptr<PaneReader> pane;
  if (c.extra == Extra::kCaptureAndPane) pane = std::make_unique<PaneReader>(station.trace);
  const DownloadOutcome outcome =
      RunDownload(c.kind, station.logic, station.port, dialogs, handOver);
  // The download ends here; the pane's last look comes after it but counts in the CPU time.
  const int64_t endNs = sim::SteadyNs(Steady::now());
  pane.reset();
  r.cpu = sim::CpuSeconds() - cpu0;
  const int simExit =
      sim::FinishRun(r, simulator, report.string(), line.firstWriteNs, line.bytesWritten, endNs);
  // Every write of the program but the ENQ answers a line, no sooner than the delay after it.
  const size_t replies = line.writes - (c.kind == DownloadKind::Qrx6 && c.ackNak ? 1 : 0);
  r.floor =
      static_cast<double>(r.bytes) * 10.0 / baud + static_cast<double>(replies) * kDelayMs / 1e3;
  r.transferOk = outcome == DownloadOutcome::Completed && view.LineCount() == expected &&
                 simExit == 0 && !captureFailed;
  if (!r.transferOk)
    r.problem = "(" + std::to_string(view.LineCount()) + " of " + std::to_string(expected) +
                " lines, instrument-sim exit " + std::to_string(simExit) + ")";
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> names;
  for (const Case& c : kCases) names.push_back(std::string("download ") + c.name);
  return bench::Main(
      argc, argv, "kavex-download-bench",
      "Usage: kavex-download-bench [--only TEXT] [--baud N] [--seconds S] [--tries N]\n"
      "Every download at 1200 to 38400 baud, each run about S (2) seconds of line time,\n"
      "replies after the shortest delay (10 ms); --only keeps the runs whose name holds\n"
      "TEXT (\"qrx6\", \"hk\"), --baud runs one rate. \"+capture\" runs keep the crash-safe\n"
      "capture; \"+capture +pane\" ones also trace the line for an open Line pane.\n"
      "A run that misses a goal is made again after the sweep, up to --tries (3) runs in\n"
      "all; the best counts, shown in a row of its own at the end. Exit status 0 when\n"
      "every run met the goals.\n",
      names,
      [](const std::string& bin, const fs::path& dir, size_t index, unsigned baud, double seconds) {
        return RunOne(bin, dir, kCases[index], baud, seconds);
      });
}
