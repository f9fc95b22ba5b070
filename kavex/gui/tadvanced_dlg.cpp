#include "kavex/gui/tadvanced_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kavex {

TAdvancedDlg::TAdvancedDlg(const AdvancedOptions& options, QWidget* parent) : QDialog(parent) {
  setObjectName("AdvancedDlg");
  setWindowTitle("Advanced Options");
  auto* grid = new QGridLayout;
  for (int i = 0; i < 3; ++i) {
    const AdvancedField& f = AdvancedFieldAt(i);
    auto* label = new QLabel(QString::fromLatin1(f.caption), this);
    fields_[i] = new QLineEdit(this);
    fields_[i]->setObjectName(QString("Edit%1").arg(i + 1));
    fields_[i]->setToolTip(QString::fromLatin1(f.hint));
    // Any text may be typed: it is checked when the field is left, with its message.
    fields_[i]->installEventFilter(this);
    grid->addWidget(label, i, 0);
    grid->addWidget(fields_[i], i, 1);
    connect(fields_[i], &QLineEdit::returnPressed, this, [this, i] {
      if (QWidget* next = NextAfter(i)) next->setFocus();
    });
  }
  checkNumber_ = new QCheckBox("Check block number", this);
  checkSum_ = new QCheckBox("Check block sum", this);
  addEnd_ = new QCheckBox("Add END block", this);
  ok_ = new QPushButton("OK", this);
  cancel_ = new QPushButton("CANCEL", this);
  // Enter moves between the fields; it must not close the dialog.
  ok_->setAutoDefault(false);
  cancel_->setAutoDefault(false);
  cancel_->hide();
  connect(ok_, &QPushButton::clicked, this, &TAdvancedDlg::accept);
  connect(cancel_, &QPushButton::clicked, this, &TAdvancedDlg::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(checkNumber_);
  layout->addWidget(checkSum_);
  layout->addWidget(addEnd_);
  layout->addLayout(buttons);

  showMessage_ = [this](const std::string& text) {
    QMessageBox::warning(this, "Kavex", QString::fromLatin1(text.c_str()));
  };
  SetOptions(options);
}

void TAdvancedDlg::SetOptions(const AdvancedOptions& options) {
  options_ = options;
  for (int i = 0; i < 3; ++i) fields_[i]->setText(QString::fromLatin1(StoredText(i).c_str()));
  const AdvancedPreparation& p = options.preparation;
  fields_[0]->setEnabled(p.blockIntervalEnabled);
  fields_[1]->setEnabled(p.delayTimeEnabled);
  fields_[2]->setEnabled(p.receiveTimeoutEnabled);
  checkNumber_->setChecked(options.settings.checkBlockNumber);
  checkSum_->setChecked(options.settings.checkBlockSum);
  addEnd_->setChecked(options.settings.addEndBlock);
  checkNumber_->setVisible(p.checkBlockNumberShown);
  checkSum_->setVisible(p.checkBlockSumShown);
  addEnd_->setVisible(p.addEndBlockShown);
}

std::string TAdvancedDlg::StoredText(int index) const {
  const CommSettings& s = options_.settings;
  return index == kBlockIntervalField ? s.blockInterval
         : index == kDelayTimeField   ? s.delayTime
                                      : s.receiveTimeout;
}

AdvancedOptions TAdvancedDlg::options() const {
  AdvancedOptions o = options_;
  auto kept = [this](int i) {
    return fields_[i]->text().toLatin1().toStdString().substr(0, AdvancedFieldAt(i).keptLength);
  };
  o.settings.blockInterval = kept(kBlockIntervalField);
  o.settings.delayTime = kept(kDelayTimeField);
  o.settings.receiveTimeout = kept(kReceiveTimeoutField);
  o.settings.checkBlockNumber = checkNumber_->isChecked();
  o.settings.checkBlockSum = checkSum_->isChecked();
  o.settings.addEndBlock = addEnd_->isChecked();
  return o;
}

bool TAdvancedDlg::LeaveField(int index) {
  QLineEdit* field = fields_[index];
  const auto checked = CheckAdvancedField(index, field->text().toLatin1().toStdString());
  if (checked) {
    field->setText(QString::fromLatin1(checked->c_str()));
    return true;
  }
  checking_ = true;
  showMessage_(AdvancedFieldAt(index).invalidMessage);
  field->setText(QString::fromLatin1(StoredText(index).c_str()));
  checking_ = false;
  // Back to the field once the message box has given the focus back.
  QTimer::singleShot(0, field, [field] { field->setFocus(); });
  return false;
}

QWidget* TAdvancedDlg::NextAfter(int index) const {
  for (int i = index + 1; i < 3; ++i)
    if (fields_[i]->isEnabled()) return fields_[i];
  return ok_;
}

bool TAdvancedDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && !checking_) {
    for (int i = 0; i < 3; ++i)
      if (watched == fields_[i] && fields_[i]->isEnabled()) LeaveField(i);
  }
  return QDialog::eventFilter(watched, event);
}

void TAdvancedDlg::accept() {
  // "OK" may be pressed without the field losing the focus first: check and rewrite each.
  for (int i = 0; i < 3; ++i)
    if (fields_[i]->isEnabled() && !LeaveField(i)) return;
  options_ = options();
  QDialog::accept();
}

}  // namespace kavex
