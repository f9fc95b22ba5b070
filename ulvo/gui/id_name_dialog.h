#pragma once

#include <QDialog>
#include <functional>
#include <pugixml.hpp>
#include <string>

#include "ulvo/engine/identifier_list.h"
#include "ulvo/gui/design_texts.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace ulvo {

// The identifier list dialog: rows of one list of the settings document, written back to the
// list node on OK only.
class IdNameDialog : public QDialog {
  Q_OBJECT

 public:
  // With xmlNames the identifiers name records or values of the instrument data document,
  // so OK refuses one that is not a valid XML name.
  IdNameDialog(pugi::xml_node listNode, std::string tag, const QString& title,
               TranslateText translate, QWidget* parent = nullptr, bool xmlNames = false);

  // Shows a refusal; a message box when not set.
  void SetWarn(std::function<void(const QString&)> warn) { warn_ = std::move(warn); }

  const IdNameList& Rows() const { return rows_; }
  QTreeWidget* List() const { return list_; }
  QLineEdit* IdEdit() const { return idEdit_; }
  QLineEdit* NameEdit() const { return nameEdit_; }
  // Why the last edit of an identifier or name was changed; empty when taken as typed.
  QLabel* Message() const { return message_; }
  QPushButton* AddButton() const { return addButton_; }
  QPushButton* RemoveButton() const { return removeButton_; }

  void accept() override;

 private:
  void Fill(int selected);
  int Selected() const;
  void Select(int row);
  void OnAdd();
  void OnRemove();
  void OnSelectionChanged();
  void OnIdEdited(const QString& text);
  void OnNameEdited(const QString& text);
  void OnSort(int column);
  void ShowMessage(const QString& text);
  void Warn(const QString& text);
  // The edit's text without characters the settings cannot keep; the message names one.
  QString Storable(QLineEdit* edit, const QString& text, bool removeSpaces);

  pugi::xml_node listNode_;
  std::string tag_;
  TranslateText translate_;
  bool xmlNames_ = false;
  std::function<void(const QString&)> warn_;
  IdNameList rows_;
  QTreeWidget* list_ = nullptr;
  QLineEdit* idEdit_ = nullptr;
  QLineEdit* nameEdit_ = nullptr;
  QLabel* message_ = nullptr;
  QPushButton* addButton_ = nullptr;
  QPushButton* removeButton_ = nullptr;
};

}  // namespace ulvo
