#pragma once

// Twin of kavex/comm/tracing_device.h: the programs share no code, so the tracing device is kept
// alike in both by hand. A change to one belongs in the other too.

#include <chrono>
#include <memory>
#include <ostream>
#include <string>

#include "ulvo/transfer/clock.h"
#include "ulvo/transfer/serial_device.h"

namespace ulvo {

// Control bytes by name ("<STX>", "<CR>"), printable bytes as they are, others as "<xNN>".
std::string DescribeBytes(std::string_view bytes);
// Bytes as hexadecimal pairs separated by blanks: "02 41 03".
std::string HexBytes(std::string_view bytes);

enum class TraceDirection { kToInstrument, kFromInstrument, kNote };

// One line of the trace.
struct TraceEntry {
  std::chrono::nanoseconds time{};  // since the port was opened
  TraceDirection direction = TraceDirection::kNote;
  std::string bytes;  // as they passed the line; empty for a note
  std::string note;   // "open COM1 9600 baud: ok", "(read failed)"; empty when there is none
};

// Where a tracing device hands its lines: a trace file, the Transfer window's line pane.
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void Add(TraceEntry entry) = 0;
};

enum class TraceStyle {
  kNames,  // control bytes by name, as the trace file shows them
  kHex,    // every byte as two hexadecimal digits
};

// A trace line as the trace file holds it, without its line end: "     0.300 <- <ACK>".
std::string FormatTraceLine(const TraceEntry& entry, TraceStyle style = TraceStyle::kNames);

// Writes each line to a stream at once, so a trace survives a crash up to its last line.
class StreamTraceSink final : public TraceSink {
 public:
  explicit StreamTraceSink(std::ostream& out) : out_(out) {}
  void Add(TraceEntry entry) override;

 private:
  std::ostream& out_;
};

// Wraps any device and traces each transfer of bytes: seconds since the port was opened,
// direction ("->" to the instrument, "<-" from it, "--" for the port itself) and the bytes.
class TracingDevice : public SerialDevice {
 public:
  TracingDevice(SerialDevice& inner, Clock& clock, TraceSink& sink)
      : inner_(inner), clock_(clock), sink_(sink) {}
  // Writes the lines to a stream, as `--trace FILE` does.
  TracingDevice(SerialDevice& inner, Clock& clock, std::ostream& out)
      : inner_(inner),
        clock_(clock),
        ownSink_(std::make_unique<StreamTraceSink>(out)),
        sink_(*ownSink_) {}

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
  std::string LastError() const override { return inner_.LastError(); }

 private:
  void Line(TraceDirection direction, std::string bytes, std::string note = {});
  long Traced(const std::string& out, long n, size_t before);

  SerialDevice& inner_;
  Clock& clock_;
  std::unique_ptr<StreamTraceSink> ownSink_;
  TraceSink& sink_;
  Clock::TimePoint start_{};
};

}  // namespace ulvo
