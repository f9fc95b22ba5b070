#include "ulvo/transfer/transfer_form.h"

#include <filesystem>
#include <system_error>

#include "ulvo/engine/text_codec.h"
#include "ulvo/transfer/culvo_serial.h"
#include "ulvo/transfer/setting_names.h"

namespace ulvo {

namespace tt = transfer_texts;

std::string UntranslatedText(const TransferText& text) {
  return text.text;
}

namespace {

std::string JoinComma(const std::string& a, const std::string& b) {
  return a + "," + b;
}

}  // namespace

TransferSummary SummaryOf(const CInstrument& instrument, int direction, const TextLookup& tr) {
  const TransferParams& p = instrument.Params(direction);
  TransferSummary s;

  const std::optional<int> baud = HighestBit(p.baudMask, kBaudRateCount);
  const std::optional<int> parity = HighestBit(ParityByte(p.lineFormat), kParityBitCount);
  const std::optional<int> data = HighestBit(DataBitsByte(p.lineFormat), kDataBitsBitCount);
  const std::optional<int> stop = HighestBit(StopBitsByte(p.lineFormat), kStopBitsBitCount);
  s.lineSettings =
      JoinComma(JoinComma(JoinComma(baud ? std::to_string(kBaudRates[*baud]) : std::string(),
                                    parity ? tr(kParityNames[*parity].summary) : std::string()),
                          data ? kDataBitsNames[*data] : ""),
                stop ? kStopBitsNames[*stop] : "");

  s.dataFormat = tr(tt::kDataFormat) + " " +
                 instrument.FormatName(HighestBitValue(p.dataFormat, kFormatBitCount));

  for (const HardHandshakeNames& hard : kHardHandshakeNames) {
    if (!(p.hardHandshake & hard.bit)) continue;
    s.hardHandshake += (s.hardHandshake.empty() ? "" : "/") + tr(hard.summary);
  }
  const int mode = SoftHandshakeMode(p.lineFormat);
  if (mode > 0) s.softHandshake = tr(kSoftHandshakeNames[mode - 1].text);
  return s;
}

TransferForm::TransferForm(std::vector<CInstrument>& instruments, ProfileStore& store,
                           TextLookup tr, TransferFormPrompts& prompts)
    : instruments_(instruments), store_(store), tr_(std::move(tr)), prompts_(prompts) {
  message_ = tr_(tt::kFirstMessage);
}

void TransferForm::Open() {
  if (const auto last = store_.GetText(kInstrumentSection, "LASTUSED")) {
    for (size_t i = 0; i < instruments_.size(); ++i) {
      if (instruments_[i].Name() == *last) {
        InstrumentChanged(static_cast<int>(i));
        break;
      }
    }
  }
  const auto action = store_.GetNumber(kInstrumentSection, "ACTION");
  DirectionChanged(action && *action == kReceiveButtonId ? kDirectionReceive : kDirectionSend);
  if (Instrument()) {
    const int64_t option = store_.GetNumber(kInstrumentSection, "OPTION").value_or(0);
    if (option >= 0 && static_cast<size_t>(option) < Instrument()->OptionCount(direction_))
      option_ = static_cast<int>(option);
  }
}

CInstrument* TransferForm::Instrument() {
  return instrument_ >= 0 && static_cast<size_t>(instrument_) < instruments_.size()
             ? &instruments_[static_cast<size_t>(instrument_)]
             : nullptr;
}

const CInstrument* TransferForm::Instrument() const {
  return const_cast<TransferForm*>(this)->Instrument();
}

std::vector<std::string> TransferForm::InstrumentNames() const {
  std::vector<std::string> names;
  for (const CInstrument& i : instruments_) names.push_back(i.Name());
  return names;
}

std::vector<std::string> TransferForm::OptionNames() const {
  std::vector<std::string> names;
  if (const CInstrument* i = Instrument())
    for (const InstrumentOption& o : i->Options(direction_)) names.push_back(o.name);
  return names;
}

TransferSummary TransferForm::Summary() const {
  const CInstrument* i = Instrument();
  return i ? SummaryOf(*i, direction_, tr_) : TransferSummary{};
}

std::string TransferForm::OptionFormat() const {
  const CInstrument* i = Instrument();
  if (!i || option_ < 0 || static_cast<size_t>(option_) >= i->OptionCount(direction_)) return {};
  return i->Options(direction_)[static_cast<size_t>(option_)].format;
}

void TransferForm::ShowInstrumentMessage() {
  const CInstrument* i = Instrument();
  message_ = i && !i->Message().empty() ? i->Message() : tr_(tt::kFirstMessage);
}

void TransferForm::DirectionChanged(int direction) {
  direction_ = direction == kDirectionReceive ? kDirectionReceive : kDirectionSend;
  // What the last transfer showed belongs to the other direction.
  progress_ = 0;
  bytes_ = 0;
  ShowInstrumentMessage();
  if (Instrument()) option_ = -1;  // the option list is filled again for the direction
}

void TransferForm::InstrumentChanged(int index) {
  instrument_ = index >= 0 && static_cast<size_t>(index) < instruments_.size() ? index : -1;
  ShowInstrumentMessage();
  mode_ = ButtonMode::kNext;
  option_ = -1;
}

void TransferForm::OptionChanged(int index) {
  option_ = index;
  mode_ = ButtonMode::kNext;
  ShowInstrumentMessage();
  Recommend();
}

void TransferForm::FileNameEdited(const std::string& name) {
  fileName_ = name;
  mode_ = ButtonMode::kNext;
}

void TransferForm::FileChosenInDialog(const std::string& name) {
  FileNameEdited(name);
  replaceAgreed_ = name;
}

void TransferForm::Recommend() {
  CInstrument* i = Instrument();
  if (!i || option_ < 0 || static_cast<size_t>(option_) >= i->OptionCount(direction_)) return;
  if (i->OptionFits(direction_, static_cast<size_t>(option_))) return;
  if (!prompts_.AskYesNo(tr_(tt::kUsePreferredParams))) return;
  i->ApplyOption(direction_, static_cast<size_t>(option_));
  SaveLastUsed();
}

std::string TransferForm::FilePath() const {
  const std::filesystem::path name(fileName_);
  if (fileName_.empty() || name.is_absolute() || dataFolder_.empty()) return fileName_;
  return (dataFolder_ / name).string();
}

bool TransferForm::CheckFile() {
  std::error_code ec;
  if (fileName_.empty()) {
    prompts_.ShowInfo(tr_(tt::kNoFileSpecified));
    return false;
  }
  const std::string file = FilePath();
  const std::filesystem::path path(file);
  if (direction_ == kDirectionSend) {
    if (!std::filesystem::is_regular_file(path, ec)) {
      prompts_.ShowInfo(tr_(tt::kUploadFileNotFound));
      return false;
    }
    return true;
  }
  // Said before the port opens: afterwards the instrument's data would have nowhere to go.
  if (std::filesystem::is_directory(path, ec)) {
    prompts_.ShowInfo(FormatMessage(tr_(tt::kDestinationIsFolder), file));
    return false;
  }
  // The data folder is ours to make; any other folder must exist.
  if (path.parent_path() == dataFolder_ && !dataFolder_.empty())
    std::filesystem::create_directories(dataFolder_, ec);
  if (path.has_parent_path() && !std::filesystem::is_directory(path.parent_path(), ec)) {
    prompts_.ShowInfo(tr_(tt::kDownloadPathNotFound));
    return false;
  }
  // An existing file is replaced only when the user says so, whether the name was typed or
  // chosen in the save dialog (which asked already).
  if (std::filesystem::is_regular_file(path, ec) && replaceAgreed_ != fileName_) {
    if (!prompts_.AskYesNo(FormatMessage(tr_(tt::kReplaceExisting), file))) return false;
    replaceAgreed_ = fileName_;
  }
  return true;
}

TransferForm::NextResult TransferForm::NextOrStart() {
  CInstrument* i = Instrument();
  if (!i) {
    prompts_.ShowInfo(tr_(tt::kFirstSelectInstrument));
    return NextResult::kStopped;
  }
  if (option_ < 0 || static_cast<size_t>(option_) >= i->OptionCount(direction_)) {
    prompts_.ShowInfo(tr_(tt::kFirstSelectOption));
    return NextResult::kStopped;
  }
  Recommend();
  if (!CheckFile()) return NextResult::kStopped;
  if (mode_ == ButtonMode::kNext) {
    message_ = i->Options(direction_)[static_cast<size_t>(option_)].hint;
    mode_ = ButtonMode::kStart;
    return NextResult::kReady;
  }
  SaveLastUsed();
  progress_ = 0;
  bytes_ = 0;
  running_ = true;
  return NextResult::kStartTransfer;
}

void TransferForm::ApplySheetResult(const TransferParams& params) {
  CInstrument* i = Instrument();
  if (!i) return;
  i->SetParams(direction_, params);
  SaveLastUsed();
}

void TransferForm::SaveLastUsed() {
  if (const CInstrument* i = Instrument()) i->SaveLastUsed(store_);
}

void TransferForm::Close() {
  const CInstrument* i = Instrument();
  if (!i) return;
  store_.SetText(kInstrumentSection, "LASTUSED", i->Name());
  store_.SetNumber(kInstrumentSection, "ACTION",
                   direction_ == kDirectionReceive ? kReceiveButtonId : kSendButtonId);
  store_.SetNumber(kInstrumentSection, "OPTION", option_);
  SaveLastUsed();
}

void TransferForm::Update(const EngineUpdate& update) {
  if (update.flags & kUpdateProgress) {
    bytes_ = update.bytes;
    progress_ = update.progress;
  }
  if (update.flags & kUpdateError)
    if (const TransferText* t = TransferErrorText(update.error)) message_ = tr_(*t);
  // Applied last: with both flags the status text is shown.
  if (update.flags & kUpdateStatus)
    if (const TransferText* t = TransferStatusText(update.status)) message_ = tr_(*t);
}

void TransferForm::TransferEnded(bool succeeded) {
  running_ = false;
  if (succeeded) progress_ = 100;
  mode_ = ButtonMode::kNext;
  // The file may hold what just came: replacing it again needs a new yes.
  replaceAgreed_.clear();
}

}  // namespace ulvo
