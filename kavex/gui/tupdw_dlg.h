#pragma once

#include <QDialog>

#include "kavex/comm/trace_model.h"
#include "kavex/comm/transfer_progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kavex {

class LinePane;

// "Download/Upload": the progress window of every transfer and of the conversions. Stays
// on top and does not block the main window; shows what the core's TransferProgress says.
class TUpDwDlg : public QDialog, public TransferProgress {
  Q_OBJECT

 public:
  explicit TUpDwDlg(QWidget* parent = nullptr);

  QLabel* FirstLabel() const { return label1_; }
  QLabel* SecondLabel() const { return label2_; }
  QProgressBar* Bar() const { return bar_; }
  QPushButton* CancelButton() const { return cancel_; }

  // Adds the collapsible "Line" pane showing model. While it is open the window stays after
  // the transfer ends (its button then reads CLOSE), so a failed transfer's trace can still
  // be read and saved.
  void AttachLinePane(TraceModel& model);
  LinePane* Pane() const { return pane_; }
  // A transfer (not a conversion) is about to show the window.
  void BeginTransfer() { inTransfer_ = true; }

 protected:
  void Changed() override;

 private:
  QLabel* label1_;
  QLabel* label2_;
  QProgressBar* bar_;
  QPushButton* cancel_;
  LinePane* pane_ = nullptr;
  bool inTransfer_ = false;
  bool keptOpen_ = false;  // the transfer ended; shown for the open pane only

  void FitPane();
};

}  // namespace kavex
