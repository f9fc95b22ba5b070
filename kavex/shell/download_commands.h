#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "kavex/comm/capture_file.h"
#include "kavex/comm/comm_dialog_rules.h"
#include "kavex/comm/comm_port.h"
#include "kavex/comm/download_protocols.h"
#include "kavex/comm/transfer_progress.h"
#include "kavex/shell/main_logic.h"
#include "kavex/shell/transfer_families.h"

namespace kavex {

// The dialogs a transfer command shows: "Comm Status" with "Advanced Options" behind it,
// and the progress window. The Qt forms implement it; the command line answers "GO".
class TransferDialogs {
 public:
  virtual ~TransferDialogs() = default;
  // Prepares "Comm Status" and "Advanced Options" for the command from `settings` and shows
  // "Comm Status". True when the user pressed "GO"; `settings` then holds every control.
  virtual bool ShowCommStatus(TransferCommand command, CommSettings& settings) = 0;
  // The progress window (TUpDwDlg).
  virtual TransferProgress& Progress() = 0;
  // A transfer is about to open the port: the line trace of the last one gives way.
  virtual void TransferStarting() {}
};

// What follows a download with "Write text file", once the data is saved. The caller wires
// these to the conversions; a hand-over left empty ends the command after saving.
struct DownloadHandOver {
  // QRX-6: shows the conversion dialog for the saved file (currentPath) and, when the user
  // starts it, replaces the current data with the NWF lines.
  std::function<void(MainLogic&)> convertToNwf;
  // HK: builds the level-book text from the saved file into the (cleared) current data;
  // returns the conversion's result (0 success, -1 file not readable).
  std::function<int(MainLogic&, const std::string& path)> hkToText;

  // Where the accepted lines are captured as they come, so a crash loses none (empty: no
  // capture), and the file they are meant for (empty: the current data).
  std::filesystem::path captureFolder;
  std::string captureDestination;
  // Given: takes the capture once the protocol has ended, to finish it when the lines are
  // safe elsewhere (or keep it when they are not). Else the current data holds it until the
  // lines are saved or let go (MainLogic::HoldCapture).
  std::function<void(std::unique_ptr<CaptureWriter>)> keepCapture;
  // Told why no capture could be made; the download goes on without one.
  std::function<void(const std::string& problem)> captureFailed;
};

// How a download ended.
enum class DownloadOutcome { Completed, Failed, NotStarted };

// One download command of the main window, from the "Current DATA will be lost."
// question to the "Write text file" step.
DownloadOutcome RunDownload(DownloadKind kind, MainLogic& logic, CommPort& port,
                            TransferDialogs& dialogs, const DownloadHandOver& handOver = {});

// The four "&Download" commands of the main window over its port and forms.
class DownloadCommands {
 public:
  DownloadCommands(MainLogic& logic, CommPort& port, TransferDialogs& dialogs,
                   DownloadHandOver handOver = {})
      : logic_(logic), port_(port), dialogs_(dialogs), handOver_(std::move(handOver)) {}

  void SetHandOver(DownloadHandOver handOver) { handOver_ = std::move(handOver); }

  DownloadOutcome Terminal() { return Run(DownloadKind::Terminal); }
  DownloadOutcome DldQRX7() { return Run(DownloadKind::Nwf); }
  DownloadOutcome DldQRX6() { return Run(DownloadKind::Qrx6); }
  DownloadOutcome DldHK1() { return Run(DownloadKind::Hk); }
  DownloadOutcome Run(DownloadKind kind) {
    return RunDownload(kind, logic_, port_, dialogs_, handOver_);
  }

 private:
  MainLogic& logic_;
  CommPort& port_;
  TransferDialogs& dialogs_;
  DownloadHandOver handOver_;
};

// "Write text file" once a download is in: the lines are saved under the conversion's
// automatic name and, when the caller wired it, handed to the conversion.
// QRX-6 blocks to NWF.
void SaveThenConvertToNwf(MainLogic& logic, const DownloadHandOver& handOver);
// HK-101/102 lines to the level-book text, which replaces the saved lines.
void SaveThenMakeHkText(MainLogic& logic, const DownloadHandOver& handOver);

// "COM1" or "COM2" as the settings choose.
std::string PortNameOf(const CommSettings& settings);

}  // namespace kavex
