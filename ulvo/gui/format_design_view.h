#pragma once

#include <QMessageBox>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <pugixml.hpp>
#include <vector>

#include "ulvo/engine/format_design.h"
#include "ulvo/gui/design_texts.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QStackedWidget;

namespace ulvo {

class ElementDialog;
class IdNameCombo;
class LiteralDialog;

// What the format design view is given by the application.
struct FormatDesignContext {
  std::filesystem::path programFolder;
  pugi::xml_node settings;  // the settings element, holding "conversion"
  TranslateText translate;
  // Called after OK has saved everything: the application reads its format list again.
  std::function<void()> formatsSaved;
  std::function<void(const std::filesystem::path& page)> showHelp;
  // Shows a failure in an exclamation box; a message box when not set.
  std::function<void(const QString& text)> warn;
  // Asks whether to save unsaved edits before the window closes: Save, Discard or Cancel. A
  // question box when not set.
  std::function<QMessageBox::StandardButton(const QString& text)> askSave;
  // Writes the definitions' bytes; tests put a writer that fails on demand here.
  ChunkWriter write;
};

// The format design form: formats, their groups and the groups' items, edited in the view's
// own format list; OK writes them, Cancel drops them.
class FormatDesignView : public QWidget {
  Q_OBJECT

 public:
  explicit FormatDesignView(FormatDesignContext context, QWidget* parent = nullptr);

  const FormatDesign& Design() const { return design_; }
  QListWidget* FormatList() const { return formatList_; }
  QListWidget* GroupList() const { return groupList_; }
  QListWidget* ItemList() const { return itemList_; }
  IdNameCombo* FormatType() const { return formatType_; }
  IdNameCombo* GroupType() const { return groupType_; }
  ElementDialog* ElementPanel() const { return elementPanel_; }
  LiteralDialog* LiteralPanel() const { return literalPanel_; }
  QPushButton* Button(const char* key) const;

  // The item menu's two commands, as the Add button's menu runs them.
  void AddElementItem();
  void AddLiteralItem();
  QStackedWidget* GroupArea() const { return groupArea_; }
  // Why the selected format's groups cannot be edited here; hidden for a simple format.
  QLabel* NotSimpleText() const { return notSimple_; }
  // Why the last edit was refused; empty when it was taken.
  QLabel* Message() const { return message_; }

  // OK: false when a file could not be deleted or a format not saved (the view stays).
  bool Save();
  // Cancel: unsaved edits are dropped only when the user agrees; false when the view stays.
  bool Cancel();

 signals:
  // OK succeeded or Cancel was agreed: the design window closes.
  void Finished();

 protected:
  // The window's close button asks as Cancel does.
  void closeEvent(QCloseEvent* event) override;

 private:
  QString Text(const char* key, const char* defaultText) const;
  FormatDefinition* SelectedFormat() const;
  GroupDefinition* SelectedGroup() const;
  int SelectedItem() const;
  void ListFormats();
  void OnFormatSelected();
  void OnGroupSelected();
  void OnItemSelected();
  void OnAddFormat();
  void OnRemoveFormat();
  void OnAddGroup();
  void OnRemoveGroup();
  void OnAddItem();
  void OnRemoveItem();
  void OnFormatRenamed(QListWidgetItem* item);
  void OnGroupRenamed(QListWidgetItem* item);
  void AppendItemRow(const ItemDefinition& item, const QString& text);
  void Warn(const QString& text);
  void Refuse(const QString& text);
  QString NotSimpleReason(const FormatDefinition& format) const;
  // Saves everything and reads the application's formats again; false when something failed.
  bool SaveChanges();
  // True when the window may close: nothing unsaved, or the user chose to save or discard.
  bool ConfirmClose();

  FormatDesignContext context_;
  FormatDesign design_;
  std::vector<IdName> types_;
  std::vector<IdName> groups_;
  std::vector<IdName> elements_;
  QListWidget* formatList_ = nullptr;
  QListWidget* groupList_ = nullptr;
  QListWidget* itemList_ = nullptr;
  IdNameCombo* formatType_ = nullptr;
  IdNameCombo* groupType_ = nullptr;
  ElementDialog* elementPanel_ = nullptr;
  LiteralDialog* literalPanel_ = nullptr;
  QStackedWidget* groupArea_ = nullptr;
  QLabel* notSimple_ = nullptr;
  QLabel* message_ = nullptr;
  bool closing_ = false;  // saved or agreed: the window closes without asking again
};

}  // namespace ulvo
