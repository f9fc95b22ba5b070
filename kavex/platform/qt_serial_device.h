#pragma once

// Twin of ulvo/platform/qt_serial_device.h: the programs share no code, so the serial adapter is
// kept alike in both by hand. A change to one belongs in the other too.

#include <QDeadlineTimer>
#include <QSerialPort>
#include <string>

#include "kavex/comm/clock.h"
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
  QtSerialDevice() : clock_(systemClock_) {}
  // Reads wait and gather by clock (tests watch its sleeps).
  explicit QtSerialDevice(Clock& clock) : clock_(clock) {}

  bool Open(const std::string& name) override;
  bool IsOpen() const override { return port_.isOpen(); }
  bool QueryState() override;
  bool Configure(const LineSettings& settings) override;
  // Clearing an error that is not there would still cost a message lookup for every byte.
  void ClearError() override {
    if (port_.error() != QSerialPort::NoError) port_.clearError();
  }
  int ReadByte(std::chrono::milliseconds timeout) override;
  void ExpectBytes(size_t count) override { expected_ = count; }
  bool Write(const std::string& bytes) override;
  void PurgeInput() override;
  void Close() override;
  // The system's words for the last failed open or configuration; empty after a success.
  const std::string& LastError() const { return lastError_; }

 private:
  // Takes what has arrived into input_, noting XOFF/XON; false when the port failed.
  bool Absorb();
  // Waits until the driver has sent every byte handed to it; false when the deadline passes.
  bool WaitLineIdle(const QDeadlineTimer& deadline);
  // Whether the driver holds received bytes this object has not read yet (never waits).
  bool ReceivedUnread();
  // Whether the driver was seen holding no received byte less than half a character ago:
  // a byte there now has only just come.
  bool SeenEmptyJustNow();
  // After a wait for bytes: Qt takes all the driver holds unless its buffer fills first.
  void NoteRead(bool read);
  // The time one character takes on the line with the present settings.
  std::chrono::microseconds CharTime() const;

  SystemClock systemClock_;
  Clock& clock_;
  QSerialPort port_;
  std::string input_;
  bool paused_ = false;
  size_t expected_ = 1;  // see ExpectBytes
  bool pseudoTerminal_ = false;
  LineSettings settings_;
  std::string lastError_;
  Clock::TimePoint emptiedAt_{};  // the driver last seen holding no received byte
};

}  // namespace kavex
