#include "kavex/shell/conversions.h"

#include "kavex/exports/dxf_export.h"
#include "kavex/exports/hk100_report.h"
#include "kavex/formats/point_lists.h"
#include "kavex/formats/text_line_reader.h"
#include "kavex/shell/convert_commands.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

FileConversion CannotOpen(const char* message) {
  return {FileConversion::kCannotOpen, message};
}

FileConversion ToNwf(const fs::path& input, const ConversionSettings& settings,
                     const ConversionOutput& output, const ConversionProgress& betweenLines) {
  TargetCounter ofThisRun;
  TargetCounter& counter = settings.targetCounter ? *settings.targetCounter : ofThisRun;
  if (!ConvertQrx6FileToNwf(input, settings.toNwf, counter, output, betweenLines))
    return CannotOpen(kFailedToOpenMessage);
  return {};
}

FileConversion ToHkText(const fs::path& input, const ConversionSettings&,
                        const ConversionOutput& output, const ConversionProgress& betweenLines) {
  if (!MakeHk100ReportFromFile(input, output, betweenLines))
    return CannotOpen(kFailedToOpenMessage);
  return {};
}

FileConversion ToQrx6(const fs::path& input, const ConversionSettings& settings,
                      const ConversionOutput& output, const ConversionProgress& betweenLines) {
  TextLineReader reader;
  if (!reader.Open(input)) return CannotOpen(kFailToOpenMessage);
  ConvertNwfToQrx6(reader, settings.toQrx6, output, betweenLines);
  return {};
}

// A bad line stops the list: the message, then the file and the line.
FileConversion ListToQrx6(const fs::path& input, ListKind kind, const char* openFailed,
                          const char* badLine, const ConversionOutput& output,
                          const ConversionProgress& betweenLines) {
  ListStop stop;
  switch (WriteListFileBlocks(input, kind, output, betweenLines, &stop)) {
    case ListFileResult::kCannotOpen:
      return CannotOpen(openFailed);
    case ListFileResult::kBadLine:
      return {FileConversion::kRefused,
              std::string(badLine) + "\n" + input.string() + ": " + ListStopText(stop)};
    case ListFileResult::kDone:
      break;
  }
  return {};
}

FileConversion ToCoordinates(const fs::path& input, const ConversionSettings&,
                             const ConversionOutput& output,
                             const ConversionProgress& betweenLines) {
  return ListToQrx6(input, ListKind::kPoints, kFailedToOpenMessage, kInvalidPointsLine, output,
                    betweenLines);
}

FileConversion ToPointCodes(const fs::path& input, const ConversionSettings&,
                            const ConversionOutput& output,
                            const ConversionProgress& betweenLines) {
  return ListToQrx6(input, ListKind::kCodes, kFailedToOpenWithoutStop, kInvalidCodeLine, output,
                    betweenLines);
}

FileConversion CheckDxf(const fs::path& input) {
  switch (CheckDxfInput(input)) {
    case DxfInput::NotOpened:
      return CannotOpen(kLoadingAbortedMessage);
    case DxfInput::NotCoordinates:
      return {FileConversion::kRefused, kCantConvertMessage};
    case DxfInput::Coordinates:
      break;
  }
  return {};
}

FileConversion ToDxf(const fs::path& input, const ConversionSettings&,
                     const ConversionOutput& output, const ConversionProgress& betweenLines) {
  RecordStop stop;
  switch (ExportDxf(input, output, betweenLines, &stop)) {
    case DxfResult::NotOpened:
      return CannotOpen(kFailToOpenMessage);
    case DxfResult::InvalidData:
      if (stop.place.line == 0) return {FileConversion::kRefused, kInvalidDataMessage};
      return {FileConversion::kRefused, std::string(kInvalidDataMessage) + "\n" + input.string() +
                                            ": " + RecordStopText(stop)};
    case DxfResult::Done:
      break;
  }
  return {};
}

}  // namespace

const std::vector<Conversion>& Conversions() {
  static const std::vector<Conversion> conversions = {
      {ConversionKind::kToNwf,
       "nwf",
       "toQRX7008001",
       "to NWF (QRX-&700/710/800)(Raw or Coords)",
       {kCvtNwfCaption, ".qr6", kQrx6OpenFilter, kConversionFailedLowerCase,
        kSavingAbortedWithoutStop, kFailToOpenMessage},
       "Convert QRX/WNV to NWF",
       ".qr7",
       nullptr,
       ToNwf,
       true,
       false,
       [](MainLogic& logic, ConversionContext& c) {
         return ConvertToNwf(logic, c.cvtDialog, c.cvtOptions, c.targetCounter);
       }},
      {ConversionKind::kToHkText,
       "hk",
       "toHK100Text1",
       "to HK-&101/102 Text",
       {kCvtHkCaption, ".hk1", kHkOpenFilter, kConversionFailedMessage, kSavingAbortedMessage,
        kFailToOpenMessage},
       kCvtHkCaption,
       ".txt",
       nullptr,
       ToHkText,
       true,
       false,
       [](MainLogic& logic, ConversionContext&) { return ConvertToHkText(logic); }},
      {ConversionKind::kToQrx6,
       "qrx6",
       "toQRXRaw",
       "to QRX-210/310/WNV-1000(Raw)",
       {kCvtQrx6Caption, ".qr7", kQrx7OpenFilter, kConversionFailedMessage,
        kSavingAbortedWithoutStop, kFailToOpenMessage},
       "Convert NWF to QRX/WNV",
       ".qr6",
       nullptr,
       ToQrx6,
       false,
       false,
       [](MainLogic& logic, ConversionContext& c) {
         return ConvertToQrx6Raw(logic, c.confirmDialog, c.qrx6Options);
       }},
      {ConversionKind::kToCoordinates,
       "coords",
       "toQRX61",
       "to QRX-210/310/WNV-1000 (&Coords)",
       {kCvtCoordsCaption, ".pts", kPointsOpenFilter, kConversionFailedMessage,
        kSavingAbortedMessage, kFailToOpenMessage},
       kCvtCoordsCaption,
       ".qr6",
       nullptr,
       ToCoordinates,
       false,
       false,
       [](MainLogic& logic, ConversionContext&) { return ConvertToQrx6Coords(logic); }},
      {ConversionKind::kToPointCodes,
       "codes",
       "toQRX200300COD1",
       "to QRX-210/310/WNV-1000 (&Pcode)",
       {kCvtPcodeCaption, ".cod", kCodeOpenFilter, kConversionFailedMessage, kSavingAbortedMessage,
        kFailToOpenMessage},
       kCvtPcodeCaption,
       ".qr6",
       nullptr,
       ToPointCodes,
       false,
       false,
       [](MainLogic& logic, ConversionContext&) { return ConvertToQrx6Codes(logic); }},
      {ConversionKind::kToDxf,
       "dxf",
       "toDXF",
       "to DXF(Only QRX-210/310/WNV-1000 Coords)",
       {kCvtDxfCaption, ".qr6", kDxfOpenFilter, kConversionFailedMessage, kSavingAbortedWithoutStop,
        kFailToOpenWithoutStop},
       "Convert QRX/WNV to DXF",
       ".dxf",
       CheckDxf,
       ToDxf,
       false,
       true,
       [](MainLogic& logic, ConversionContext& c) { return ConvertToDxf(logic, c.confirmDialog); }},
  };
  return conversions;
}

const Conversion& ConversionOf(ConversionKind kind) {
  for (const Conversion& c : Conversions())
    if (c.kind == kind) return c;
  return Conversions().front();
}

const Conversion* ConversionNamed(std::string_view word) {
  for (const Conversion& c : Conversions())
    if (word == c.word) return &c;
  return nullptr;
}

}  // namespace kavex
