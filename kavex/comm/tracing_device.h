#pragma once

#include <ostream>
#include <string>

#include "kavex/comm/clock.h"
#include "kavex/comm/serial_device.h"

namespace kavex {

// Writes every byte sent and received to a stream, with a time stamp (seconds since the
// trace began) and the direction; control bytes are shown by name. Received bytes are
// gathered into one record per line (up to LF, EOT or DC1) or until the next send.
class TracingDevice final : public SerialDevice {
 public:
  TracingDevice(SerialDevice& inner, Clock& clock, std::ostream& out);
  ~TracingDevice() override;

  bool Open(const std::string& name) override;
  bool IsOpen() const override { return inner_.IsOpen(); }
  bool QueryState() override { return inner_.QueryState(); }
  bool Configure(const LineSettings& settings) override;
  bool SupportsReadTimeouts() const override { return inner_.SupportsReadTimeouts(); }
  void ClearError() override { inner_.ClearError(); }
  int ReadByte(std::chrono::milliseconds timeout) override;
  void ExpectBytes(size_t count) override { inner_.ExpectBytes(count); }
  bool Write(const std::string& bytes) override;
  void PurgeInput() override { inner_.PurgeInput(); }
  void Close() override;

 private:
  void Record(const char* direction, const std::string& bytes, const char* note = nullptr);
  void FlushReceived();
  std::string Stamp();

  SerialDevice& inner_;
  Clock& clock_;
  std::ostream& out_;
  Clock::TimePoint start_;
  std::string received_;
};

// Shows bytes as text with control bytes by name: <STX>, <ETX>, <EOT>, <ENQ>, <ACK>, <NAK>,
// <DC1>, <DC3>, <CR>, <LF>, <NUL>; other bytes outside printable ASCII as <xNN>.
std::string ShowBytes(const std::string& bytes);

}  // namespace kavex
