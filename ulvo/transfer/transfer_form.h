#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ulvo/transfer/instrument.h"
#include "ulvo/transfer/profile_store.h"
#include "ulvo/transfer/transfer_codes.h"

namespace ulvo {

// Looks a text up in the translations; the default when the key is not there.
using TextLookup = std::function<std::string(const TransferText& text)>;
// The default text itself, for front ends without translations.
std::string UntranslatedText(const TransferText& text);

namespace transfer_texts {
inline constexpr TransferText kTitle{"Transfer", "DT_TITLE"};
inline constexpr TransferText kGroupAction{"Action", "DT_GBOXACTION"};
inline constexpr TransferText kSend{"S&end file (from computer to instrument)", "DT_RBTNSEND"};
inline constexpr TransferText kReceive{"&Receive file (from instrument to computer)",
                                       "DT_RBTNRECEIVE"};
inline constexpr TransferText kGroupInstrument{"Instrument", "DT_GBOXINSTRUMENT"};
inline constexpr TransferText kInstrumentType{"Type of &instrument:", "DT_INSTRUMENTTYPE"};
inline constexpr TransferText kOption{"Optio&n:", "DT_FILETYPE"};
inline constexpr TransferText kGroupComputer{"Computer", "DT_GBOXCOMPUTER"};
inline constexpr TransferText kFileSend{"Fi&le to send:", "DT_FILESEND"};
inline constexpr TransferText kFileSaveAs{"Receive fi&le as:", "DT_FILESAVEAS"};
inline constexpr TransferText kComPort{"C&ommunication port:", "DT_COMPORT"};
inline constexpr TransferText kGroupParams{"Parameters", "DT_GBOXTRANSPARAMS"};
inline constexpr TransferText kSoftHandshake{"Software handshake :", "DT_HANDSHAKESOFTWARE"};
inline constexpr TransferText kHardHandshake{"Hardware handshake :", "DT_HANDSHAKEKARDWARE"};
inline constexpr TransferText kHelp{"&Help", "GT_BTNHELP"};
inline constexpr TransferText kNext{"Ne&xt >", "DT_BTNNEXT"};
inline constexpr TransferText kStart{"&Start", "DT_BTNSTART"};
inline constexpr TransferText kClose{"&Close", "GT_BTNCLOSE"};
inline constexpr TransferText kGroupStatus{"Status", "GT_GBOXSTATUS"};
inline constexpr TransferText kProgress{"Progress:", "GT_PROGRESS"};
inline constexpr TransferText kBytes{"Bytes transferred:", "DT_BYTESTRANSFERRED"};
inline constexpr TransferText kMessages{"Messages", "GT_MESSAGES"};
// The messages area before any instrument says more. The form gave it no key; one of ours
// lets a translation replace it too.
inline constexpr TransferText kFirstMessage{
    "Please make sure the settings in these screens match the settings on your instrument....",
    "DT_FIRSTMESSAGE"};
inline constexpr TransferText kDataFormat{"Dataformat:", "DT_DATAFORMAT"};
inline constexpr TransferText kSelectUpload{"Select file to upload", "MSG_SELECTFILEFORUPLOAD"};
inline constexpr TransferText kSelectDownload{"Save downloaded file as:",
                                              "MSG_SELECTFILEFORDOWNLOAD"};
inline constexpr TransferText kFirstSelectInstrument{"You have to select an instrument first.",
                                                     "EMSG_FIRSTSELECTINSTRUMENT"};
inline constexpr TransferText kFirstSelectOption{"You have to select an option first.",
                                                 "EMSG_FIRSTSELECTOPTION"};
inline constexpr TransferText kUsePreferredParams{
    "The selected option indicates that different parameters for\ndataformat or handshake are "
    "needed.\nULVO strongly receommends that you use these settings.\n\nWould you like ULVO to "
    "apply the changes ?",
    "MSG_USEPREFERREDPARAMS"};
inline constexpr TransferText kNoFileSpecified{"You have to specify a filename",
                                               "EMSG_NOFILESPECIFIED"};
inline constexpr TransferText kUploadFileNotFound{
    "The file you've specified for uploading was not found.", "EMSG_UPLOADFILENOTFOUND"};
inline constexpr TransferText kDownloadPathNotFound{
    "The path to store the downloaded file in must exist.", "EMSG_DOWNLOADPATHNOTFOUND"};
// A folder given where the received data should go (%s: the folder).
inline constexpr TransferText kDestinationIsFolder{
    "%s\nis a folder. Give the name of a file to receive into.", "EMSG_DESTINATIONISFOLDER"};
// Where a successful receive put the data (%1: the file's full path).
inline constexpr TransferText kReceivedInto{"The received data was saved in\n%1",
                                            "MSG_RECEIVEDINTO"};
// The question the Convert window asks before it replaces a file (%s: the file).
inline constexpr TransferText kReplaceExisting{
    "%s\nThis file already exists.\nReplace existing file?", "IDS_ALREADY_EXISTS_MSG"};
// Closing the window while bytes flow.
inline constexpr TransferText kStopTransfer{"A transfer is running.\nStop it and close the window?",
                                            "MSG_STOPTRANSFER"};
inline constexpr TransferText kStoppedReceive{
    "The transfer was stopped.\nThe data received so far was kept in\n%s", "MSG_TRANSFERSTOPPED"};
inline constexpr TransferText kStoppedSend{"The transfer was stopped.", "MSG_TRANSFERSTOPPEDSEND"};
// What became of the received data after a receive that did not end well.
inline constexpr TransferText kPartialFile{"Received data kept: %1 bytes in\n%2",
                                           "MSG_PARTIALFILE"};
inline constexpr TransferText kFileNotWritten{"The received data could not be written:\n%1",
                                              "EMSG_FILENOTWRITTEN"};
// A receive that got no byte leaves the destination as it was.
inline constexpr TransferText kNothingReceivedKept{"Nothing was received; %1 was left as it was.",
                                                   "MSG_NOTHINGRECEIVEDKEPT"};
inline constexpr TransferText kNothingReceived{"Nothing was received; no file was written.",
                                               "MSG_NOTHINGRECEIVED"};
inline constexpr TransferText kFallbackFile{
    "The received data could not be written:\n%1\nIt was kept (%2 bytes) in\n%3",
    "EMSG_FALLBACKFILE"};
}  // namespace transfer_texts

// The questions and messages of the transfer form.
class TransferFormPrompts {
 public:
  virtual ~TransferFormPrompts() = default;
  // An information box with OK.
  virtual void ShowInfo(const std::string& text) = 0;
  // A question with Yes and No; true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
};

// Profile values of the form (section "INSTRUMENT").
inline constexpr const char* kInstrumentSection = "INSTRUMENT";
// Control identifiers of the two direction buttons, as "ACTION" stores them.
inline constexpr int kSendButtonId = 1702;
inline constexpr int kReceiveButtonId = 1703;

// The four summary texts of the parameters box.
struct TransferSummary {
  std::string lineSettings;
  std::string softHandshake;
  std::string hardHandshake;
  std::string dataFormat;
};
TransferSummary SummaryOf(const CInstrument& instrument, int direction, const TextLookup& tr);

// What an engine notification carries to the form.
struct EngineUpdate {
  uint8_t flags = 0;
  uint32_t status = 0;
  uint32_t error = 0;
  uint32_t bytes = 0;
  int progress = 0;
};

// The transfer form without its widgets: choices, checks, button mode and messages.
class TransferForm {
 public:
  enum class ButtonMode { kNext, kStart };
  enum class NextResult { kStopped, kReady, kStartTransfer };

  TransferForm(std::vector<CInstrument>& instruments, ProfileStore& store, TextLookup tr,
               TransferFormPrompts& prompts);

  // Restores "LASTUSED", "ACTION" and "OPTION" (steps 3 to 5 of opening the form).
  void Open();

  void DirectionChanged(int direction);
  void InstrumentChanged(int index);  // -1: none
  void OptionChanged(int index);      // -1: none
  void FileNameEdited(const std::string& name);
  // A name taken from the save dialog, which has asked itself before an existing file.
  void FileChosenInDialog(const std::string& name);
  void PortChosen(const std::string& port) { port_ = port; }
  // Where a file name without a folder (or with a relative one) is looked for and received
  // into: the user's data folder, made when a receive needs it.
  void SetDataFolder(const std::filesystem::path& folder) { dataFolder_ = folder; }

  // The Next / Start button. kStartTransfer: the caller runs the transfer now.
  NextResult NextOrStart();

  // The settings sheet closed with OK.
  void ApplySheetResult(const TransferParams& params);
  // Close button: remembers the choices.
  void Close();

  // A notification of the running engine. Returns true when the message text changed.
  void Update(const EngineUpdate& update);
  // The transfer ended: buttons back, button mode "Next"; a success shows 100 %.
  void TransferEnded(bool succeeded);

  int Direction() const { return direction_; }
  ButtonMode Mode() const { return mode_; }
  int InstrumentIndex() const { return instrument_; }
  int OptionIndex() const { return option_; }
  const std::string& FileName() const { return fileName_; }
  // The file the transfer reads or writes: the name with the data folder put before a
  // relative one.
  std::string FilePath() const;
  const std::string& Port() const { return port_; }
  const std::string& MessageText() const { return message_; }
  uint32_t Bytes() const { return bytes_; }
  int Progress() const { return progress_; }
  bool Running() const { return running_; }

  CInstrument* Instrument();
  const CInstrument* Instrument() const;
  std::vector<std::string> OptionNames() const;
  std::vector<std::string> InstrumentNames() const;
  TransferSummary Summary() const;
  // The option's conversion format, for the next conversion after a receive.
  std::string OptionFormat() const;

 private:
  void ShowInstrumentMessage();
  bool CheckFile();
  void Recommend();
  void SaveLastUsed();

  std::vector<CInstrument>& instruments_;
  ProfileStore& store_;
  TextLookup tr_;
  TransferFormPrompts& prompts_;
  int direction_ = 0;
  ButtonMode mode_ = ButtonMode::kNext;
  int instrument_ = -1;
  int option_ = -1;
  std::string fileName_;
  std::filesystem::path dataFolder_;
  // The existing destination the user agreed to replace; asked again after every transfer.
  std::string replaceAgreed_;
  std::string port_;
  std::string message_;
  uint32_t bytes_ = 0;
  int progress_ = 0;
  bool running_ = false;
};

}  // namespace ulvo
