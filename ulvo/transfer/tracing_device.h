#pragma once

#include <ostream>
#include <string>

#include "ulvo/transfer/clock.h"
#include "ulvo/transfer/serial_device.h"

namespace ulvo {

// Control bytes by name ("<STX>", "<CR>"), printable bytes as they are, others as "<xNN>".
std::string DescribeBytes(std::string_view bytes);

// Wraps any device and writes one line per transfer of bytes: seconds since the port was
// opened, direction ("->" to the instrument, "<-" from it) and the bytes described.
class TracingDevice : public SerialDevice {
 public:
  TracingDevice(SerialDevice& inner, Clock& clock, std::ostream& out)
      : inner_(inner), clock_(clock), out_(out) {}

  OpenResult Open(const std::string& portName, const PortSettings& settings) override;
  bool IsOpen() const override { return inner_.IsOpen(); }
  bool SetTimeouts(const ReadTimeouts& timeouts) override { return inner_.SetTimeouts(timeouts); }
  bool Purge() override;
  long Read(std::string& out, size_t max) override;
  long ReadFrame(std::string& out, size_t max, const FrameNeed& need) override;
  bool Write(std::string_view bytes, std::chrono::milliseconds timeout) override;
  bool WaitTransmitEmpty(std::chrono::milliseconds timeout) override {
    return inner_.WaitTransmitEmpty(timeout);
  }
  bool Close() override;

 private:
  void Line(const char* direction, const std::string& text);
  long Traced(const std::string& out, long n, size_t before);

  SerialDevice& inner_;
  Clock& clock_;
  std::ostream& out_;
  Clock::TimePoint start_{};
};

}  // namespace ulvo
