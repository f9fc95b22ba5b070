#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "kavex/shell/print_command.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kavex {

// "Print": characters per line, line interval and font size, checked as each field is left.
// Made once; each showing starts from the stored print settings.
class TPrintOptnDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TPrintOptnDlg(QWidget* parent = nullptr);

  // What the fields show on opening.
  void SetOptions(const PrintSettings& settings);
  // What "Continue" stores: the first 3 characters of each field and the font size.
  PrintSettings options() const;

  // The checks made when a field is left. False when refused: the message has been shown
  // and the field holds the stored setting again and gets the focus back.
  bool LeaveCharsPerLine();
  bool LeaveLineInterval();

  // What the note under the fields says for the options as they stand: empty when the
  // chosen size fits the printer's page.
  void SetFitNote(std::function<std::string(const PrintSettings&)> note) {
    fitNote_ = std::move(note);
    UpdateFitNote();
  }
  void UpdateFitNote();

  // How messages reach the user (the program's message box).
  void SetMessageSink(std::function<void(const std::string&)> sink) {
    showMessage_ = std::move(sink);
  }

  QLineEdit* CharsEdit;
  QLineEdit* IntervalEdit;
  QGroupBox* FontSizeGroup;
  QRadioButton* Size6Button;
  QRadioButton* Size11Button;
  QLabel* FitNoteLabel;
  QPushButton* ContinueButton;
  QPushButton* CancelButton;

  void accept() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool Refuse(QLineEdit* edit, const std::string& stored, const char* message);

  PrintSettings stored_;
  std::function<void(const std::string&)> showMessage_;
  std::function<std::string(const PrintSettings&)> fitNote_;
  bool checking_ = false;
};

// The print options as the print command asks for them, over one persistent dialog.
class PrintOptionsPrompt final : public PrintOptionsDialog {
 public:
  explicit PrintOptionsPrompt(TPrintOptnDlg& dialog) : dialog_(dialog) {}
  bool Run(PrintSettings& settings) override;

 private:
  TPrintOptnDlg& dialog_;
};

}  // namespace kavex
