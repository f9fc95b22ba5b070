#include "kavex/gui/save_now_dialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace kavex {

TSaveNowDlg::TSaveNowDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TSaveNowDlg"));
  setWindowTitle(QStringLiteral("Kavex"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setWindowModality(Qt::ApplicationModal);
  text_ = new QLabel(QStringLiteral("Saving Now ..."), this);
  text_->setAlignment(Qt::AlignCenter);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  cancel_ = new QPushButton(QStringLiteral("CANCEL"), this);
  cancel_->setVisible(false);
  connect(cancel_, &QPushButton::clicked, this, [this] { cancelRequested_ = true; });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(bar_);
  layout->addWidget(cancel_, 0, Qt::AlignHCenter);
  setFixedWidth(300);
}

void TSaveNowDlg::SetText(const QString& text) {
  text_->setText(text);
}

void TSaveNowDlg::SetPosition(int percent) {
  bar_->setValue(std::clamp(percent, 0, 100));
}

void TSaveNowDlg::SetCancellable(bool cancellable) {
  cancel_->setVisible(cancellable);
}

void TSaveNowDlg::reject() {
  if (cancel_->isVisible()) cancelRequested_ = true;
}

}  // namespace kavex
