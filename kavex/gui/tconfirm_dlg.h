#pragma once

#include <QDialog>
#include <QString>

#include "kavex/formats/nwf_to_qrx6.h"
#include "kavex/gui/path_field.h"
#include "kavex/shell/convert_commands.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace kavex {

// The confirmation before the conversion to QRX-6 and the DXF export: the input file and,
// for the conversion, the W-CORRECTION, angle unit and distance unit choices. Built for
// one of the two uses and read back with options(), so it can be checked without exec().
class TConfirmDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TConfirmDlg(QWidget* parent = nullptr);

  // "Convert NWF to QRX/WNV": every choice shown, starting from options.
  void SetupNwfToQrx6(const QString& currentFile, const NwfToQrx6Options& options);
  // "Convert QRX/WNV to DXF": only the file and OK / CANCEL.
  void SetupDxf(const QString& currentFile);

  NwfToQrx6Options options() const;

  QLabel* Label1;
  QLabel* Label2;
  PathField* Edit1;
  QGroupBox* GroupBox1;
  QRadioButton* RBwc0;
  QRadioButton* RBwc014;
  QRadioButton* RBwc02;
  QGroupBox* RadioGroup2;
  QRadioButton* DegreeButton;
  QRadioButton* GonButton;
  QGroupBox* RadioGroup3;
  QRadioButton* MeterButton;
  QRadioButton* FeetButton;
  QPushButton* OkButton;
  QPushButton* CancelButton;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void SetTitle(const char* title, const QString& currentFile);
  void ShowChoices(bool shown);
};

// TConfirmDlg as the commands ask for it, shown modally over the main window for each run.
class ConfirmDialogPrompt final : public ConfirmDialog {
 public:
  explicit ConfirmDialogPrompt(QWidget* parent) : parent_(parent) {}
  bool ConfirmNwfToQrx6(const std::string& currentFile, NwfToQrx6Options& options) override;
  bool ConfirmDxf(const std::string& currentFile) override;

 private:
  QWidget* parent_;
};

}  // namespace kavex
