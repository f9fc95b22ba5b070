// kavex-cli detect: which speed and frame the instrument sends at, as the Detect button finds.
#include <QCoreApplication>

#include <cstdio>

#include "kavex/cli/commands.h"
#include "kavex/cli/transfer_setup.h"
#include "kavex/comm/clock.h"
#include "kavex/comm/line_detect.h"
#include "kavex/platform/qt_serial_device.h"

namespace kavex::cli {
namespace {

int Usage(const std::string& problem) {
  std::fprintf(stderr, "kavex-cli detect: %s (see kavex-cli --help)\n", problem.c_str());
  return kExitUsage;
}

int RunDetectCommand(const Args& args) {
  std::string device;
  unsigned seconds = static_cast<unsigned>(kDetectListen.count());
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--port" && hasValue) {
      device = args[++i];
    } else if (a == "--seconds" && hasValue) {
      if (!ReadNumber(args[++i], 1, 600, seconds)) return Usage("--seconds must be 1 to 600");
    } else {
      return Usage("unknown option '" + a + "'");
    }
  }
  if (device.empty()) return Usage("--port DEVICE is required");

  int qtArgc = 1;
  char qtName[] = "kavex-cli";
  char* qtArgv[] = {qtName, nullptr};
  QCoreApplication app(qtArgc, qtArgv);
  QtSerialDevice serial;
  SystemClock clock;
  std::fprintf(stderr, "%s\n", kDetectPrompt);
  const DetectReport r =
      DetectLineSettings(serial, clock, device, std::chrono::seconds(seconds), nullptr);
  if (r.outcome == DetectReport::Outcome::kFound) {
    std::printf("%s\n", r.Settings().c_str());
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
  }
  std::fprintf(stderr, "%s\n", r.Message(device).c_str());
  if (r.outcome == DetectReport::Outcome::kCannotOpen ||
      r.outcome == DetectReport::Outcome::kPortFailed) {
    if (!serial.LastError().empty())
      std::fprintf(stderr, "%s: %s\n", device.c_str(), serial.LastError().c_str());
    return kExitDevice;
  }
  return kExitFailure;
}

}  // namespace

extern const Command kDetectCommand = {
    "detect",
    "  kavex-cli detect --port DEVICE [--seconds N]\n"
    "      Listens up to N seconds (default 15) while the instrument sends and prints the\n"
    "      speed and frame it sends at as one line \"BAUD FRAME\", for example \"9600 7E1\"\n"
    "      (1200 to 115200 baud; 8N1, 7E1, 7O1, 8E1, 8O1, 7N1). Exits 1 with the reason when\n"
    "      nothing arrived or nothing fits.",
    RunDetectCommand,
};

}  // namespace kavex::cli
