#include "kavex/gui/tupdw_dlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include "kavex/gui/line_pane.h"

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
  connect(cancel_, &QPushButton::clicked, this, [this] {
    if (!keptOpen_) {
      PressCancel();
      return;
    }
    keptOpen_ = false;
    Changed();
  });
  Changed();
}

namespace {
constexpr int kPaneTop = 110;
constexpr QSize kOpenSize(640, 440);
}  // namespace

void TUpDwDlg::AttachLinePane(TraceModel& model) {
  pane_ = new LinePane(model, this);
  pane_->onOpenChanged = [this](bool) { FitPane(); };
  FitPane();
  pane_->show();
}

void TUpDwDlg::FitPane() {
  if (!pane_) return;
  const bool open = pane_->IsOpen();
  const int width = open ? kOpenSize.width() : 320;
  const int height =
      open ? kOpenSize.height() : kPaneTop + pane_->Toggle()->sizeHint().height() + 4;
  setFixedSize(width, height);
  pane_->setGeometry(8, kPaneTop, width - 16, height - kPaneTop - 4);
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
  // The end of a transfer leaves an open pane on screen until the user closes it.
  if (Visible()) {
    keptOpen_ = false;
  } else if (inTransfer_ && isVisible()) {
    keptOpen_ = pane_ && pane_->IsOpen();
    inTransfer_ = false;
  }
  cancel_->setText(keptOpen_ ? "CLOSE" : "CANCEL");
  cancel_->setVisible(d.cancelVisible || keptOpen_);
  const bool show = Visible() || keptOpen_;
  if (show != isVisible()) setVisible(show);
}

}  // namespace kavex
