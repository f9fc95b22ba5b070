#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <memory>
#include <utility>

#include "kavex/shell/data_edit.h"

class QPushButton;
class QTableView;

namespace kavex {

class TInputDataDlg;
class TLoadingDataDlg;

// The data edit table as the grid shows it: titles in the fixed row, cells as Latin-1.
class DataEditModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit DataEditModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
  void SetTable(DataEditTable* table);
  // The rows changed below the model.
  void Refresh();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  DataEditTable* table_ = nullptr;
  std::vector<std::string> titles_;
};

// "Data Edit": the coordinate or point-code list of the current data as a table, with
// New, Edit and Delete; OK writes the list back, CANCEL discards it.
class TCodeEditDlg : public QDialog {
  Q_OBJECT
 public:
  TCodeEditDlg(MainLogic& logic, DataEditPrompts& prompts, TInputDataDlg& input,
               UpdateConfirmation& confirmation, TLoadingDataDlg& loading,
               QWidget* parent = nullptr);
  ~TCodeEditDlg() override;

  // Sets the columns up for the kind and fills the table from the current data, with
  // "Loading now . . ." shown meanwhile.
  void Open(EditKind kind);
  DataEditTable& Table() { return *table_; }
  // The shown rows selected, first to last (nothing when none is).
  std::optional<std::pair<size_t, size_t>> Selection() const;

  void NewClicked();
  void EditClicked();
  void DeleteClicked();
  void OkClicked();

  QTableView* EditStringGrid;
  QPushButton* NewButton;
  QPushButton* EditButton;
  QPushButton* DeleteButton;
  QPushButton* OkButton;
  QPushButton* CancelButton;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateButtons();

  MainLogic& logic_;
  DataEditPrompts& prompts_;
  TInputDataDlg& input_;
  UpdateConfirmation& confirmation_;
  TLoadingDataDlg& loading_;
  std::unique_ptr<DataEditTable> table_;
  DataEditModel* model_;
};

}  // namespace kavex
