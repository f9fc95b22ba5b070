#include "ulvo/transfer/tracing_device.h"

#include <cstdio>

namespace ulvo {

std::string DescribeBytes(std::string_view bytes) {
  static const char* const kNames[32] = {"NUL", "SOH", "STX", "ETX",  "EOT", "ENQ", "ACK", "BEL",
                                         "BS",  "HT",  "LF",  "VT",   "FF",  "CR",  "SO",  "SI",
                                         "DLE", "XON", "DC2", "XOFF", "DC4", "NAK", "SYN", "ETB",
                                         "CAN", "EM",  "SUB", "ESC",  "FS",  "GS",  "RS",  "US"};
  std::string out;
  out.reserve(bytes.size() + 16);
  for (size_t i = 0; i < bytes.size(); ++i) {
    // Printable runs in one piece: the trace is written while the line runs.
    size_t run = i;
    while (run < bytes.size() && bytes[run] >= 0x20 && bytes[run] < 0x7F && bytes[run] != '<')
      ++run;
    if (run > i) {
      out.append(bytes.substr(i, run - i));
      i = run;
      if (i == bytes.size()) break;
    }
    const char ch = bytes[i];
    const auto c = static_cast<unsigned char>(ch);
    if (c < 32) {
      out += '<';
      out += kNames[c];
      out += '>';
    } else if (c == '<') {
      out += "<<";
    } else if (c < 127) {
      out += ch;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<x%02X>", c);
      out += hex;
    }
  }
  return out;
}

std::string HexBytes(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (!out.empty()) out += ' ';
    out += kDigits[c >> 4];
    out += kDigits[c & 0x0F];
  }
  return out;
}

std::string FormatTraceLine(const TraceEntry& entry, TraceStyle style) {
  const double seconds = std::chrono::duration<double>(entry.time).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%10.3f ", seconds);
  std::string line = stamp;
  line += entry.direction == TraceDirection::kToInstrument     ? "->"
          : entry.direction == TraceDirection::kFromInstrument ? "<-"
                                                               : "--";
  if (!entry.bytes.empty()) {
    line += ' ';
    line += style == TraceStyle::kHex ? HexBytes(entry.bytes) : DescribeBytes(entry.bytes);
  }
  if (!entry.note.empty()) {
    line += ' ';
    line += entry.note;
  }
  return line;
}

void StreamTraceSink::Add(TraceEntry entry) {
  out_ << FormatTraceLine(entry) << '\n';
  out_.flush();
}

void TracingDevice::Line(TraceDirection direction, std::string bytes, std::string note) {
  sink_.Add(TraceEntry{clock_.Now() - start_, direction, std::move(bytes), std::move(note)});
}

OpenResult TracingDevice::Open(const std::string& portName, const PortSettings& settings) {
  start_ = clock_.Now();
  const OpenResult r = inner_.Open(portName, settings);
  std::string text = "open " + portName;
  if (settings.baudRate) text += " " + std::to_string(*settings.baudRate) + " baud";
  if (settings.parity) text += std::string(" parity ") + ParityName(*settings.parity);
  if (settings.dataBits) text += " " + std::to_string(*settings.dataBits) + " data bits";
  if (settings.stopBits) text += std::string(" stop ") + StopBitsName(*settings.stopBits);
  if (settings.xonXoff) text += " XON/XOFF";
  if (settings.dtrHandshake) text += " DTR";
  if (settings.rtsHandshake) text += " RTS";
  text += r == OpenResult::kOk ? ": ok" : ": failed";
  Line(TraceDirection::kNote, {}, std::move(text));
  return r;
}

bool TracingDevice::Purge() {
  Line(TraceDirection::kNote, {}, "purge");
  return inner_.Purge();
}

long TracingDevice::Read(std::string& out, size_t max) {
  const size_t before = out.size();
  return Traced(out, inner_.Read(out, max), before);
}

long TracingDevice::ReadFrame(std::string& out, size_t max, const FrameNeed& need) {
  const size_t before = out.size();
  return Traced(out, inner_.ReadFrame(out, max, need), before);
}

long TracingDevice::Traced(const std::string& out, long n, size_t before) {
  if (n < 0)
    Line(TraceDirection::kFromInstrument, {}, "(read failed)");
  else if (n > 0)
    Line(TraceDirection::kFromInstrument, out.substr(before));
  return n;
}

bool TracingDevice::Write(std::string_view bytes, std::chrono::milliseconds timeout) {
  const bool ok = inner_.Write(bytes, timeout);
  Line(TraceDirection::kToInstrument, std::string(bytes), ok ? "" : "(write failed)");
  return ok;
}

bool TracingDevice::Close() {
  Line(TraceDirection::kNote, {}, "close");
  return inner_.Close();
}

}  // namespace ulvo
