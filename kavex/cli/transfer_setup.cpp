#include "kavex/cli/transfer_setup.h"

#include <cstdio>

#include "kavex/formats/text_format.h"
#include "kavex/platform/port_permission.h"

namespace kavex::cli {

bool ReadNumber(const std::string& text, unsigned min, unsigned max, unsigned& value) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = static_cast<unsigned>(std::stoul(text));
  return value >= min && value <= max;
}

std::optional<std::string> ReadTransferOption(const Args& args, size_t& i, TransferArgs& into) {
  const std::string& a = args[i];
  CommSettings& s = into.settings;
  auto value = [&](std::string& v) {
    if (i + 1 >= args.size()) return false;
    v = args[++i];
    return true;
  };
  std::string v;
  unsigned n = 0;
  if (a == "--port") {
    if (!value(into.device) || into.device.empty()) return "--port needs a device";
  } else if (a == "--trace") {
    if (!value(into.tracePath) || into.tracePath.empty()) return "--trace needs a file";
  } else if (a == "--baud") {
    if (!value(v) || !ReadNumber(v, 1, 999999, n) || RateCodeOfBaud(static_cast<int>(n)) < 0)
      return "--baud must be 1200, 2400, 4800, 9600, 19200 or 38400";
    s.rateCode = RateCodeOfBaud(static_cast<int>(n));
  } else if (a == "--bits") {
    if (!value(v) || (v != "7" && v != "8")) return "--bits must be 7 or 8";
    s.sevenBits = v == "7";
  } else if (a == "--parity") {
    if (!value(v) || (v != "none" && v != "even" && v != "odd"))
      return "--parity must be none, even or odd";
    s.parityCode = v == "even" ? 1 : v == "odd" ? 2 : 0;
  } else if (a == "--stop") {
    if (!value(v) || (v != "1" && v != "2")) return "--stop must be 1 or 2";
    s.stopBits = v == "2" ? 2 : 1;
  } else if (a == "--ack-nak") {
    s.useAckNak = true;
  } else if (a == "--timeout") {
    if (!value(v) || !ReadNumber(v, 1000, 60000, n)) return "--timeout must be 1000 to 60000 ms";
    s.receiveTimeout = Format("%-5u", n);
  } else {
    return std::nullopt;
  }
  return std::string();
}

bool CliPort::Open(const TransferArgs& args, Clock& clock, const CommPort::ErrorSink& showError) {
  if (!args.tracePath.empty()) {
    traceFile_.open(args.tracePath, std::ios::binary | std::ios::trunc);
    if (!traceFile_) {
      std::fprintf(stderr, "Cannot write the trace file %s\n", args.tracePath.c_str());
      return false;
    }
    tracing_ = std::make_unique<TracingDevice>(serial_, clock, traceFile_);
  }
  SerialDevice& line = tracing_ ? static_cast<SerialDevice&>(*tracing_) : serial_;
  port_ = std::make_unique<CommPort>(line, clock, [this, showError](const std::string& text) {
    portFailed_ = true;
    showError(text);
  });
  port_->SetPortPath("COM1", args.device);
  port_->SetPortPath("COM2", args.device);
  return true;
}

void CliPort::ReportDeviceProblem(const std::string& device) const {
  if (DeviceProblem().empty()) return;
  std::fprintf(stderr, "%s: %s\n", device.c_str(), DeviceProblem().c_str());
  const std::string hint = PortPermissionText(device, CheckPortAccess(device));
  if (!hint.empty()) std::fprintf(stderr, "%s\n", hint.c_str());
}

}  // namespace kavex::cli
