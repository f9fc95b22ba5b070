#pragma once

#include <functional>
#include <map>
#include <string>

#include "kavex/comm/clock.h"
#include "kavex/comm/comm_settings.h"
#include "kavex/comm/line_detect.h"
#include "kavex/comm/serial_device.h"
#include "kavex/formats/qrx6_block.h"  // kStx, kEtx

namespace kavex {

// Control bytes of the transfer protocols.
inline constexpr char kEot = 0x04;
inline constexpr char kEnq = 0x05;
inline constexpr char kAck = 0x06;
inline constexpr char kNak = 0x15;
inline constexpr char kDc1 = 0x11;
inline constexpr char kXoff = 0x13;

// ReadLine results.
inline constexpr int kLineEnd = 0;      // a line ended by LF
inline constexpr int kLineEot = 1;      // EOT received
inline constexpr int kLineDc1 = 9;      // DC1 received
inline constexpr int kLineFailed = -1;  // nothing, 0x00, or no terminator in 256 bytes

// The serial port object of the main window: one port opened per transfer, with the
// line settings, the per-byte read time-out and the timers the protocols wait on.
class CommPort {
 public:
  // Shows a failure message in the message box after the standard beep.
  using ErrorSink = std::function<void(const std::string& text)>;

  static constexpr size_t kMaxLine = 256;

  CommPort(SerialDevice& device, Clock& clock, ErrorSink showError);

  // "COM1"/"COM2" map to the machine's device paths; other names are opened as given.
  void SetPortPath(const std::string& portName, const std::string& devicePath);
  std::string DevicePathOf(const std::string& portName) const;

  // The settings the next ConfigurePort applies (the main window's CommSettings).
  void SetSettings(const CommSettings& settings) { settings_ = settings; }
  static LineSettings LineSettingsOf(const CommSettings& settings);

  int OpenPort(const std::string& portName);
  int ConfigurePort(unsigned receiveTimeoutMs);
  int WriteText(const std::string& text);
  // How many more bytes, at the least, a line needs before it can be whole; the port may let
  // them gather (see SerialDevice::ExpectBytes).
  using LineNeed = std::function<size_t(const std::string& line)>;
  int ReadLine(const LineNeed& need = {});
  void ClosePort();
  void StartTimer();
  void WaitSince(unsigned ms);
  void WaitFromNow(unsigned ms);

  bool IsOpen() const { return device_.IsOpen(); }
  const std::string& PortName() const { return portName_; }
  // The line last read, terminator included.
  const std::string& Line() const { return line_; }
  unsigned ReadTimeoutMs() const { return readTimeoutMs_; }
  // What has arrived since the port opened, and for how long it has been open.
  const LineTally& Arrived() const { return arrived_; }
  std::chrono::milliseconds SinceOpen() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock_.Now() - openedAt_);
  }

 private:
  SerialDevice& device_;
  Clock& clock_;
  ErrorSink showError_;
  std::map<std::string, std::string> paths_;
  CommSettings settings_;
  std::string portName_;
  std::string line_;
  unsigned readTimeoutMs_ = 10005;
  Clock::TimePoint reference_{};
  LineTally arrived_;
  Clock::TimePoint openedAt_{};
};

}  // namespace kavex
