#pragma once

// What the download and upload benchmarks share.
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "kavex/comm/comm_dialog_rules.h"
#include "kavex/comm/serial_device.h"
#include "kavex/comm/trace_model.h"
#include "kavex/comm/tracing_device.h"
#include "kavex/platform/qt_serial_device.h"
#include "kavex/shell/download_commands.h"
#include "tools/instrument-sim/sim_client.h"

namespace kavex::bench {

// The program's rates.
inline const std::vector<unsigned> kRates = {1200, 2400, 4800, 9600, 19200, 38400};

// "GO" with the settings as the command prepares them.
class GoDialogs final : public TransferDialogs {
 public:
  explicit GoDialogs(const CommSettings& settings) : settings_(settings) {}
  bool ShowCommStatus(TransferCommand command, CommSettings& settings) override {
    settings = ApplyPreparation(settings_, CommStatusPreparationFor(command));
    return true;
  }
  TransferProgress& Progress() override { return progress_; }

 private:
  CommSettings settings_;
  TransferProgress progress_;
};

// A real port's write ends when its bytes have left on the line; a pseudo-terminal takes them
// at once. This makes each write last its bytes' line time (10 bits a byte, as instrument-sim
// paces) and hands them over at its end, when the instrument would have them whole.
class LineTimeDevice final : public SerialDevice {
 public:
  LineTimeDevice(SerialDevice& inner, unsigned baud) : inner_(inner), baud_(baud) {}

  bool Open(const std::string& name) override { return inner_.Open(name); }
  bool IsOpen() const override { return inner_.IsOpen(); }
  bool QueryState() override { return inner_.QueryState(); }
  bool Configure(const LineSettings& settings) override { return inner_.Configure(settings); }
  bool SupportsReadTimeouts() const override { return inner_.SupportsReadTimeouts(); }
  void ClearError() override { inner_.ClearError(); }
  int ReadByte(std::chrono::milliseconds timeout) override { return inner_.ReadByte(timeout); }
  void ExpectBytes(size_t count) override { inner_.ExpectBytes(count); }
  bool Write(const std::string& bytes) override {
    const auto start = std::chrono::steady_clock::now();
    if (firstWriteNs < 0) firstWriteNs = sim::SteadyNs(start);
    sleeper_.SleepUntil(start + LineTime(bytes.size()));
    bytesWritten += bytes.size();
    ++writes;
    lastWriteBytes = bytes.size();
    return inner_.Write(bytes);
  }
  void PurgeInput() override { inner_.PurgeInput(); }
  void Close() override { inner_.Close(); }

  std::chrono::nanoseconds LineTime(size_t bytes) const {
    return std::chrono::nanoseconds(10'000'000'000LL / baud_ * static_cast<long long>(bytes));
  }

  int64_t firstWriteNs = -1;
  size_t bytesWritten = 0;
  size_t writes = 0;
  size_t lastWriteBytes = 0;

 private:
  SerialDevice& inner_;
  unsigned baud_;
  sim::LineSleeper sleeper_;
};

// The program's side of a run: the main window's logic and its port on `device`, whose writes
// last their line time.
struct Station {
  // traced: every byte also goes to trace, as in the window.
  Station(Prompts& prompts, const std::string& device, unsigned baud, bool traced = false)
      : logic(view, prompts, clock),
        line(serial, baud),
        tracing(line, clock, trace),
        port(traced ? static_cast<SerialDevice&>(tracing) : line, clock,
             [this](const std::string& text) { logic.ShowMessage(text); }) {
    settings = logic.Settings().comm;
    settings.rateCode = RateCodeOfBaud(static_cast<int>(baud));
    port.SetPortPath("COM1", device);
  }

  SystemClock clock;
  MemoryDataView view;
  MainLogic logic;
  CommSettings settings;  // what "Comm Status" is answered with
  QtSerialDevice serial;
  LineTimeDevice line;
  TraceModel trace;
  TracingDevice tracing;
  CommPort port;
};

using RunOne =
    std::function<sim::RunFigures(const std::string& bin, const std::filesystem::path& dir,
                                  size_t caseIndex, unsigned baud, double seconds)>;

// A benchmark's main over the program's rates: `run` gets the folder of the programs and a
// scratch folder of its own.
inline int Main(int argc, char** argv, const std::string& name, const char* usage,
                std::vector<std::string> names, const RunOne& run) {
  namespace fs = std::filesystem;
  QCoreApplication app(argc, argv);
  const std::string bin = fs::path(argv[0]).parent_path().string();
  const fs::path dir = fs::temp_directory_path() / (name + "-" + std::to_string(getpid()));
  fs::create_directories(dir);
  sim::Sweep sweep;
  sweep.usage = usage;
  sweep.names = std::move(names);
  sweep.rates = kRates;
  sweep.allowed = kRates;
  sweep.run = [&](size_t index, unsigned baud, double seconds) {
    return run(bin, dir, index, baud, seconds);
  };
  const int status = sim::RunSweep(argc, argv, sweep);
  fs::remove_all(dir);
  return status;
}

}  // namespace kavex::bench
