#pragma once

#include <atomic>

#include "ulvo/transfer/serial_device.h"

namespace ulvo {

// Wraps a device so another thread can stop a running transfer: once stopped, every read
// and write fails, and the link protocol ends as after a port failure (port closed, received
// bytes written to the file). A call already waiting in the driver ends with its time-out.
class StoppableDevice : public SerialDevice {
 public:
  // `stop` is set by the other thread and outlives the device.
  StoppableDevice(SerialDevice& inner, const std::atomic<bool>& stop)
      : inner_(inner), stopped_(stop) {}

  OpenResult Open(const std::string& portName, const PortSettings& settings) override {
    return inner_.Open(portName, settings);
  }
  bool IsOpen() const override { return inner_.IsOpen(); }
  bool SetTimeouts(const ReadTimeouts& timeouts) override { return inner_.SetTimeouts(timeouts); }
  bool Purge() override { return inner_.Purge(); }
  long Read(std::string& out, size_t max) override { return stopped_ ? -1 : inner_.Read(out, max); }
  long ReadFrame(std::string& out, size_t max, const FrameNeed& need) override {
    return stopped_ ? -1 : inner_.ReadFrame(out, max, need);
  }
  bool Write(std::string_view bytes, std::chrono::milliseconds timeout) override {
    return !stopped_ && inner_.Write(bytes, timeout);
  }
  bool WaitTransmitEmpty(std::chrono::milliseconds timeout) override {
    return !stopped_ && inner_.WaitTransmitEmpty(timeout);
  }
  bool Close() override { return inner_.Close(); }
  std::string LastError() const override { return inner_.LastError(); }

 private:
  SerialDevice& inner_;
  const std::atomic<bool>& stopped_;
};

}  // namespace ulvo
