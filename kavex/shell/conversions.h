#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kavex/formats/nwf_to_qrx6.h"
#include "kavex/formats/qrx6_to_nwf.h"

namespace kavex {

class MainLogic;
class CvtQ6to7OptionsDialog;
class ConfirmDialog;

// Messages of the conversions, shown the same by the window and the command line. Some are
// the system's with and without their stop; each command keeps its own.
inline constexpr const char* kSavingAbortedMessage = "Saving Aborted.";
inline constexpr const char* kSavingAbortedWithoutStop = "Saving Aborted";
inline constexpr const char* kConversionFailedMessage = "Conversion Failed.";
inline constexpr const char* kConversionFailedLowerCase = "Conversion failed.";
inline constexpr const char* kFailToOpenMessage = "Fail to open file.";
inline constexpr const char* kFailToOpenWithoutStop = "Fail to open file";
inline constexpr const char* kFailedToOpenMessage = "Failed to open file.";
inline constexpr const char* kFailedToOpenWithoutStop = "Failed to open file";
inline constexpr const char* kLoadingAbortedMessage = "Loading Aborted.";
inline constexpr const char* kCantConvertMessage = "Can't convert this type";
inline constexpr const char* kInvalidDataMessage = "Invalid data.";

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

// Texts of the command "to QRX-210/310/WNV-1000(Raw)".
inline constexpr const char* kCvtQrx6Caption = "Cvt to QRX6";
inline constexpr const char* kQrx7OpenFilter = "QRX-7 Data(*.qr7)|*.qr7|All Files(*.*)|*.*";
// Texts of the command "to DXF(Only QRX-210/310/WNV-1000 Coords)".
inline constexpr const char* kCvtDxfCaption = "Cvt to DXF";
inline constexpr const char* kDxfOpenFilter = "Points(*.qr6)|*.qr6|All Files(*.*)|*.*";

// The conversions of the "Con&version" menu, in its order.
enum class ConversionKind { kToNwf, kToHkText, kToQrx6, kToCoordinates, kToPointCodes, kToDxf };

// How a conversion command of the window reaches its input file.
struct InputRoad {
  const char* caption;  // TCrrSaveDlg1
  const char* ext;
  const char* filter;
  const char* failed;         // the message when a renamed copy cannot be made
  const char* rewriteFailed;  // the message when "Save changes?" Yes cannot rewrite the file
  const char* missing;        // the chosen file does not exist
};

// What the conversion of one input file came to.
struct FileConversion {
  enum Status { kDone, kCannotOpen, kRefused };
  Status status = kDone;
  std::string message;  // empty when done
};

// What the options dialogs chose for a run of a conversion.
struct ConversionSettings {
  CvtQ6to7Options toNwf;
  NwfToQrx6Options toQrx6;
  // The NWF target numbers go on from run to run while the program runs; nullptr: a counter
  // of this run alone.
  TargetCounter* targetCounter = nullptr;
};

using ConversionOutput = std::function<void(const std::string& line)>;
using ConversionProgress = std::function<void(int percent)>;

// What the window's conversion commands ask and keep for the whole run.
struct ConversionContext {
  CvtQ6to7OptionsDialog& cvtDialog;
  ConfirmDialog& confirmDialog;
  CvtQ6to7Options& cvtOptions;
  TargetCounter& targetCounter;
  NwfToQrx6Options& qrx6Options;
};

// One conversion: its menu item, its word on the command line, the window's road to the
// input, and the part every front end runs on an input file.
struct Conversion {
  ConversionKind kind;
  const char* word;     // kavex-cli convert WORD
  const char* name;     // the menu item's action
  const char* caption;  // the menu text
  InputRoad road;
  const char* progressCaption;
  // The extension of the result's type: the save dialog offers and preselects it.
  const char* resultType;
  // The check made before anything is asked; nullptr when there is none.
  FileConversion (*check)(const std::filesystem::path& input);
  // Converts input; every line goes to output as it is made.
  FileConversion (*run)(const std::filesystem::path& input, const ConversionSettings& settings,
                        const ConversionOutput& output, const ConversionProgress& betweenLines);
  // The command line names the file and the system's reason under a message that the input
  // cannot be opened.
  bool namesReason;
  // The output is far larger than the input: the command line writes it as it is made (the
  // run refuses its input before the first line).
  bool largeOutput;
  // The window's command: its conversionResult.
  int (*command)(MainLogic& logic, ConversionContext& context);
};

const std::vector<Conversion>& Conversions();
const Conversion& ConversionOf(ConversionKind kind);
// The conversion of a command-line word; nullptr when none has it.
const Conversion* ConversionNamed(std::string_view word);

}  // namespace kavex
