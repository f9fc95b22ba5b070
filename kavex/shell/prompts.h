#pragma once

#include <memory>
#include <optional>
#include <string>

namespace kavex {

// Dialog result codes shared by every form.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;

// Message box modes of TMBoxDlg.
inline constexpr int kModeMessage = 0;       // "OK"
inline constexpr int kModeConfirmation = 1;  // "OK" / "CANCEL"
inline constexpr int kModeQuestion = 2;      // "YES" / "NO" / "CANCEL"

struct FileDialogRequest {
  std::string title;          // e.g. "Open File"
  std::string filter;         // "Desc(*.ext)|*.ext|..." as the program writes it
  std::string initialFolder;  // dataDir
  std::string defaultExtension;
};

// A progress window (TUpDwDlg, TSaveNowDlg): shown by the core around long work.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetText(const std::string& text) = 0;
  virtual void SetPosition(int percent) = 0;  // 0..100
  // True once the user pressed the window's Cancel button (when it has one).
  virtual bool CancelRequested() = 0;
};

// Everything the Kavex core asks of the user, and the busy state of the main window.
// The Qt forms implement it; tests script the answers and record every question.
// Form-specific option dialogs (conversion options, Comm Status, ...) are separate small
// interfaces owned by the flow that needs them.
class Prompts {
 public:
  virtual ~Prompts() = default;
  // TMBoxDlg: shows text in the given mode (after the standard beep when beep is set);
  // returns 1, 2, 6 or 7.
  virtual int MessageBox(const std::string& text, int mode, bool beep = false) = 0;
  // Open and save dialogs: the chosen path, or nothing when the user cancels.
  virtual std::optional<std::string> OpenFileName(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> SaveFileName(const FileDialogRequest& request) = 0;
  // TCrrSaveDlg1: caption, "Current data are saved as :" and the file's full path; true on OK.
  virtual bool ConfirmSaveCurrent(const std::string& caption, const std::string& name) = 0;
  // Opens a progress window with a caption and optional Cancel button; nullptr in tests
  // that do not care. The window closes when the returned sink is destroyed.
  virtual std::unique_ptr<ProgressSink> ShowProgress(const std::string& caption,
                                                     bool cancellable) = 0;
  // Lets the window repaint and react to Cancel between lines or blocks.
  virtual void PumpEvents() = 0;
  // EnterBusy / LeaveBusy: menus, tool buttons, view and EDIT MODE off or on again.
  virtual void SetBusy(bool busy) = 0;
  // TDirChgDlg: starts at current; the chosen folder, or nothing on Cancel.
  virtual std::optional<std::string> ChooseFolder(const std::string& current) {
    (void)current;
    return std::nullopt;
  }
};

}  // namespace kavex
