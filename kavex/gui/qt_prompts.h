#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "kavex/shell/prompts.h"

class QWidget;

namespace kavex {

class TCrrSaveDlg1;
class TDirChgDlg;
class TMBoxDlg;
class TSaveNowDlg;

// The prompts of the core shown with the program's own dialogs, all made once and kept.
class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QWidget* parent);
  ~QtPrompts() override;

  // Called by SetBusy: the main window greys out its commands.
  void SetBusyHandler(std::function<void(bool)> handler) { busyHandler_ = std::move(handler); }

  int MessageBox(const std::string& text, int mode, bool beep = false) override;
  std::optional<std::string> OpenFileName(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFileName(const FileDialogRequest& request) override;
  bool ConfirmSaveCurrent(const std::string& caption, const std::string& name) override;
  std::unique_ptr<ProgressSink> ShowProgress(const std::string& caption, bool cancellable) override;
  void PumpEvents() override;
  void SetBusy(bool busy) override;
  std::optional<std::string> ChooseFolder(const std::string& current) override;

  TMBoxDlg& MessageDialog() { return *messageBox_; }
  TCrrSaveDlg1& SaveCurrentDialog() { return *saveCurrent_; }
  TSaveNowDlg& ProgressDialog() { return *saveNow_; }
  TDirChgDlg& FolderDialog() { return *dirChange_; }

  // "Desc(*.a)|*.a|..." as the core writes it, in the form a Qt file dialog takes.
  static QString QtFilter(const std::string& filter);
  // name with the first extension of the chosen filter ("Points (*.pts *.PTS)") when its
  // file name has none; as it is when it has one or the filter is "All Files (*)".
  static QString WithFilterExtension(const QString& name, const QString& selectedFilter);
  static QString FromPath(const std::string& path);
  static std::string ToPath(const QString& path);

 private:
  QWidget* parent_;
  TMBoxDlg* messageBox_;
  TCrrSaveDlg1* saveCurrent_;
  TSaveNowDlg* saveNow_;
  TDirChgDlg* dirChange_;
  std::function<void(bool)> busyHandler_;
};

}  // namespace kavex
