#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kavex/comm/clock.h"
#include "kavex/shell/data_view.h"
#include "kavex/shell/prompts.h"
#include "kavex/shell/settings_file.h"

namespace kavex {

class CaptureWriter;

// conversionResult values.
inline constexpr int kConversionSuccess = 1;
inline constexpr int kConversionNotDone = 0;
inline constexpr int kConversionCancelled = 2;
inline constexpr int kConversionFileError = -1;

// A message with the file or device and the operating system's reason on a line of their
// own under it, as the command line prints them: "Saving Aborted.\n/data/job.qr6: ...".
std::string WithReason(const std::string& message, const std::string& where,
                       const std::string& why);

// The extension of path (lower case) when the save dialog offers its type; "" otherwise.
std::string DataTypeOfFile(const std::filesystem::path& path);

// The logic behind TMainForm: the current data, its file commands and the helpers every
// transfer and conversion uses. Talks only to its seams; the Qt form shows what it decides.
class MainLogic {
 public:
  MainLogic(DataView& view, Prompts& prompts, Clock& clock);
  ~MainLogic();
  MainLogic(const MainLogic&) = delete;
  MainLogic& operator=(const MainLogic&) = delete;

  DataView& View() { return view_; }
  Prompts& Ui() { return prompts_; }
  Clock& Time() { return clock_; }
  KavexSettings& Settings() { return settings_; }

  // State of the current data.
  bool hasFile = false;
  std::string currentPath;
  int conversionResult = kConversionNotDone;
  // The extension of the type of what the current data holds, "" when not known: the save
  // dialog offers and preselects it, so a drawing saved as "plot" becomes plot.dxf.
  std::string dataType;
  // The working folder: automatic names are made here and relative names resolved
  // against it. It starts as dataDir; a file dialog moves it to the chosen file's folder.
  std::filesystem::path workDir;

  // --- helpers used by every command ---
  void EnterBusy();
  void LeaveBusy();
  // The message box; returns 1, 2, 6 or 7.
  int ShowMessage(const std::string& text, int mode = kModeMessage, bool beep = false);
  // Label "(unsaved)", no lines, modified flag cleared.
  void ClearCurrentData();
  // YYMMDDnn plus the extension, the first name not present in workDir. Nothing when all
  // 99 names exist (the message has then been shown).
  std::optional<std::string> MakeDefaultFileName(const std::string& ext);
  // The save-current-data step. Returns and records in conversionResult: 1 saved,
  // 2 cancelled, -1 not written ("Saving Aborted." shown).
  int SaveCurrentData(const std::string& caption, const std::string& ext);
  // Writes every line of the view followed by a line end (CR LF on disk). False when the
  // file cannot be written ("Saving Aborted." and why shown); with progress, "Saving Now ..."
  // is shown meanwhile. keepAs: the backup name of an existing file (see WriteTextFile).
  bool WriteCurrentData(const std::filesystem::path& path, bool withProgress,
                        const std::filesystem::path& keepAs = {});

  // The capture of the download the current data holds: removed once those lines are in a
  // file on disk or the user lets them go (New, Open, another download, closing without
  // saving), so a crash of the window meanwhile leaves them for the next start.
  void HoldCapture(std::unique_ptr<CaptureWriter> capture);
  // The same for a capture file already closed (the data kept after an unexpected error).
  void HoldCaptureFile(const std::filesystem::path& file);

  // Resolves a name against workDir (absolute paths stay as they are).
  std::filesystem::path Resolve(const std::string& name) const;
  // Sets currentPath, the label and hasFile for a file the data now belongs to; its
  // extension, when the save dialog offers it, becomes dataType.
  void SetCurrentFile(const std::string& path);

  // --- the file commands of the main window ---
  void New();
  void Open();
  void Save();
  void SaveAs();
  // Data Dir: the chosen folder becomes dataDir and the dialogs' initial folder.
  void SetDataDir(const std::string& folder);
  // The Data Dir command: TDirChgDlg, then SetDataDir on OK.
  void DataDir();
  // Closing: the questions about unsaved data, then the settings are written. False when
  // the window must stay open.
  bool Close(const SettingsPaths& paths);
  // Start-up after the splash: settings read, the data directory entered.
  void Start(const SettingsPaths& paths, const std::string& defaultDataDir);
  // After OK in a settings dialog: writes the settings file (as closing does) when the
  // settings differ from what it holds, so a killed program keeps them. Nothing before
  // Start.
  void KeepSettings();

  // The open-dialog request that the file commands and conversions share.
  FileDialogRequest OpenRequest() const;
  FileDialogRequest SaveRequest() const;

 private:
  // The backup step before overwriting: "File exists Overwrite?" for an existing file.
  // False when the user cancels; otherwise keepAs names the backup (name.OLD beside it),
  // made by the write once the new file is complete.
  bool AskOverwrite(const std::filesystem::path& chosen, std::filesystem::path& keepAs);
  // Save dialog, backup step and write, as Save, Save as and closing share them.
  // Returns true when the data was written.
  bool SaveWithDialog();
  void ReleaseCapture();

  DataView& view_;
  Prompts& prompts_;
  Clock& clock_;
  KavexSettings settings_;
  std::optional<SettingsPaths> settingsPaths_;
  std::string settingsOnDisk_;  // the settings file's lines as last read or written
  std::unique_ptr<CaptureWriter> capture_;
  std::filesystem::path captureFile_;
};

}  // namespace kavex
