// kavex-cli download: the download commands of the main window, headless.
#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "kavex/cli/commands.h"
#include "kavex/comm/tracing_device.h"
#include "kavex/formats/file_problem.h"
#include "kavex/formats/text_file.h"
#include "kavex/formats/text_format.h"
#include "kavex/platform/config_paths.h"
#include "kavex/platform/qt_serial_device.h"
#include "kavex/shell/console_prompts.h"
#include "kavex/shell/download_commands.h"

namespace kavex::cli {
namespace {

// "Comm Status" answered with "GO" on the settings given, after the command's forced values.
class CliDialogs final : public TransferDialogs {
 public:
  explicit CliDialogs(const CommSettings& settings) : settings_(settings) {}
  bool ShowCommStatus(TransferCommand command, CommSettings& settings) override {
    settings = ApplyPreparation(settings_, CommStatusPreparationFor(command));
    return true;
  }
  TransferProgress& Progress() override { return progress_; }

 private:
  CommSettings settings_;
  TransferProgress progress_;
};

int Usage(const std::string& problem) {
  std::fprintf(stderr, "kavex-cli download: %s (see kavex-cli --help)\n", problem.c_str());
  return kExitUsage;
}

bool ReadNumber(const std::string& text, unsigned min, unsigned max, unsigned& value) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = static_cast<unsigned>(std::stoul(text));
  return value >= min && value <= max;
}

int RunDownloadCommand(const Args& args) {
  if (args.empty()) return Usage("which download: terminal, nwf, qrx6 or hk");
  DownloadKind kind;
  if (args[0] == "terminal") {
    kind = DownloadKind::Terminal;
  } else if (args[0] == "nwf") {
    kind = DownloadKind::Nwf;
  } else if (args[0] == "qrx6") {
    kind = DownloadKind::Qrx6;
  } else if (args[0] == "hk") {
    kind = DownloadKind::Hk;
  } else {
    return Usage("unknown download '" + args[0] + "'");
  }

  CommSettings s;
  bool force = false;
  std::string device, output, tracePath;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    std::string v;
    unsigned n = 0;
    if (a == "--port") {
      if (!value(device) || device.empty()) return Usage("--port needs a device");
    } else if (a == "-o" || a == "--output") {
      if (!value(output) || output.empty()) return Usage("-o needs a file");
    } else if (a == "--trace") {
      if (!value(tracePath) || tracePath.empty()) return Usage("--trace needs a file");
    } else if (a == "--baud") {
      if (!value(v) || !ReadNumber(v, 1, 999999, n) || RateCodeOfBaud(static_cast<int>(n)) < 0)
        return Usage("--baud must be 1200, 2400, 4800, 9600, 19200 or 38400");
      s.rateCode = RateCodeOfBaud(static_cast<int>(n));
    } else if (a == "--bits") {
      if (!value(v) || (v != "7" && v != "8")) return Usage("--bits must be 7 or 8");
      s.sevenBits = v == "7";
    } else if (a == "--parity") {
      if (!value(v) || (v != "none" && v != "even" && v != "odd"))
        return Usage("--parity must be none, even or odd");
      s.parityCode = v == "even" ? 1 : v == "odd" ? 2 : 0;
    } else if (a == "--stop") {
      if (!value(v) || (v != "1" && v != "2")) return Usage("--stop must be 1 or 2");
      s.stopBits = v == "2" ? 2 : 1;
    } else if (a == "--force") {
      force = true;
    } else if (a == "--ack-nak") {
      s.useAckNak = true;
    } else if (a == "--delay") {
      if (!value(v) || !ReadNumber(v, 10, 999, n)) return Usage("--delay must be 10 to 999 ms");
      s.delayTime = Format("%-3u", n);
    } else if (a == "--timeout") {
      if (!value(v) || !ReadNumber(v, 1000, 60000, n))
        return Usage("--timeout must be 1000 to 60000 ms");
      s.receiveTimeout = Format("%-5u", n);
    } else if (a == "--no-check-number") {
      s.checkBlockNumber = false;
    } else if (a == "--no-check-sum") {
      s.checkBlockSum = false;
    } else {
      return Usage("unknown option '" + a + "'");
    }
  }
  if (device.empty()) return Usage("--port DEVICE is required");

  // Settled before the port opens: once the instrument has sent, its data must have a home.
  if (!output.empty()) {
    std::error_code ec;
    if (std::filesystem::exists(output, ec) && !force) {
      std::fprintf(stderr, "File exists Overwrite?\n%s (give --force to replace it)\n",
                   output.c_str());
      return kExitFailure;
    }
    if (const std::string why = FileProblem(output, true); !why.empty()) {
      std::fprintf(stderr, "Saving Aborted.\n%s: %s\n", output.c_str(), why.c_str());
      return kExitFailure;
    }
  }

  int qtArgc = 1;
  char qtName[] = "kavex-cli";
  char* qtArgv[] = {qtName, nullptr};
  QCoreApplication app(qtArgc, qtArgv);

  std::ofstream traceFile;
  if (!tracePath.empty()) {
    traceFile.open(tracePath, std::ios::binary | std::ios::trunc);
    if (!traceFile) {
      std::fprintf(stderr, "Cannot write the trace file %s\n", tracePath.c_str());
      return kExitFailure;
    }
  }

  SystemClock clock;
  MemoryDataView view;
  ConsolePrompts prompts;
  MainLogic logic(view, prompts, clock);
  logic.Settings().comm = s;
  QtSerialDevice serial;
  std::unique_ptr<TracingDevice> tracing;
  if (traceFile.is_open()) tracing = std::make_unique<TracingDevice>(serial, clock, traceFile);
  SerialDevice& line = tracing ? static_cast<SerialDevice&>(*tracing) : serial;
  CommPort port(line, clock,
                [&](const std::string& t) { logic.ShowMessage(t, kModeMessage, true); });
  // The device given stands behind both port names.
  port.SetPortPath("COM1", device);
  port.SetPortPath("COM2", device);
  CliDialogs dialogs(s);

  const DownloadOutcome outcome = RunDownload(kind, logic, port, dialogs);
  tracing.reset();
  if (!serial.LastError().empty())
    std::fprintf(stderr, "%s: %s\n", device.c_str(), serial.LastError().c_str());

  const std::string disk = ToDiskText(JoinLines(view.Lines()));
  bool written = true;
  if (output.empty()) {
    written = std::fwrite(disk.data(), 1, disk.size(), stdout) == disk.size();
    std::fflush(stdout);
  } else if (outcome != DownloadOutcome::NotStarted || !view.Lines().empty()) {
    const SavedText saved =
        SaveTextOrFallback(output, JoinLines(view.Lines()),
                           ReadSettings(KavexSettingsPaths(), DefaultDataDir()).dataDir);
    if (!saved.saved) {
      std::fprintf(stderr, "Saving Aborted.\n%s\n", saved.problem.c_str());
      if (!saved.fallback.empty())
        std::fprintf(stderr, "The received lines were saved to %s\n",
                     saved.fallback.string().c_str());
      return kExitFailure;
    }
  }
  if (!written) {
    std::fprintf(stderr, "Saving Aborted.\n");
    return kExitFailure;
  }
  return outcome == DownloadOutcome::Completed ? kExitOk : kExitFailure;
}

}  // namespace

extern const Command kDownloadCommand = {
    "download",
    "kavex-cli download terminal|nwf|qrx6|hk --port DEVICE [-o OUTPUT [--force]] [--baud N]\n"
    "          [--bits 7|8] [--parity none|even|odd] [--stop 1|2] [--ack-nak] [--delay MS]\n"
    "          [--timeout MS] [--no-check-number] [--no-check-sum] [--trace FILE]\n"
    "    Receives an instrument's data as the Download menu does; writes the accepted lines\n"
    "    (CR LF) to OUTPUT or standard output, also after a failure. An existing OUTPUT is\n"
    "    replaced only with --force; lines that cannot be saved go to the data folder.",
    RunDownloadCommand};

}  // namespace kavex::cli
