#pragma once

#include <QDialog>

class QPushButton;

namespace kavex {

// TAboutBox, "About Kavex": the icon, "Kavex", "Version " and the version, and "OK".
class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  QPushButton* OkButton() const { return ok_; }

 private:
  QPushButton* ok_;
};

}  // namespace kavex
