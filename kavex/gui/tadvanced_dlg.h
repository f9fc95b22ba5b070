#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "kavex/comm/comm_dialog_rules.h"
#include "kavex/comm/comm_settings.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kavex {

struct AdvancedOptions {
  CommSettings settings;            // the timing texts and check boxes shown
  AdvancedPreparation preparation;  // what the transfer command enables and shows
};

// "Advanced Options": block interval, delay time and receiving time-out with their range
// checks, and the three check boxes.
class TAdvancedDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TAdvancedDlg(const AdvancedOptions& options, QWidget* parent = nullptr);

  void SetOptions(const AdvancedOptions& options);
  // What "OK" stores: the first 4, 3 and 5 characters of the fields and the check boxes.
  AdvancedOptions options() const;

  // The check made when a field loses the focus. False when the value was out of range: the
  // message has been shown and the field holds the stored setting again.
  bool LeaveField(int index);
  // Enter in a field: the next enabled field, else "OK".
  QWidget* NextAfter(int index) const;

  // How messages reach the user (the program's message box); a plain box by default.
  void SetMessageSink(std::function<void(const std::string&)> sink) {
    showMessage_ = std::move(sink);
  }

  QLineEdit* Field(int index) const { return fields_[index]; }
  QCheckBox* CheckBlockNumber() const { return checkNumber_; }
  QCheckBox* CheckBlockSum() const { return checkSum_; }
  QCheckBox* AddEndBlock() const { return addEnd_; }
  QPushButton* OkButton() const { return ok_; }

  void accept() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::string StoredText(int index) const;

  AdvancedOptions options_;
  QLineEdit* fields_[3];
  QCheckBox* checkNumber_;
  QCheckBox* checkSum_;
  QCheckBox* addEnd_;
  QPushButton* ok_;
  QPushButton* cancel_;
  std::function<void(const std::string&)> showMessage_;
  bool checking_ = false;
};

}  // namespace kavex
