#pragma once

#include <QDialog>

class QLabel;

namespace kavex {

// "Loading now . . ." while the data edit fills its table; it cannot be closed by the user.
class TLoadingDataDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TLoadingDataDlg(QWidget* parent = nullptr);
  QLabel* Label1;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace kavex
