#include "kavex/comm/tracing_device.h"

#include "kavex/formats/text_format.h"

namespace kavex {

std::string ShowBytes(const std::string& bytes) {
  std::string s;
  s.reserve(bytes.size() + 16);
  for (size_t i = 0; i < bytes.size(); ++i) {
    // Printable runs in one piece: the trace is written while the line runs.
    size_t run = i;
    while (run < bytes.size() && bytes[run] >= 0x20 && bytes[run] < 0x7F) ++run;
    if (run > i) {
      s.append(bytes, i, run - i);
      i = run;
      if (i == bytes.size()) break;
    }
    const char ch = bytes[i];
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case 0x00:
        s += "<NUL>";
        break;
      case 0x02:
        s += "<STX>";
        break;
      case 0x03:
        s += "<ETX>";
        break;
      case 0x04:
        s += "<EOT>";
        break;
      case 0x05:
        s += "<ENQ>";
        break;
      case 0x06:
        s += "<ACK>";
        break;
      case 0x0A:
        s += "<LF>";
        break;
      case 0x0D:
        s += "<CR>";
        break;
      case 0x11:
        s += "<DC1>";
        break;
      case 0x13:
        s += "<DC3>";
        break;
      case 0x15:
        s += "<NAK>";
        break;
      default:
        if (c < 0x20 || c >= 0x7F)
          s += Format("<x%02X>", c);
        else
          s.push_back(ch);
    }
  }
  return s;
}

std::string HexBytes(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  s.reserve(bytes.size() * 3);
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (!s.empty()) s.push_back(' ');
    s.push_back(kDigits[c >> 4]);
    s.push_back(kDigits[c & 0x0F]);
  }
  return s;
}

std::string FormatTraceLine(const TraceEntry& entry, TraceStyle style) {
  const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(entry.time).count();
  std::string line = Format("%6lld.%03lld ", ms / 1000, ms % 1000);
  line += entry.direction == TraceDirection::kSent       ? "TX"
          : entry.direction == TraceDirection::kReceived ? "RX"
                                                         : "--";
  if (!entry.bytes.empty()) {
    line.push_back(' ');
    line += style == TraceStyle::kHex ? HexBytes(entry.bytes) : ShowBytes(entry.bytes);
  }
  if (!entry.note.empty()) {
    line.push_back(' ');
    line += entry.note;
  }
  return line;
}

void StreamTraceSink::Add(TraceEntry entry) {
  out_ << FormatTraceLine(entry) << '\n';
  out_.flush();
}

TracingDevice::TracingDevice(SerialDevice& inner, Clock& clock, TraceSink& sink)
    : inner_(inner), clock_(clock), sink_(sink), start_(clock.Now()) {}

TracingDevice::TracingDevice(SerialDevice& inner, Clock& clock, std::ostream& out)
    : inner_(inner),
      clock_(clock),
      ownSink_(std::make_unique<StreamTraceSink>(out)),
      sink_(*ownSink_),
      start_(clock.Now()) {}

TracingDevice::~TracingDevice() {
  FlushReceived();
}

void TracingDevice::Record(TraceDirection direction, const std::string& bytes, std::string note) {
  sink_.Add(TraceEntry{clock_.Now() - start_, direction, bytes, std::move(note)});
}

void TracingDevice::FlushReceived() {
  if (received_.empty()) return;
  Record(TraceDirection::kReceived, received_);
  received_.clear();
}

bool TracingDevice::Open(const std::string& name) {
  // Each transfer opens the port: its times count from there, also when the window keeps
  // one tracing device for the whole run.
  FlushReceived();
  start_ = clock_.Now();
  const bool ok = inner_.Open(name);
  Record(TraceDirection::kNote, {}, "open " + name + (ok ? "" : " failed"));
  return ok;
}

bool TracingDevice::Configure(const LineSettings& s) {
  const bool ok = inner_.Configure(s);
  Record(TraceDirection::kNote, {},
         Format("configure %d baud, %d bits, parity %s, %d stop%s", s.baud, s.dataBits,
                s.parity == 1   ? "even"
                : s.parity == 2 ? "odd"
                                : "none",
                s.stopBits, ok ? "" : " failed"));
  return ok;
}

int TracingDevice::ReadByte(std::chrono::milliseconds timeout) {
  const int b = inner_.ReadByte(timeout);
  if (b < 0) {
    FlushReceived();
    Record(TraceDirection::kReceived, {}, "time-out");
    return b;
  }
  received_.push_back(static_cast<char>(b));
  if (b == '\n' || b == 0x04 || b == 0x11 || b == 0x00) FlushReceived();
  return b;
}

bool TracingDevice::Write(const std::string& bytes) {
  FlushReceived();
  const bool ok = inner_.Write(bytes);
  Record(TraceDirection::kSent, bytes, ok ? std::string() : "(failed)");
  return ok;
}

void TracingDevice::Close() {
  FlushReceived();
  inner_.Close();
  Record(TraceDirection::kNote, {}, "close");
}

}  // namespace kavex
