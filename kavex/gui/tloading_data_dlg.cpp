#include "kavex/gui/tloading_data_dlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace kavex {

TLoadingDataDlg::TLoadingDataDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TLoadingDataDlg"));
  setWindowTitle(QStringLiteral("Kavex"));
  // No close box: the window goes when the table is filled.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setModal(true);
  Label1 = new QLabel(QStringLiteral("Loading now . . ."), this);
  Label1->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(40, 20, 40, 20);
  layout->addWidget(Label1);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TLoadingDataDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
}

void TLoadingDataDlg::keyPressEvent(QKeyEvent* event) {
  // Escape would reject the dialog.
  event->ignore();
}

}  // namespace kavex
