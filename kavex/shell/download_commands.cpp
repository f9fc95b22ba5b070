#include "kavex/shell/download_commands.h"

#include "kavex/shell/conversions.h"

namespace kavex {
namespace {

// Accepted lines go to the view as they arrive; the window repaints between lines.
class ViewReceiver final : public DownloadReceiver {
 public:
  explicit ViewReceiver(MainLogic& logic) : logic_(logic) {}
  void StoreLine(const std::string& line) override {
    ++stored;
    logic_.View().AppendLine(StoredLineOf(line));
    logic_.Ui().PumpEvents();
  }
  void PumpEvents() override { logic_.Ui().PumpEvents(); }

  size_t stored = 0;

 private:
  MainLogic& logic_;
};

// "8N1", "7E2".
std::string FrameText(const CommSettings& s) {
  return std::string(s.sevenBits ? "7" : "8") +
         "NEO"[s.parityCode < 0 || s.parityCode > 2 ? 0 : s.parityCode] +
         std::to_string(s.stopBits);
}

}  // namespace

void SaveThenConvertToNwf(MainLogic& logic, const DownloadHandOver& handOver) {
  logic.conversionResult = kConversionNotDone;
  const InputRoad& road = ConversionOf(ConversionKind::kToNwf).road;
  if (logic.SaveCurrentData(road.caption, road.ext) != kConversionSuccess) return;
  if (handOver.convertToNwf) handOver.convertToNwf(logic);
}

void SaveThenMakeHkText(MainLogic& logic, const DownloadHandOver& handOver) {
  logic.conversionResult = kConversionNotDone;
  const InputRoad& road = ConversionOf(ConversionKind::kToHkText).road;
  if (logic.SaveCurrentData(road.caption, road.ext) != kConversionSuccess) return;
  // Without the conversion the saved lines stay the current data rather than vanish.
  if (!handOver.hkToText) return;
  const std::string path = logic.currentPath;
  logic.hasFile = false;
  logic.ClearCurrentData();
  logic.conversionResult = handOver.hkToText(logic, path);
}

std::string PortNameOf(const CommSettings& settings) {
  return settings.useCom2 ? "COM2" : "COM1";
}

DownloadOutcome RunDownload(DownloadKind kind, MainLogic& logic, CommPort& port,
                            TransferDialogs& dialogs, const DownloadHandOver& handOver) {
  DataView& view = logic.View();
  if (view.Modified()) {
    if (logic.ShowMessage("Current DATA will be lost.", kModeConfirmation) != kResultOk)
      return DownloadOutcome::NotStarted;
    logic.ClearCurrentData();
  } else if (logic.hasFile) {
    logic.ClearCurrentData();
  }
  logic.hasFile = false;

  const DownloadFamily& family = DownloadFamilyOf(kind);
  logic.dataType = family.dataType;
  CommSettings& settings = logic.Settings().comm;
  const bool go = dialogs.ShowCommStatus(family.command, settings);
  // "Advanced Options" may have changed the settings even when the transfer is not started.
  logic.KeepSettings();
  if (!go) return DownloadOutcome::NotStarted;

  const DownloadOptions options = DownloadOptionsOf(settings);
  const unsigned timeout = TimingValue(settings.receiveTimeout);
  // On disk before the port opens: whatever the instrument sends from then on survives a
  // crash of the program.
  std::unique_ptr<CaptureWriter> capture;
  if (!handOver.captureFolder.empty()) {
    std::string problem;
    capture =
        CaptureWriter::Create(handOver.captureFolder,
                              CaptureHeaderFor(family.word, port.DevicePathOf(PortNameOf(settings)),
                                               settings, handOver.captureDestination),
                              logic.Time(), problem);
    if (!capture && handOver.captureFailed) handOver.captureFailed(problem);
  }
  dialogs.TransferStarting();
  port.SetSettings(settings);
  if (port.OpenPort(PortNameOf(settings)) != 0 || port.ConfigurePort(timeout) != 0) {
    if (capture) capture->Finish();
    return DownloadOutcome::NotStarted;
  }

  TransferProgress& progress = dialogs.Progress();
  progress.Show(false);
  logic.EnterBusy();
  ViewReceiver viewReceiver(logic);
  CapturingReceiver receiver(viewReceiver, capture.get());
  DownloadResult result = family.protocol(port, progress, receiver, options);
  // What happened on the line, under the protocol's own message.
  if (!result.ok && !result.message.empty()) {
    const std::string why =
        ExplainLine(port.DevicePathOf(PortNameOf(settings)), port.Arrived(), viewReceiver.stored,
                    port.SinceOpen(), BaudOfRateCode(settings.rateCode), FrameText(settings));
    if (!why.empty()) result.message += "\n" + why;
  }
  if (capture) {
    if (handOver.keepCapture)
      handOver.keepCapture(std::move(capture));
    else
      logic.HoldCapture(std::move(capture));
  }
  logic.LeaveBusy();
  port.ClosePort();
  // A window kept open for its Line pane says how the download ended.
  progress.ShowDownloadEnd(result.ok, logic.View().LineCount());
  progress.Hide();
  if (!result.message.empty()) logic.ShowMessage(result.message, kModeMessage);
  if (!result.ok) return DownloadOutcome::Failed;

  if (settings.writeTextFile && family.writeTextFile) family.writeTextFile(logic, handOver);
  return DownloadOutcome::Completed;
}

}  // namespace kavex
