#include "kavex/shell/convert_commands.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "kavex/formats/text_file.h"
#include "kavex/formats/text_line_reader.h"
#include "kavex/shell/progress_gate.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

int Fail(MainLogic& logic, const std::string& message) {
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

// The start of every conversion run: the data view becomes the empty "(unsaved)" target of
// the conversion's type.
void StartUnsavedResult(MainLogic& logic, const Conversion& c) {
  logic.hasFile = false;
  logic.ClearCurrentData();
  logic.dataType = c.resultType;
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
  const Conversion& c = ConversionOf(ConversionKind::kToNwf);
  logic.conversionResult = kConversionNotDone;
  if (!ReachInputFile(logic, c.road)) return logic.conversionResult;
  if (!dialog.Run(logic.currentPath, options)) {
    return logic.conversionResult = kConversionCancelled;
  }
  const fs::path input = logic.Resolve(logic.currentPath);
  StartUnsavedResult(logic, c);
  ConversionSettings settings;
  settings.toNwf = options;
  settings.targetCounter = &counter;
  const FileConversion done = RunIntoView(logic, c.progressCaption, [&](auto out, auto between) {
    return c.run(input, settings, out, between);
  });
  if (done.status != FileConversion::kDone) return Fail(logic, done.message);
  return logic.conversionResult = kConversionSuccess;
}

int ConvertToHkText(MainLogic& logic) {
  logic.conversionResult = kConversionNotDone;
  if (!ReachInputFile(logic, ConversionOf(ConversionKind::kToHkText).road)) {
    return logic.conversionResult;
  }
  return ConvertHkFileToText(logic, logic.currentPath);
}

namespace {

int ConvertListToQrx6(MainLogic& logic, const Conversion& c) {
  logic.conversionResult = kConversionNotDone;
  if (!ReachInputFile(logic, c.road)) return logic.conversionResult;
  const fs::path input = logic.Resolve(logic.currentPath);
  StartUnsavedResult(logic, c);
  const FileConversion done = RunIntoView(logic, c.progressCaption, [&](auto out, auto between) {
    return c.run(input, {}, out, between);
  });
  // The blocks finished before a bad line stay in the view.
  if (done.status != FileConversion::kDone) return Fail(logic, done.message);
  return logic.conversionResult = kConversionSuccess;
}

}  // namespace

int ConvertToQrx6Coords(MainLogic& logic) {
  return ConvertListToQrx6(logic, ConversionOf(ConversionKind::kToCoordinates));
}

int ConvertToQrx6Codes(MainLogic& logic) {
  return ConvertListToQrx6(logic, ConversionOf(ConversionKind::kToPointCodes));
}

int ConvertHkFileToText(MainLogic& logic, const std::string& path) {
  const Conversion& c = ConversionOf(ConversionKind::kToHkText);
  const fs::path input = logic.Resolve(path);
  StartUnsavedResult(logic, c);
  const FileConversion done = RunIntoView(logic, c.progressCaption, [&](auto out, auto between) {
    return c.run(input, {}, out, between);
  });
  if (done.status != FileConversion::kDone) return Fail(logic, done.message);
  // The level-book report records 0 on success, as its callers expect.
  return logic.conversionResult = kConversionNotDone;
}

int ConvertToQrx6Raw(MainLogic& logic, ConfirmDialog& dialog, NwfToQrx6Options& options) {
  const Conversion& c = ConversionOf(ConversionKind::kToQrx6);
  logic.conversionResult = kConversionNotDone;
  if (!ReachInputFile(logic, c.road)) return logic.conversionResult;
  if (!dialog.ConfirmNwfToQrx6(logic.currentPath, options)) {
    return logic.conversionResult = kConversionCancelled;
  }
  // The current data is replaced only once the input is known to be readable.
  const fs::path input = logic.Resolve(logic.currentPath);
  if (TextLineReader probe; !probe.Open(input)) return Fail(logic, kFailToOpenMessage);
  StartUnsavedResult(logic, c);
  ConversionSettings settings;
  settings.toQrx6 = options;
  const FileConversion done = RunIntoView(logic, c.progressCaption, [&](auto out, auto between) {
    return c.run(input, settings, out, between);
  });
  if (done.status != FileConversion::kDone) return Fail(logic, done.message);
  return logic.conversionResult = kConversionSuccess;
}

int ConvertToDxf(MainLogic& logic, ConfirmDialog& dialog) {
  const Conversion& c = ConversionOf(ConversionKind::kToDxf);
  logic.conversionResult = kConversionNotDone;
  if (!ReachInputFile(logic, c.road)) return logic.conversionResult;
  const fs::path input = logic.Resolve(logic.currentPath);
  if (const FileConversion checked = c.check(input); checked.status != FileConversion::kDone)
    return Fail(logic, checked.message);
  if (!dialog.ConfirmDxf(logic.currentPath)) return logic.conversionResult;
  // From here on a failure is shown but conversionResult stays 0.
  if (TextLineReader probe; !probe.Open(input)) {
    logic.ShowMessage(kFailToOpenMessage);
    return logic.conversionResult;
  }
  StartUnsavedResult(logic, c);
  const FileConversion done = RunIntoView(logic, c.progressCaption, [&](auto out, auto between) {
    return c.run(input, {}, out, between);
  });
  if (done.status != FileConversion::kDone) {
    // No part of a drawing is left behind.
    logic.ClearCurrentData();
    logic.ShowMessage(done.message);
    return logic.conversionResult;
  }
  return logic.conversionResult = kConversionSuccess;
}

}  // namespace kavex
