#pragma once

#include <QSerialPort>
#include <string>

#include "kavex/comm/serial_device.h"

namespace kavex {

// The serial device over QSerialPort. Waits block in the port's own wait calls (which
// sleep in poll), never in a loop.
//
// XON/XOFF output flow control is done here rather than by the driver: a driver that
// obeys XON/XOFF also swallows them, and DC1 (= XON) is the end mark of several
// downloads. A received XOFF pauses writing until XON comes or the write time-out passes;
// XOFF is not passed on, XON is.
class QtSerialDevice final : public SerialDevice {
 public:
  QtSerialDevice() = default;

  bool Open(const std::string& name) override;
  bool IsOpen() const override { return port_.isOpen(); }
  bool QueryState() override;
  bool Configure(const LineSettings& settings) override;
  void ClearError() override { port_.clearError(); }
  int ReadByte(std::chrono::milliseconds timeout) override;
  bool Write(const std::string& bytes) override;
  void PurgeInput() override;
  void Close() override;
  // The system's words for the last failed open or configuration; empty after a success.
  const std::string& LastError() const { return lastError_; }

 private:
  // Takes what has arrived into input_, noting XOFF/XON; false when the port failed.
  bool Absorb();

  QSerialPort port_;
  std::string input_;
  bool paused_ = false;
  bool pseudoTerminal_ = false;
  LineSettings settings_;
  std::string lastError_;
};

}  // namespace kavex
