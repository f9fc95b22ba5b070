#pragma once

#include <QDialog>

#include "kavex/comm/transfer_progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kavex {

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

 protected:
  void Changed() override;

 private:
  QLabel* label1_;
  QLabel* label2_;
  QProgressBar* bar_;
  QPushButton* cancel_;
};

}  // namespace kavex
