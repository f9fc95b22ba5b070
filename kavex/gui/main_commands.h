#pragma once

#include <functional>
#include <memory>
#include <string>

#include "kavex/comm/clock.h"
#include "kavex/comm/comm_port.h"
#include "kavex/comm/trace_model.h"
#include "kavex/comm/tracing_device.h"
#include "kavex/formats/qrx6_to_nwf.h"
#include "kavex/gui/tconfirm_dlg.h"
#include "kavex/gui/tcvt_q6to7_dlg.h"
#include "kavex/gui/tq6ptsinfo_dlg.h"
#include "kavex/platform/qt_serial_device.h"
#include "kavex/shell/download_commands.h"
#include "kavex/shell/upload_commands.h"

namespace kavex {

class DataCommands;
class MainPlan;
class GisDialogPrompt;
class QtTransferDialogs;
class TMainForm;

// The commands of the main window beyond its file commands: the port, the transfer and
// conversion forms and what they keep for the whole run (conversion options, the NWF
// target counter). Connecting them marks their menu items and tool buttons as built.
class MainCommands {
 public:
  explicit MainCommands(TMainForm& form);
  ~MainCommands();
  MainCommands(const MainCommands&) = delete;
  MainCommands& operator=(const MainCommands&) = delete;

  QtTransferDialogs& TransferForms() { return *transferDialogs_; }
  CvtQ6to7Options& ConversionOptions() { return cvtOptions_; }
  // The "Point Details" values, kept for the whole run.
  PointDetails& StoredPointDetails() { return uploads_->Details(); }
  DataCommands& EditAndPrint() { return *dataCommands_; }
  MainPlan& Plan() { return *plan_; }

 private:
  // "Write text file" after a download hands the saved file to these.
  DownloadHandOver HandOver();
  // A port failure as the message box shows it: "COM ERROR." with the device and the
  // system's reason under it.
  std::string PortMessage(const std::string& text) const;
  // Whether the progress window's "Line" pane was open when last seen.
  static bool LinePaneOpen();
  static void RememberLinePane(bool open);
  // Runs a GIS command with the job's coordinate system of the last session proposed.
  void WithRememberedCrs(const std::function<void()>& run);

  TMainForm& form_;
  SystemClock clock_;
  QtSerialDevice serial_;
  // Every byte on the line, for the progress window's "Line" pane.
  TraceModel trace_;
  TracingDevice tracing_{serial_, clock_, trace_};
  CommPort commPort_;
  std::unique_ptr<QtTransferDialogs> transferDialogs_;
  CvtQ6to7Options cvtOptions_;
  TargetCounter targetCounter_;
  CvtQ6to7DialogPrompt cvtDialog_;
  NwfToQrx6Options qrx6Options_;
  ConfirmDialogPrompt confirmDialog_;
  ConversionContext conversions_;
  std::unique_ptr<DownloadCommands> downloads_;
  PointDetailsDialogPrompt pointDetailsDialog_;
  std::unique_ptr<UploadCommands> uploads_;
  std::unique_ptr<DataCommands> dataCommands_;
  MainPlan* plan_;  // owned by the form
  std::unique_ptr<GisDialogPrompt> gisDialog_;
};

}  // namespace kavex
