#include "kavex/gui/tdata_select_dlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kavex {

TDataSelectDlg::TDataSelectDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TDataSelectDlg"));
  setWindowTitle(QStringLiteral("DataSelect"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  DataSelect = new QGroupBox(QStringLiteral("DataSelect"), this);
  DataSelect->setObjectName(QStringLiteral("DataSelect"));
  CoordinateButton = new QRadioButton(QStringLiteral("Coordinate"), DataSelect);
  PtCodeButton = new QRadioButton(QStringLiteral("PtCode"), DataSelect);
  CoordinateButton->setChecked(true);
  auto* group = new QVBoxLayout(DataSelect);
  group->addWidget(CoordinateButton);
  group->addWidget(PtCodeButton);
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
  layout->addWidget(DataSelect);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

EditKind TDataSelectDlg::Chosen() const {
  return PtCodeButton->isChecked() ? EditKind::kPointCodes : EditKind::kCoordinates;
}

std::optional<EditKind> TDataSelectDlg::Choose() {
  if (exec() != QDialog::Accepted) return std::nullopt;
  return Chosen();
}

}  // namespace kavex
