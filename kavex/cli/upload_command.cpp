// kavex-cli upload: the upload commands of the main window, headless.
#include <QCoreApplication>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "kavex/cli/commands.h"
#include "kavex/cli/transfer_setup.h"
#include "kavex/comm/comm_dialog_rules.h"
#include "kavex/shell/upload_commands.h"

namespace kavex::cli {
namespace {

int Usage(const std::string& problem) {
  std::fprintf(stderr, "kavex-cli upload: %s (see kavex-cli --help)\n", problem.c_str());
  return kExitUsage;
}

// Messages go to standard error; the open dialog is answered with FILE.
class UploadPrompts final : public Prompts {
 public:
  explicit UploadPrompts(std::string file) : file_(std::move(file)) {}
  int MessageBox(const std::string& text, int, bool) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    return kResultOk;
  }
  std::optional<std::string> OpenFileName(const FileDialogRequest&) override { return file_; }
  std::optional<std::string> SaveFileName(const FileDialogRequest&) override { return {}; }
  bool ConfirmSaveCurrent(const std::string&, const std::string&) override { return false; }
  std::unique_ptr<ProgressSink> ShowProgress(const std::string&, bool) override { return {}; }
  void PumpEvents() override {}
  void SetBusy(bool) override {}

 private:
  std::string file_;
};

// "Point Details" answered OK with the values of the options.
class CliPointDetails final : public PointDetailsDialog {
 public:
  explicit CliPointDetails(const PointDetails& values) : values_(values) {}
  bool Run(PointDetails& details) override {
    details = values_;
    return true;
  }

 private:
  PointDetails values_;
};

bool IsListFile(const std::string& file) {
  std::string ext = std::filesystem::path(file).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".pts" || ext == ".cod";
}

int RunUploadCommand(const Args& args) {
  if (args.empty()) return Usage("which upload: " + UploadWords());
  const UploadFamily* family = UploadFamilyNamed(args[0]);
  if (!family) return Usage("unknown upload '" + args[0] + "'");

  TransferArgs t;
  CommSettings& s = t.settings;
  PointDetails details;
  std::string file;
  // A refused point-details value shows the dialog's own message.
  auto detail = [&](PointDetailsField field, const std::string& text) {
    const PointDetailsCheck check = CheckPointDetailsField(field, text);
    if (!check.stored) {
      std::fprintf(stderr, "%s\n", check.message.c_str());
      return false;
    }
    PointDetailsValue(details, field) = *check.stored;
    return true;
  };
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (const std::optional<std::string> problem = ReadTransferOption(args, i, t)) {
      if (!problem->empty()) return Usage(*problem);
      continue;
    }
    std::string v;
    auto value = [&]() {
      if (i + 1 >= args.size()) return false;
      v = args[++i];
      return true;
    };
    using F = PointDetailsField;
    if (a == "--interval") {
      std::optional<std::string> accepted;
      if (value()) accepted = CheckAdvancedField(kBlockIntervalField, v);
      if (!accepted) return Usage("--interval must be 100 to 999 ms");
      s.blockInterval = *accepted;
    } else if (a == "--no-end-block") {
      s.addEndBlock = false;
    } else if (a == "--site" || a == "--elevation" || a == "--scale" || a == "--accuracy" ||
               a == "--points") {
      if (!value()) return Usage(a + " needs a value");
      const F field = a == "--site"        ? F::kSite
                      : a == "--elevation" ? F::kElevation
                      : a == "--scale"     ? F::kScale
                      : a == "--accuracy"  ? F::kAccuracy
                                           : F::kPoints;
      if (!detail(field, v)) return kExitFailure;
    } else if (a == "--limits") {
      if (!value()) return Usage("--limits needs D-T");
      const size_t dash = v.find('-', 1);
      if (dash == std::string::npos) return Usage("--limits needs D-T, for example 20-10");
      if (!detail(F::kLimitDistance, v.substr(0, dash)) ||
          !detail(F::kLimitTolerance, v.substr(dash + 1)))
        return kExitFailure;
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option '" + a + "'");
    } else if (!file.empty()) {
      return Usage("more than one FILE");
    } else {
      file = a;
    }
  }
  if (file.empty()) return Usage("FILE to send is required");
  if (t.device.empty()) return Usage("--port DEVICE is required");
  // A points or code list goes through "Read text file"; anything else is sent as it stands.
  s.readTextFile = family->readTextFile && IsListFile(file);

  int qtArgc = 1;
  char qtName[] = "kavex-cli";
  char* qtArgv[] = {qtName, nullptr};
  QCoreApplication app(qtArgc, qtArgv);

  SystemClock clock;
  MemoryDataView view;
  UploadPrompts prompts(file);
  MainLogic logic(view, prompts, clock);
  logic.Settings().comm = s;
  CliPort cliPort;
  if (!cliPort.Open(t, clock,
                    [&](const std::string& m) { logic.ShowMessage(m, kModeMessage, true); }))
    return kExitFailure;
  CliDialogs dialogs(s);
  CliPointDetails detailsDialog(details);
  PointDetails stored;
  const UploadOutcome outcome =
      RunUpload(family->kind, logic, cliPort.Port(), dialogs, detailsDialog, stored);
  cliPort.Finish();
  cliPort.ReportDeviceProblem(t.device);
  if (outcome == UploadOutcome::Completed) return kExitOk;
  // Not started for a file that cannot be read or converted; failed on the port or line.
  return outcome == UploadOutcome::NotStarted && !cliPort.PortFailed() ? kExitFailure : kExitDevice;
}

}  // namespace

namespace {

// The usage offers the families by their table's words.
const std::string kUploadUsage =
    "kavex-cli upload " + WordChoice(UploadFamilies()) +
    " FILE --port DEVICE [--baud N] [--bits 7|8]\n"
    "          [--parity none|even|odd] [--stop 1|2] [--ack-nak] [--interval MS]\n"
    "          [--timeout MS] [--no-end-block] [--site TEXT] [--elevation N] [--scale TEXT]\n"
    "          [--accuracy N] [--limits D-T] [--points N] [--trace FILE]\n"
    "    Sends FILE as the Upload menu does (a .pts or .cod file is converted first for\n"
    "    coords and codes). Defaults: 9600 baud, 8 bits, no parity, 1 stop bit, no Ack/Nak,\n"
    "    interval 400 ms, time-out 10000 ms, END block on; point details Site1, 0,\n"
    "    1.000000, 2000, 20-10, 0.";

}  // namespace

extern const Command kUploadCommand = {"upload", kUploadUsage.c_str(), RunUploadCommand};

}  // namespace kavex::cli
