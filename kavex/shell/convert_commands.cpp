#include "kavex/shell/convert_commands.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "kavex/exports/dxf_export.h"
#include "kavex/exports/hk100_report.h"
#include "kavex/formats/point_lists.h"
#include "kavex/formats/text_file.h"
#include "kavex/formats/text_line_reader.h"
#include "kavex/shell/progress_gate.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

struct InputRoad {
  const char* caption;  // TCrrSaveDlg1
  const char* ext;
  const char* filter;
  const char* failed;         // the message when a renamed copy cannot be made
  const char* rewriteFailed;  // the message when "Save changes?" Yes cannot rewrite the file
  const char* missing = "Fail to open file.";  // the chosen file does not exist
};

int Fail(MainLogic& logic, const char* message) {
  logic.ShowMessage(message);
  return logic.conversionResult = kConversionFileError;
}

// Writes the view's lines without the progress window, for the steps whose failure has
// another text than "Saving Aborted.": failed is shown with the file and why.
bool WriteViewOrFail(MainLogic& logic, const fs::path& path, const char* failed) {
  std::string text;
  for (const std::string& line : logic.View().Lines()) {
    text += line;
    if (line.empty() || line.back() != '\n') text.push_back('\n');
  }
  std::string why;
  if (WriteTextFile(path, text, why)) return true;
  logic.ShowMessage(WithReason(failed, path.string(), why));
  logic.conversionResult = kConversionFileError;
  return false;
}

// The four ways to the input file. True when currentPath names the file to read;
// otherwise conversionResult says why not.
bool ReachInputFile(MainLogic& logic, const InputRoad& road) {
  DataView& view = logic.View();
  const bool modified = view.Modified();
  if (!logic.hasFile && modified) {
    // Fresh data (for example just downloaded): saved under an automatic name first.
    return logic.SaveCurrentData(road.caption, road.ext) == kConversionSuccess;
  }
  if (logic.hasFile && modified) {
    const int answer = logic.ShowMessage("Save changes?", kModeQuestion);
    if (answer == kResultYes) {
      if (!WriteViewOrFail(logic, logic.Resolve(logic.currentPath), road.rewriteFailed))
        return false;
      view.SetModified(false);
      return true;
    }
    if (answer != kResultNo) {
      logic.conversionResult = kConversionCancelled;
      return false;
    }
    // No: the changed lines go to a new file and the original file stays as it was.
    const std::optional<std::string> name = logic.MakeDefaultFileName(road.ext);
    if (!name) {
      logic.conversionResult = kConversionFileError;
      return false;
    }
    const fs::path path = logic.Resolve(*name);
    if (!logic.Ui().ConfirmSaveCurrent(road.caption, path.string())) {
      Fail(logic, road.failed);
      return false;
    }
    if (!WriteViewOrFail(logic, path, road.failed)) return false;
    logic.SetCurrentFile(path.string());
    view.SetModified(false);
    return true;
  }
  if (logic.hasFile) return true;

  FileDialogRequest request;
  request.title = "Open File";
  request.filter = road.filter;
  request.initialFolder = logic.Settings().dataDir;
  request.defaultExtension = road.ext;
  const std::optional<std::string> chosen = logic.Ui().OpenFileName(request);
  if (!chosen) {
    logic.conversionResult = kConversionCancelled;
    return false;
  }
  std::error_code ec;
  const fs::path path = logic.Resolve(*chosen);
  if (!fs::is_regular_file(path, ec)) {
    Fail(logic, road.missing);
    return false;
  }
  // The file dialog leaves the working folder at the chosen file's folder.
  if (path.has_parent_path()) logic.workDir = path.parent_path();
  logic.currentPath = path.string();
  return true;
}

// The start of every conversion run: the data view becomes the empty "(unsaved)" target.
void StartUnsavedResult(MainLogic& logic) {
  logic.hasFile = false;
  logic.ClearCurrentData();
}

// Runs a conversion between EnterBusy and LeaveBusy with a progress window, appending
// every produced line to the view. The lines reach the view, and the window repaints, a
// few times a second. False when the input cannot be opened.
template <typename Run>
auto RunIntoView(MainLogic& logic, const char* caption, Run run) {
  logic.EnterBusy();
  std::unique_ptr<ProgressSink> progress = logic.Ui().ShowProgress(caption, false);
  if (progress) progress->SetText("Converting ...");
  DataView& view = logic.View();
  std::vector<std::string> pending;
  ProgressGate gate(logic.Time());
  const auto ok = run([&](const std::string& line) { pending.push_back(line); },
                      [&](int percent) {
                        if (!gate.Open()) return;
                        view.AppendLines(pending);
                        pending.clear();
                        if (progress) progress->SetPosition(percent);
                        logic.Ui().PumpEvents();
                      });
  view.AppendLines(pending);
  progress.reset();
  logic.LeaveBusy();
  return ok;
}

}  // namespace

int ConvertToNwf(MainLogic& logic, CvtQ6to7OptionsDialog& dialog, CvtQ6to7Options& options,
                 TargetCounter& counter) {
  logic.conversionResult = kConversionNotDone;
  if (!ReachInputFile(logic, {kCvtNwfCaption, ".qr6", kQrx6OpenFilter, "Conversion failed.",
                              "Saving Aborted"})) {
    return logic.conversionResult;
  }
  if (!dialog.Run(logic.currentPath, options)) {
    return logic.conversionResult = kConversionCancelled;
  }
  const fs::path input = logic.Resolve(logic.currentPath);
  StartUnsavedResult(logic);
  const bool ok = RunIntoView(logic, "Convert QRX/WNV to NWF", [&](auto out, auto between) {
    return ConvertQrx6FileToNwf(input, options, counter, out, between);
  });
  if (!ok) return Fail(logic, "Failed to open file.");
  return logic.conversionResult = kConversionSuccess;
}

int ConvertToHkText(MainLogic& logic) {
  logic.conversionResult = kConversionNotDone;
  if (!ReachInputFile(
          logic, {kCvtHkCaption, ".hk1", kHkOpenFilter, "Conversion Failed.", "Saving Aborted."})) {
    return logic.conversionResult;
  }
  return ConvertHkFileToText(logic, logic.currentPath);
}

namespace {

struct ListCommand {
  InputRoad road;
  ListKind kind;
  const char* openFailed;
  const char* badLine;
};

int ConvertListToQrx6(MainLogic& logic, const ListCommand& command) {
  logic.conversionResult = kConversionNotDone;
  if (!ReachInputFile(logic, command.road)) return logic.conversionResult;
  const fs::path input = logic.Resolve(logic.currentPath);
  StartUnsavedResult(logic);
  ListStop stop;
  const ListFileResult result =
      RunIntoView(logic, command.road.caption, [&](auto out, auto between) {
        return WriteListFileBlocks(input, command.kind, out, between, &stop);
      });
  if (result == ListFileResult::kCannotOpen) return Fail(logic, command.openFailed);
  if (result == ListFileResult::kBadLine) {
    // The message, then the file and the line that stopped the conversion.
    logic.ShowMessage(std::string(command.badLine) + "\n" + input.string() + ": " +
                      ListStopText(stop));
    return logic.conversionResult = kConversionFileError;
  }
  return logic.conversionResult = kConversionSuccess;
}

}  // namespace

int ConvertToQrx6Coords(MainLogic& logic) {
  return ConvertListToQrx6(logic, {{kCvtCoordsCaption, ".pts", kPointsOpenFilter,
                                    "Conversion Failed.", "Saving Aborted."},
                                   ListKind::kPoints,
                                   "Failed to open file.",
                                   kInvalidPointsLine});
}

int ConvertToQrx6Codes(MainLogic& logic) {
  return ConvertListToQrx6(
      logic, {{kCvtPcodeCaption, ".cod", kCodeOpenFilter, "Conversion Failed.", "Saving Aborted."},
              ListKind::kCodes,
              "Failed to open file",
              kInvalidCodeLine});
}

int ConvertHkFileToText(MainLogic& logic, const std::string& path) {
  const fs::path input = logic.Resolve(path);
  StartUnsavedResult(logic);
  const bool ok = RunIntoView(logic, kCvtHkCaption, [&](auto out, auto between) {
    return MakeHk100ReportFromFile(input, out, between);
  });
  if (!ok) return Fail(logic, "Failed to open file.");
  // The level-book report records 0 on success, as its callers expect.
  return logic.conversionResult = kConversionNotDone;
}

int ConvertToQrx6Raw(MainLogic& logic, ConfirmDialog& dialog, NwfToQrx6Options& options) {
  logic.conversionResult = kConversionNotDone;
  if (!ReachInputFile(logic, {kCvtQrx6Caption, ".qr7", kQrx7OpenFilter, "Conversion Failed.",
                              "Saving Aborted"})) {
    return logic.conversionResult;
  }
  if (!dialog.ConfirmNwfToQrx6(logic.currentPath, options)) {
    return logic.conversionResult = kConversionCancelled;
  }
  // The current data is replaced only once the input is known to be readable.
  TextLineReader reader;
  if (!reader.Open(logic.Resolve(logic.currentPath))) return Fail(logic, "Fail to open file.");
  StartUnsavedResult(logic);
  RunIntoView(logic, "Convert NWF to QRX/WNV", [&](auto out, auto between) {
    ConvertNwfToQrx6(reader, options, out, between);
    return true;
  });
  return logic.conversionResult = kConversionSuccess;
}

int ConvertToDxf(MainLogic& logic, ConfirmDialog& dialog) {
  logic.conversionResult = kConversionNotDone;
  InputRoad road{kCvtDxfCaption, ".qr6", kDxfOpenFilter, "Conversion Failed.", "Saving Aborted"};
  road.missing = "Fail to open file";
  if (!ReachInputFile(logic, road)) return logic.conversionResult;
  const fs::path input = logic.Resolve(logic.currentPath);
  switch (CheckDxfInput(input)) {
    case DxfInput::NotOpened:
      return Fail(logic, "Loading Aborted.");
    case DxfInput::NotCoordinates:
      return Fail(logic, "Can't convert this type");
    case DxfInput::Coordinates:
      break;
  }
  if (!dialog.ConfirmDxf(logic.currentPath)) return logic.conversionResult;
  // From here on a failure is shown but conversionResult stays 0.
  if (TextLineReader probe; !probe.Open(input)) {
    logic.ShowMessage("Fail to open file.");
    return logic.conversionResult;
  }
  StartUnsavedResult(logic);
  DxfResult result = DxfResult::Done;
  RunIntoView(logic, "Convert QRX/WNV to DXF", [&](auto out, auto between) {
    result = ExportDxf(input, out, between);
    return true;
  });
  if (result != DxfResult::Done) {
    // No part of a drawing is left behind.
    logic.ClearCurrentData();
    logic.ShowMessage(result == DxfResult::InvalidData ? "Invalid data." : "Fail to open file.");
    return logic.conversionResult;
  }
  return logic.conversionResult = kConversionSuccess;
}

}  // namespace kavex
