#pragma once

#include <memory>
#include <string>

#include "kavex/shell/data_edit.h"

namespace kavex {

class PrintOptionsPrompt;
class QtPrinter;
class TCodeEditDlg;
class TDataSelectDlg;
class TInputDataDlg;
class TLoadingDataDlg;
class TMainForm;
class TPrintOptnDlg;
class TUpdateConfDlg;

// EDIT MODE and "&Print" with their forms, made once for the whole run.
class DataCommands : public DataEditPrompts {
 public:
  explicit DataCommands(TMainForm& form);
  ~DataCommands() override;
  DataCommands(const DataCommands&) = delete;
  DataCommands& operator=(const DataCommands&) = delete;

  void EditMode();
  void Print();

  // Boxes with their own caption go through the program's message box.
  void Notify(const std::string& caption, const std::string& text) override;
  bool Confirm(const std::string& text) override;

  TDataSelectDlg& DataSelectDialog() { return *dataSelect_; }
  TLoadingDataDlg& LoadingDialog() { return *loading_; }
  TUpdateConfDlg& UpdateDialog() { return *update_; }
  TInputDataDlg& InputDialog() { return *input_; }
  TCodeEditDlg& EditDialog() { return *edit_; }
  TPrintOptnDlg& PrintOptionsDialog() { return *printOptions_; }
  QtPrinter& Printer() { return *printer_; }

 private:
  TMainForm& form_;
  TDataSelectDlg* dataSelect_;
  TLoadingDataDlg* loading_;
  TUpdateConfDlg* update_;
  TInputDataDlg* input_;
  TCodeEditDlg* edit_;
  TPrintOptnDlg* printOptions_;
  std::unique_ptr<PrintOptionsPrompt> printPrompt_;
  std::unique_ptr<QtPrinter> printer_;
};

}  // namespace kavex
