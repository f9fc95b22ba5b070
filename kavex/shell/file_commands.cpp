// The file commands of the main window: New, Open, Save, Save as, Data Dir, start-up and
// closing.
#include <system_error>

#include "kavex/formats/text_file.h"
#include "kavex/shell/main_logic.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

constexpr const char* kDataFilter =
    "QRX-6 Data(*.qr6)|*.qr6|QRX-7 Data(*.qr7)|*.qr7|Points(*.pts)|*.pts|Code(*.cod)|*.cod|"
    "HK-100 Data(*.hk1)|*.hk1|Text(*.txt)|*.txt|All Files(*.*)|*.*";
// What can be saved: what can be opened, and the drawing of the DXF export.
constexpr const char* kSaveFilter =
    "QRX-6 Data(*.qr6)|*.qr6|QRX-7 Data(*.qr7)|*.qr7|Points(*.pts)|*.pts|Code(*.cod)|*.cod|"
    "HK-100 Data(*.hk1)|*.hk1|Text(*.txt)|*.txt|DXF(*.dxf)|*.dxf|All Files(*.*)|*.*";

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(path, ec);
}

}  // namespace

std::string DataTypeOfFile(const fs::path& path) {
  std::string ext = path.extension().string();
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (ext.size() < 2) return {};
  const std::string pattern = "|*" + ext + "|";
  return std::string(kSaveFilter).find(pattern) != std::string::npos ? ext : std::string();
}

DataFileRead ReadDataFileLines(const fs::path& path, std::vector<std::string>& lines) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return DataFileRead::kCannotRead;
  const auto size = fs::file_size(path, ec);
  if (ec) return DataFileRead::kCannotRead;
  if (size > kDataFileLimit) return DataFileRead::kTooLarge;
  std::string text;
  if (!ReadTextFile(path, text)) return DataFileRead::kCannotRead;
  lines = SplitLines(text);
  // Text mode drops a final LF, then a final CR; a long line stays whole so that saving
  // it back writes the file unchanged.
  for (std::string& line : lines)
    if (!line.empty() && line.back() == '\r') line.pop_back();
  return DataFileRead::kRead;
}

FileDialogRequest MainLogic::OpenRequest() const {
  return {"Open File", kDataFilter, settings_.dataDir, ""};
}

FileDialogRequest MainLogic::SaveRequest() const {
  return {"Save As", kSaveFilter, settings_.dataDir, dataType};
}

void MainLogic::Start(const SettingsPaths& paths, const std::string& defaultDataDir) {
  settings_ = ReadSettings(paths, defaultDataDir);
  settingsPaths_ = paths;
  settingsOnDisk_ = FormatSettings(settings_);
  if (!IsFolder(settings_.dataDir)) settings_.dataDir = defaultDataDir;
  std::error_code ec;
  workDir = IsFolder(settings_.dataDir) ? fs::absolute(settings_.dataDir, ec) : fs::path();
  view_.SetModified(false);
}

void MainLogic::New() {
  if (view_.Modified() && ShowMessage("Current DATA will be lost.", kModeConfirmation) != kResultOk)
    return;
  if (view_.Modified() || hasFile) ClearCurrentData();
  hasFile = false;
  dataType.clear();
  view_.SetModified(false);
}

void MainLogic::Open() {
  if (view_.Modified() && ShowMessage("Current DATA will be lost.", kModeConfirmation) != kResultOk)
    return;
  const std::optional<std::string> name = prompts_.OpenFileName(OpenRequest());
  if (!name) return;
  const fs::path path = Resolve(*name);
  workDir = path.parent_path();

  std::vector<std::string> lines;
  switch (ReadDataFileLines(path, lines)) {
    case DataFileRead::kCannotRead:
      ShowMessage("Fail to open file.");
      return;
    case DataFileRead::kTooLarge:
      ShowMessage(kFileTooLargeMessage);
      return;
    case DataFileRead::kRead:
      break;
  }

  EnterBusy();
  ClearCurrentData();
  SetCurrentFile(path.string());
  view_.SetLines(lines);
  prompts_.PumpEvents();
  view_.SetModified(false);
  LeaveBusy();
}

void MainLogic::Save() {
  if (hasFile || !view_.Modified()) {
    if (!view_.Modified()) return;
    if (WriteCurrentData(currentPath, true)) view_.SetModified(false);
    return;
  }
  SaveWithDialog();
}

void MainLogic::SaveAs() {
  if (!hasFile && !view_.Modified()) return;
  SaveWithDialog();
}

void MainLogic::SetDataDir(const std::string& folder) {
  settings_.dataDir = folder;
  std::error_code ec;
  workDir = fs::absolute(folder, ec);
}

void MainLogic::DataDir() {
  const std::optional<std::string> folder = prompts_.ChooseFolder(settings_.dataDir);
  if (!folder) return;
  SetDataDir(*folder);
  KeepSettings();
}

void MainLogic::KeepSettings() {
  if (!settingsPaths_) return;
  const std::string lines = FormatSettings(settings_);
  if (lines == settingsOnDisk_) return;
  if (WriteSettings(*settingsPaths_, settings_)) settingsOnDisk_ = lines;
}

bool MainLogic::Close(const SettingsPaths& paths) {
  if (!hasFile && view_.Modified()) {
    const int answer = ShowMessage("Save the current DATA?", kModeQuestion);
    if (answer == kResultCancel) return false;
    // A failed save keeps the window open: closing would throw the data away.
    if (answer == kResultYes && !SaveWithDialog()) return false;
  } else if (hasFile && view_.Modified()) {
    const int answer = ShowMessage("Save changes?", kModeQuestion);
    if (answer == kResultCancel) return false;
    if (answer == kResultYes) {
      if (!WriteCurrentData(currentPath, true)) return false;
      view_.SetModified(false);
    }
  }
  if (WriteSettings(paths, settings_)) settingsOnDisk_ = FormatSettings(settings_);
  // Saved, or let go by the answers.
  ReleaseCapture();
  return true;
}

bool MainLogic::AskOverwrite(const fs::path& chosen, fs::path& keepAs) {
  keepAs.clear();
  std::error_code ec;
  if (!fs::exists(chosen, ec)) return true;
  if (ShowMessage("File exists Overwrite?", kModeConfirmation) != kResultOk) return false;
  // Beside the chosen file, whatever folder the program happens to run in.
  keepAs = chosen.parent_path() / chosen.stem();
  keepAs += ".OLD";
  return true;
}

bool MainLogic::SaveWithDialog() {
  const std::optional<std::string> name = prompts_.SaveFileName(SaveRequest());
  if (!name) return false;
  const fs::path path = Resolve(*name);
  workDir = path.parent_path();
  fs::path keepAs;
  if (!AskOverwrite(path, keepAs)) return false;
  // A failed write leaves the chosen file and its backup as they were.
  if (!WriteCurrentData(path, true, keepAs)) return false;
  SetCurrentFile(path.string());
  view_.SetModified(false);
  return true;
}

}  // namespace kavex
