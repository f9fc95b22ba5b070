#pragma once

#include <QDialog>

#include "kavex/shell/data_edit.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace kavex {

// "confirm to update": asked before the data edit writes its list back. Made once, so the
// check box keeps its state from one showing to the next.
class TUpdateConfDlg : public QDialog, public UpdateConfirmation {
  Q_OBJECT
 public:
  explicit TUpdateConfDlg(QWidget* parent = nullptr);

  bool Run() override { return exec() == QDialog::Accepted; }
  bool DontDisplay() const override;

  QLabel* Label1;
  QCheckBox* CheckBox1;
  QPushButton* OkButton;
  QPushButton* CancelButton;
};

}  // namespace kavex
