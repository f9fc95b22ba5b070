#pragma once

#include <string>

#include "kavex/formats/nwf_to_qrx6.h"
#include "kavex/formats/qrx6_to_nwf.h"
#include "kavex/shell/conversions.h"
#include "kavex/shell/main_logic.h"

namespace kavex {

// TCvtQ6to7Dlg as the conversion sees it. The Qt dialog implements it; tests script it.
class CvtQ6to7OptionsDialog {
 public:
  virtual ~CvtQ6to7OptionsDialog() = default;
  // Shows the dialog with currentFile in Edit1, starting from options. OK stores the
  // user's choices in options and returns true; CANCEL leaves them and returns false.
  virtual bool Run(const std::string& currentFile, CvtQ6to7Options& options) = 0;
};

// TConfirmDlg as the commands see it. The Qt dialog implements it; tests script it.
class ConfirmDialog {
 public:
  virtual ~ConfirmDialog() = default;
  // "Convert NWF to QRX/WNV" with currentFile beside "Current :" and the W-CORRECTION, angle
  // unit and distance unit choices, starting from options. OK stores the choices and
  // returns true; CANCEL leaves them and returns false.
  virtual bool ConfirmNwfToQrx6(const std::string& currentFile, NwfToQrx6Options& options) = 0;
  // "Convert QRX/WNV to DXF": only OK (true) and CANCEL (false).
  virtual bool ConfirmDxf(const std::string& currentFile) = 0;
};

// toQRX61 and toQRX200300COD1: the same road to a ".pts" or ".cod" file, then the QRX-6
// block lines as the new "(unsaved)" current data. Returns conversionResult: 1 done,
// 2 cancelled, -1 failed (the blocks finished before a bad line stay in the view).
int ConvertToQrx6Coords(MainLogic& logic);
int ConvertToQrx6Codes(MainLogic& logic);
// toQRXRaw: the same road to a ".qr7" file, the options in TConfirmDlg, then the QRX-6
// block lines as the new "(unsaved)" current data. options belong to the caller and live as
// long as the program. Returns conversionResult: 1 done, 2 cancelled, -1 failed.
int ConvertToQrx6Raw(MainLogic& logic, ConfirmDialog& dialog, NwfToQrx6Options& options);

// toDXF: the road to a ".qr6" coordinate file, its check, the confirmation, then the
// drawing as the new "(unsaved)" current data. Returns conversionResult: 1 done; 0 when
// the confirmation is cancelled or the export fails after it; 2 cancelled; -1 failed.
int ConvertToDxf(MainLogic& logic, ConfirmDialog& dialog);

// toQRX7008001: makes sure the current data is in a ".qr6" file (saving it, asking "Save
// changes?" or asking for a file), asks for the options, then replaces the current data
// with the NWF lines, marked "(unsaved)". options and counter belong to the caller and
// live as long as the program. Returns conversionResult: 1 done, 2 cancelled, -1 failed.
int ConvertToNwf(MainLogic& logic, CvtQ6to7OptionsDialog& dialog, CvtQ6to7Options& options,
                 TargetCounter& counter);

// toHK100Text1: the same road to an ".hk1" file, then the level-book report as the new
// current data. Returns conversionResult: 0 done, 2 cancelled, -1 failed.
int ConvertToHkText(MainLogic& logic);

// The level-book report of an ".hk1" file as the new "(unsaved)" current data, as the HK
// download with "Write text file" runs it on the file it saved. Returns conversionResult.
int ConvertHkFileToText(MainLogic& logic, const std::string& path);

}  // namespace kavex
