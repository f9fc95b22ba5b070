#include "kavex/gui/transfer_dialogs.h"

#include <QWidget>

namespace kavex {

QtTransferDialogs::QtTransferDialogs(QWidget* parent, CommPort& port,
                                     std::filesystem::path portPathsFile)
    : port_(port), pathsFile_(std::move(portPathsFile)) {
  paths_ = LoadPortPaths(pathsFile_);
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

void QtTransferDialogs::StorePaths(const PortPaths& paths) {
  if (!(paths == paths_)) {
    paths_ = paths;
    SavePortPaths(pathsFile_, paths_);
  }
  port_.SetPortPath("COM1", paths_.com1);
  port_.SetPortPath("COM2", paths_.com2);
}

bool QtTransferDialogs::ShowCommStatus(TransferCommand command, CommSettings& settings) {
  advanced_->SetOptions({settings, AdvancedPreparationFor(command)});
  status_->SetOptions({settings, CommStatusPreparationFor(command), paths_});
  status_->SetAdvancedHandler([this, &settings] {
    if (advanced_->exec() == QDialog::Accepted)
      StoreAdvanced(advanced_->options().settings, settings);
  });
  const bool go = status_->exec() == QDialog::Accepted;
  status_->SetAdvancedHandler({});
  if (!go) return false;
  const CommStatusOptions o = status_->options();
  StoreCommStatus(o.settings, settings);
  StorePaths(o.paths);
  return true;
}

}  // namespace kavex
