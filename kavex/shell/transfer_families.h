#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kavex/comm/comm_dialog_rules.h"
#include "kavex/comm/download_protocols.h"
#include "kavex/comm/upload_protocols.h"

namespace kavex {

class MainLogic;
struct DownloadHandOver;

// The instrument families of "&Download" and "&Upload", in their menu order.
enum class DownloadKind { Terminal, Nwf, Qrx6, Hk };
enum class UploadKind { Terminal, Nwf, Coordinates, PointCodes };

// Every command that shows "Comm Status" before it runs.
enum class TransferCommand {
  TerminalDownload,
  NwfDownload,
  Qrx6Download,
  HkDownload,
  TerminalUpload,
  NwfUpload,
  CoordinateUpload,
  PointCodeUpload,
};

// A transfer command's item in its "Co&mm" menu and, with a mark, its speed button.
struct TransferMenuItem {
  const char* name;      // the action's name
  const char* caption;   // the menu text
  const char* hint;      // the tool tip; nullptr: none
  const char* toolMark;  // written beside the button's arrow; nullptr: no speed button
};

// One family's download: everything the menu, the tool bar, the command line, "Comm Status",
// the line, the capture and "Write text file" ask of it.
struct DownloadFamily {
  DownloadKind kind;
  const char* word;  // kavex-cli download WORD; also the kind its captures name
  TransferCommand command;
  CommStatusPreparation commStatus;  // without the direction label
  AdvancedPreparation advanced;
  DownloadProtocol protocol;
  // "Write text file": saves the received lines and hands them to their conversion; nullptr
  // when the family offers no such step.
  void (*writeTextFile)(MainLogic& logic, const DownloadHandOver& handOver);
  const char* dataType;  // the extension the save dialog offers first for the lines
  TransferMenuItem menu;
};

// One family's upload.
struct UploadFamily {
  UploadKind kind;
  const char* word;  // kavex-cli upload WORD
  TransferCommand command;
  CommStatusPreparation commStatus;  // without the direction label
  AdvancedPreparation advanced;
  UploadProtocol protocol;
  // Unsaved data is saved under this caption and extension first; with nothing to send, a
  // file of this filter is opened.
  const char* saveCaption;
  const char* extension;
  const char* openFilter;
  // "Read text file": the conversion that turns a list file into the lines sent (its
  // conversionResult); nullptr when the family offers no such step.
  int (*readTextFile)(MainLogic& logic);
  bool pointDetails;  // "Point Details" gives the initial block
  TransferMenuItem menu;
};

const std::vector<DownloadFamily>& DownloadFamilies();
const std::vector<UploadFamily>& UploadFamilies();
const DownloadFamily& DownloadFamilyOf(DownloadKind kind);
const UploadFamily& UploadFamilyOf(UploadKind kind);
// The family of a command-line word; nullptr when none has it.
const DownloadFamily* DownloadFamilyNamed(std::string_view word);
// What a person reads for a download of the family with that word: its menu text without
// the access mark, "QRX-210/310/WNV-1000 download"; the word itself when no family has it.
std::string DownloadKindText(std::string_view word);
const UploadFamily* UploadFamilyNamed(std::string_view word);
// The words in menu order, as a sentence lists them: "terminal, nwf, qrx6 or hk".
std::string DownloadWords();
std::string UploadWords();

TransferCommand CommandOf(DownloadKind kind);
TransferCommand CommandOf(UploadKind kind);
CommStatusPreparation CommStatusPreparationFor(TransferCommand command);
AdvancedPreparation AdvancedPreparationFor(TransferCommand command);

DownloadResult RunDownloadProtocol(DownloadKind kind, CommPort& port, TransferProgress& progress,
                                   DownloadReceiver& receiver, const DownloadOptions& options);
UploadResult RunUploadProtocol(UploadKind kind, CommPort& port, TransferProgress& progress,
                               const std::function<void()>& pump,
                               const std::vector<std::string>& lines, const UploadOptions& options,
                               const std::string& initialBlock = {});

}  // namespace kavex
