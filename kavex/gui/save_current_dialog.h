#pragma once

#include <QDialog>

#include "kavex/gui/path_field.h"

class QLabel;
class QPushButton;

namespace kavex {

// TCrrSaveDlg1: tells the user under which automatic name the current data is saved.
class TCrrSaveDlg1 : public QDialog {
  Q_OBJECT
 public:
  explicit TCrrSaveDlg1(QWidget* parent = nullptr);

  void Setup(const QString& caption, const QString& name);
  PathField* NameField() const { return name_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  QLabel* text_;
  PathField* name_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace kavex
