#pragma once

#include <QDialog>
#include <array>
#include <optional>

#include "kavex/shell/data_edit.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace kavex {

// "Data Input": one row of the data edit, new or edited. The key filter and the checks on
// Enter and on leaving a field are here; what OK stores is decided by DataInputOk.
class TInputDataDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TInputDataDlg(DataEditPrompts& prompts, QWidget* parent = nullptr);

  // Prepares the fields for the kind: empty in new mode, the given values in edit mode.
  void Setup(EditKind kind, const std::optional<DataEditTable::Row>& values);
  // Shows the dialog for a row of table (editedRow in edit mode); true when it closed by OK.
  bool Run(DataEditTable& table, std::optional<size_t> editedRow,
           const std::optional<DataEditTable::Row>& values);

  std::array<std::string, 4> Fields() const;
  // The checks of Enter and of leaving a field; false when refused (focus kept).
  void EnterIn(int field);
  bool LeaveField(int field);
  void OkClicked();

  std::array<QLabel*, 4> Labels{};
  std::array<QLineEdit*, 4> Edits{};
  QPushButton* OkButton;
  QPushButton* CancelButton;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int FieldOf(QObject* object) const;
  void Notify(const char* text);
  void KeepFocus(int field);

  DataEditPrompts& prompts_;
  EditKind kind_ = EditKind::kCoordinates;
  DataEditTable* table_ = nullptr;
  std::optional<size_t> editedRow_;
  bool checking_ = false;
  // The key being handled is one the field takes: the change it makes needs no check.
  bool typedKey_ = false;
};

}  // namespace kavex
