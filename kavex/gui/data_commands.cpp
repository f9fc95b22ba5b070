#include "kavex/gui/data_commands.h"

#include "kavex/gui/main_form.h"
#include "kavex/gui/message_box_dialog.h"
#include "kavex/gui/qt_printer.h"
#include "kavex/gui/qt_prompts.h"
#include "kavex/gui/tcode_edit_dlg.h"
#include "kavex/gui/tdata_select_dlg.h"
#include "kavex/gui/tinput_data_dlg.h"
#include "kavex/gui/tloading_data_dlg.h"
#include "kavex/gui/tprint_optn_dlg.h"
#include "kavex/gui/tupdate_conf_dlg.h"
#include "kavex/shell/print_command.h"

namespace kavex {

DataCommands::DataCommands(TMainForm& form)
    : form_(form),
      dataSelect_(new TDataSelectDlg(&form)),
      loading_(new TLoadingDataDlg(&form)),
      update_(new TUpdateConfDlg(&form)),
      input_(new TInputDataDlg(*this, &form)),
      edit_(new TCodeEditDlg(form.Logic(), *this, *input_, *update_, *loading_, &form)),
      printOptions_(new TPrintOptnDlg(&form)),
      printPrompt_(std::make_unique<PrintOptionsPrompt>(*printOptions_)),
      printer_(std::make_unique<QtPrinter>(&form)) {
  printOptions_->SetMessageSink(
      [&form](const std::string& text) { form.Logic().ShowMessage(text); });
  // Worked out for the printer as it was last chosen (the default one at first).
  printOptions_->SetFitNote(
      [this](const PrintSettings& settings) { return PrintFitNote(settings, *printer_); });
  form.Wire(form.EditButton, [this] { EditMode(); });
  form.Wire(form.PrintItem, [this] { Print(); });
}

DataCommands::~DataCommands() = default;

void DataCommands::EditMode() {
  const std::optional<EditKind> kind =
      ChooseEditKind(form_.Logic(), [this] { return dataSelect_->Choose(); });
  if (!kind) return;
  edit_->Open(*kind);
  edit_->exec();
}

void DataCommands::Print() {
  PrintCurrentData(form_.Logic(), *printPrompt_, *printer_);
}

void DataCommands::Notify(const std::string& caption, const std::string& text) {
  TMBoxDlg& box = form_.Ui().MessageDialog();
  box.Setup(QString::fromUtf8(text.c_str()), kModeMessage, QString::fromUtf8(caption.c_str()));
  box.exec();
  box.setWindowTitle(QStringLiteral("Kavex"));
}

bool DataCommands::Confirm(const std::string& text) {
  return form_.Logic().ShowMessage(text, kModeConfirmation) == kResultOk;
}

}  // namespace kavex
