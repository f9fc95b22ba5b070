#pragma once

#include "kavex/comm/upload_protocols.h"
#include "kavex/formats/point_details.h"
#include "kavex/shell/download_commands.h"
#include "kavex/shell/main_logic.h"

namespace kavex {

// TQ6ptsinfoDlg as the coordinate upload sees it. The Qt dialog implements it; tests and
// the command line answer it.
class PointDetailsDialog {
 public:
  virtual ~PointDetailsDialog() = default;
  // Shows the dialog with the stored values. OK leaves the checked values in details and
  // returns true; CANCEL returns false.
  virtual bool Run(PointDetails& details) = 0;
};

enum class UploadOutcome { Completed, Failed, Cancelled, NotStarted };

// One upload command of the main window: the preparation (saving, "Comm Status",
// "Read text file", a file when there is no data, "Point Details"), then the protocol on
// the port. details holds the point-details values for the whole run.
UploadOutcome RunUpload(UploadKind kind, MainLogic& logic, CommPort& port, TransferDialogs& dialogs,
                        PointDetailsDialog& detailsDialog, PointDetails& details);

// The four "&Upload" commands of the main window over its port and forms.
class UploadCommands {
 public:
  UploadCommands(MainLogic& logic, CommPort& port, TransferDialogs& dialogs,
                 PointDetailsDialog& detailsDialog)
      : logic_(logic), port_(port), dialogs_(dialogs), detailsDialog_(detailsDialog) {}

  UploadOutcome Terminal() { return Run(UploadKind::Terminal); }
  UploadOutcome UldQRX7() { return Run(UploadKind::Nwf); }
  UploadOutcome UldQRX6() { return Run(UploadKind::Coordinates); }
  UploadOutcome QRX2003006CODE1() { return Run(UploadKind::PointCodes); }
  UploadOutcome Run(UploadKind kind) {
    return RunUpload(kind, logic_, port_, dialogs_, detailsDialog_, details_);
  }

  PointDetails& Details() { return details_; }

 private:
  MainLogic& logic_;
  CommPort& port_;
  TransferDialogs& dialogs_;
  PointDetailsDialog& detailsDialog_;
  PointDetails details_;
};

}  // namespace kavex
