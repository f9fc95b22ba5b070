#include "kavex/comm/comm_port.h"

#include <utility>

namespace kavex {

CommPort::CommPort(SerialDevice& device, Clock& clock, ErrorSink showError)
    : device_(device), clock_(clock), showError_(std::move(showError)) {}

void CommPort::SetPortPath(const std::string& portName, const std::string& devicePath) {
  paths_[portName] = devicePath;
}

std::string CommPort::DevicePathOf(const std::string& portName) const {
  const auto it = paths_.find(portName);
  return it == paths_.end() || it->second.empty() ? portName : it->second;
}

LineSettings CommPort::LineSettingsOf(const CommSettings& settings) {
  LineSettings line;
  line.baud = BaudOfRateCode(settings.rateCode);
  line.dataBits = settings.sevenBits ? 7 : 8;
  line.parity = settings.parityCode == 1 ? 1 : settings.parityCode == 2 ? 2 : 0;
  line.stopBits = settings.stopBits == 2 ? 2 : 1;
  line.xonXoffOutput = true;
  return line;
}

int CommPort::OpenPort(const std::string& portName) {
  if (device_.IsOpen()) device_.Close();
  portName_ = portName;
  arrived_ = {};
  openedAt_ = clock_.Now();
  if (!device_.Open(DevicePathOf(portName))) {
    showError_("COM ERROR.");
    return -1;
  }
  return 0;
}

int CommPort::ConfigurePort(unsigned receiveTimeoutMs) {
  if (!device_.QueryState()) {
    showError_("Failed to get current settings.");
    ClosePort();
    return -1;
  }
  if (!device_.Configure(LineSettingsOf(settings_))) {
    showError_("Configuration failed.");
    ClosePort();
    return -1;
  }
  if (!device_.SupportsReadTimeouts()) {
    ClosePort();
    return -1;
  }
  // One byte is read at a time: the total time-out is the constant plus 5 ms for the byte.
  readTimeoutMs_ = receiveTimeoutMs + 5;
  return 0;
}

int CommPort::WriteText(const std::string& text) {
  if (!device_.IsOpen() || !device_.Write(text)) {
    showError_("Failed to send data.");
    return -1;
  }
  return 0;
}

int CommPort::ReadLine(const LineNeed& need) {
  line_.clear();
  if (!device_.IsOpen()) return kLineFailed;
  while (line_.size() < kMaxLine) {
    device_.ClearError();
    if (need && !line_.empty()) device_.ExpectBytes(need(line_));
    const int b = device_.ReadByte(std::chrono::milliseconds(readTimeoutMs_));
    if (b >= 0) arrived_.Add(static_cast<char>(b));
    if (b <= 0) return kLineFailed;  // time-out, read error or a 0x00 byte
    const char c = static_cast<char>(b);
    line_.push_back(c);
    if (c == kEot) return kLineEot;
    if (c == '\n') return kLineEnd;
    if (c == kDc1) return kLineDc1;
  }
  return kLineFailed;
}

void CommPort::ClosePort() {
  if (!device_.IsOpen()) return;
  device_.PurgeInput();
  device_.Close();
}

void CommPort::StartTimer() {
  reference_ = clock_.Now();
}

void CommPort::WaitSince(unsigned ms) {
  // "More than n ms": the smallest step past the bound.
  clock_.SleepUntil(reference_ + std::chrono::milliseconds(ms) + std::chrono::microseconds(1));
}

void CommPort::WaitFromNow(unsigned ms) {
  clock_.SleepUntil(clock_.Now() + std::chrono::milliseconds(ms));
}

}  // namespace kavex
