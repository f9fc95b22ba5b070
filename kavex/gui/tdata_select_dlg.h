#pragma once

#include <QDialog>
#include <optional>

#include "kavex/shell/data_edit.h"

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace kavex {

// "DataSelect": which list to start when there is no data.
class TDataSelectDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TDataSelectDlg(QWidget* parent = nullptr);
  // The choice after OK; nothing on CANCEL.
  std::optional<EditKind> Choose();
  EditKind Chosen() const;

  QGroupBox* DataSelect;
  QRadioButton* CoordinateButton;
  QRadioButton* PtCodeButton;
  QPushButton* OkButton;
  QPushButton* CancelButton;
};

}  // namespace kavex
