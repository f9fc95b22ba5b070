// A send of every link protocol and handshake mode to a scripted instrument whose answers
// (ACK, NAK, control records, noise) arrive in fuzzed pieces.
#include <algorithm>
#include <deque>
#include <sstream>

#include "fuzz_support.h"
#include "ulvo/transfer/culvo_serial.h"

namespace {

class ScriptedInstrument : public ulvo::SerialDevice {
 public:
  ScriptedInstrument(std::string_view bytes, size_t piece) : bytes_(bytes), piece_(piece) {}
  ulvo::OpenResult Open(const std::string&, const ulvo::PortSettings&) override {
    open_ = true;
    return ulvo::OpenResult::kOk;
  }
  bool IsOpen() const override { return open_; }
  bool SetTimeouts(const ulvo::ReadTimeouts&) override { return true; }
  bool Purge() override { return true; }
  long Read(std::string& out, size_t max) override {
    // Every fifth piece is a silent read, so time-outs in mid-frame are covered too.
    if (++reads_ % 5 == 0 || bytes_.empty()) return 0;
    const size_t n = std::min({max, piece_, bytes_.size()});
    out.append(bytes_.substr(0, n));
    bytes_.remove_prefix(n);
    piece_ = piece_ % 137 + 1;
    return static_cast<long>(n);
  }
  bool Write(std::string_view, std::chrono::milliseconds) override { return true; }
  bool WaitTransmitEmpty(std::chrono::milliseconds) override { return true; }
  bool Close() override {
    open_ = false;
    return true;
  }

 private:
  std::string_view bytes_;
  size_t piece_;
  unsigned reads_ = 0;
  bool open_ = false;
};

ulvo::CInstrument Instrument(unsigned formatBit, unsigned softBit, bool addCrLf) {
  std::ostringstream plain;
  plain << "[HEADER]\nVERSION=1\nTITLE=INSTRUMENT INTERFACE FILE\nINSTRUMENT=Fuzzed\n"
        << "[CAPABILITIES]\nSENDBAUDRATES=64\nSENDDATAFORMAT=" << formatBit
        << "\nSENDSOFTHANDSHAKE=" << softBit << "\n[DEFAULTS]\nSENDSOFTHANDSHAKE=" << softBit
        << "\nSENDDATAFORMAT=" << formatBit
        << "\n[SOFTHANDSHAKECHARS]\nADDCRLF=" << (addCrLf ? 1 : 0) << "\n";
  ulvo::CInstrument instrument;
  instrument.LoadInterfaceText(ulvo::EncodeInterfaceText(plain.str()), nullptr);
  return instrument;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const unsigned setup = data[0];
  const unsigned formatBit = (setup & 7) < 4 ? 1u << (setup & 7) : 0u;
  const unsigned softBit = (setup >> 3) & 3 ? 1u << (((setup >> 3) & 3) - 1) : 0u;
  ScriptedInstrument instrument(fuzz::Bytes(data + 2, size - 2), data[1] % 137 + 1);
  ulvo::CULVOSerial serial(instrument);
  // Three blocks' worth of data, the last one short, and lines for the text protocols.
  std::string source;
  for (int n = 0; n < 300; ++n) source += n % 40 == 39 ? '\n' : static_cast<char>('A' + n % 26);
  static const auto file = fuzz::WriteScratch("source.dat", source);
  serial.Run(nullptr, Instrument(formatBit, softBit, setup & 0x20), "COM1", ulvo::kDirectionSend,
             file.string());
  return 0;
}
