#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QPushButton;
class QTimer;
class QTreeView;

namespace kavex {

// TDirChgDlg, "Select Data Directory": a drive box (the mounted volumes), a folder list
// and "OK"/"CANCEL".
class TDirChgDlg : public QDialog {
  Q_OBJECT
 public:
  struct Options {
    QString folder;
  };

  explicit TDirChgDlg(QWidget* parent = nullptr);

  // Shows the folder (and selects its drive).
  void SetOptions(const Options& options);
  Options options() const;

  // How "Device not ready." is shown (the program's message box).
  void SetMessageHandler(std::function<void(const QString&)> handler) {
    showMessage_ = std::move(handler);
  }

  QComboBox* DriveBox() const { return drives_; }
  QTreeView* FolderList() const { return folders_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  void FillDrives();
  void DriveChosen(int index);
  void ShowFolder(const QString& folder);
  // Selects the shown folder and scrolls it into the middle of the tree.
  void Reveal();

  QComboBox* drives_;
  QTreeView* folders_;
  QLabel* path_;
  QFileSystemModel* model_;
  QPushButton* ok_;
  QPushButton* cancel_;
  int driveIndex_ = -1;
  // The folder the dialog opened at, kept in view until the user chooses another.
  QString shown_;
  QTimer* reveal_;
  std::function<void(const QString&)> showMessage_;
};

}  // namespace kavex
