#include "ulvo/transfer/tracing_device.h"

#include <cstdio>

namespace ulvo {

std::string DescribeBytes(std::string_view bytes) {
  static const char* const kNames[32] = {"NUL", "SOH", "STX", "ETX",  "EOT", "ENQ", "ACK", "BEL",
                                         "BS",  "HT",  "LF",  "VT",   "FF",  "CR",  "SO",  "SI",
                                         "DLE", "XON", "DC2", "XOFF", "DC4", "NAK", "SYN", "ETB",
                                         "CAN", "EM",  "SUB", "ESC",  "FS",  "GS",  "RS",  "US"};
  std::string out;
  for (const char ch : bytes) {
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

void TracingDevice::Line(const char* direction, const std::string& text) {
  const double seconds = std::chrono::duration<double>(clock_.Now() - start_).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%10.3f ", seconds);
  out_ << stamp << direction << ' ' << text << '\n';
  out_.flush();
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
  Line("--", text);
  return r;
}

bool TracingDevice::Purge() {
  Line("--", "purge");
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
    Line("<-", "(read failed)");
  else if (n > 0)
    Line("<-", DescribeBytes(std::string_view(out).substr(before)));
  return n;
}

bool TracingDevice::Write(std::string_view bytes, std::chrono::milliseconds timeout) {
  const bool ok = inner_.Write(bytes, timeout);
  Line("->", DescribeBytes(bytes) + (ok ? "" : " (write failed)"));
  return ok;
}

bool TracingDevice::Close() {
  Line("--", "close");
  return inner_.Close();
}

}  // namespace ulvo
