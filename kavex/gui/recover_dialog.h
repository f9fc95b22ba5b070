#pragma once

#include <QDialog>
#include <filesystem>
#include <vector>

#include "kavex/comm/capture_file.h"
#include "kavex/shell/main_logic.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace kavex {

// The downloads a crash, a kill or a power loss interrupted, found at start: one row each
// (started, kind, lines, destination, what its end lacks). Each can be restored into the
// current data, as if its download had ended there, or discarded; what is neither stays
// for the next start.
class TRecoverDlg : public QDialog {
 public:
  TRecoverDlg(MainLogic& logic, std::filesystem::path folder, QWidget* parent = nullptr);

  // Unfinished captures in folder (those a running download writes are not offered).
  static std::vector<CaptureInfo> Unfinished(const std::filesystem::path& folder);

  void RestoreSelected();
  void DiscardSelected();

  QTreeWidget* List() const { return list_; }
  QPushButton* RestoreButton() const { return restore_; }
  QPushButton* DiscardButton() const { return discard_; }
  QLabel* Note() const { return note_; }

 private:
  void Reload();
  const CaptureInfo* Selected() const;

  MainLogic& logic_;
  std::filesystem::path folder_;
  std::vector<CaptureInfo> captures_;
  QTreeWidget* list_;
  QLabel* note_;
  QPushButton* restore_;
  QPushButton* discard_;
};

// Shows the dialog when unfinished downloads are waiting; returns at once when none are.
void OfferCaptureRecovery(MainLogic& logic, const std::filesystem::path& folder, QWidget* parent);

}  // namespace kavex
