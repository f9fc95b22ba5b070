// Every upload (terminal, NWF, coordinates and point codes with and without Ack/Nak) through
// the real serial adapter to instrument-sim, at each of the program's rates. Uploads are paced
// by the block interval by design, so the floor of a run is the line time of every byte plus
// one interval between the end of each write and the start of the next (an acknowledgement
// comes within it); the wall time is held against it and the CPU time against the wall time.
// A benchmark, not a test: run it from the release build.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kavex/bench/bench_support.h"
#include "kavex/formats/qrx6_block.h"
#include "kavex/shell/upload_commands.h"

namespace {

using namespace kavex;
namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

constexpr unsigned kIntervalMs = 100;  // the shortest block interval the dialog allows

// Messages to standard error; "Open File" answered with the file to send.
class FilePrompts final : public Prompts {
 public:
  explicit FilePrompts(std::string file) : file_(std::move(file)) {}
  int MessageBox(const std::string& text, int, bool) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    return kResultOk;
  }
  std::optional<std::string> OpenFileName(const FileDialogRequest&) override { return file_; }
  std::optional<std::string> SaveFileName(const FileDialogRequest&) override { return {}; }
  bool ConfirmSaveCurrent(const std::string&, const std::string&) override { return false; }
  std::unique_ptr<ProgressSink> ShowProgress(const std::string&, bool) override { return {}; }
  void PumpEvents() override {}
  void SetBusy(bool) override {}

 private:
  std::string file_;
};

class OkDetails final : public PointDetailsDialog {
 public:
  bool Run(PointDetails&) override { return true; }
};

struct Case {
  const char* name;  // also instrument-sim's
  UploadKind kind;
  bool ackNak;
};

const Case kCases[] = {
    {"terminal", UploadKind::Terminal, false},  {"nwf", UploadKind::Nwf, false},
    {"coords", UploadKind::Coordinates, false}, {"coords", UploadKind::Coordinates, true},
    {"codes", UploadKind::PointCodes, false},   {"codes", UploadKind::PointCodes, true},
};

std::string Name(const Case& c) {
  return std::string("upload ") + c.name + (c.ackNak ? " ack-nak" : "");
}

// A QRX-6 block line as a coordinate or code list holds it (without CR LF).
std::string Block(size_t n) {
  std::string payload = "_+P" + std::to_string(10000 + n) + "_ x" + std::to_string(4500123 + n) +
                        "_ y" + std::to_string(1200456 + n) + "_ z12345_";
  payload.resize(kBlockPayloadSize, ' ');
  payload.push_back(static_cast<char>('0' + n % 10));
  unsigned x = 0;
  for (const char ch : payload) x ^= static_cast<unsigned char>(ch);
  char check[8];
  std::snprintf(check, sizeof check, "%03u", x & 0xFFu);
  return std::string(1, kStx) + payload + check + kEtx;
}

sim::RunFigures RunOne(const std::string& bin, const fs::path& dir, const Case& c, unsigned baud,
                       double seconds) {
  sim::RunFigures r;
  r.name = Name(c);
  r.baud = baud;
  const bool blocks = c.kind == UploadKind::Coordinates || c.kind == UploadKind::PointCodes;
  const size_t lineBytes = blocks ? 136 : 42;
  const double perLine = kIntervalMs / 1e3 + static_cast<double>(lineBytes) * 10 / baud;
  const size_t count = std::max<size_t>(4, static_cast<size_t>(seconds / perLine));
  const fs::path report = dir / "report", file = dir / (blocks ? "send.qr6" : "send.qr7");
  fs::remove(report);
  {
    std::ofstream out(file, std::ios::binary);
    for (size_t n = 0; n < count; ++n) {
      if (blocks)
        out << Block(n) << "\r\n";
      else
        out << "PT" << 100000 + n << "     4500.123    1200.456    12.345\r\n";
    }
  }
  // The instrument takes the upload as over after a silence longer than any gap of it.
  const int idleMs = static_cast<int>(1000 * perLine) + 1000;
  std::vector<std::string> argv = {bin + "/instrument-sim", "--report",  report.string(),
                                   "kavex-receive",         c.name,      "--baud",
                                   std::to_string(baud),    "--idle-ms", std::to_string(idleMs)};
  if (c.ackNak) argv.push_back("--ack-nak");
  sim::SimProcess simulator(argv);
  const std::string device = simulator.Device();
  if (device.empty()) {
    r.problem = "(instrument-sim did not start)";
    return r;
  }

  FilePrompts prompts(file.string());
  bench::Station station(prompts, device, baud);
  station.settings.useAckNak = c.ackNak;
  station.settings.blockInterval = std::to_string(kIntervalMs);
  bench::GoDialogs dialogs(station.settings);
  OkDetails detailsDialog;
  PointDetails details;
  const bench::LineTimeDevice& line = station.line;

  const double cpu0 = sim::CpuSeconds();
  const UploadOutcome outcome =
      RunUpload(c.kind, station.logic, station.port, dialogs, detailsDialog, details);
  const int64_t endNs = sim::SteadyNs(Steady::now());
  r.cpu = sim::CpuSeconds() - cpu0;
  const int simExit =
      sim::FinishRun(r, simulator, report.string(), line.firstWriteNs, line.bytesWritten, endNs);
  // One interval between the end of a write and the start of the next; the acknowledgements
  // come within it.
  r.floor = static_cast<double>(line.bytesWritten) * 10.0 / baud +
            static_cast<double>(line.writes > 0 ? line.writes - 1 : 0) * kIntervalMs / 1e3;
  r.transferOk = outcome == UploadOutcome::Completed && simExit == 0 && line.writes >= count;
  if (!r.transferOk)
    r.problem = "(" + std::to_string(line.writes) + " writes for " + std::to_string(count) +
                " lines, instrument-sim exit " + std::to_string(simExit) + ")";
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> names;
  for (const Case& c : kCases) names.push_back(Name(c));
  return bench::Main(
      argc, argv, "kavex-upload-bench",
      "Usage: kavex-upload-bench [--only TEXT] [--baud N] [--seconds S] [--tries N]\n"
      "Every upload at 1200 to 38400 baud with the shortest block interval (100 ms), each\n"
      "run about S (2) seconds; --only keeps the runs whose name holds TEXT (\"coords\",\n"
      "\"ack-nak\"), --baud runs one rate.\n"
      "A run that misses a goal is made again after the sweep, up to --tries (3) runs in\n"
      "all; the best counts, shown in a row of its own at the end. Exit status 0 when\n"
      "every run met the goals.\n",
      names,
      [](const std::string& bin, const fs::path& dir, size_t index, unsigned baud, double seconds) {
        return RunOne(bin, dir, kCases[index], baud, seconds);
      });
}
