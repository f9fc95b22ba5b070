#pragma once

// Twin of kavex/comm/fault_device.h: the programs share no code, so the fault-injecting device is
// kept alike in both by hand. A change to one belongs in the other too.

#include <cstddef>
#include <string>

#include "ulvo/transfer/clock.h"
#include "ulvo/transfer/serial_device.h"

namespace ulvo {

// Ways an instrument, a cable or a USB adapter spoils an exchange. Offsets count the bytes
// received from the wrapped device, from 0; writes count from 1. A fault given as 0 (or
// empty) is off.
struct Faults {
  size_t splitAt = 0;      // a read that would run past this offset ends there
  size_t maxRead = 0;      // no read hands out more bytes than this
  size_t corruptAt = 0;    // flip one bit of the byte at this offset (1 and up)
  size_t noiseAt = 0;      // hand out `noise` once, before the byte at this offset
  std::string noise;       // ... as a read of its own
  size_t silentAfter = 0;  // after this many bytes nothing more arrives
  size_t unplugAfter = 0;  // after this many bytes every read and write fails
  int unplugAtWrite = 0;   // this write and every later one fails, as do reads after it
};

// Wraps any device, the real one included, and applies the faults.
class FaultInjectingDevice : public SerialDevice {
 public:
  FaultInjectingDevice(SerialDevice& inner, Clock& clock, const Faults& faults)
      : inner_(inner), clock_(clock), faults_(faults) {}

  OpenResult Open(const std::string& portName, const PortSettings& settings) override {
    return inner_.Open(portName, settings);
  }
  bool IsOpen() const override { return inner_.IsOpen(); }
  bool SetTimeouts(const ReadTimeouts& timeouts) override {
    timeouts_ = timeouts;
    return inner_.SetTimeouts(timeouts);
  }
  bool Purge() override { return inner_.Purge(); }
  long Read(std::string& out, size_t max) override { return ReadFrame(out, max, nullptr); }
  long ReadFrame(std::string& out, size_t max, const FrameNeed& need) override;
  bool Write(std::string_view bytes, std::chrono::milliseconds timeout) override;
  bool WaitTransmitEmpty(std::chrono::milliseconds timeout) override {
    return !unplugged_ && inner_.WaitTransmitEmpty(timeout);
  }
  bool Close() override { return inner_.Close(); }
  std::string LastError() const override { return inner_.LastError(); }

  size_t Received() const { return received_; }

 private:
  SerialDevice& inner_;
  Clock& clock_;
  Faults faults_;
  ReadTimeouts timeouts_;
  size_t received_ = 0;
  int writes_ = 0;
  bool noiseDone_ = false;
  bool unplugged_ = false;
};

}  // namespace ulvo
