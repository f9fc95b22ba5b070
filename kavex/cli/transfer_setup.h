#pragma once

#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kavex/cli/commands.h"
#include "kavex/comm/comm_port.h"
#include "kavex/comm/tracing_device.h"
#include "kavex/platform/qt_serial_device.h"
#include "kavex/shell/download_commands.h"

namespace kavex::cli {

// The families' words as a usage line offers them: "terminal|nwf|qrx6|hk".
template <typename Family>
std::string WordChoice(const std::vector<Family>& families) {
  std::string words;
  for (const Family& f : families) words += (words.empty() ? "" : "|") + std::string(f.word);
  return words;
}

// "Comm Status" answered with "GO" on the settings given, after the command's forced values.
class CliDialogs final : public TransferDialogs {
 public:
  explicit CliDialogs(const CommSettings& settings) : settings_(settings) {}
  bool ShowCommStatus(TransferCommand command, CommSettings& settings) override {
    settings = ApplyPreparation(settings_, CommStatusPreparationFor(command));
    return true;
  }
  TransferProgress& Progress() override { return progress_; }

 private:
  CommSettings settings_;
  TransferProgress progress_;
};

// The options every transfer command shares: --port, --trace, --baud, --bits, --parity,
// --stop, --ack-nak, --timeout.
struct TransferArgs {
  CommSettings settings;
  std::string device;
  std::string tracePath;
};

// Reads the shared option at args[i] (and its value, moving i on). Nothing when args[i]
// is not one of them; otherwise the problem text, empty when the option was good.
std::optional<std::string> ReadTransferOption(const Args& args, size_t& i, TransferArgs& into);

// A whole decimal number from min to max.
bool ReadNumber(const std::string& text, unsigned min, unsigned max, unsigned& value);

// The real serial device behind both port names, traced when a trace file was given.
class CliPort {
 public:
  // False (after a message on standard error) when the trace file cannot be written.
  bool Open(const TransferArgs& args, Clock& clock, const CommPort::ErrorSink& showError);
  CommPort& Port() { return *port_; }
  // Ends the trace so that its last record is written.
  void Finish() { tracing_.reset(); }
  // The operating system's reason for the device's last failure, empty when there was none.
  const std::string& DeviceProblem() const { return serial_.LastError(); }
  // Whether the port reported a failure ("COM ERROR.", "Configuration failed.", ...).
  bool PortFailed() const { return portFailed_; }
  // After a failure of the device: "DEVICE: reason" on standard error, and what to do when
  // the reason is a missing permission.
  void ReportDeviceProblem(const std::string& device) const;

 private:
  std::ofstream traceFile_;
  QtSerialDevice serial_;
  std::unique_ptr<TracingDevice> tracing_;
  std::unique_ptr<CommPort> port_;
  bool portFailed_ = false;
};

}  // namespace kavex::cli
