#include "kavex/gui/tupdw_dlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace kavex {

TUpDwDlg::TUpDwDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint) {
  setObjectName("UpDwDlg");
  setWindowTitle("Download/Upload");
  setModal(false);
  setFixedSize(320, 120);
  label1_ = new QLabel(this);
  label1_->setObjectName("Label1");
  label2_ = new QLabel(this);
  label2_->setObjectName("Label2");
  // The count is laid out in columns ("%4u / %-4u"), so it needs a fixed-pitch font.
  label2_->setFont(QFont("Monospace"));
  bar_ = new QProgressBar(this);
  bar_->setObjectName("ProgressBar1");
  bar_->setGeometry(16, 44, 288, 18);
  bar_->setTextVisible(false);
  cancel_ = new QPushButton("CANCEL", this);
  cancel_->setObjectName("CancelButton");
  cancel_->setGeometry(120, 80, 80, 26);
  connect(cancel_, &QPushButton::clicked, this, [this] { PressCancel(); });
  Changed();
}

void TUpDwDlg::Changed() {
  const ProgressDisplay& d = Display();
  label1_->setText(QString::fromLatin1(d.firstLabel.c_str()));
  label2_->setText(QString::fromLatin1(d.secondLabel.c_str()));
  label1_->setGeometry(16, d.labelsTop, 180, 18);
  label2_->setGeometry(200, d.labelsTop, 110, 18);
  bar_->setVisible(d.barVisible);
  bar_->setRange(0, d.barMax);
  bar_->setValue(d.barPosition);
  cancel_->setVisible(d.cancelVisible);
  if (Visible() != isVisible()) setVisible(Visible());
}

}  // namespace kavex
