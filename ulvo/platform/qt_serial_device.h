#pragma once

// Twin of kavex/platform/qt_serial_device.h: the programs share no code, so the serial adapter is
// kept alike in both by hand. A change to one belongs in the other too.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "ulvo/transfer/check_port.h"
#include "ulvo/transfer/serial_device.h"

class QSerialPort;

namespace ulvo {

// A serial port through QSerialPort, used from one thread without an event loop: every call
// blocks in the port's own waits, bounded by the read time-outs or the given write bound.
class QtSerialDevice : public SerialDevice {
 public:
  QtSerialDevice();
  ~QtSerialDevice() override;

  OpenResult Open(const std::string& portName, const PortSettings& settings) override;
  bool IsOpen() const override;
  bool SetTimeouts(const ReadTimeouts& timeouts) override;
  bool Purge() override;
  long Read(std::string& out, size_t max) override;
  long ReadFrame(std::string& out, size_t max, const FrameNeed& need) override;
  bool Write(std::string_view bytes, std::chrono::milliseconds timeout) override;
  bool WaitTransmitEmpty(std::chrono::milliseconds timeout) override;
  bool Close() override;

  std::string LastError() const override { return lastError_; }

 private:
  std::unique_ptr<QSerialPort> port_;
  ReadTimeouts timeouts_;
  uint32_t baud_ = 0;
  std::string lastError_;
  std::chrono::steady_clock::time_point emptiedAt_{};  // driver last seen holding no input
  bool drained_ = false;                               // nothing written since all was sent
};

// The ports this machine has, by their device names, tried with QSerialPort.
class QtPortProbe : public PortProbe {
 public:
  std::vector<std::string> CandidatePorts() const override;
  Result Probe(const std::string& name) const override;
};

}  // namespace ulvo
