#pragma once

#include <QDialog>

class QPushButton;

namespace kavex {

// TAboutBox, "About Kavex": the icon, "Kavex", "Version 1.3" and "OK".
class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  QPushButton* OkButton() const { return ok_; }

 private:
  QPushButton* ok_;
};

}  // namespace kavex
