// kavex-cli download: the download commands of the main window, headless.
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "kavex/cli/commands.h"
#include "kavex/cli/transfer_setup.h"
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

int Usage(const std::string& problem) {
  std::fprintf(stderr, "kavex-cli download: %s (see kavex-cli --help)\n", problem.c_str());
  return kExitUsage;
}

int RunDownloadCommand(const Args& args) {
  if (args.empty()) return Usage("which download: " + DownloadWords());
  const DownloadFamily* family = DownloadFamilyNamed(args[0]);
  if (!family) return Usage("unknown download '" + args[0] + "'");

  TransferArgs t;
  CommSettings& s = t.settings;
  std::string output;
  bool force = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (const std::optional<std::string> problem = ReadTransferOption(args, i, t)) {
      if (!problem->empty()) return Usage(*problem);
      continue;
    }
    std::string v;
    unsigned n = 0;
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    if (a == "-o" || a == "--output") {
      if (!value(output) || output.empty()) return Usage("-o needs a file");
    } else if (a == "--force") {
      force = true;
    } else if (a == "--delay") {
      if (!value(v) || !ReadNumber(v, 10, 999, n)) return Usage("--delay must be 10 to 999 ms");
      s.delayTime = Format("%-3u", n);
    } else if (a == "--no-check-number") {
      s.checkBlockNumber = false;
    } else if (a == "--no-check-sum") {
      s.checkBlockSum = false;
    } else {
      return Usage("unknown option '" + a + "'");
    }
  }
  if (t.device.empty()) return Usage("--port DEVICE is required");

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

  SystemClock clock;
  MemoryDataView view;
  ConsolePrompts prompts;
  MainLogic logic(view, prompts, clock);
  logic.Settings().comm = s;
  CliPort cliPort;
  if (!cliPort.Open(t, clock,
                    [&](const std::string& m) { logic.ShowMessage(m, kModeMessage, true); }))
    return kExitFailure;
  CliDialogs dialogs(s);

  // The lines stay captured until they are written out, so a crash or kill before then
  // leaves them for `kavex-cli recover`.
  std::unique_ptr<CaptureWriter> capture;
  DownloadHandOver handOver;
  handOver.captureFolder = KavexCaptureFolder();
  handOver.captureDestination =
      output.empty() ? std::string() : std::filesystem::absolute(output).string();
  handOver.keepCapture = [&capture](std::unique_ptr<CaptureWriter> c) { capture = std::move(c); };
  handOver.captureFailed = [](const std::string& problem) {
    std::fprintf(stderr, "kavex-cli: warning: the download is not captured: %s\n", problem.c_str());
  };
  const DownloadOutcome outcome =
      RunDownload(family->kind, logic, cliPort.Port(), dialogs, handOver);
  cliPort.Finish();
  cliPort.ReportDeviceProblem(t.device);
  // Ends the capture: removed once the lines are written, kept when they reached no file.
  const auto endCapture = [&capture](bool linesSafe) {
    if (!capture) return;
    if (linesSafe)
      capture->Finish();
    else
      capture->Keep();
  };

  const std::string disk = ToDiskText(JoinLines(view.Lines()));
  bool written = true;
  if (output.empty()) {
    written = std::fwrite(disk.data(), 1, disk.size(), stdout) == disk.size();
    written = std::fflush(stdout) == 0 && written;
    // Standard output sent to a file: on disk before the capture goes. A pipe or a terminal
    // cannot be synced and need not be.
    struct stat st {};
    if (written && ::fstat(STDOUT_FILENO, &st) == 0 && S_ISREG(st.st_mode))
      written = ::fsync(STDOUT_FILENO) == 0;
  } else if (outcome != DownloadOutcome::NotStarted || !view.Lines().empty()) {
    const SavedText saved =
        SaveTextOrFallback(output, JoinLines(view.Lines()),
                           ReadSettings(KavexSettingsPaths(), DefaultDataDir()).dataDir);
    if (!saved.saved) {
      std::fprintf(stderr, "Saving Aborted.\n%s\n", saved.problem.c_str());
      endCapture(!saved.fallback.empty());
      if (!saved.fallback.empty())
        std::fprintf(stderr, "The received lines were saved to %s\n",
                     saved.fallback.string().c_str());
      else if (capture)
        std::fprintf(stderr, "The received lines are kept for kavex-cli recover: %s\n",
                     capture->Path().string().c_str());
      return kExitFailure;
    }
  }
  endCapture(written);
  if (!written) {
    std::fprintf(stderr, "Saving Aborted.\n");
    if (capture)
      std::fprintf(stderr, "The received lines are kept for kavex-cli recover: %s\n",
                   capture->Path().string().c_str());
    return kExitFailure;
  }
  // The data is safe by now: what failed is the port or the talk with the instrument.
  return outcome == DownloadOutcome::Completed ? kExitOk : kExitDevice;
}

}  // namespace

namespace {

// The usage offers the families by their table's words.
const std::string kDownloadUsage =
    "kavex-cli download " + WordChoice(DownloadFamilies()) +
    " --port DEVICE [-o OUTPUT [--force]] [--baud N]\n"
    "          [--bits 7|8] [--parity none|even|odd] [--stop 1|2] [--ack-nak] [--delay MS]\n"
    "          [--timeout MS] [--no-check-number] [--no-check-sum] [--trace FILE]\n"
    "    Receives an instrument's data as the Download menu does; writes the accepted lines\n"
    "    (CR LF) to OUTPUT or standard output, also after a failure. An existing OUTPUT is\n"
    "    replaced only with --force; lines that cannot be saved go to the data folder.";

}  // namespace

extern const Command kDownloadCommand = {"download", kDownloadUsage.c_str(), RunDownloadCommand};

}  // namespace kavex::cli
