#include "kavex/gui/tupdate_conf_dlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kavex {

TUpdateConfDlg::TUpdateConfDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TUpdateConfDlg"));
  setWindowTitle(QStringLiteral("confirm to update"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  Label1 = new QLabel(QString::fromLatin1(kUpdateQuestion), this);
  CheckBox1 = new QCheckBox(QStringLiteral("Don't display this dialog. "), this);
  OkButton = new QPushButton(QStringLiteral("OK"), this);
  CancelButton = new QPushButton(QStringLiteral("CANCEL"), this);
  OkButton->setDefault(true);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addWidget(CheckBox1);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool TUpdateConfDlg::DontDisplay() const {
  return CheckBox1->isChecked();
}

}  // namespace kavex
