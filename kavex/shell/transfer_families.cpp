#include "kavex/shell/transfer_families.h"

#include "kavex/shell/convert_commands.h"
#include "kavex/shell/download_commands.h"

namespace kavex {
namespace {

constexpr const char* kDownloadDirection = "Download :";
constexpr const char* kUploadDirection = "Upload   :";
constexpr const char* kNwfUploadFilter =
    "QRX-7 Data(*.qr7)|*.qr7|Text Files(*.txt)|*.txt|All Files(*.*)|*.*";

DownloadResult TextDownload(CommPort& port, TransferProgress& progress, DownloadReceiver& receiver,
                            const DownloadOptions&) {
  return RunTextDownload(port, progress, receiver);
}

template <typename Family, typename Kind>
const Family& FamilyOf(const std::vector<Family>& families, Kind kind) {
  for (const Family& f : families)
    if (f.kind == kind) return f;
  return families.front();
}

template <typename Family>
const Family* FamilyNamed(const std::vector<Family>& families, std::string_view word) {
  for (const Family& f : families)
    if (word == f.word) return &f;
  return nullptr;
}

template <typename Family>
std::string Words(const std::vector<Family>& families) {
  std::string words;
  for (size_t i = 0; i < families.size(); ++i) {
    if (i > 0) words += i + 1 == families.size() ? " or " : ", ";
    words += families[i].word;
  }
  return words;
}

}  // namespace

const std::vector<DownloadFamily>& DownloadFamilies() {
  static const std::vector<DownloadFamily> families = {
      {DownloadKind::Terminal,
       "terminal",
       TransferCommand::TerminalDownload,
       {.instrumentLabel = " TERMINAL ", .protocolEnabled = false, .forceAckNak = false},
       {},
       TextDownload,
       nullptr,
       ".txt",
       {"DldTerminal", "&Terminal", nullptr, nullptr}},
      {DownloadKind::Nwf,
       "nwf",
       TransferCommand::NwfDownload,
       {.instrumentLabel = "QRX-700/710/800", .protocolEnabled = false, .forceAckNak = false},
       {},
       TextDownload,
       nullptr,
       ".qr7",
       {"DldQRX7", "QRX-&700/710/800 (NWF)", "Download QRX-700/710/800", "7"}},
      {DownloadKind::Qrx6,
       "qrx6",
       TransferCommand::Qrx6Download,
       {.instrumentLabel = "QRX-210/310/WNV-1000", .writeTextFileShown = true},
       {.delayTimeEnabled = true, .checkBlockNumberShown = true, .checkBlockSumShown = true},
       RunQrx6Download,
       SaveThenConvertToNwf,
       ".qr6",
       {"DldQRX6", "QRX-&210/310/WNV-1000", "Download QRX-210/310/WNV-1000", "6"}},
      {DownloadKind::Hk,
       "hk",
       TransferCommand::HkDownload,
       {.instrumentLabel = "HK-101/102        ",
        .protocolEnabled = false,
        .forceAckNak = true,
        .writeTextFileShown = true,
        .charactersEnabled = false,
        .forceSevenBits = true,
        .stopBitsEnabled = false,
        .forceStopBits = 1},
       {.delayTimeEnabled = true, .checkBlockSumShown = true},
       RunHkDownload,
       SaveThenMakeHkText,
       ".hk1",
       {"DldHK1", "HK-&101/102", "Download HK-101/102", "HK"}},
  };
  return families;
}

const std::vector<UploadFamily>& UploadFamilies() {
  static const std::vector<UploadFamily> families = {
      {UploadKind::Terminal,
       "terminal",
       TransferCommand::TerminalUpload,
       {.instrumentLabel = " TERMINAL ", .protocolEnabled = false, .forceAckNak = false},
       {.blockIntervalEnabled = true},
       RunTerminalUpload,
       "Save NWF data",
       ".qr7",
       kNwfUploadFilter,
       nullptr,
       false,
       {"UldTerminal", "&Terminal", nullptr, nullptr}},
      {UploadKind::Nwf,
       "nwf",
       TransferCommand::NwfUpload,
       {.instrumentLabel = "QRX-700/710/800 ", .protocolEnabled = false, .forceAckNak = false},
       {.blockIntervalEnabled = true, .addEndBlockShown = true},
       RunNwfUpload,
       "Save NWF",
       ".qr7",
       kNwfUploadFilter,
       nullptr,
       false,
       {"UldQRX7", "QRX-&700/710/800 (NWF)", "Upload QRX-700/710/800", "7"}},
      {UploadKind::Coordinates,
       "coords",
       TransferCommand::CoordinateUpload,
       {.instrumentLabel = "QRX-210/310/WNV-1000(Coords)", .readTextFileShown = true},
       {.blockIntervalEnabled = true, .addEndBlockShown = true},
       RunCoordinateUpload,
       kCvtCoordsCaption,
       ".pts",
       kQrx6OpenFilter,
       ConvertToQrx6Coords,
       true,
       {"UldQRX6", "QRX-210/310/WNV-1000 (&Coords)", "Upload Coords to QRX-200/300/WNV-1000", "C"}},
      // Unsaved point codes are offered for saving under the coordinates' caption.
      {UploadKind::PointCodes,
       "codes",
       TransferCommand::PointCodeUpload,
       {.instrumentLabel = "QRX-210/310/WNV-1000(Pcode)", .readTextFileShown = true},
       {.blockIntervalEnabled = true, .addEndBlockShown = true},
       RunPointCodeUpload,
       kCvtCoordsCaption,
       ".cod",
       kQrx6OpenFilter,
       ConvertToQrx6Codes,
       false,
       {"QRX2003006CODE1", "QRX-210/310/WNV-1000 (&Pcode)", "Upload Pcodes to QRX-210/310/WNV-1000",
        "P"}},
  };
  return families;
}

const DownloadFamily& DownloadFamilyOf(DownloadKind kind) {
  return FamilyOf(DownloadFamilies(), kind);
}

std::string DownloadKindText(std::string_view word) {
  const DownloadFamily* family = DownloadFamilyNamed(word);
  if (!family) return std::string(word);
  std::string text;
  for (const char* c = family->menu.caption; *c; ++c)
    if (*c != '&') text.push_back(*c);
  return text + " download";
}

const UploadFamily& UploadFamilyOf(UploadKind kind) {
  return FamilyOf(UploadFamilies(), kind);
}

const DownloadFamily* DownloadFamilyNamed(std::string_view word) {
  return FamilyNamed(DownloadFamilies(), word);
}

const UploadFamily* UploadFamilyNamed(std::string_view word) {
  return FamilyNamed(UploadFamilies(), word);
}

std::string DownloadWords() {
  return Words(DownloadFamilies());
}

std::string UploadWords() {
  return Words(UploadFamilies());
}

TransferCommand CommandOf(DownloadKind kind) {
  return DownloadFamilyOf(kind).command;
}

TransferCommand CommandOf(UploadKind kind) {
  return UploadFamilyOf(kind).command;
}

CommStatusPreparation CommStatusPreparationFor(TransferCommand command) {
  for (const DownloadFamily& f : DownloadFamilies()) {
    if (f.command != command) continue;
    CommStatusPreparation p = f.commStatus;
    p.directionLabel = kDownloadDirection;
    return p;
  }
  for (const UploadFamily& f : UploadFamilies()) {
    if (f.command != command) continue;
    CommStatusPreparation p = f.commStatus;
    p.directionLabel = kUploadDirection;
    return p;
  }
  return {};
}

AdvancedPreparation AdvancedPreparationFor(TransferCommand command) {
  for (const DownloadFamily& f : DownloadFamilies())
    if (f.command == command) return f.advanced;
  for (const UploadFamily& f : UploadFamilies())
    if (f.command == command) return f.advanced;
  return {};
}

DownloadResult RunDownloadProtocol(DownloadKind kind, CommPort& port, TransferProgress& progress,
                                   DownloadReceiver& receiver, const DownloadOptions& options) {
  return DownloadFamilyOf(kind).protocol(port, progress, receiver, options);
}

UploadResult RunUploadProtocol(UploadKind kind, CommPort& port, TransferProgress& progress,
                               const std::function<void()>& pump,
                               const std::vector<std::string>& lines, const UploadOptions& options,
                               const std::string& initialBlock) {
  return UploadFamilyOf(kind).protocol(port, progress, pump, lines, options, initialBlock);
}

}  // namespace kavex
