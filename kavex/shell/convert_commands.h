#pragma once

#include <string>

#include "kavex/formats/qrx6_to_nwf.h"
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

// Texts of the command "to NWF (QRX-&700/710/800)(Raw or Coords)".
inline constexpr const char* kCvtNwfCaption = "Cvt to NWF";
inline constexpr const char* kQrx6OpenFilter = "QRX-6 Data(*.qr6)|*.qr6|All Files(*.*)|*.*";
// Texts of the command "to HK-&101/102 Text".
inline constexpr const char* kCvtHkCaption = "Cvt to HK-101/102 Text";
inline constexpr const char* kHkOpenFilter = "HK-100(*.hk1)|*.hk1|All Files(*.*)|*.*";

// Texts of the commands "to QRX-210/310/WNV-1000 (&Coords)" and "(&Pcode)".
inline constexpr const char* kCvtCoordsCaption = "Cvt to QRX/WNV Coords";
inline constexpr const char* kCvtPcodeCaption = "Cvt to QRX/WNV Pcode";
inline constexpr const char* kPointsOpenFilter = "Points(*.pts)|*.pts|All Files(*.*)|*.*";
inline constexpr const char* kCodeOpenFilter = "Code Data(*.cod)|*.cod|All Files(*.*)|*.*";

// toQRX61 and toQRX200300COD1: the same road to a ".pts" or ".cod" file, then the QRX-6
// block lines as the new "(unsaved)" current data. Returns conversionResult: 1 done,
// 2 cancelled, -1 failed (the blocks finished before a bad line stay in the view).
int ConvertToQrx6Coords(MainLogic& logic);
int ConvertToQrx6Codes(MainLogic& logic);

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
