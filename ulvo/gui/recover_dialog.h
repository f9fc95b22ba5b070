#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ulvo/shell/translations.h"
#include "ulvo/transfer/capture_file.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace ulvo {

// The receives a crash, a kill or a power loss interrupted, found at start: one row each
// (started, instrument and kind, bytes, destination, what its end lacks). Each can be
// restored into its destination (asking before anything is replaced) or into a file the
// user chooses, or discarded; what is neither stays for the next start.
class CRecoverDlg : public QDialog {
 public:
  CRecoverDlg(const Translations& texts, std::filesystem::path folder, QWidget* parent = nullptr);

  // Unfinished captures in folder (those a running receive writes are not offered).
  static std::vector<CaptureInfo> Unfinished(const std::filesystem::path& folder);

  // Asks a yes/no question; the dialog's own message box unless replaced (tests).
  std::function<bool(const QString& question)> askYesNo;
  // Asks where to write; empty when the user cancels.
  std::function<std::filesystem::path(const std::filesystem::path& suggested)> chooseFile;

  void RestoreSelected();
  void RestoreSelectedTo();
  void DiscardSelected();

  QTreeWidget* List() const { return list_; }
  QPushButton* RestoreButton() const { return restore_; }
  QPushButton* RestoreToButton() const { return restoreTo_; }
  QPushButton* DiscardButton() const { return discard_; }
  QLabel* Note() const { return note_; }

 private:
  void Reload();
  const CaptureInfo* Selected() const;
  // Writes the selected capture to path (replacing only after a yes), then removes it.
  void RestoreInto(const CaptureInfo& capture, const std::filesystem::path& path);
  QString Text(const char* key, const char* text) const;

  const Translations& texts_;
  std::filesystem::path folder_;
  std::vector<CaptureInfo> captures_;
  QTreeWidget* list_;
  QLabel* note_;
  QPushButton* restore_;
  QPushButton* restoreTo_;
  QPushButton* discard_;
};

// Shows the dialog when unfinished receives are waiting; returns at once when none are.
void OfferCaptureRecovery(const Translations& texts, const std::filesystem::path& folder,
                          QWidget* parent);

}  // namespace ulvo
