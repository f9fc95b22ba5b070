#include "kavex/gui/transfer_dialogs.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <thread>

#include "kavex/comm/line_detect.h"
#include "kavex/platform/qt_serial_device.h"

namespace kavex {

QtTransferDialogs::QtTransferDialogs(QWidget* parent, CommPort& port,
                                     std::filesystem::path portPathsFile)
    : port_(port), pathsFile_(std::move(portPathsFile)) {
  paths_ = LoadPortPaths(pathsFile_);
  FollowAdapters();
  port_.SetPortPath("COM1", paths_.com1);
  port_.SetPortPath("COM2", paths_.com2);
  advanced_ = new TAdvancedDlg({}, parent);
  status_ = new TTusinSetDlg({}, parent);
  upDw_ = new TUpDwDlg(parent);
}

void QtTransferDialogs::SetTrace(TraceModel& trace) {
  trace_ = &trace;
  if (upDw_) upDw_->AttachLinePane(trace);
}

void QtTransferDialogs::TransferStarting() {
  if (trace_) trace_->Begin();
  if (upDw_) upDw_->BeginTransfer();
}

QtTransferDialogs::~QtTransferDialogs() {
  delete upDw_.data();
  delete status_.data();
  delete advanced_.data();
}

void QtTransferDialogs::StoreCommStatus(const CommSettings& from, CommSettings& into) {
  into.useCom2 = from.useCom2;
  into.rateCode = from.rateCode;
  into.sevenBits = from.sevenBits;
  into.parityCode = from.parityCode;
  into.stopBits = from.stopBits;
  into.useAckNak = from.useAckNak;
  into.writeTextFile = from.writeTextFile;
  into.readTextFile = from.readTextFile;
}

void QtTransferDialogs::StoreAdvanced(const CommSettings& from, CommSettings& into) {
  into.blockInterval = from.blockInterval;
  into.delayTime = from.delayTime;
  into.receiveTimeout = from.receiveTimeout;
  into.checkBlockNumber = from.checkBlockNumber;
  into.checkBlockSum = from.checkBlockSum;
  into.addEndBlock = from.addEndBlock;
}

void QtTransferDialogs::FollowAdapters() {
  const std::vector<PortInfo> ports = lister_->Ports();
  paths_.com1 = FollowAdapter(ports, paths_.com1, paths_.com1Serial);
  paths_.com2 = FollowAdapter(ports, paths_.com2, paths_.com2Serial);
  port_.SetPortPath("COM1", paths_.com1);
  port_.SetPortPath("COM2", paths_.com2);
}

void QtTransferDialogs::StorePaths(const PortPaths& chosen) {
  // Each chosen device's adapter is remembered by its serial number; a device not present now
  // keeps the number it had, while it is the same device.
  const std::vector<PortInfo> ports = lister_->Ports();
  PortPaths paths = chosen;
  auto serial = [&](const std::string& device, const std::string& before,
                    const std::string& beforeSerial) {
    const std::string now = SerialNumberOf(ports, device);
    if (!now.empty()) return now;
    return device == before ? beforeSerial : std::string();
  };
  paths.com1Serial = serial(paths.com1, paths_.com1, paths_.com1Serial);
  paths.com2Serial = serial(paths.com2, paths_.com2, paths_.com2Serial);
  if (!(paths == paths_)) {
    paths_ = paths;
    SavePortPaths(pathsFile_, paths_);
  }
  port_.SetPortPath("COM1", paths_.com1);
  port_.SetPortPath("COM2", paths_.com2);
}

namespace {

// Told by the listening thread how far it has got; asked whether to stop.
class SharedProgress final : public DetectProgress {
 public:
  bool Listening(double fraction) override {
    fraction_ = fraction;
    return !cancel_;
  }
  std::atomic<double> fraction_{0};
  std::atomic<bool> cancel_{false};
};

}  // namespace

void QtTransferDialogs::DetectInCommStatus() {
  TTusinSetDlg& dlg = *status_;
  const std::string device = dlg.ChosenDevice();
  QProgressDialog progress(QString::fromUtf8(kDetectPrompt), "Cancel", 0, 1000, &dlg);
  progress.setWindowTitle("Detect");
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(0);
  progress.setValue(0);
  SharedProgress shared;
  std::atomic<bool> done{false};
  DetectReport report;
  // The port is read on a thread of its own, so the window stays alive and Cancel works.
  std::thread listener([&] {
    QtSerialDevice serial;
    SystemClock clock;
    report = DetectLineSettings(serial, clock, device, kDetectListen, &shared);
    done = true;
  });
  QEventLoop loop;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
    if (progress.wasCanceled()) shared.cancel_ = true;
    progress.setValue(static_cast<int>(1000 * shared.fraction_));
    if (done) loop.quit();
  });
  tick.start(50);
  loop.exec();
  // Stopped before any message box: its event loop would go on moving the bar, and show it.
  tick.stop();
  listener.join();
  progress.reset();
  progress.hide();
  if (report.outcome == DetectReport::Outcome::kCancelled) return;
  const QString message = QString::fromStdString(report.Message(device));
  if (report.outcome != DetectReport::Outcome::kFound) {
    QMessageBox::information(&dlg, "Detect", message);
    return;
  }
  if (RateCodeOfBaud(report.baud) < 0) {
    QMessageBox::information(&dlg, "Detect",
                             message + "\nKavex cannot use " + QString::number(report.baud) +
                                 " baud: set the instrument to 38400 baud or less.");
    return;
  }
  if (QMessageBox::question(&dlg, "Detect", message + "\nUse these settings?") == QMessageBox::Yes)
    dlg.ApplyDetected(report.baud, report.frame->dataBits, report.frame->parity,
                      report.frame->stopBits);
}

bool QtTransferDialogs::ShowCommStatus(TransferCommand command, CommSettings& settings) {
  advanced_->SetOptions({settings, AdvancedPreparationFor(command)});
  FollowAdapters();
  status_->SetOptions({settings, CommStatusPreparationFor(command), paths_});
  status_->SetAdvancedHandler([this, &settings] {
    if (advanced_->exec() == QDialog::Accepted)
      StoreAdvanced(advanced_->options().settings, settings);
  });
  status_->SetDetectHandler([this] { DetectInCommStatus(); });
  const bool go = status_->exec() == QDialog::Accepted;
  status_->SetAdvancedHandler({});
  status_->SetDetectHandler({});
  if (!go) return false;
  const CommStatusOptions o = status_->options();
  StoreCommStatus(o.settings, settings);
  StorePaths(o.paths);
  return true;
}

}  // namespace kavex
