// ulvo-cli detect: which speed and frame the instrument sends at, as the sheet's Detect finds.
#include <cstdio>
#include <cstdlib>

#include "ulvo/cli/transfer_commands.h"
#include "ulvo/platform/qt_serial_device.h"
#include "ulvo/transfer/clock.h"
#include "ulvo/transfer/line_detect.h"

namespace ulvo::cli {

int RunDetect(const Context&, const Args& args) {
  std::string port;
  long seconds = kDetectListen.count();
  const auto usage = [](const std::string& why) {
    std::fprintf(stderr, "ulvo-cli: %s\n%s\n", why.c_str(), kDetectUsage);
    return kExitUsage;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (i + 1 >= args.size()) return usage(a + " needs a value");
    const std::string& v = args[++i];
    if (a == "--port") {
      port = v;
    } else if (a == "--seconds") {
      char* end = nullptr;
      seconds = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || seconds < 1 || seconds > 600)
        return usage("--seconds must be 1 to 600");
    } else {
      return usage("unknown option " + a);
    }
  }
  if (port.empty()) return usage("give --port DEVICE");

  QtSerialDevice device;
  SteadyClock clock;
  std::fprintf(stderr, "%s\n", kDetectPrompt);
  const DetectReport r =
      DetectLineSettings(device, clock, port, std::chrono::seconds(seconds), nullptr);
  if (r.outcome == DetectReport::Outcome::kFound) {
    std::printf("%s\n", r.Settings().c_str());
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
  }
  std::fprintf(stderr, "%s\n", r.Message(port).c_str());
  if (r.outcome == DetectReport::Outcome::kCannotOpen ||
      r.outcome == DetectReport::Outcome::kPortFailed) {
    if (!device.LastError().empty())
      std::fprintf(stderr, "%s: %s\n", port.c_str(), device.LastError().c_str());
    return kExitDevice;
  }
  return kExitFailure;
}

}  // namespace ulvo::cli
