// Downloads 1,000 QRX-6 blocks from instrument-sim at 9600 baud with Ack/Nak and a 10 ms
// delay, and compares the wall time with the protocol's own floor and the CPU time with
// the wall time. A benchmark, not a test: run it by hand (release build recommended).
#include <sys/resource.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <string>

#include "kavex/platform/qt_serial_device.h"
#include "kavex/shell/console_prompts.h"
#include "kavex/shell/download_commands.h"
#include "kavex/tests/e2e/sim_process.h"

namespace {

using namespace kavex;

class GoDialogs final : public TransferDialogs {
 public:
  bool ShowCommStatus(TransferCommand, CommSettings&) override { return true; }
  TransferProgress& Progress() override { return progress_; }

 private:
  TransferProgress progress_;
};

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int blocks = argc > 1 ? std::atoi(argv[1]) : 1000;
  const unsigned baud = 9600;
  const unsigned delayMs = 10;
  const std::string bin = SURVEY_BIN_DIR;

  kavex::testing::ChildProcess sim({bin + "/instrument-sim", "kavex-qrx6", "--blocks",
                                    std::to_string(blocks), "--ack-nak", "--baud",
                                    std::to_string(baud)});
  const std::string device = sim.FirstLine();
  if (device.empty()) {
    std::fprintf(stderr, "instrument-sim did not start\n");
    return 1;
  }

  SystemClock clock;
  MemoryDataView view;
  ConsolePrompts prompts;
  MainLogic logic(view, prompts, clock);
  CommSettings& s = logic.Settings().comm;
  s.rateCode = RateCodeOfBaud(static_cast<int>(baud));
  s.useAckNak = true;
  s.delayTime = "10 ";
  QtSerialDevice serial;
  CommPort port(serial, clock, [&](const std::string& t) { logic.ShowMessage(t); });
  port.SetPortPath("COM1", device);
  GoDialogs dialogs;

  const double cpu0 = CpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  const DownloadOutcome outcome = RunDownload(DownloadKind::Qrx6, logic, port, dialogs);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double cpu = CpuSeconds() - cpu0;
  const int simExit = sim.Wait();

  // The floor: every byte the instrument sends at 10 bits a byte, plus one delay per block
  // and one before the final ACK.
  const double bytes = blocks * 136.0 + 1;
  const double floor = bytes * 10.0 / baud + (blocks + 1) * delayMs / 1000.0;
  std::printf("blocks received   %zu of %d (%s, simulator exit %d)\n", view.LineCount(), blocks,
              outcome == DownloadOutcome::Completed ? "completed" : "failed", simExit);
  std::printf("wall time         %.3f s\n", wall);
  std::printf("protocol floor    %.3f s\n", floor);
  std::printf("wall / floor      %.4f   (target <= 1.05)\n", wall / floor);
  std::printf("CPU time          %.3f s\n", cpu);
  std::printf("CPU / wall        %.2f %%  (target <= 5 %%)\n", 100.0 * cpu / wall);
  const bool ok = outcome == DownloadOutcome::Completed &&
                  view.LineCount() == static_cast<size_t>(blocks) && wall <= 1.05 * floor &&
                  cpu <= 0.05 * wall;
  std::printf("%s\n", ok ? "targets met" : "targets NOT met");
  return ok ? 0 : 1;
}
