#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace kavex {

// TMBoxDlg: the one message box of the program. Mode 0 "OK", mode 1 "OK"/"CANCEL",
// mode 2 "YES"/"NO"/"CANCEL"; exec() returns 1, 2, 6 or 7.
class TMBoxDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TMBoxDlg(QWidget* parent = nullptr);

  // Sets the text and the buttons of the mode, and sizes the window for them. The caption
  // is "Kavex" except for the few boxes that name their own.
  void Setup(const QString& text, int mode, const QString& caption = QStringLiteral("Kavex"));
  // 6 pixels per character plus 35, widened to the mode's minimum when it is narrower.
  static int WidthFor(int characters, int mode);
  static constexpr int kHeight = 120;

  QString Text() const;
  int Mode() const { return mode_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  QPushButton* YesButton() const { return yes_; }
  QPushButton* NoButton() const { return no_; }

  // Closing the window or Escape is "CANCEL".
  void reject() override;

 private:
  QLabel* text_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QPushButton* yes_;
  QPushButton* no_;
  int mode_ = 0;
};

}  // namespace kavex
