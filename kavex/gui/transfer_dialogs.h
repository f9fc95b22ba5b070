#pragma once

#include <QObject>
#include <QPointer>
#include <filesystem>
#include <functional>
#include <string>

#include "kavex/comm/comm_port.h"
#include "kavex/gui/tadvanced_dlg.h"
#include "kavex/gui/ttusin_set_dlg.h"
#include "kavex/gui/tupdw_dlg.h"
#include "kavex/platform/port_list.h"
#include "kavex/platform/port_paths.h"
#include "kavex/shell/download_commands.h"

class QWidget;

namespace kavex {

// The main window's "Comm Status", "Advanced Options" and "Download/Upload" forms, created
// once and prepared by each transfer command. Also keeps the devices behind COM1 and COM2
// (shown and edited in "Comm Status", stored in KavexPorts.ini) and hands them to the port.
class QtTransferDialogs final : public TransferDialogs {
 public:
  QtTransferDialogs(QWidget* parent, CommPort& port,
                    std::filesystem::path portPathsFile = PortPathsFile());
  ~QtTransferDialogs() override;
  QtTransferDialogs(const QtTransferDialogs&) = delete;
  QtTransferDialogs& operator=(const QtTransferDialogs&) = delete;

  bool ShowCommStatus(TransferCommand command, CommSettings& settings) override;
  TransferProgress& Progress() override { return *upDw_; }
  void TransferStarting() override;

  // Every transfer's line trace goes to trace, shown in the progress window's "Line" pane;
  // each transfer begins it afresh.
  void SetTrace(TraceModel& trace);

  TTusinSetDlg& CommStatus() { return *status_; }
  TAdvancedDlg& Advanced() { return *advanced_; }
  TUpDwDlg& UpDw() { return *upDw_; }
  const PortPaths& Paths() const { return paths_; }

  // Stores what "GO" and "OK" of the two dialogs keep (also used without exec() in tests).
  static void StoreCommStatus(const CommSettings& from, CommSettings& into);
  static void StoreAdvanced(const CommSettings& from, CommSettings& into);
  void StorePaths(const PortPaths& paths);
  // COM1 and COM2 follow their adapters to the device names they have now.
  void FollowAdapters();
  // Where the ports come from (tests give a list of their own).
  void SetPortLister(const PortLister& lister) {
    lister_ = &lister;
    status_->SetPortLister(lister);
  }

 private:
  // "Detect..." of Comm Status: listens on the chosen device and proposes what it found.
  void DetectInCommStatus();

  CommPort& port_;
  std::filesystem::path pathsFile_;
  PortPaths paths_;
  SystemPortLister systemPorts_;
  const PortLister* lister_ = &systemPorts_;
  // Owned by the parent window when there is one; whatever is left goes with this object.
  QPointer<TAdvancedDlg> advanced_;
  QPointer<TTusinSetDlg> status_;
  QPointer<TUpDwDlg> upDw_;
  TraceModel* trace_ = nullptr;
};

}  // namespace kavex
