#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kavex {

// TSaveNowDlg: "Saving Now ..." with a bar 0..100 while long work runs on this thread.
// Shown without exec(); the work pumps events so it repaints and Cancel can be pressed.
class TSaveNowDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TSaveNowDlg(QWidget* parent = nullptr);

  void SetText(const QString& text);
  void SetPosition(int percent);
  void SetCancellable(bool cancellable);
  bool CancelRequested() const { return cancelRequested_; }
  void ResetCancel() { cancelRequested_ = false; }

  QLabel* TextLabel() const { return text_; }
  QProgressBar* Bar() const { return bar_; }

  // The window's close box asks to cancel when that is possible; it never just vanishes.
  void reject() override;

 private:
  QLabel* text_;
  QProgressBar* bar_;
  QPushButton* cancel_;
  bool cancelRequested_ = false;
};

}  // namespace kavex
