#pragma once

// Twin of ulvo/transfer/fault_device.h: the programs share no code, so the fault-injecting device
// is kept alike in both by hand. A change to one belongs in the other too.

#include <chrono>
#include <string>

#include "kavex/comm/clock.h"
#include "kavex/comm/serial_device.h"

namespace kavex {

// Spoils the exchange of any other device in the ways instruments and cables misbehave,
// to test the protocols' answers. Received lines are counted from 1 (a line ends at LF);
// writes are counted from 1. A fault given as 0 is off.
struct Faults {
  int corruptLine = 0;                 // flip one bit of this line's second byte, once
  int dropLine = 0;                    // swallow this line, once
  int delayLine = 0;                   // hold back this line's first byte ...
  std::chrono::milliseconds delay{0};  // ... by this long
  int silentAfterLines = 0;            // after this many lines nothing more arrives
  int failWrite = 0;                   // this write fails
  int unplugAfterLines = 0;            // after this many lines the adapter is gone: every
                                       // read fails at once and every write fails
};

class FaultInjectingDevice final : public SerialDevice {
 public:
  FaultInjectingDevice(SerialDevice& inner, Clock& clock, const Faults& faults);

  bool Open(const std::string& name) override { return inner_.Open(name); }
  bool IsOpen() const override { return inner_.IsOpen(); }
  bool QueryState() override { return inner_.QueryState(); }
  bool Configure(const LineSettings& settings) override { return inner_.Configure(settings); }
  bool SupportsReadTimeouts() const override { return inner_.SupportsReadTimeouts(); }
  void ClearError() override { inner_.ClearError(); }
  int ReadByte(std::chrono::milliseconds timeout) override;
  void ExpectBytes(size_t count) override { inner_.ExpectBytes(count); }
  bool Write(const std::string& bytes) override;
  void PurgeInput() override { inner_.PurgeInput(); }
  void Close() override { inner_.Close(); }

 private:
  bool Unplugged() const {
    return faults_.unplugAfterLines > 0 && line_ > faults_.unplugAfterLines;
  }

  SerialDevice& inner_;
  Clock& clock_;
  Faults faults_;
  int line_ = 1;       // number of the line being received
  size_t column_ = 0;  // bytes of it received so far
  int writes_ = 0;
};

}  // namespace kavex
