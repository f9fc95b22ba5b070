#pragma once

// Twin of ulvo/transfer/tracing_device.h: the programs share no code, so the tracing device is kept
// alike in both by hand. A change to one belongs in the other too.

#include <chrono>
#include <memory>
#include <ostream>
#include <string>

#include "kavex/comm/clock.h"
#include "kavex/comm/serial_device.h"

namespace kavex {

enum class TraceDirection { kSent, kReceived, kNote };

// One record of the line trace.
struct TraceEntry {
  std::chrono::nanoseconds time{};  // since the port was opened
  TraceDirection direction = TraceDirection::kNote;
  std::string bytes;  // as they passed the line; empty for a note
  std::string note;   // "time-out", "open COM1", "(failed)"; empty when there is none
};

// Where a tracing device hands its records: a trace file, the window's line pane.
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void Add(TraceEntry entry) = 0;
};

enum class TraceStyle {
  kNames,  // control bytes by name, as the trace file shows them
  kHex,    // every byte as two hexadecimal digits
};

// A record as one line of the trace file, without its line end:
// "     0.054 RX <STX>...<ETX><CR><LF>".
std::string FormatTraceLine(const TraceEntry& entry, TraceStyle style = TraceStyle::kNames);

// Writes each record as a line of the trace file, flushed at once so a trace survives a
// crash up to its last record.
class StreamTraceSink final : public TraceSink {
 public:
  explicit StreamTraceSink(std::ostream& out) : out_(out) {}
  void Add(TraceEntry entry) override;

 private:
  std::ostream& out_;
};

// Records every byte sent and received with a time stamp (since the port was opened) and
// the direction. Received bytes are gathered into one record per line (up to LF, EOT or DC1) or
// until the next send.
class TracingDevice final : public SerialDevice {
 public:
  TracingDevice(SerialDevice& inner, Clock& clock, TraceSink& sink);
  // Writes the records to a stream, as `--trace FILE` does.
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
  void Record(TraceDirection direction, const std::string& bytes, std::string note = {});
  void FlushReceived();

  SerialDevice& inner_;
  Clock& clock_;
  std::unique_ptr<StreamTraceSink> ownSink_;
  TraceSink& sink_;
  Clock::TimePoint start_;
  std::string received_;
};

// Shows bytes as text with control bytes by name: <STX>, <ETX>, <EOT>, <ENQ>, <ACK>, <NAK>,
// <DC1>, <DC3>, <CR>, <LF>, <NUL>; other bytes outside printable ASCII as <xNN>.
std::string ShowBytes(const std::string& bytes);

// Bytes as hexadecimal pairs separated by blanks: "02 41 03".
std::string HexBytes(const std::string& bytes);

}  // namespace kavex
