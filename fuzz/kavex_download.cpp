// Kavex downloads of every kind from a scripted instrument whose bytes are fuzzed.
#include "fuzz_support.h"
#include "kavex/comm/comm_port.h"
#include "kavex/comm/download_protocols.h"
#include "kavex/shell/transfer_families.h"

namespace {

// Time that moves only when a protocol waits.
class InstantClock final : public kavex::Clock {
 public:
  TimePoint Now() override { return now_; }
  void SleepUntil(TimePoint when) override {
    if (when > now_) now_ = when;
  }
  kavex::CalendarDate Today() override { return {}; }

 private:
  TimePoint now_{};
};

// Hands out the fuzzed bytes one at a time; when they run out, every read times out.
class ScriptedInstrument final : public kavex::SerialDevice {
 public:
  ScriptedInstrument(std::string_view bytes, kavex::Clock& clock) : bytes_(bytes), clock_(clock) {}
  bool Open(const std::string&) override { return open_ = true; }
  bool IsOpen() const override { return open_; }
  bool QueryState() override { return true; }
  bool Configure(const kavex::LineSettings&) override { return true; }
  int ReadByte(std::chrono::milliseconds timeout) override {
    if (bytes_.empty()) {
      clock_.SleepUntil(clock_.Now() + timeout);
      return -1;
    }
    const auto c = static_cast<unsigned char>(bytes_.front());
    bytes_.remove_prefix(1);
    return c;
  }
  bool Write(const std::string&) override { return true; }
  void PurgeInput() override {}
  void Close() override { open_ = false; }

 private:
  std::string_view bytes_;
  kavex::Clock& clock_;
  bool open_ = false;
};

class Lines final : public kavex::DownloadReceiver {
 public:
  void StoreLine(const std::string& line) override { stored += kavex::StoredLineOf(line).size(); }
  void PumpEvents() override {}
  size_t stored = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const unsigned setup = data[0];
  const std::vector<kavex::DownloadFamily>& families = kavex::DownloadFamilies();
  const kavex::DownloadKind kind = families[setup % families.size()].kind;
  kavex::DownloadOptions options;
  options.ackNak = setup & 4;
  options.checkBlockNumber = setup & 8;
  options.checkBlockSum = setup & 16;
  options.delayMs = 100;
  InstantClock clock;
  ScriptedInstrument instrument(fuzz::Bytes(data + 1, size - 1), clock);
  kavex::CommPort port(instrument, clock, [](const std::string&) {});
  if (port.OpenPort("/dev/fuzz") != 0 || port.ConfigurePort(1000) != 0) return 0;
  kavex::TransferProgress progress;
  Lines lines;
  kavex::DownloadFamilyOf(kind).protocol(port, progress, lines, options);
  port.ClosePort();
  return 0;
}
