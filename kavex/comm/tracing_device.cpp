#include "kavex/comm/tracing_device.h"

#include "kavex/formats/text_format.h"

namespace kavex {

std::string ShowBytes(const std::string& bytes) {
  std::string s;
  for (const char ch : bytes) {
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

TracingDevice::TracingDevice(SerialDevice& inner, Clock& clock, std::ostream& out)
    : inner_(inner), clock_(clock), out_(out), start_(clock.Now()) {}

TracingDevice::~TracingDevice() {
  FlushReceived();
  out_.flush();
}

std::string TracingDevice::Stamp() {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(clock_.Now() - start_).count();
  return Format("%6lld.%03lld", static_cast<long long>(ms / 1000),
                static_cast<long long>(ms % 1000));
}

void TracingDevice::Record(const char* direction, const std::string& bytes, const char* note) {
  out_ << Stamp() << ' ' << direction;
  if (!bytes.empty()) out_ << ' ' << ShowBytes(bytes);
  if (note) out_ << ' ' << note;
  out_ << '\n';
  out_.flush();
}

void TracingDevice::FlushReceived() {
  if (received_.empty()) return;
  Record("RX", received_);
  received_.clear();
}

bool TracingDevice::Open(const std::string& name) {
  const bool ok = inner_.Open(name);
  Record("--", {}, (std::string("open ") + name + (ok ? "" : " failed")).c_str());
  return ok;
}

bool TracingDevice::Configure(const LineSettings& s) {
  const bool ok = inner_.Configure(s);
  const std::string text =
      Format("configure %d baud, %d bits, parity %s, %d stop%s", s.baud, s.dataBits,
             s.parity == 1   ? "even"
             : s.parity == 2 ? "odd"
                             : "none",
             s.stopBits, ok ? "" : " failed");
  Record("--", {}, text.c_str());
  return ok;
}

int TracingDevice::ReadByte(std::chrono::milliseconds timeout) {
  const int b = inner_.ReadByte(timeout);
  if (b < 0) {
    FlushReceived();
    Record("RX", {}, "time-out");
    return b;
  }
  received_.push_back(static_cast<char>(b));
  if (b == '\n' || b == 0x04 || b == 0x11 || b == 0x00) FlushReceived();
  return b;
}

bool TracingDevice::Write(const std::string& bytes) {
  FlushReceived();
  const bool ok = inner_.Write(bytes);
  Record("TX", bytes, ok ? nullptr : "(failed)");
  return ok;
}

void TracingDevice::Close() {
  FlushReceived();
  inner_.Close();
  Record("--", {}, "close");
}

}  // namespace kavex
