#include "kavex/shell/upload_commands.h"

#include <filesystem>

#include "kavex/shell/convert_commands.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

// Steps 1 and 2: unsaved data is saved first. False when the upload must stop.
bool SaveFirst(MainLogic& logic, const UploadFamily& family) {
  DataView& view = logic.View();
  if (!logic.hasFile && view.Modified())
    return logic.SaveCurrentData(family.saveCaption, family.extension) == kConversionSuccess;
  if (logic.hasFile && view.Modified()) {
    const int answer = logic.ShowMessage("Save changes?", kModeQuestion);
    if (answer == kResultYes) {
      if (!logic.WriteCurrentData(logic.Resolve(logic.currentPath), false)) return false;
      view.SetModified(false);
      return true;
    }
    return answer == kResultNo;
  }
  return true;
}

// Step 5: with nothing to send, a file becomes the current data. Lines stay whole as Open
// keeps them, so the view saves back unchanged.
bool LoadFileToSend(MainLogic& logic, const UploadFamily& family) {
  FileDialogRequest request;
  request.title = "Open File";
  request.filter = family.openFilter;
  request.initialFolder = logic.Settings().dataDir;
  const std::optional<std::string> chosen = logic.Ui().OpenFileName(request);
  if (!chosen) return false;
  const fs::path path = logic.Resolve(*chosen);
  if (path.has_parent_path()) logic.workDir = path.parent_path();
  std::vector<std::string> lines;
  const DataFileRead read = ReadDataFileLines(path, lines);
  if (read != DataFileRead::kRead) {
    logic.ShowMessage(read == DataFileRead::kTooLarge ? kFileTooLargeMessage
                                                      : "Fail to open file.");
    return false;
  }
  logic.EnterBusy();
  logic.ClearCurrentData();
  logic.SetCurrentFile(path.string());
  logic.View().SetLines(lines);
  logic.View().SetModified(false);
  logic.LeaveBusy();
  return true;
}

}  // namespace

UploadOutcome RunUpload(UploadKind kind, MainLogic& logic, CommPort& port, TransferDialogs& dialogs,
                        PointDetailsDialog& detailsDialog, PointDetails& details) {
  const UploadFamily& family = UploadFamilyOf(kind);
  if (!SaveFirst(logic, family)) return UploadOutcome::NotStarted;

  CommSettings& settings = logic.Settings().comm;
  const bool go = dialogs.ShowCommStatus(family.command, settings);
  // "Advanced Options" may have changed the settings even when the transfer is not started.
  logic.KeepSettings();
  if (!go) return UploadOutcome::NotStarted;

  if (family.readTextFile && settings.readTextFile) {
    logic.hasFile = false;
    logic.ClearCurrentData();
    if (family.readTextFile(logic) != kConversionSuccess) return UploadOutcome::NotStarted;
  } else if (!logic.hasFile && !logic.View().Modified()) {
    if (!LoadFileToSend(logic, family)) return UploadOutcome::NotStarted;
  }

  // Checked before anything is asked or sent: a cut line would reach the instrument as
  // something else than the file holds.
  const std::vector<std::string> lines = logic.View().Lines();
  if (const std::optional<std::string> tooLong = UploadLineTooLong(lines)) {
    logic.ShowMessage(*tooLong);
    return UploadOutcome::NotStarted;
  }

  std::string initialBlock;
  if (family.pointDetails) {
    if (!detailsDialog.Run(details)) return UploadOutcome::NotStarted;
    const std::optional<std::string> block = MakeInitialBlock(details);
    if (!block) {
      logic.ShowMessage("Data error.");
      return UploadOutcome::NotStarted;
    }
    initialBlock = *block;
  }

  const UploadOptions options = UploadOptionsOf(settings);
  dialogs.TransferStarting();
  port.SetSettings(settings);
  if (port.OpenPort(PortNameOf(settings)) != 0) return UploadOutcome::NotStarted;
  if (port.ConfigurePort(TimingValue(settings.receiveTimeout)) != 0)
    return UploadOutcome::NotStarted;
  port.StartTimer();

  TransferProgress& progress = dialogs.Progress();
  logic.EnterBusy();
  const UploadResult result = family.protocol(
      port, progress, [&logic] { logic.Ui().PumpEvents(); }, lines, options, initialBlock);
  port.ClosePort();
  progress.Hide();
  if (!result.message.empty()) {
    // Blocks already sent stay sent: say how far the upload came.
    logic.ShowMessage(result.message + "\n" + UploadStoppedNote(result));
  }
  logic.LeaveBusy();
  if (result.ok) return UploadOutcome::Completed;
  return result.cancelled ? UploadOutcome::Cancelled : UploadOutcome::Failed;
}

}  // namespace kavex
