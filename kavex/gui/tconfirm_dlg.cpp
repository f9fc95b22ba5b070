#include "kavex/gui/tconfirm_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "kavex/gui/path_field.h"
#include "kavex/gui/qt_prompts.h"

namespace kavex {
namespace {

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QGroupBox* RowGroup(const char* name, const QString& title, std::initializer_list<QWidget*> items) {
  auto* group = Named(new QGroupBox(title), name);
  auto* layout = new QHBoxLayout(group);
  for (QWidget* w : items) layout->addWidget(w);
  layout->addStretch();
  return group;
}

}  // namespace

TConfirmDlg::TConfirmDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("TConfirmDlg");
  Label1 = Named(new QLabel, "Label1");
  QFont title = Label1->font();
  title.setBold(true);
  Label1->setFont(title);
  Label2 = Named(new QLabel("Current :"), "Label2");
  Edit1 = Named(new PathField, "Edit1");
  Edit1->setMinimumWidth(Edit1->fontMetrics().averageCharWidth() * kPathFieldCharacters);

  RBwc0 = Named(new QRadioButton("0"), "RBwc0");
  RBwc014 = Named(new QRadioButton("0.14"), "RBwc014");
  RBwc02 = Named(new QRadioButton("0.2"), "RBwc02");
  RBwc0->setChecked(true);
  GroupBox1 = RowGroup("GroupBox1", "W-CORRECTION", {RBwc0, RBwc014, RBwc02});
  DegreeButton = Named(new QRadioButton("Degree"), "DegreeButton");
  GonButton = Named(new QRadioButton("Gon"), "GonButton");
  DegreeButton->setChecked(true);
  RadioGroup2 = RowGroup("RadioGroup2", "Angle Unit", {DegreeButton, GonButton});
  MeterButton = Named(new QRadioButton("Meter"), "MeterButton");
  FeetButton = Named(new QRadioButton("Feet"), "FeetButton");
  MeterButton->setChecked(true);
  RadioGroup3 = RowGroup("RadioGroup3", "Distance Unit", {MeterButton, FeetButton});

  OkButton = Named(new QPushButton("OK"), "OkButton");
  CancelButton = Named(new QPushButton("CANCEL"), "CancelButton");
  OkButton->setDefault(true);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  auto* file = new QHBoxLayout;
  file->addWidget(Label2);
  file->addWidget(Edit1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addLayout(file);
  layout->addWidget(GroupBox1);
  layout->addWidget(RadioGroup2);
  layout->addWidget(RadioGroup3);
  layout->addStretch();
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TConfirmDlg::SetTitle(const char* title, const QString& currentFile) {
  setWindowTitle(QString::fromLatin1(title));
  Label1->setText(QString::fromLatin1(title));
  Edit1->SetPath(currentFile);
}

void TConfirmDlg::ShowChoices(bool shown) {
  // Hidden choices take no room, so the buttons move up under the file name.
  GroupBox1->setVisible(shown);
  RadioGroup2->setVisible(shown);
  RadioGroup3->setVisible(shown);
}

void TConfirmDlg::SetupNwfToQrx6(const QString& currentFile, const NwfToQrx6Options& options) {
  SetTitle("Convert NWF to QRX/WNV", currentFile);
  ShowChoices(true);
  (options.k == 0.0 ? RBwc0 : options.k == 0.14 ? RBwc014 : RBwc02)->setChecked(true);
  (options.angleUnit == 'D' ? DegreeButton : GonButton)->setChecked(true);
  (options.distanceUnit == 'M' ? MeterButton : FeetButton)->setChecked(true);
}

void TConfirmDlg::SetupDxf(const QString& currentFile) {
  SetTitle("Convert QRX/WNV to DXF", currentFile);
  ShowChoices(false);
}

NwfToQrx6Options TConfirmDlg::options() const {
  NwfToQrx6Options o;
  o.k = RBwc0->isChecked() ? 0.0 : RBwc014->isChecked() ? 0.14 : 0.2;
  o.angleUnit = DegreeButton->isChecked() ? 'D' : 'G';
  o.distanceUnit = MeterButton->isChecked() ? 'M' : 'F';
  return o;
}

void TConfirmDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!GroupBox1->isVisible()) {
    OkButton->setFocus();
    return;
  }
  for (QRadioButton* b : {RBwc0, RBwc014, RBwc02}) {
    if (b->isChecked()) b->setFocus();
  }
}

bool ConfirmDialogPrompt::ConfirmNwfToQrx6(const std::string& currentFile,
                                           NwfToQrx6Options& options) {
  TConfirmDlg dialog(parent_);
  dialog.SetupNwfToQrx6(QtPrompts::FromPath(currentFile), options);
  if (dialog.exec() != QDialog::Accepted) return false;
  options = dialog.options();
  return true;
}

bool ConfirmDialogPrompt::ConfirmDxf(const std::string& currentFile) {
  TConfirmDlg dialog(parent_);
  dialog.SetupDxf(QtPrompts::FromPath(currentFile));
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace kavex
