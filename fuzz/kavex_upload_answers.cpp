// Kavex uploads of every kind answered by a scripted instrument whose bytes are fuzzed: the
// acknowledgements (ACK, NAK, anything else, silence) never make an upload claim lines it did
// not have answered.
#include <cstdlib>

#include "fuzz_support.h"
#include "kavex/comm/comm_port.h"
#include "kavex/comm/upload_protocols.h"
#include "kavex/shell/transfer_families.h"

namespace {

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

// Answers with the fuzzed bytes one at a time; when they run out, every read times out.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const unsigned setup = data[0];
  const auto& families = kavex::UploadFamilies();
  const kavex::UploadKind kind = families[setup % families.size()].kind;
  kavex::UploadOptions options;
  options.ackNak = setup & 4;
  options.addEndBlock = setup & 8;
  options.blockIntervalMs = 100;
  const std::vector<std::string> lines = {"_ x 1 100.000 200.000 10.000", "", "_ x 2 1 2 3",
                                          "_:01 TREE"};
  InstantClock clock;
  ScriptedInstrument instrument(fuzz::Bytes(data + 1, size - 1), clock);
  kavex::CommPort port(instrument, clock, [](const std::string&) {});
  if (port.OpenPort("/dev/fuzz") != 0 || port.ConfigurePort(1000) != 0) return 0;
  port.StartTimer();
  kavex::TransferProgress progress;
  const kavex::UploadResult result = kavex::RunUploadProtocol(
      kind, port, progress, [] {}, lines, options);
  port.ClosePort();
  if (result.linesSent > result.lineTotal) std::abort();
  for (int read : {-1, 0, 3}) {
    (void)kavex::IsUploadAcknowledgement(read, std::string(fuzz::Bytes(data, size)));
  }
  return 0;
}
