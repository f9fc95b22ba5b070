// Every link protocol, received and sent through the real serial adapter against
// instrument-sim paced like a real line, at each rate from 1200 to 115200 baud. Each run's
// wall time is held against the line time of every byte both ways (its floor) and its CPU
// time against the wall time; instrument-sim reports how well it kept to the line rate
// itself, so a slow instrument is never taken for a slow program. A benchmark, not a test:
// run it from the release build.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tools/instrument-sim/sim_client.h"
#include "ulvo/platform/qt_serial_device.h"
#include "ulvo/transfer/clock.h"
#include "ulvo/transfer/link_protocol.h"
#include "ulvo/transfer/trace_model.h"
#include "ulvo/transfer/tracing_device.h"
#include "ulvo/transfer/transfer_session.h"

namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

// A real port's write ends when its bytes have left on the line; a pseudo-terminal takes them
// at once. This makes each write last its bytes' line time and hands them over at its end,
// when the instrument would have them whole.
class LineTimeDevice : public ulvo::SerialDevice {
 public:
  LineTimeDevice(ulvo::SerialDevice& inner, unsigned baud) : inner_(inner), baud_(baud) {}

  ulvo::OpenResult Open(const std::string& name, const ulvo::PortSettings& s) override {
    return inner_.Open(name, s);
  }
  bool IsOpen() const override { return inner_.IsOpen(); }
  bool SetTimeouts(const ulvo::ReadTimeouts& t) override { return inner_.SetTimeouts(t); }
  bool Purge() override { return inner_.Purge(); }
  long Read(std::string& out, size_t max) override { return inner_.Read(out, max); }
  long ReadFrame(std::string& out, size_t max, const ulvo::FrameNeed& need) override {
    return inner_.ReadFrame(out, max, need);
  }
  bool Write(std::string_view bytes, std::chrono::milliseconds timeout) override {
    const auto start = Steady::now();
    if (firstWriteNs < 0) firstWriteNs = sim::SteadyNs(start);
    sleeper_.SleepUntil(start + std::chrono::nanoseconds(10'000'000'000LL / baud_ *
                                                         static_cast<long>(bytes.size())));
    bytes_ += bytes.size();
    return inner_.Write(bytes, timeout);
  }
  bool WaitTransmitEmpty(std::chrono::milliseconds timeout) override {
    return inner_.WaitTransmitEmpty(timeout);
  }
  bool Close() override { return inner_.Close(); }

  size_t BytesWritten() const { return bytes_; }
  int64_t firstWriteNs = -1;

 private:
  ulvo::SerialDevice& inner_;
  unsigned baud_;
  size_t bytes_ = 0;
  sim::LineSleeper sleeper_;
};

// What the Transfer window's open "Line" pane does to the trace: every 200 ms it takes the
// new records and formats them into its text, which keeps the last 1 MiB.
class PaneReader {
 public:
  explicit PaneReader(const ulvo::TraceModel& model) : model_(model), thread_([this] { Loop(); }) {}
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
      const ulvo::TraceModel::Rows rows = model_.Since(next);
      next = rows.first + rows.entries.size();
      for (const ulvo::TraceEntry& e : rows.entries) (text += ulvo::FormatTraceLine(e)) += '\n';
      if (text.size() > ulvo::TraceModel::kWindowBytes)
        text.erase(0, text.size() - ulvo::TraceModel::kWindowBytes);
      if (!last) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  }

  const ulvo::TraceModel& model_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// How a receive runs: as ulvo-cli without --trace; with its crash-safe capture; with the
// capture and the window's trace and open "Line" pane.
enum class Extra { kNone, kCapture, kCaptureAndPane };

// A protocol run without its acknowledgements (mode 0) or with them.
struct Case {
  const ulvo::LinkDescription* link;
  int mode;  // software handshake mode

  const char* Handshake() const { return ulvo::SoftHandshakeWord(mode); }  // instrument-sim's word
  uint32_t SoftBit() const { return mode > 0 ? 1u << (mode - 1) : 0u; }    // line format byte 3
  // Bytes of one record of the file; a line of Sample where a record is a line.
  size_t Frame() const { return link->recordData ? link->recordData : 36; }
};

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = [] {
    std::vector<Case> all;
    for (const ulvo::LinkDescription& link : ulvo::LinkProtocols()) {
      all.push_back({&link, 0});
      all.push_back({&link, link.answerMode});
    }
    return all;
  }();
  return cases;
}

// The receive the bare receiver stands in for: "ITF02" with its control-record answers.
bool IsBareCase(const Case& c) {
  return c.link->protocol == ulvo::LinkProtocol::kItf02 && c.mode == c.link->answerMode;
}

const unsigned kRates[] = {1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200};

std::string Name(const Case& c, bool receive, Extra extra) {
  return std::string(receive ? "receive " : "send ") + c.link->name + " " + c.Handshake() +
         (extra == Extra::kCapture          ? " +capture"
          : extra == Extra::kCaptureAndPane ? " +capture +pane"
                                            : "");
}

ulvo::CInstrument MakeInstrument(unsigned baud, const Case& c) {
  ulvo::CInstrument i;
  i.LoadInterfaceText(ulvo::EncodeInterfaceText("[HEADER]\nVERSION=1\n"
                                                "TITLE=INSTRUMENT INTERFACE FILE\n"
                                                "INSTRUMENT=Bench\n"),
                      nullptr);
  ulvo::TransferParams p;
  for (int bit = 0; bit < ulvo::kBaudRateCount; ++bit)
    if (ulvo::kBaudRates[bit] == baud) p.baudMask = 1u << bit;
  p.lineFormat = ulvo::MakeLineFormat(1, 8, 1, c.SoftBit());  // no parity, 8 bits, 1 stop bit
  p.dataFormat = c.link->formatBit;
  i.SetParams(ulvo::kDirectionSend, p);
  i.SetParams(ulvo::kDirectionReceive, p);
  return i;
}

// Whole CR LF lines of about 36 bytes, cut to `size`, so every protocol carries them.
std::string Sample(size_t size) {
  std::string data;
  for (size_t n = 0; data.size() < size; ++n)
    data += "PT" + std::to_string(100000 + n) + ",4500.123,1200.456,12.345\r\n";
  data.resize(size);
  while (!data.empty() && data.back() != '\n') data.pop_back();
  return data;
}

sim::RunFigures RunOne(const std::string& simPath, const fs::path& dir, const Case& c, bool receive,
                       Extra extra, unsigned baud, double seconds) {
  sim::RunFigures r;
  r.name = Name(c, receive, extra);
  r.baud = baud;
  const size_t size = std::max<size_t>(static_cast<size_t>(seconds * baud / 10), 4 * c.Frame());
  const std::string data = Sample(size);
  const fs::path source = dir / "source", received = dir / "received", report = dir / "report";
  std::ofstream(source, std::ios::binary) << data;
  fs::remove(report);

  std::vector<std::string> argv = {simPath, "--report", report.string()};
  if (receive) {
    argv.insert(argv.end(), {"ulvo-send", "--file", source.string(), "--delay-ms", "300"});
  } else {
    argv.insert(argv.end(), {"ulvo-receive", "--expect", source.string()});
  }
  argv.insert(argv.end(), {"--format", c.link->name, "--handshake", c.Handshake(), "--baud",
                           std::to_string(baud)});
  sim::SimProcess simulator(argv);
  const std::string device = simulator.Device();
  if (device.empty()) {
    r.problem = "(instrument-sim did not start)";
    return r;
  }

  ulvo::QtSerialDevice port;
  LineTimeDevice line(port, baud);
  ulvo::SteadyClock clock;
  ulvo::TraceModel trace;
  ulvo::TransferSessionOptions options;
  if (extra == Extra::kCaptureAndPane) options.trace = &trace;
  if (extra != Extra::kNone) options.captureFolder = dir / "Captures";
  options.captureFailed = [&r](const std::string& problem) {
    r.problem = "(no capture: " + problem + ")";
  };
  ulvo::TransferSession session(line, clock, std::move(options));
  const double cpu0 = sim::CpuSeconds();
  std::unique_ptr<PaneReader> pane;
  if (extra == Extra::kCaptureAndPane) pane = std::make_unique<PaneReader>(trace);
  const ulvo::TransferOutcome outcome =
      session.Run(nullptr, MakeInstrument(baud, c), device,
                  receive ? ulvo::kDirectionReceive : ulvo::kDirectionSend,
                  (receive ? received : source).string());
  const uint32_t result = outcome.result;
  // The transfer ends when the engine returns; the capture's last sync and the pane's last
  // look come after it but count in the CPU time.
  const int64_t endNs = sim::SteadyNs(outcome.ended);
  pane.reset();
  r.cpu = sim::CpuSeconds() - cpu0;
  const int simExit =
      sim::FinishRun(r, simulator, report.string(), line.firstWriteNs, line.BytesWritten(), endNs);
  r.floor = static_cast<double>(r.bytes) * 10.0 / baud;

  bool same = true;
  if (receive) {
    std::ifstream in(received, std::ios::binary);
    std::string got(std::istreambuf_iterator<char>(in), {});
    if (c.link->padsLastRecord) {
      // Blocks arrive padded with spaces to their full length.
      same =
          got.size() >= data.size() && got.find_first_not_of(' ', data.size()) == std::string::npos;
      got.resize(std::min(got.size(), data.size()));
    }
    same = same && got == data;
  }
  r.transferOk = result == 0 && simExit == 0 && same && (extra == Extra::kNone || outcome.captured);
  if (!r.transferOk)
    r.problem = "(result " + std::to_string(result) + ", instrument-sim exit " +
                std::to_string(simExit) + (same ? "" : ", data differs") + ")";
  return r;
}

// The least a receiver can do on this line: answer each "ITF02" line the moment its LF is in,
// the answer lasting its line time as the program's do here, with nothing else in between.
// What it reaches is what the pseudo-terminal and the machine allow any program.
sim::RunFigures RunBare(const std::string& simPath, const fs::path& dir, unsigned baud,
                        double seconds) {
  const Case& c = *std::find_if(Cases().begin(), Cases().end(), IsBareCase);
  sim::RunFigures r;
  r.name = "bare receive ITF02 acknak2";
  r.baud = baud;
  const std::string data =
      Sample(std::max<size_t>(static_cast<size_t>(seconds * baud / 10), 4 * c.Frame()));
  const fs::path source = dir / "source", report = dir / "report";
  std::ofstream(source, std::ios::binary) << data;
  fs::remove(report);
  sim::SimProcess simulator({simPath, "--report", report.string(), "ulvo-send", "--file",
                             source.string(), "--delay-ms", "300", "--format", c.link->name,
                             "--handshake", c.Handshake(), "--baud", std::to_string(baud)});
  const std::string device = simulator.Device();
  const int fd = device.empty() ? -1 : open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    r.problem = "(no pseudo-terminal)";
    return r;
  }
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tcsetattr(fd, TCSANOW, &tio);
  // What the program answers a line taken well.
  const std::string answer = "\x06,R,\r\n";
  const auto answerTime =
      std::chrono::nanoseconds(10'000'000'000LL / baud * static_cast<long>(answer.size()));
  sim::LineSleeper sleeper;
  int64_t firstWriteNs = -1, endNs = -1;
  size_t written = 0;
  bool ended = false;
  std::string line;
  const double cpu0 = sim::CpuSeconds();
  char buffer[512];
  while (!ended) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 3000) <= 0 || !(p.revents & POLLIN)) break;
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    for (ssize_t i = 0; i < n && !ended; ++i) {
      line += buffer[i];
      if (buffer[i] != '\n') continue;
      const auto start = Steady::now();
      if (firstWriteNs < 0) firstWriteNs = sim::SteadyNs(start);
      sleeper.SleepUntil(start + answerTime);
      if (write(fd, answer.data(), answer.size()) != static_cast<ssize_t>(answer.size())) break;
      written += answer.size();
      endNs = sim::SteadyNs(Steady::now());
      ended = line[0] == '\x04';  // the end record
      line.clear();
    }
  }
  r.cpu = sim::CpuSeconds() - cpu0;
  const int simExit = sim::FinishRun(r, simulator, report.string(), firstWriteNs, written, endNs);
  close(fd);
  r.floor = static_cast<double>(r.bytes) * 10.0 / baud;
  r.transferOk = ended && simExit == 0;
  if (!r.transferOk) r.problem = "(instrument-sim exit " + std::to_string(simExit) + ")";
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const std::string simPath = (fs::path(argv[0]).parent_path() / "instrument-sim").string();
  const fs::path dir =
      fs::temp_directory_path() / ("ulvo-transfer-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);

  sim::Sweep sweep;
  sweep.usage =
      "Usage: ulvo-transfer-bench [--only TEXT] [--baud N] [--seconds S] [--tries N]\n"
      "Every protocol with and without its acknowledgements, received and sent, at 1200 to\n"
      "115200 baud, each run about S (2) seconds of line time; --only keeps the runs whose\n"
      "name holds TEXT (\"receive ITF00\", \"acknak2\"), --baud runs one rate. Each receive\n"
      "runs also with its capture (+capture) and with the window's trace and open Line pane\n"
      "besides (+capture +pane).\n"
      "A run that misses a goal is made again after the sweep, up to --tries (3) runs in\n"
      "all; the best counts, shown in a row of its own at the end. Exit status 0 when\n"
      "every run met the goals. With \"receive ITF02 acknak2\" among the runs, a bare\n"
      "receiver's figures on the same line follow, for comparison.\n";
  struct Run {
    const Case* c;
    bool receive;
    Extra extra;
  };
  std::vector<Run> runs;
  for (const bool receive : {true, false})
    for (const Case& c : Cases())
      for (const Extra extra : {Extra::kNone, Extra::kCapture, Extra::kCaptureAndPane}) {
        if (!receive && extra != Extra::kNone) continue;  // a send captures nothing
        runs.push_back({&c, receive, extra});
        sweep.names.push_back(Name(c, receive, extra));
      }
  sweep.rates.assign(std::begin(kRates), std::end(kRates));
  sweep.allowed.assign(std::begin(ulvo::kBaudRates), std::end(ulvo::kBaudRates));
  sweep.run = [&](size_t index, unsigned baud, double seconds) {
    const Run& run = runs[index];
    return RunOne(simPath, dir, *run.c, run.receive, run.extra, baud, seconds);
  };
  sweep.reference = [&](const std::vector<size_t>& picked, const std::vector<unsigned>& rates,
                        double seconds, int tries) {
    const bool acknak2 = std::any_of(picked.begin(), picked.end(), [&](size_t index) {
      return runs[index].receive && IsBareCase(*runs[index].c);
    });
    if (!acknak2) return;
    std::printf(
        "\nFor comparison, counting toward no goal: a bare receiver in the program's place on the "
        "same line (it only answers each line the moment its LF is in), made again as the "
        "program's runs are:\n");
    sim::Sweep bare;
    bare.run = [&](size_t, unsigned baud, double s) { return RunBare(simPath, dir, baud, s); };
    std::vector<sim::Planned> plan;
    for (const unsigned baud : rates) plan.push_back({0, baud});
    for (const sim::RunFigures& r : sim::RunPasses(bare, plan, seconds, tries, [](const auto&) {}))
      sim::PrintRow(stdout, r);
  };
  const int status = sim::RunSweep(argc, argv, sweep);
  fs::remove_all(dir);
  return status;
}
