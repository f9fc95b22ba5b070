#include "kavex/comm/fault_device.h"

namespace kavex {

FaultInjectingDevice::FaultInjectingDevice(SerialDevice& inner, Clock& clock, const Faults& faults)
    : inner_(inner), clock_(clock), faults_(faults) {}

int FaultInjectingDevice::ReadByte(std::chrono::milliseconds timeout) {
  if (Unplugged()) return -1;
  if (faults_.silentAfterLines > 0 && line_ > faults_.silentAfterLines) {
    clock_.SleepUntil(clock_.Now() + timeout);
    return -1;
  }
  if (column_ == 0 && line_ == faults_.dropLine) {
    faults_.dropLine = 0;
    for (;;) {
      const int b = inner_.ReadByte(timeout);
      if (b < 0) return b;
      if (b == '\n') break;
    }
    ++line_;
    return ReadByte(timeout);
  }
  if (column_ == 0 && line_ == faults_.delayLine) {
    faults_.delayLine = 0;
    clock_.SleepUntil(clock_.Now() + faults_.delay);
  }
  int b = inner_.ReadByte(timeout);
  if (b < 0) return b;
  if (line_ == faults_.corruptLine && column_ == 1 && b != '\n') {
    faults_.corruptLine = 0;
    b ^= 0x01;
  }
  ++column_;
  if (b == '\n') {
    ++line_;
    column_ = 0;
  }
  return b;
}

bool FaultInjectingDevice::Write(const std::string& bytes) {
  if (Unplugged()) return false;
  if (++writes_ == faults_.failWrite) return false;
  return inner_.Write(bytes);
}

}  // namespace kavex
