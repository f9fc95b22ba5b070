#include "kavex/shell/main_logic.h"

#include <system_error>

#include "kavex/comm/capture_file.h"
#include "kavex/formats/text_file.h"
#include "kavex/formats/text_format.h"
#include "kavex/shell/progress_gate.h"

namespace fs = std::filesystem;

namespace kavex {

std::string WithReason(const std::string& message, const std::string& where,
                       const std::string& why) {
  return message + "\n" + where + ": " + why;
}

MainLogic::MainLogic(DataView& view, Prompts& prompts, Clock& clock)
    : view_(view), prompts_(prompts), clock_(clock) {}

// A capture still held stays on disk, as after a crash: its lines reached no file.
MainLogic::~MainLogic() = default;

void MainLogic::HoldCapture(std::unique_ptr<CaptureWriter> capture) {
  ReleaseCapture();
  capture_ = std::move(capture);
}

void MainLogic::HoldCaptureFile(const fs::path& file) {
  ReleaseCapture();
  captureFile_ = file;
}

void MainLogic::ReleaseCapture() {
  if (capture_) capture_->Finish();
  capture_.reset();
  if (!captureFile_.empty()) DiscardCapture(captureFile_);
  captureFile_.clear();
}

void MainLogic::EnterBusy() {
  prompts_.SetBusy(true);
}
void MainLogic::LeaveBusy() {
  prompts_.SetBusy(false);
}

int MainLogic::ShowMessage(const std::string& text, int mode, bool beep) {
  return prompts_.MessageBox(text, mode, beep);
}

void MainLogic::ClearCurrentData() {
  ReleaseCapture();
  view_.SetFileLabel("(unsaved)");
  view_.ClearLines();
  view_.SetModified(false);
}

std::optional<std::string> MainLogic::MakeDefaultFileName(const std::string& ext) {
  std::string extension;
  if (!ext.empty() && ext[0] == '.') {
    extension = ext.substr(0, 4);
  } else {
    extension = "." + ext.substr(0, 3);
  }
  const CalendarDate today = clock_.Today();
  const std::string date = Format("%04d%02d%02d", today.year, today.month, today.day).substr(2);
  for (int n = 1; n <= 99; ++n) {
    const std::string name = date + Format("%02d", n) + extension;
    std::error_code ec;
    if (!fs::exists(Resolve(name), ec)) return name;
  }
  // Every automatic name of the day is taken: overwriting one would destroy earlier data.
  ShowMessage("No free file name: " + date + "01" + extension + " to " + date + "99" + extension +
              " all exist.");
  return std::nullopt;
}

int MainLogic::SaveCurrentData(const std::string& caption, const std::string& ext) {
  const std::optional<std::string> name = MakeDefaultFileName(ext);
  if (!name) return conversionResult = kConversionFileError;
  const fs::path path = Resolve(*name);
  // The full path: the folder is where the user will look for the file.
  if (!prompts_.ConfirmSaveCurrent(caption, path.string()))
    return conversionResult = kConversionCancelled;
  if (!WriteCurrentData(path, false)) return conversionResult = kConversionFileError;
  SetCurrentFile(path.string());
  view_.SetModified(false);
  return conversionResult = kConversionSuccess;
}

bool MainLogic::WriteCurrentData(const fs::path& path, bool withProgress, const fs::path& keepAs) {
  const std::vector<std::string> lines = view_.Lines();
  std::unique_ptr<ProgressSink> progress;
  if (withProgress) {
    progress = prompts_.ShowProgress("Kavex", false);
    if (progress) progress->SetText("Saving Now ...");
  }
  std::string text;
  const size_t n = lines.size();
  ProgressGate gate(clock_);
  if (progress) progress->SetPosition(0);
  for (size_t i = 0; i < n; ++i) {
    if (progress && gate.Open()) {
      progress->SetPosition(static_cast<int>(i * 100 / n));
      prompts_.PumpEvents();
    }
    text += lines[i];
    // A line that already ends with a line feed is written as it stands.
    if (lines[i].empty() || lines[i].back() != '\n') text.push_back('\n');
  }
  if (progress) progress->SetPosition(100);
  progress.reset();
  if (std::string why; !WriteTextFile(path, text, why, keepAs)) {
    ShowMessage(WithReason("Saving Aborted.", path.string(), why));
    return false;
  }
  // The lines are on disk now: their capture has done its work.
  ReleaseCapture();
  return true;
}

fs::path MainLogic::Resolve(const std::string& name) const {
  const fs::path p(name);
  if (p.is_absolute() || workDir.empty()) return p;
  return workDir / p;
}

void MainLogic::SetCurrentFile(const std::string& path) {
  dataType = DataTypeOfFile(path);
  currentPath = path;
  hasFile = true;
  view_.SetFileLabel(currentPath);
}

}  // namespace kavex
