#include "kavex/gui/tconfirm_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace kavex {
namespace {

QApplication& ConfirmApp() {
  static int argc = 1;
  static char name[] = "kavex_cvt_dialog_tests";
  static char* argv[] = {name, nullptr};
  if (auto* app = qobject_cast<QApplication*>(QApplication::instance())) return *app;
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

TEST(TConfirmDlg, NwfToQrx6ShowsEveryChoice) {
  ConfirmApp();
  TConfirmDlg d;
  d.SetupNwfToQrx6("job.qr7", {});
  d.show();
  EXPECT_EQ(d.windowTitle(), "Convert NWF to QRX/WNV");
  EXPECT_EQ(d.Label1->text(), "Convert NWF to QRX/WNV");
  EXPECT_EQ(d.Label2->text(), "Current :");
  EXPECT_EQ(d.Edit1->text(), "job.qr7");
  EXPECT_TRUE(d.Edit1->isReadOnly());
  EXPECT_EQ(d.GroupBox1->title(), "W-CORRECTION");
  EXPECT_EQ(d.RadioGroup2->title(), "Angle Unit");
  EXPECT_EQ(d.RadioGroup3->title(), "Distance Unit");
  EXPECT_TRUE(d.GroupBox1->isVisible());
  EXPECT_TRUE(d.RBwc0->isChecked());
  EXPECT_TRUE(d.DegreeButton->isChecked());
  EXPECT_TRUE(d.MeterButton->isChecked());
  EXPECT_EQ(d.OkButton->text(), "OK");
  EXPECT_EQ(d.CancelButton->text(), "CANCEL");
  // The checked W-CORRECTION button has the focus.
  d.activateWindow();
  QApplication::processEvents();
  EXPECT_EQ(d.focusWidget(), d.RBwc0);
}

TEST(TConfirmDlg, ChoicesToOptions) {
  ConfirmApp();
  const struct {
    QRadioButton* TConfirmDlg::*k;
    QRadioButton* TConfirmDlg::*angle;
    QRadioButton* TConfirmDlg::*distance;
    NwfToQrx6Options want;
  } cases[] = {
      {&TConfirmDlg::RBwc0, &TConfirmDlg::DegreeButton, &TConfirmDlg::MeterButton, {'D', 'M', 0.0}},
      {&TConfirmDlg::RBwc014, &TConfirmDlg::GonButton, &TConfirmDlg::MeterButton, {'G', 'M', 0.14}},
      {&TConfirmDlg::RBwc02, &TConfirmDlg::DegreeButton, &TConfirmDlg::FeetButton, {'D', 'F', 0.2}},
  };
  for (const auto& c : cases) {
    TConfirmDlg d;
    d.SetupNwfToQrx6("x", {});
    (d.*c.k)->setChecked(true);
    (d.*c.angle)->setChecked(true);
    (d.*c.distance)->setChecked(true);
    const NwfToQrx6Options o = d.options();
    EXPECT_EQ(o.k, c.want.k);
    EXPECT_EQ(o.angleUnit, c.want.angleUnit);
    EXPECT_EQ(o.distanceUnit, c.want.distanceUnit);
    // Shown again from those options, the same buttons are checked.
    TConfirmDlg again;
    again.SetupNwfToQrx6("x", o);
    EXPECT_TRUE((again.*c.k)->isChecked());
    EXPECT_TRUE((again.*c.angle)->isChecked());
    EXPECT_TRUE((again.*c.distance)->isChecked());
  }
}

TEST(TConfirmDlg, DxfHidesTheChoicesAndIsShorter) {
  ConfirmApp();
  TConfirmDlg full;
  full.SetupNwfToQrx6("pts.qr6", {});
  full.show();
  TConfirmDlg d;
  d.SetupDxf("pts.qr6");
  d.show();
  EXPECT_EQ(d.windowTitle(), "Convert QRX/WNV to DXF");
  EXPECT_EQ(d.Label1->text(), "Convert QRX/WNV to DXF");
  EXPECT_EQ(d.Edit1->text(), "pts.qr6");
  EXPECT_FALSE(d.GroupBox1->isVisible());
  EXPECT_FALSE(d.RadioGroup2->isVisible());
  EXPECT_FALSE(d.RadioGroup3->isVisible());
  EXPECT_TRUE(d.OkButton->isVisible());
  EXPECT_TRUE(d.CancelButton->isVisible());
  EXPECT_LT(d.height(), full.height());
}

}  // namespace
}  // namespace kavex
